#include "DynamicSky/Skyscape.h"

#include "core/CPLog.h"

#include <cmath>
#include <cstdint>

D3DXVECTOR3 Skyscape::SunPosition;

Skyscape::~Skyscape() {
    CloudLayers.clear();
    ActiveCloudSets.clear();
    CloudSets.clear();
}

void Skyscape::BuildDome(float radius, int segments, const D3DXVECTOR3& centre, float height) {
    DomeRadius = radius;
    DomeSegments = segments;
    DomeCentre = centre;
    DomeHeight = height;
    if (segments <= 0) {
        return;
    }
    const int64_t rings = segments / 4 + 1;
    const int64_t vertexCount = (static_cast<int64_t>(segments) + 1) * rings;
    const int64_t indexCount = 6 * (rings - 1) * segments;
    if (vertexCount > MaxVertices || indexCount > MaxIndices) {
        CPLog::GetInstance().Write(0, "Skyscape: a dome of %d segments needs more than %d vertices or %d indices\n",
                                   segments, MaxVertices, MaxIndices);
        return;
    }

    // Degrees per segment in floating point, so segment counts that do not divide 360 close
    // the circle.
    const float step = (360.0f / static_cast<float>(segments)) * 0.0174532924f;
    const int ringCount = static_cast<int>(rings);
    std::vector<CPVertex> vertices;
    vertices.reserve(static_cast<size_t>(vertexCount));
    for (int i = 0; i < ringCount; ++i) {
        const float phi = 1.5707964f - static_cast<float>(i) * step;
        const float s = std::sin(phi);
        const float c = std::cos(phi);
        for (int j = 0; j <= segments; ++j) {
            const float theta = static_cast<float>(j) * step;
            CPVertex& v = vertices.emplace_back();
            v.Position = D3DXVECTOR3(std::cos(theta) * radius * s + centre.x, std::sin(theta) * radius * s + centre.y,
                                     c * height * radius + centre.z);
            const D3DXVECTOR3 inward = -v.Position;
            D3DXVec3Normalize(&v.Normal, &inward);
            v.Diffuse = 0x80FFFFFFu;
            v.U = 2.0f * static_cast<float>(j) / static_cast<float>(segments);
            v.V = 1.5f * static_cast<float>(i) / static_cast<float>(ringCount);
        }
    }
    std::vector<uint16_t> indices;
    indices.reserve(static_cast<size_t>(indexCount));
    const int row = segments + 1;
    for (int i = 0; i + 1 < ringCount; ++i) {
        for (int j = 0; j < segments; ++j) {
            const int a = row * i + j;
            for (int index : {a, a + row, a + row + 1, a, a + row + 1, a + 1}) {
                indices.push_back(static_cast<uint16_t>(index));
            }
        }
    }
    CreateBuffers(vertices, indices, false);
}
