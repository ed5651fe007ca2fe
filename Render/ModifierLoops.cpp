#include "Render/ModifierLoops.h"

#include <atomic>
#include <cstring>

namespace ModifierLoops {

namespace {

std::atomic<bool> wideAllowed{true};

// The vertex-by-vertex loops: the reference the wide ones match, and the way without AVX2.
void PlainSetDiffuse(CPVertex* destination, const CPVertex* source, int count, uint32_t diffuse) {
    for (int i = 0; i < count; ++i) {
        CPVertex vertex = source[i];
        vertex.Diffuse = diffuse;
        destination[i] = vertex;
    }
}

void PlainScaleAlpha(CPVertex* destination, const CPVertex* source, int count, float scale) {
    for (int i = 0; i < count; ++i) {
        CPVertex vertex = source[i];
        const uint32_t alpha = static_cast<uint32_t>(static_cast<float>(vertex.Diffuse >> 24) * scale);
        vertex.Diffuse = ((alpha & 0xFFu) << 24) | 0x00FFFFFFu;
        destination[i] = vertex;
    }
}

void PlainMapUV(CPVertex* destination, const CPVertex* source, int count, float scaleU, float scaleV, float offsetU,
                float offsetV) {
    for (int i = 0; i < count; ++i) {
        CPVertex vertex = source[i];
        vertex.U = vertex.U * scaleU + offsetU;
        vertex.V = vertex.V * scaleV + offsetV;
        destination[i] = vertex;
    }
}

void PlainOffsetUV(CPVertex* destination, const CPVertex* source, int count, float offsetU, float offsetV) {
    for (int i = 0; i < count; ++i) {
        CPVertex vertex = source[i];
        vertex.U += offsetU;
        vertex.V += offsetV;
        destination[i] = vertex;
    }
}

void PlainEnvironmentUV(CPVertex* destination, const CPVertex* source, int count, float scale) {
    for (int i = 0; i < count; ++i) {
        CPVertex vertex = source[i];
        vertex.U2 = vertex.Position.x / scale + vertex.Normal.x * 0.5f;
        vertex.V2 = vertex.Position.y / scale + vertex.Normal.y * 0.5f;
        destination[i] = vertex;
    }
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define MODIFIER_LOOPS_WIDE 1

// Two vertices are 24 floats, three blocks of eight:
//   block 0: Position0 Normal0 Diffuse0 Specular0
//   block 1: U0 V0 U2_0 V2_0 Position1 Normal1.x
//   block 2: Normal1.y Normal1.z Diffuse1 Specular1 U1 V1 U2_1 V2_1
using Floats = float __attribute__((vector_size(32)));
using Ints = int32_t __attribute__((vector_size(32)));
using Words = uint32_t __attribute__((vector_size(32)));

struct Pair {
    Floats Block[3];
};

// Passed by reference: a 32-byte vector by value would change the calling convention.
inline void Load(Pair& pair, const CPVertex* from) {
    const char* bytes = reinterpret_cast<const char*>(from);
    std::memcpy(&pair.Block[0], bytes, 32);
    std::memcpy(&pair.Block[1], bytes + 32, 32);
    std::memcpy(&pair.Block[2], bytes + 64, 32);
}

inline void Store(CPVertex* to, const Pair& pair) {
    char* bytes = reinterpret_cast<char*>(to);
    std::memcpy(bytes, &pair.Block[0], 32);
    std::memcpy(bytes + 32, &pair.Block[1], 32);
    std::memcpy(bytes + 64, &pair.Block[2], 32);
}

// Vertices done one by one first so that the wide stores start on a 32-byte boundary (a
// vertex array is 16-byte aligned; pairs then keep the boundary).
int Head(const CPVertex* destination, int count) {
    return count > 0 && reinterpret_cast<uintptr_t>(destination) % 32 == 16 ? 1 : 0;
}

__attribute__((target("avx2"))) void WideSetDiffuse(CPVertex* destination, const CPVertex* source, int count,
                                                    uint32_t diffuse) {
    const int head = Head(destination, count);
    PlainSetDiffuse(destination, source, head, diffuse);
    const Ints first = {0, 0, 0, 0, 0, 0, -1, 0};  // Diffuse0 in block 0
    const Ints second = {0, 0, -1, 0, 0, 0, 0, 0};  // Diffuse1 in block 2
    const Words value = {diffuse, diffuse, diffuse, diffuse, diffuse, diffuse, diffuse, diffuse};
    int i = head;
    for (; i + 1 < count; i += 2) {
        Pair pair;
        Load(pair, source + i);
        pair.Block[0] = first ? (Floats)value : pair.Block[0];
        pair.Block[2] = second ? (Floats)value : pair.Block[2];
        Store(destination + i, pair);
    }
    PlainSetDiffuse(destination + i, source + i, count - i, diffuse);
}

// Every lane of the block worked out as a diffuse colour; the caller keeps the diffuse lanes.
// The alpha of any word is 0..255, so every lane converts within range.
__attribute__((target("avx2"), always_inline)) inline Floats ScaledDiffuse(const Floats& block, const Floats& scales) {
    const Ints alpha = (Ints)((Words)block >> 24);
    const Words product = (Words)__builtin_convertvector(__builtin_convertvector(alpha, Floats) * scales, Ints);
    return (Floats)(((product & 0xFFu) << 24) | 0x00FFFFFFu);
}

__attribute__((target("avx2"))) void WideScaleAlpha(CPVertex* destination, const CPVertex* source, int count,
                                                    float scale) {
    const int head = Head(destination, count);
    PlainScaleAlpha(destination, source, head, scale);
    const Ints first = {0, 0, 0, 0, 0, 0, -1, 0};
    const Ints second = {0, 0, -1, 0, 0, 0, 0, 0};
    const Floats scales = {scale, scale, scale, scale, scale, scale, scale, scale};
    int i = head;
    for (; i + 1 < count; i += 2) {
        Pair pair;
        Load(pair, source + i);
        // Both diffuse words in one block (lanes 6 and 2), worked out once.
        const Floats both = second ? pair.Block[2] : pair.Block[0];
        const Floats colours = ScaledDiffuse(both, scales);
        pair.Block[0] = first ? colours : pair.Block[0];
        pair.Block[2] = second ? colours : pair.Block[2];
        Store(destination + i, pair);
    }
    PlainScaleAlpha(destination + i, source + i, count - i, scale);
}

__attribute__((target("avx2"))) void WideMapUV(CPVertex* destination, const CPVertex* source, int count, float scaleU,
                                               float scaleV, float offsetU, float offsetV) {
    const int head = Head(destination, count);
    PlainMapUV(destination, source, head, scaleU, scaleV, offsetU, offsetV);
    const Ints first = {-1, -1, 0, 0, 0, 0, 0, 0};  // U0 V0 in block 1
    const Ints second = {0, 0, 0, 0, -1, -1, 0, 0};  // U1 V1 in block 2
    const Floats scaleFirst = {scaleU, scaleV, 1, 1, 1, 1, 1, 1};
    const Floats offsetFirst = {offsetU, offsetV, 0, 0, 0, 0, 0, 0};
    const Floats scaleSecond = {1, 1, 1, 1, scaleU, scaleV, 1, 1};
    const Floats offsetSecond = {0, 0, 0, 0, offsetU, offsetV, 0, 0};
    int i = head;
    for (; i + 1 < count; i += 2) {
        Pair pair;
        Load(pair, source + i);
        pair.Block[1] = first ? pair.Block[1] * scaleFirst + offsetFirst : pair.Block[1];
        pair.Block[2] = second ? pair.Block[2] * scaleSecond + offsetSecond : pair.Block[2];
        Store(destination + i, pair);
    }
    PlainMapUV(destination + i, source + i, count - i, scaleU, scaleV, offsetU, offsetV);
}

__attribute__((target("avx2"))) void WideOffsetUV(CPVertex* destination, const CPVertex* source, int count,
                                                  float offsetU, float offsetV) {
    const int head = Head(destination, count);
    PlainOffsetUV(destination, source, head, offsetU, offsetV);
    const Ints first = {-1, -1, 0, 0, 0, 0, 0, 0};
    const Ints second = {0, 0, 0, 0, -1, -1, 0, 0};
    const Floats offsetFirst = {offsetU, offsetV, 0, 0, 0, 0, 0, 0};
    const Floats offsetSecond = {0, 0, 0, 0, offsetU, offsetV, 0, 0};
    int i = head;
    for (; i + 1 < count; i += 2) {
        Pair pair;
        Load(pair, source + i);
        pair.Block[1] = first ? pair.Block[1] + offsetFirst : pair.Block[1];
        pair.Block[2] = second ? pair.Block[2] + offsetSecond : pair.Block[2];
        Store(destination + i, pair);
    }
    PlainOffsetUV(destination + i, source + i, count - i, offsetU, offsetV);
}

// Four vertices at a time, so that one eight-lane division serves them all.
__attribute__((target("avx2"))) void WideEnvironmentUV(CPVertex* destination, const CPVertex* source, int count,
                                                       float scale) {
    const int head = Head(destination, count);
    PlainEnvironmentUV(destination, source, head, scale);
    const Floats scales = {scale, scale, scale, scale, scale, scale, scale, scale};
    const Floats halves = {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f};
    int i = head;
    for (; i + 3 < count; i += 4) {
        Pair p;
        Pair q;
        Load(p, source + i);
        Load(q, source + i + 2);
        // Per pair, in 16-byte halves: a = Position0 Normal0.x | Position1 Normal1.x,
        // b = Normal0.y Normal0.z Diffuse0 Specular0 | the same of vertex 1.
        const Floats a1 = __builtin_shufflevector(p.Block[0], p.Block[1], 0, 1, 2, 3, 12, 13, 14, 15);
        const Floats b1 = __builtin_shufflevector(p.Block[0], p.Block[2], 4, 5, 6, 7, 8, 9, 10, 11);
        const Floats a2 = __builtin_shufflevector(q.Block[0], q.Block[1], 0, 1, 2, 3, 12, 13, 14, 15);
        const Floats b2 = __builtin_shufflevector(q.Block[0], q.Block[2], 4, 5, 6, 7, 8, 9, 10, 11);
        // x y of vertices 0 2 | 1 3, and their normals' x y alike.
        const Floats position = __builtin_shufflevector(a1, a2, 0, 1, 8, 9, 4, 5, 12, 13);
        const Floats n1 = __builtin_shufflevector(a1, b1, 3, 3, 8, 8, 7, 7, 12, 12);
        const Floats n2 = __builtin_shufflevector(a2, b2, 3, 3, 8, 8, 7, 7, 12, 12);
        const Floats normal = __builtin_shufflevector(n1, n2, 0, 2, 8, 10, 4, 6, 12, 14);
        // U2 V2 of vertices 0 2 | 1 3.
        const Floats uv = position / scales + normal * halves;
        p.Block[1] = __builtin_shufflevector(p.Block[1], uv, 0, 1, 8, 9, 4, 5, 6, 7);
        p.Block[2] = __builtin_shufflevector(p.Block[2], uv, 0, 1, 2, 3, 4, 5, 12, 13);
        q.Block[1] = __builtin_shufflevector(q.Block[1], uv, 0, 1, 10, 11, 4, 5, 6, 7);
        q.Block[2] = __builtin_shufflevector(q.Block[2], uv, 0, 1, 2, 3, 4, 5, 14, 15);
        Store(destination + i, p);
        Store(destination + i + 2, q);
    }
    PlainEnvironmentUV(destination + i, source + i, count - i, scale);
}

bool Wide() {
    static const bool hasAvx2 = __builtin_cpu_supports("avx2");
    return hasAvx2 && wideAllowed.load(std::memory_order_relaxed);
}

#endif

}  // namespace

void SetDiffuse(CPVertex* destination, const CPVertex* source, int count, uint32_t diffuse) {
#ifdef MODIFIER_LOOPS_WIDE
    if (Wide()) return WideSetDiffuse(destination, source, count, diffuse);
#endif
    PlainSetDiffuse(destination, source, count, diffuse);
}

void ScaleAlpha(CPVertex* destination, const CPVertex* source, int count, float scale) {
#ifdef MODIFIER_LOOPS_WIDE
    if (Wide()) return WideScaleAlpha(destination, source, count, scale);
#endif
    PlainScaleAlpha(destination, source, count, scale);
}

void MapUV(CPVertex* destination, const CPVertex* source, int count, float scaleU, float scaleV, float offsetU,
           float offsetV) {
#ifdef MODIFIER_LOOPS_WIDE
    if (Wide()) return WideMapUV(destination, source, count, scaleU, scaleV, offsetU, offsetV);
#endif
    PlainMapUV(destination, source, count, scaleU, scaleV, offsetU, offsetV);
}

void OffsetUV(CPVertex* destination, const CPVertex* source, int count, float offsetU, float offsetV) {
#ifdef MODIFIER_LOOPS_WIDE
    if (Wide()) return WideOffsetUV(destination, source, count, offsetU, offsetV);
#endif
    PlainOffsetUV(destination, source, count, offsetU, offsetV);
}

void EnvironmentUV(CPVertex* destination, const CPVertex* source, int count, float scale) {
#ifdef MODIFIER_LOOPS_WIDE
    if (Wide()) return WideEnvironmentUV(destination, source, count, scale);
#endif
    PlainEnvironmentUV(destination, source, count, scale);
}

void AllowWide(bool allow) { wideAllowed.store(allow, std::memory_order_relaxed); }

}  // namespace ModifierLoops
