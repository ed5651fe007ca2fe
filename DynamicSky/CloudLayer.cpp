#include "DynamicSky/CloudLayer.h"

#include "core/CPLog.h"
#include "core/Geometry.h"

#include <algorithm>

namespace {

constexpr uint32_t CloudColour = 0x14;  // blue 0x14 under the alpha
constexpr float Pi = 3.1415927f;
constexpr float HalfPi = 1.5707964f;

}  // namespace

CloudLayer::CloudLayer() { D3DXMatrixIdentity(&AxisFrame); }

void CloudLayer::SetEffectNames(const std::string& first, const std::string& second) {
    EffectNames[0] = first;
    EffectNames[1] = second;
}

void CloudLayer::AddTexture(const std::string& path) { Textures.push_back(path); }

void CloudLayer::Build(float s) {
    const D3DXVECTOR3 normal(1.0f, 1.0f, 1.0f);
    const struct { float x, z, u, v; } corners[4] = {{-s, -s, 0, 0}, {s, -s, 1, 0}, {s, s, 1, 1}, {-s, s, 0, 1}};
    std::vector<CPVertex> vertices;
    for (const auto& c : corners) {
        CPVertex& v = vertices.emplace_back();
        v.Position = D3DXVECTOR3(c.x, 0.0f, c.z);
        v.Normal = normal;
        v.Diffuse = 0xFF000000u | CloudColour;
        v.U = c.u;
        v.V = c.v;
    }
    CreateBuffers(vertices, {0, 1, 2, 0, 2, 3}, false);
    if (TextureIndex >= 0 && TextureIndex < static_cast<int>(Textures.size())) {
        LoadTexture(Textures[static_cast<size_t>(TextureIndex)]);
    }
    LoadEffect(EffectNames[1]);
}

void CloudLayer::SelectEffect(int index) {
    if (index != 0 && index != 1) {
        CPLog::GetInstance().Write(0, "CloudLayer: effect index %d is neither 0 nor 1; the effect stays\n", index);
        return;
    }
    EffectIndex = index;
    LoadEffect(EffectNames[index]);
}

void CloudLayer::NextTexture() {
    if (Textures.empty()) {
        return;
    }
    TextureIndex += 1;
    if (TextureIndex >= static_cast<int>(Textures.size()) || TextureIndex < 0) {
        TextureIndex = 0;
    }
    LoadTexture(Textures[static_cast<size_t>(TextureIndex)]);
}

void CloudLayer::SetAlpha(int alpha) {
    const uint32_t a = static_cast<uint32_t>(std::clamp(alpha, 0, 255));
    for (size_t i = 0; i < Vertices.size() && i < 4; ++i) {
        Vertices[i].Diffuse = (a << 24) | CloudColour;
    }
}

HRESULT CloudLayer::Draw(float dayStep) {
    // Orbit: the point (OrbitRadius, 0, 0) taken into the axis frame and turned about the axis.
    D3DXMATRIX spin;
    D3DXMatrixRotationAxis(&spin, &OrbitAxis, Phase - DayAngle + Pi);
    D3DXMATRIX orbit;
    D3DXMatrixMultiply(&orbit, &AxisFrame, &spin);
    const D3DXVECTOR3 start(OrbitRadius, 0.0f, 0.0f);
    D3DXVec3TransformCoord(&Position, &start, &orbit);

    // Facing: turn the quad's normal +y onto the direction toward the origin.
    const D3DXVECTOR3 inward = -Position;
    D3DXVECTOR3 n;
    D3DXVec3Normalize(&n, &inward);
    const D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
    D3DXVECTOR3 faceAxis;
    D3DXVec3Cross(&faceAxis, &up, &n);
    D3DXMATRIX face;
    D3DXMatrixRotationAxis(&face, &faceAxis, static_cast<float>(ClampedAcos(n.y)));
    D3DXMATRIX scale;
    D3DXMatrixScaling(&scale, Scale, Scale, Scale);
    D3DXMATRIX m;
    D3DXMatrixMultiply(&m, &scale, &face);

    // Upright roll: turn the quad's (0, 0, 1) edge onto the direction that is "up" on the
    // sphere at the layer's position.
    const D3DXVECTOR3 flat(-Position.x, 0.0f, -Position.z);
    D3DXVECTOR3 h;
    D3DXVec3Normalize(&h, &flat);
    D3DXMATRIX quarterY;
    D3DXMatrixRotationY(&quarterY, HalfPi);
    D3DXVec3TransformCoord(&h, &h, &quarterY);
    D3DXMATRIX aboutH;
    D3DXMatrixRotationAxis(&aboutH, &h, HalfPi);
    D3DXVECTOR3 u;
    D3DXVec3TransformCoord(&u, &inward, &aboutH);
    D3DXVec3Normalize(&u, &u);
    const D3DXVECTOR3 zAxis(0.0f, 0.0f, 1.0f);
    D3DXVECTOR3 w;
    D3DXVec3TransformCoord(&w, &zAxis, &face);
    D3DXVECTOR3 rollAxis;
    D3DXVec3Cross(&rollAxis, &w, &u);
    // Both lie in the quad's plane; when they point apart the cross product is rounding noise
    // and would tilt the quad off the centre: half a turn about the facing direction instead.
    if (D3DXVec3LengthSq(&rollAxis) < 1e-10f) {
        rollAxis = n;
    }
    D3DXMATRIX roll;
    D3DXMatrixRotationAxis(&roll, &rollAxis, static_cast<float>(ClampedAcos(D3DXVec3Dot(&w, &u))));
    D3DXMatrixMultiply(&m, &m, &roll);

    D3DXMATRIX move;
    D3DXMatrixTranslation(&move, Position.x, Position.y, Position.z);
    D3DXMatrixMultiply(&m, &m, &move);

    TransformVertices(m);
    CreateBuffers(SourceVertices, Indices, true);
    return VertexObject::Draw(dayStep);
}
