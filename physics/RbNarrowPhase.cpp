// Hull building, the separating-axis test with face clipping, and line casts.
#include "physics/RbNarrowPhase.h"

#include <cfloat>
#include <cmath>
#include <initializer_list>

// Fixed connectivity of a shape type: face vertex loops and edges (two vertices and the
// index of their direction class).
struct RbHullTopology {
    int32_t VertexCount = 0;
    int32_t FaceCount = 0;
    int32_t EdgeCount = 0;
    int32_t DirectionCount = 0;
    uint8_t FaceStart[RbHullMaxFaces + 1] = {};
    uint8_t FaceVertices[4 * RbPrismSides + 2 * RbPrismSides] = {};
    uint8_t Edges[3 * RbPrismSides][3] = {};
};

namespace {

// Box vertex i has the sign of half axis k set when bit k of i is set.
RbHullTopology MakeBoxTopology() {
    RbHullTopology t;
    t.VertexCount = 8;
    t.FaceCount = 6;
    t.DirectionCount = 3;
    // +x, -x, +y, -y, +z, -z, each a loop around its face.
    const uint8_t faces[6][4] = {{1, 3, 7, 5}, {0, 4, 6, 2}, {2, 6, 7, 3}, {0, 1, 5, 4}, {4, 5, 7, 6}, {0, 2, 3, 1}};
    for (int f = 0; f < 6; ++f) {
        t.FaceStart[f] = static_cast<uint8_t>(4 * f);
        for (int k = 0; k < 4; ++k) {
            t.FaceVertices[4 * f + k] = faces[f][k];
        }
    }
    t.FaceStart[6] = 24;
    for (int axis = 0; axis < 3; ++axis) {
        const int bit = 1 << axis;
        for (int i = 0; i < 8; ++i) {
            if ((i & bit) == 0) {
                uint8_t* e = t.Edges[t.EdgeCount++];
                e[0] = static_cast<uint8_t>(i);
                e[1] = static_cast<uint8_t>(i | bit);
                e[2] = static_cast<uint8_t>(axis);
            }
        }
    }
    return t;
}

// Vertices 0..N-1 the bottom ring, N..2N-1 the top ring; faces: N sides, top, bottom.
// Direction 0 is the axis; opposite sides of the even polygon share a direction class.
RbHullTopology MakePrismTopology() {
    constexpr int n = RbPrismSides;
    RbHullTopology t;
    t.VertexCount = 2 * n;
    t.FaceCount = n + 2;
    t.DirectionCount = n / 2 + 1;
    int at = 0;
    for (int k = 0; k < n; ++k) {
        t.FaceStart[k] = static_cast<uint8_t>(at);
        const int k1 = (k + 1) % n;
        const int loop[4] = {k, k1, n + k1, n + k};
        for (int v : loop) {
            t.FaceVertices[at++] = static_cast<uint8_t>(v);
        }
    }
    t.FaceStart[n] = static_cast<uint8_t>(at);
    for (int k = 0; k < n; ++k) {
        t.FaceVertices[at++] = static_cast<uint8_t>(n + k);
    }
    t.FaceStart[n + 1] = static_cast<uint8_t>(at);
    for (int k = n - 1; k >= 0; --k) {
        t.FaceVertices[at++] = static_cast<uint8_t>(k);
    }
    t.FaceStart[n + 2] = static_cast<uint8_t>(at);
    for (int k = 0; k < n; ++k) {
        const int k1 = (k + 1) % n;
        const uint8_t dir = static_cast<uint8_t>(1 + k % (n / 2));
        const uint8_t edges[3][3] = {{static_cast<uint8_t>(k), static_cast<uint8_t>(n + k), 0},
                                     {static_cast<uint8_t>(k), static_cast<uint8_t>(k1), dir},
                                     {static_cast<uint8_t>(n + k), static_cast<uint8_t>(n + k1), dir}};
        for (const auto& e : edges) {
            uint8_t* out = t.Edges[t.EdgeCount++];
            out[0] = e[0];
            out[1] = e[1];
            out[2] = e[2];
        }
    }
    return t;
}

// Faces: the triangle a, b, c and its back side.
RbHullTopology MakeTriangleTopology() {
    RbHullTopology t;
    t.VertexCount = 3;
    t.FaceCount = 2;
    t.DirectionCount = 3;
    const uint8_t loops[6] = {0, 1, 2, 0, 2, 1};
    for (int i = 0; i < 6; ++i) {
        t.FaceVertices[i] = loops[i];
    }
    t.FaceStart[0] = 0;
    t.FaceStart[1] = 3;
    t.FaceStart[2] = 6;
    for (int i = 0; i < 3; ++i) {
        t.Edges[i][0] = static_cast<uint8_t>(i);
        t.Edges[i][1] = static_cast<uint8_t>((i + 1) % 3);
        t.Edges[i][2] = static_cast<uint8_t>(i);
    }
    t.EdgeCount = 3;
    return t;
}

const RbHullTopology BoxTopology = MakeBoxTopology();
const RbHullTopology PrismTopology = MakePrismTopology();
const RbHullTopology TriangleTopology = MakeTriangleTopology();

struct PrismTable {
    float Cos[RbPrismSides];
    float Sin[RbPrismSides];
    float MidCos[RbPrismSides];  // direction of side face k's normal
    float MidSin[RbPrismSides];
};

PrismTable MakePrismTable() {
    PrismTable t{};
    for (int k = 0; k < RbPrismSides; ++k) {
        const double angle = 2.0 * 3.14159265358979323846 * k / RbPrismSides;
        const double mid = angle + 3.14159265358979323846 / RbPrismSides;
        t.Cos[k] = static_cast<float>(std::cos(angle));
        t.Sin[k] = static_cast<float>(std::sin(angle));
        t.MidCos[k] = static_cast<float>(std::cos(mid));
        t.MidSin[k] = static_cast<float>(std::sin(mid));
    }
    return t;
}

const PrismTable Prism = MakePrismTable();

// Plain comparisons: the library calls behind std::fmin and std::fmax cost more than the
// NaN handling they add, and hull data are finite.
inline float Min(float a, float b) { return a < b ? a : b; }
inline float Max(float a, float b) { return a > b ? a : b; }
inline RbVector MinV(const RbVector& a, const RbVector& b) { return {Min(a.x, b.x), Min(a.y, b.y), Min(a.z, b.z), 0.0f}; }
inline RbVector MaxV(const RbVector& a, const RbVector& b) { return {Max(a.x, b.x), Max(a.y, b.y), Max(a.z, b.z), 0.0f}; }

inline RbVector Madd(const RbVector& a, const RbVector& b, float s) {
    return {a.x + b.x * s, a.y + b.y * s, a.z + b.z * s, 0.0f};
}

void FinishHull(RbHull* hull) {
    const RbHullTopology& t = *hull->Topology;
    RbVector lo = hull->Vertices[0];
    RbVector hi = hull->Vertices[0];
    for (int i = 1; i < t.VertexCount; ++i) {
        lo = MinV(lo, hull->Vertices[i]);
        hi = MaxV(hi, hull->Vertices[i]);
    }
    hull->Lower = lo;
    hull->Upper = hi;
    for (int f = 0; f < t.FaceCount; ++f) {
        hull->Offsets[f] = RbDot(hull->Normals[f], hull->Vertices[t.FaceVertices[t.FaceStart[f]]]);
    }
}

bool IsUsableAxis(const RbVector& v) {
    const float sq = RbLengthSquared(v);
    return std::isfinite(sq) && sq > 0.25f && sq < 4.0f;
}

bool IsPositiveSize(float s) { return std::isfinite(s) && s > 1e-4f && s < 1e6f; }

}  // namespace

bool RbBuildGeometryHull(const RbGeometry& geometry, const RbMatrix3& bodyRotation, const RbVector& bodyPosition,
                         RbHull* hull) {
    const float(*m)[4] = geometry.Transform.M;
    RbVector axes[3];
    for (int i = 0; i < 3; ++i) {
        axes[i] = RbTransform(RbVec(m[i][0], m[i][1], m[i][2]), bodyRotation);
        if (!IsUsableAxis(axes[i])) {
            return false;
        }
        axes[i] = RbNormalize(axes[i]);
    }
    const RbVector centre = RbAdd(RbTransform(RbVec(m[3][0], m[3][1], m[3][2]), bodyRotation), bodyPosition);
    if (!RbIsFinite(centre)) {
        return false;
    }
    if (geometry.Type == RbShapeBox) {
        const float h[3] = {geometry.Shape[0], geometry.Shape[1], geometry.Shape[2]};
        if (!IsPositiveSize(h[0]) || !IsPositiveSize(h[1]) || !IsPositiveSize(h[2])) {
            return false;
        }
        hull->Topology = &BoxTopology;
        hull->Centre = centre;
        const RbVector ex = RbScale(axes[0], h[0]);
        const RbVector ey = RbScale(axes[1], h[1]);
        const RbVector ez = RbScale(axes[2], h[2]);
        for (int i = 0; i < 8; ++i) {
            RbVector v = centre;
            v = Madd(v, ex, (i & 1) ? 1.0f : -1.0f);
            v = Madd(v, ey, (i & 2) ? 1.0f : -1.0f);
            v = Madd(v, ez, (i & 4) ? 1.0f : -1.0f);
            hull->Vertices[i] = v;
        }
        for (int k = 0; k < 3; ++k) {
            hull->Normals[2 * k] = axes[k];
            hull->Normals[2 * k + 1] = RbScale(axes[k], -1.0f);
            hull->Directions[k] = axes[k];
        }
        FinishHull(hull);
        return true;
    }
    if (geometry.Type == RbShapeCylinder) {
        const float radius = geometry.Shape[0];
        const float halfHeight = geometry.Shape[2];
        if (!IsPositiveSize(radius) || !IsPositiveSize(halfHeight)) {
            return false;
        }
        constexpr int n = RbPrismSides;
        hull->Topology = &PrismTopology;
        hull->Centre = centre;
        const RbVector& u = axes[0];
        const RbVector& a = axes[1];
        const RbVector& w = axes[2];
        const RbVector bottom = Madd(centre, a, -halfHeight);
        const RbVector top = Madd(centre, a, halfHeight);
        for (int k = 0; k < n; ++k) {
            const RbVector radial = RbAdd(RbScale(u, radius * Prism.Cos[k]), RbScale(w, radius * Prism.Sin[k]));
            hull->Vertices[k] = RbAdd(bottom, radial);
            hull->Vertices[n + k] = RbAdd(top, radial);
            hull->Normals[k] = RbAdd(RbScale(u, Prism.MidCos[k]), RbScale(w, Prism.MidSin[k]));
        }
        hull->Normals[n] = a;
        hull->Normals[n + 1] = RbScale(a, -1.0f);
        hull->Directions[0] = a;
        for (int j = 0; j < n / 2; ++j) {
            // The edge from corner j to j + 1 runs along the tangent at the side's middle.
            hull->Directions[1 + j] = RbAdd(RbScale(u, -Prism.MidSin[j]), RbScale(w, Prism.MidCos[j]));
        }
        FinishHull(hull);
        return true;
    }
    return false;
}

bool RbBuildTriangleHull(const RbVector& a, const RbVector& b, const RbVector& c, RbHull* hull) {
    if (!RbIsFinite(a) || !RbIsFinite(b) || !RbIsFinite(c)) {
        return false;
    }
    const RbVector e0 = RbSub(b, a);
    const RbVector e1 = RbSub(c, b);
    const RbVector e2 = RbSub(a, c);
    const RbVector n = RbCross(e0, RbSub(c, a));
    const float nn = RbLengthSquared(n);
    const float l0 = RbLengthSquared(e0);
    const float l1 = RbLengthSquared(e1);
    const float l2 = RbLengthSquared(e2);
    // Zero area, or a sliver whose normal rounding cannot be trusted.
    if (!(nn > 1e-12f) || !(nn > 1e-8f * l0 * RbLengthSquared(RbSub(c, a))) || !(l0 > 1e-12f) || !(l1 > 1e-12f) ||
        !(l2 > 1e-12f) || !std::isfinite(nn)) {
        return false;
    }
    hull->Topology = &TriangleTopology;
    hull->Vertices[0] = RbVec(a.x, a.y, a.z);
    hull->Vertices[1] = RbVec(b.x, b.y, b.z);
    hull->Vertices[2] = RbVec(c.x, c.y, c.z);
    hull->Centre = RbScale(RbAdd(RbAdd(a, b), c), 1.0f / 3.0f);
    const RbVector normal = RbScale(n, 1.0f / std::sqrt(nn));
    hull->Normals[0] = normal;
    hull->Normals[1] = RbScale(normal, -1.0f);
    hull->Directions[0] = RbScale(e0, 1.0f / std::sqrt(l0));
    hull->Directions[1] = RbScale(e1, 1.0f / std::sqrt(l1));
    hull->Directions[2] = RbScale(e2, 1.0f / std::sqrt(l2));
    FinishHull(hull);
    return true;
}

namespace {

struct FaceQuery {
    int32_t Index = -1;
    float Separation = -FLT_MAX;
};

struct EdgeQuery {
    int32_t DirectionA = -1;
    int32_t DirectionB = -1;
    float Separation = -FLT_MAX;
    RbVector Normal;  // from A towards B
};

void Project(const RbHull& hull, const RbVector& axis, float* lo, float* hi) {
    const int count = hull.Topology->VertexCount;
    float mn = RbDot(axis, hull.Vertices[0]);
    float mx = mn;
    for (int i = 1; i < count; ++i) {
        const float d = RbDot(axis, hull.Vertices[i]);
        mn = d < mn ? d : mn;
        mx = d > mx ? d : mx;
    }
    *lo = mn;
    *hi = mx;
}

float MinProjection(const RbHull& hull, const RbVector& axis) {
    const int count = hull.Topology->VertexCount;
    float mn = RbDot(axis, hull.Vertices[0]);
    for (int i = 1; i < count; ++i) {
        const float d = RbDot(axis, hull.Vertices[i]);
        mn = d < mn ? d : mn;
    }
    return mn;
}

// The face of a that b lies farthest outside of (the deepest separation along a face axis).
FaceQuery QueryFaces(const RbHull& a, const RbHull& b) {
    FaceQuery best;
    for (int f = 0; f < a.Topology->FaceCount; ++f) {
        const float separation = MinProjection(b, a.Normals[f]) - a.Offsets[f];
        if (separation > best.Separation) {
            best.Separation = separation;
            best.Index = f;
        }
    }
    return best;
}

EdgeQuery QueryEdges(const RbHull& a, const RbHull& b) {
    EdgeQuery best;
    for (int i = 0; i < a.Topology->DirectionCount; ++i) {
        for (int j = 0; j < b.Topology->DirectionCount; ++j) {
            RbVector axis = RbCross(a.Directions[i], b.Directions[j]);
            const float sq = RbLengthSquared(axis);
            if (sq < 1e-6f) {
                continue;  // parallel edges: the face axes cover them
            }
            axis = RbScale(axis, 1.0f / std::sqrt(sq));
            float loA, hiA, loB, hiB;
            Project(a, axis, &loA, &hiA);
            Project(b, axis, &loB, &hiB);
            const float forward = loB - hiA;   // b on the +axis side
            const float backward = loA - hiB;  // b on the -axis side
            const float separation = forward >= backward ? forward : backward;
            if (separation > best.Separation) {
                best.Separation = separation;
                best.DirectionA = i;
                best.DirectionB = j;
                best.Normal = forward >= backward ? axis : RbScale(axis, -1.0f);
            }
        }
    }
    return best;
}

// Keeps the part of the polygon on the inner side of the plane n·x <= d.
int ClipPolygon(const RbVector* in, int count, const RbVector& n, float d, RbVector* out) {
    int written = 0;
    if (count == 0) {
        return 0;
    }
    RbVector prev = in[count - 1];
    float prevDist = RbDot(n, prev) - d;
    for (int i = 0; i < count; ++i) {
        const RbVector cur = in[i];
        const float curDist = RbDot(n, cur) - d;
        if ((prevDist <= 0.0f) != (curDist <= 0.0f)) {
            const float t = prevDist / (prevDist - curDist);
            out[written++] = Madd(prev, RbSub(cur, prev), t);
        }
        if (curDist <= 0.0f) {
            out[written++] = cur;
        }
        prev = cur;
        prevDist = curDist;
    }
    return written;
}

}  // namespace

void RbReduceContactPoints(const RbContactPointOut* points, int32_t count, const RbVector& n, RbContactResult* result) {
    if (count <= 4) {
        for (int i = 0; i < count; ++i) {
            result->Points[i] = points[i];
        }
        result->Count = count;
        return;
    }
    // The deepest point when it is clearly the deepest, else the point farthest from the
    // centre (a corner of the patch: with equal depths any point could come first, and an
    // inner one would cost a corner).
    int i0 = 0;
    float shallowest = points[0].Separation;
    RbVector centre;
    for (int i = 0; i < count; ++i) {
        if (points[i].Separation < points[i0].Separation) {
            i0 = i;
        }
        shallowest = Max(shallowest, points[i].Separation);
        centre = RbAdd(centre, points[i].Point);
    }
    if (shallowest - points[i0].Separation < 0.01f) {
        centre = RbScale(centre, 1.0f / static_cast<float>(count));
        float far = -1.0f;
        for (int i = 0; i < count; ++i) {
            const float d = RbLengthSquared(RbSub(points[i].Point, centre));
            if (d > far) {
                far = d;
                i0 = i;
            }
        }
    }
    int i1 = -1;
    float best = -1.0f;
    for (int i = 0; i < count; ++i) {
        const float d = RbLengthSquared(RbSub(points[i].Point, points[i0].Point));
        if (i != i0 && d > best) {
            best = d;
            i1 = i;
        }
    }
    const RbVector p0 = points[i0].Point;
    const RbVector edge = RbSub(points[i1].Point, p0);
    int i2 = -1;
    int i3 = -1;
    float most = 0.0f;
    float least = 0.0f;
    for (int i = 0; i < count; ++i) {
        if (i == i0 || i == i1) {
            continue;
        }
        const float area = RbDot(RbCross(edge, RbSub(points[i].Point, p0)), n);
        if (area > most) {
            most = area;
            i2 = i;
        }
        if (area < least) {
            least = area;
            i3 = i;
        }
    }
    int k = 0;
    for (int i : {i0, i1, i2, i3}) {
        if (i >= 0) {
            result->Points[k++] = points[i];
        }
    }
    result->Count = k;
}

namespace {

constexpr int ClipCapacity = 2 * RbHullMaxVertices + 8;

// Clips the incident face of inc against face `face` of ref; the normal of the result
// points from A to B.
bool FaceContact(const RbHull& ref, int face, const RbHull& inc, float margin, bool refIsA, RbContactResult* result) {
    const RbHullTopology& rt = *ref.Topology;
    const RbHullTopology& it = *inc.Topology;
    const RbVector n = ref.Normals[face];
    int incident = 0;
    float most = FLT_MAX;
    for (int f = 0; f < it.FaceCount; ++f) {
        const float d = RbDot(inc.Normals[f], n);
        if (d < most) {
            most = d;
            incident = f;
        }
    }
    RbVector bufferA[ClipCapacity];
    RbVector bufferB[ClipCapacity];
    int count = 0;
    for (int k = it.FaceStart[incident]; k < it.FaceStart[incident + 1]; ++k) {
        bufferA[count++] = inc.Vertices[it.FaceVertices[k]];
    }
    const int first = rt.FaceStart[face];
    const int loop = rt.FaceStart[face + 1] - first;
    RbVector centroid;
    for (int k = 0; k < loop; ++k) {
        centroid = RbAdd(centroid, ref.Vertices[rt.FaceVertices[first + k]]);
    }
    centroid = RbScale(centroid, 1.0f / static_cast<float>(loop));
    RbVector* in = bufferA;
    RbVector* out = bufferB;
    for (int k = 0; k < loop && count > 0; ++k) {
        const RbVector& v0 = ref.Vertices[rt.FaceVertices[first + k]];
        const RbVector& v1 = ref.Vertices[rt.FaceVertices[first + (k + 1) % loop]];
        RbVector side = RbCross(RbSub(v1, v0), n);
        if (RbDot(side, RbSub(centroid, v0)) > 0.0f) {
            side = RbScale(side, -1.0f);
        }
        count = ClipPolygon(in, count, side, RbDot(side, v0), out);
        if (count > ClipCapacity - 2 * RbHullMaxVertices) {
            count = ClipCapacity - 2 * RbHullMaxVertices;  // cannot happen for convex input
        }
        RbVector* swap = in;
        in = out;
        out = swap;
    }
    RbContactPointOut points[ClipCapacity];
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        const float separation = RbDot(n, in[i]) - ref.Offsets[face];
        if (separation <= margin && std::isfinite(separation)) {
            points[kept].Point = Madd(in[i], n, -0.5f * separation);
            points[kept].Separation = separation;
            ++kept;
        }
    }
    if (kept == 0) {
        return false;
    }
    result->Normal = refIsA ? n : RbScale(n, -1.0f);
    RbReduceContactPoints(points, kept, n, result);
    return true;
}

// The edge of the hull in direction class `direction` that lies farthest along axis.
void SupportEdge(const RbHull& hull, int direction, const RbVector& axis, RbVector* p, RbVector* q) {
    const RbHullTopology& t = *hull.Topology;
    float best = -FLT_MAX;
    for (int e = 0; e < t.EdgeCount; ++e) {
        if (t.Edges[e][2] != direction) {
            continue;
        }
        const RbVector& a = hull.Vertices[t.Edges[e][0]];
        const RbVector& b = hull.Vertices[t.Edges[e][1]];
        const float d = RbDot(axis, a) + RbDot(axis, b);
        if (d > best) {
            best = d;
            *p = a;
            *q = b;
        }
    }
}

// Closest points of the segments p1q1 and p2q2 (Ericson, Real-Time Collision Detection 5.1.9).
void ClosestPoints(const RbVector& p1, const RbVector& q1, const RbVector& p2, const RbVector& q2, RbVector* c1,
                   RbVector* c2) {
    const RbVector d1 = RbSub(q1, p1);
    const RbVector d2 = RbSub(q2, p2);
    const RbVector r = RbSub(p1, p2);
    const float a = RbDot(d1, d1);
    const float e = RbDot(d2, d2);
    const float f = RbDot(d2, r);
    float s = 0.0f;
    float t = 0.0f;
    const float c = RbDot(d1, r);
    const float b = RbDot(d1, d2);
    const float denom = a * e - b * b;
    if (denom > 1e-12f) {
        s = Min(Max((b * f - c * e) / denom, 0.0f), 1.0f);
    }
    t = e > 1e-12f ? (b * s + f) / e : 0.0f;
    if (t < 0.0f) {
        t = 0.0f;
        s = a > 1e-12f ? Min(Max(-c / a, 0.0f), 1.0f) : 0.0f;
    } else if (t > 1.0f) {
        t = 1.0f;
        s = a > 1e-12f ? Min(Max((b - c) / a, 0.0f), 1.0f) : 0.0f;
    }
    *c1 = Madd(p1, d1, s);
    *c2 = Madd(p2, d2, t);
}

bool EdgeContact(const RbHull& a, const RbHull& b, const EdgeQuery& query, RbContactResult* result) {
    RbVector pa, qa, pb, qb;
    SupportEdge(a, query.DirectionA, query.Normal, &pa, &qa);
    SupportEdge(b, query.DirectionB, RbScale(query.Normal, -1.0f), &pb, &qb);
    RbVector ca, cb;
    ClosestPoints(pa, qa, pb, qb, &ca, &cb);
    const RbVector mid = RbScale(RbAdd(ca, cb), 0.5f);
    if (!RbIsFinite(mid)) {
        return false;
    }
    result->Normal = query.Normal;
    result->Count = 1;
    result->Points[0].Point = mid;
    result->Points[0].Separation = query.Separation;
    return true;
}

// The same three queries for two boxes in closed form (the fifteen axes of Gottschalk's
// OBB test): a box's extent along an axis is Σ h_k·|u_k·axis|, so no vertex is projected.
bool QueryBoxes(const RbHull& a, const RbHull& b, float margin, FaceQuery* faceA, FaceQuery* faceB, EdgeQuery* edge) {
    float ha[3];
    float hb[3];
    for (int k = 0; k < 3; ++k) {
        ha[k] = a.Offsets[2 * k] - RbDot(a.Normals[2 * k], a.Centre);
        hb[k] = b.Offsets[2 * k] - RbDot(b.Normals[2 * k], b.Centre);
    }
    const RbVector d = RbSub(b.Centre, a.Centre);
    float c[3][3];
    float absC[3][3];
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            c[i][j] = RbDot(a.Directions[i], b.Directions[j]);
            absC[i][j] = std::fabs(c[i][j]);
        }
    }
    for (int i = 0; i < 3; ++i) {
        const float da = RbDot(a.Directions[i], d);
        const float separation = std::fabs(da) - ha[i] - (hb[0] * absC[i][0] + hb[1] * absC[i][1] + hb[2] * absC[i][2]);
        if (separation > faceA->Separation) {
            faceA->Separation = separation;
            faceA->Index = 2 * i + (da >= 0.0f ? 0 : 1);
        }
    }
    if (faceA->Separation > margin) {
        return false;
    }
    for (int j = 0; j < 3; ++j) {
        const float db = RbDot(b.Directions[j], d);
        const float separation = std::fabs(db) - hb[j] - (ha[0] * absC[0][j] + ha[1] * absC[1][j] + ha[2] * absC[2][j]);
        if (separation > faceB->Separation) {
            faceB->Separation = separation;
            faceB->Index = 2 * j + (db <= 0.0f ? 0 : 1);  // B's face toward A
        }
    }
    if (faceB->Separation > margin) {
        return false;
    }
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            RbVector axis = RbCross(a.Directions[i], b.Directions[j]);
            const float sq = RbLengthSquared(axis);
            if (sq < 1e-6f) {
                continue;
            }
            axis = RbScale(axis, 1.0f / std::sqrt(sq));
            float ra = 0.0f;
            float rb = 0.0f;
            for (int k = 0; k < 3; ++k) {
                ra += ha[k] * std::fabs(RbDot(a.Directions[k], axis));
                rb += hb[k] * std::fabs(RbDot(b.Directions[k], axis));
            }
            const float dist = RbDot(axis, d);
            const float separation = std::fabs(dist) - ra - rb;
            if (separation > edge->Separation) {
                edge->Separation = separation;
                edge->DirectionA = i;
                edge->DirectionB = j;
                edge->Normal = dist >= 0.0f ? axis : RbScale(axis, -1.0f);
            }
        }
    }
    return edge->Separation <= margin;
}

}  // namespace

bool RbCollideHulls(const RbHull& a, const RbHull& b, float margin, bool bIsTerrain, RbContactResult* result) {
    result->Count = 0;
    FaceQuery faceA;
    FaceQuery faceB;
    EdgeQuery edge;
    if (a.Topology == &BoxTopology && b.Topology == &BoxTopology) {
        if (!QueryBoxes(a, b, margin, &faceA, &faceB, &edge)) {
            return false;
        }
    } else {
        faceA = QueryFaces(a, b);
        if (faceA.Separation > margin) {
            return false;
        }
        faceB = QueryFaces(b, a);
        if (faceB.Separation > margin) {
            return false;
        }
        edge = QueryEdges(a, b);
        if (edge.Separation > margin) {
            return false;
        }
    }
    const float faceBest = faceA.Separation > faceB.Separation ? faceA.Separation : faceB.Separation;
    if (bIsTerrain) {
        // The triangle's face, unless pushing out along it is far deeper than the least
        // overlap found (a body that reached past a thin wall's edge). A body that is only
        // near the triangle's plane outside the triangle touches the neighbouring triangle
        // instead, so nothing is made of the edge between them.
        const float best = edge.Separation > faceBest ? edge.Separation : faceBest;
        if (faceB.Separation >= Min(best, 0.0f) - 0.05f) {
            return FaceContact(b, faceB.Index, a, margin, false, result);
        }
    }
    // Faces are preferred over edges and A's face over B's within small tolerances, so the
    // chosen feature does not flicker between nearly equal axes from step to step. The
    // tolerances grow with the distance on either side of touching (speculative contacts).
    constexpr float EdgeTolerance = 0.10f;
    constexpr float FaceTolerance = 0.02f;
    constexpr float AbsoluteTolerance = 0.0025f;
    if (edge.DirectionA >= 0 && edge.Separation > faceBest + EdgeTolerance * std::fabs(faceBest) + AbsoluteTolerance) {
        return EdgeContact(a, b, edge, result);
    }
    if (faceB.Separation > faceA.Separation + FaceTolerance * std::fabs(faceA.Separation) + AbsoluteTolerance) {
        return FaceContact(b, faceB.Index, a, margin, false, result);
    }
    return FaceContact(a, faceA.Index, b, margin, true, result);
}

bool RbCastHull(const RbHull& hull, const RbVector& origin, const RbVector& direction, float length, RbRayHit* hit) {
    float enter = -FLT_MAX;
    float exit = length;
    int enterFace = -1;
    for (int f = 0; f < hull.Topology->FaceCount; ++f) {
        const float denom = RbDot(hull.Normals[f], direction);
        const float dist = RbDot(hull.Normals[f], origin) - hull.Offsets[f];
        if (std::fabs(denom) < 1e-9f) {
            if (dist > 0.0f) {
                return false;  // runs outside this face's plane
            }
            continue;
        }
        const float t = -dist / denom;
        if (denom < 0.0f) {
            if (t > enter) {
                enter = t;
                enterFace = f;
            }
        } else if (t < exit) {
            exit = t;
        }
        if (enter > exit) {
            return false;
        }
    }
    if (enterFace < 0 || !(enter >= 0.0f) || !std::isfinite(enter)) {
        return false;  // starts inside
    }
    hit->Distance = enter;
    hit->Normal = hull.Normals[enterFace];
    return true;
}

bool RbCastTriangle(const RbVector& a, const RbVector& b, const RbVector& c, const RbVector& origin,
                    const RbVector& direction, float length, RbRayHit* hit) {
    // Möller–Trumbore, both sides.
    const RbVector e1 = RbSub(b, a);
    const RbVector e2 = RbSub(c, a);
    const RbVector p = RbCross(direction, e2);
    const float det = RbDot(e1, p);
    if (std::fabs(det) < 1e-12f || !std::isfinite(det)) {
        return false;
    }
    const float inv = 1.0f / det;
    const RbVector s = RbSub(origin, a);
    const float u = RbDot(s, p) * inv;
    if (u < 0.0f || u > 1.0f) {
        return false;
    }
    const RbVector q = RbCross(s, e1);
    const float v = RbDot(direction, q) * inv;
    if (v < 0.0f || u + v > 1.0f) {
        return false;
    }
    const float t = RbDot(e2, q) * inv;
    if (!(t >= 0.0f && t <= length)) {
        return false;
    }
    RbVector n = RbNormalize(RbCross(e1, e2));
    if (RbLengthSquared(n) == 0.0f) {
        return false;
    }
    if (RbDot(n, direction) > 0.0f) {
        n = RbScale(n, -1.0f);
    }
    hit->Distance = t;
    hit->Normal = n;
    return true;
}
