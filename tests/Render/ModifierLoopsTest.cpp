// The texture modifiers' vertex loops: the wide way (two vertices at a time, where the
// processor has AVX2) writes the same vertices as the vertex-by-vertex way, for any count,
// any alignment of the destination, in place or not, over arbitrary bit patterns.
#include "Render/ModifierLoops.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace {

// Arbitrary words, with the special floats mixed in.
std::vector<CPVertex> Vertices(int count, uint32_t seed) {
    const uint32_t specials[] = {0x00000000u, 0x80000000u, 0x7F800000u, 0xFF800000u, 0x7FC00000u,
                                 0xFFC00001u, 0x00000001u, 0x3F800000u, 0xBF000000u, 0x7F7FFFFFu};
    std::vector<CPVertex> vertices(static_cast<size_t>(count));
    uint32_t state = seed;
    for (CPVertex& vertex : vertices) {
        uint32_t words[12];
        for (uint32_t& word : words) {
            state = state * 1664525u + 1013904223u;
            const uint32_t pick = state >> 28;
            word = pick < 10 ? specials[pick] : state ^ (state << 13);
            if (pick == 10) word = (word & 0x807FFFFFu) | 0x3F000000u;  // a plain number near 1
        }
        std::memcpy(&vertex, words, sizeof(words));
    }
    return vertices;
}

// Words equal, except that float fields which are both NaN count as equal (a NaN's payload is
// not part of any result).
void ExpectSame(const std::vector<CPVertex>& expected, const std::vector<CPVertex>& actual, const std::string& what) {
    ASSERT_EQ(expected.size(), actual.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        uint32_t a[12];
        uint32_t b[12];
        std::memcpy(a, &expected[i], sizeof(a));
        std::memcpy(b, &actual[i], sizeof(b));
        for (int k = 0; k < 12; ++k) {
            if (a[k] == b[k]) continue;
            float fa;
            float fb;
            std::memcpy(&fa, &a[k], 4);
            std::memcpy(&fb, &b[k], 4);
            const bool colour = k == 6 || k == 7;
            if (!colour && std::isnan(fa) && std::isnan(fb)) continue;
            ADD_FAILURE() << what << ": vertex " << i << " word " << k << std::hex << " expected 0x" << a[k]
                          << " got 0x" << b[k];
            return;
        }
    }
}

using Loop = std::function<void(CPVertex*, const CPVertex*, int)>;

struct Case {
    const char* name;
    Loop loop;
};

class ModifierLoopsTest : public ::testing::Test {
protected:
    void TearDown() override { ModifierLoops::AllowWide(true); }

    // Runs loop both ways over counts 0..9, 31 and 1000, with the destination at every
    // 4-byte offset within 32 bytes, into a separate array and in place.
    static void Compare(const Case& c) {
        for (const int count : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 31, 1000}) {
            const std::vector<CPVertex> source = Vertices(count, static_cast<uint32_t>(count) * 7919u + 1u);
            for (int offset = 0; offset < 8; ++offset) {
                for (const bool inPlace : {false, true}) {
                    std::vector<CPVertex> results[2];
                    for (int way = 0; way < 2; ++way) {
                        ModifierLoops::AllowWide(way == 1);
                        // 32-byte aligned room, the vertices placed `offset` words in.
                        std::vector<uint8_t> room(sizeof(CPVertex) * static_cast<size_t>(count + 1) + 64, 0xCD);
                        uint8_t* base = room.data() + (32 - reinterpret_cast<uintptr_t>(room.data()) % 32) % 32;
                        auto* destination = reinterpret_cast<CPVertex*>(base + offset * 4);
                        const CPVertex* from = source.data();
                        if (inPlace && count > 0) {
                            std::memcpy(destination, source.data(), source.size() * sizeof(CPVertex));
                            from = destination;
                        }
                        c.loop(destination, from, count);
                        results[way].assign(destination, destination + count);
                        // Nothing written past the last vertex.
                        const uint8_t* end = reinterpret_cast<const uint8_t*>(destination + count);
                        for (const uint8_t* p = end; p < room.data() + room.size(); ++p) {
                            ASSERT_EQ(*p, 0xCD) << c.name << " wrote past the end";
                        }
                    }
                    ExpectSame(results[0], results[1],
                               std::string(c.name) + " count " + std::to_string(count) + " offset " +
                                   std::to_string(offset) + (inPlace ? " in place" : ""));
                    if (HasFailure()) return;
                }
            }
        }
    }
};

TEST_F(ModifierLoopsTest, WideWayWritesWhatTheVertexByVertexWayWrites) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<Case> cases;
    for (const uint32_t diffuse : {0x00FFFFFFu, 0x80FFFFFFu, 0xFFFFFFFFu, 0x12345678u}) {
        cases.push_back({"SetDiffuse", [diffuse](CPVertex* d, const CPVertex* s, int n) {
                             ModifierLoops::SetDiffuse(d, s, n, diffuse);
                         }});
    }
    for (const float scale : {0.0f, -0.0f, 0.003921569f, 0.5f, 1.0f, 200.0f * 0.003921569f}) {
        cases.push_back({"ScaleAlpha", [scale](CPVertex* d, const CPVertex* s, int n) {
                             ModifierLoops::ScaleAlpha(d, s, n, scale);
                         }});
    }
    const float pairs[][2] = {{0.25f, 0.125f}, {-0.0f, 0.0f}, {0.333f, -7.5f}, {inf, nan}, {1e-40f, -1e30f}};
    for (const auto& p : pairs) {
        const float u = p[0];
        const float v = p[1];
        cases.push_back({"OffsetUV", [u, v](CPVertex* d, const CPVertex* s, int n) {
                             ModifierLoops::OffsetUV(d, s, n, u, v);
                         }});
        cases.push_back({"MapUV", [u, v](CPVertex* d, const CPVertex* s, int n) {
                             ModifierLoops::MapUV(d, s, n, v, u, u, v);
                         }});
    }
    for (const float scale : {4.0f, 3.0f, -7.5f, 0.0f, -0.0f, 1e-40f, inf, nan}) {
        cases.push_back({"EnvironmentUV", [scale](CPVertex* d, const CPVertex* s, int n) {
                             ModifierLoops::EnvironmentUV(d, s, n, scale);
                         }});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Compare(c);
        if (HasFailure()) return;
    }
}

// The vertex-by-vertex way itself, against fields worked out here.
TEST_F(ModifierLoopsTest, EachLoopChangesItsFieldsOnly) {
    for (const bool wide : {false, true}) {
        ModifierLoops::AllowWide(wide);
        CPVertex v[3];
        for (int i = 0; i < 3; ++i) {
            v[i].Position = D3DXVECTOR3(8.0f + static_cast<float>(i), -4.0f, 1.0f);
            v[i].Normal = D3DXVECTOR3(0.5f, 0.25f, 0.75f);
            v[i].Diffuse = 0x80123456u;
            v[i].Specular = 0x01020304u;
            v[i].U = 0.5f;
            v[i].V = 0.25f;
            v[i].U2 = 9.0f;
            v[i].V2 = 10.0f;
        }
        CPVertex out[3];
        ModifierLoops::SetDiffuse(out, v, 3, 0x40FFFFFFu);
        EXPECT_EQ(out[2].Diffuse, 0x40FFFFFFu);
        EXPECT_EQ(out[2].Specular, 0x01020304u);
        EXPECT_EQ(out[2].U, 0.5f);
        ModifierLoops::ScaleAlpha(out, v, 3, 0.5f);
        EXPECT_EQ(out[1].Diffuse, 0x40FFFFFFu);  // 0x80 halved
        EXPECT_EQ(out[1].Position.x, 9.0f);
        ModifierLoops::OffsetUV(out, v, 3, 0.25f, 0.5f);
        EXPECT_EQ(out[0].U, 0.75f);
        EXPECT_EQ(out[0].V, 0.75f);
        EXPECT_EQ(out[0].U2, 9.0f);
        ModifierLoops::MapUV(out, v, 3, 0.5f, 2.0f, 0.125f, 0.0f);
        EXPECT_EQ(out[2].U, 0.375f);
        EXPECT_EQ(out[2].V, 0.5f);
        ModifierLoops::EnvironmentUV(out, v, 3, 4.0f);
        EXPECT_EQ(out[2].U2, 10.0f / 4.0f + 0.25f);
        EXPECT_EQ(out[2].V2, -1.0f + 0.125f);
        EXPECT_EQ(out[2].U, 0.5f);
        EXPECT_EQ(out[2].Diffuse, 0x80123456u);
    }
}

}  // namespace
