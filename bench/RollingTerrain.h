// The terrain the physics benchmarks drive and drop things on: a gently rolling height field
// of 150 x 200 quads of 2 m, two triangles each (60 000), centred on the origin, as vertices
// and triangle records for our simulator and as a flat index list for Bullet's mesh.
#pragma once

#include "physics/RbSimulator.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace bench {

struct RollingTerrain {
    static constexpr int QuadsX = 150;
    static constexpr int QuadsY = 200;
    static constexpr float Spacing = 2.0f;
    static constexpr float OriginX = -0.5f * QuadsX * Spacing;
    static constexpr float OriginY = -0.5f * QuadsY * Spacing;

    static float Height(float x, float y) {
        return 0.6f * std::sin(0.045f * x) * std::cos(0.035f * y) + 0.002f * x;
    }

    std::vector<RbVector> Vertices;
    std::vector<RbTerrainTriangle> Triangles;
    std::vector<int32_t> Indices;  // three per triangle, for Bullet

    RollingTerrain() {
        for (int j = 0; j <= QuadsY; ++j) {
            for (int i = 0; i <= QuadsX; ++i) {
                const float x = OriginX + Spacing * static_cast<float>(i);
                const float y = OriginY + Spacing * static_cast<float>(j);
                Vertices.push_back(RbVec(x, y, Height(x, y)));
            }
        }
        auto vertex = [](int i, int j) { return j * (QuadsX + 1) + i; };
        for (int j = 0; j < QuadsY; ++j) {
            for (int i = 0; i < QuadsX; ++i) {
                const int quad[2][3] = {{vertex(i, j), vertex(i + 1, j), vertex(i + 1, j + 1)},
                                        {vertex(i, j), vertex(i + 1, j + 1), vertex(i, j + 1)}};
                for (const auto& t : quad) {
                    RbTerrainTriangle record;
                    for (int k = 0; k < 3; ++k) {
                        record.Vertices[k] = t[k];
                        Indices.push_back(t[k]);
                    }
                    Triangles.push_back(record);
                }
            }
        }
    }
};

}  // namespace bench
