// A static mesh's Fill, the vertex path every drawn mesh takes each frame: a 10 000-vertex grid
// whose owner moved (world vertices recomputed, then copied out with the indices plus base)
// against a plain loop doing the same (the owner's matrix from its position and turn, every
// vertex through it into a kept world copy and the batch, the indices plus base), and the same
// mesh standing still (copied only) against a plain memcpy of the bytes Fill writes.
#include "Render/CPRenderObject.h"
#include "bench/BaselineRatio.h"
#include "scene/CPGameObject.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

constexpr int Side = 100;  // 100 x 100 vertices

struct Mesh {
    CPGameObject Node{"grid"};
    CPRenderObject* Object = new CPRenderObject(&Node);
    std::vector<CPVertex> VertexOut;
    std::vector<uint16_t> IndexOut;
    std::vector<uint8_t> PlainFrom;
    std::vector<uint8_t> PlainTo;
    std::vector<CPVertex> PlainWorld;

    Mesh() {
        for (int y = 0; y < Side; ++y) {
            for (int x = 0; x < Side; ++x) {
                CPVertex v;
                v.Position = D3DXVECTOR3(static_cast<float>(x), static_cast<float>(y), 0.01f * static_cast<float>(x * y));
                v.Normal = D3DXVECTOR3(0, 0, 1);
                v.Diffuse = 0xFFFFFFFF;
                v.U = static_cast<float>(x) / Side;
                v.V = static_cast<float>(y) / Side;
                Object->Vertices.push_back(v);
            }
        }
        for (int y = 0; y + 1 < Side; ++y) {
            for (int x = 0; x + 1 < Side; ++x) {
                const auto at = [](int cx, int cy) { return static_cast<uint16_t>(cy * Side + cx); };
                Object->Indices.insert(Object->Indices.end(),
                                       {at(x, y), at(x + 1, y), at(x, y + 1), at(x, y + 1), at(x + 1, y), at(x + 1, y + 1)});
            }
        }
        Object->WorldVertices = Object->Vertices;
        Node.RenderObject = Object;
        Node.RenderKind = CPGameObject::RenderMesh;
        VertexOut.resize(Object->Vertices.size());
        IndexOut.resize(Object->Indices.size());
        const size_t bytes = VertexOut.size() * sizeof(CPVertex) + IndexOut.size() * sizeof(uint16_t);
        PlainFrom.assign(bytes, 1);
        PlainTo.assign(bytes, 0);
        PlainWorld = Object->Vertices;
    }
    ~Mesh() {
        Node.RenderObject = nullptr;
        delete Object;
    }
    void Fill() {
        Object->Fill(VertexOut.data(), IndexOut.data(), 16, false);
        benchmark::DoNotOptimize(VertexOut.data());
        benchmark::DoNotOptimize(IndexOut.data());
    }
    void Plain() {
        std::memcpy(PlainTo.data(), PlainFrom.data(), PlainFrom.size());
        benchmark::DoNotOptimize(PlainTo.data());
    }
    // Row vectors: positions take the translation row, normals the upper 3x3 only.
    void PlainMoved(const D3DXVECTOR3& position, const D3DXQUATERNION& turn) {
        D3DXMATRIX m;
        D3DXMatrixRotationQuaternion(&m, &turn);
        m._41 = position.x;
        m._42 = position.y;
        m._43 = position.z;
        // The matrix in scalars, so it stays in registers across the vertex stores.
        const float a11 = m._11, a12 = m._12, a13 = m._13, a21 = m._21, a22 = m._22, a23 = m._23;
        const float a31 = m._31, a32 = m._32, a33 = m._33, t1 = m._41, t2 = m._42, t3 = m._43;
        const CPVertex* in = Object->Vertices.data();
        CPVertex* world = PlainWorld.data();
        CPVertex* out = VertexOut.data();
        const size_t count = PlainWorld.size();
        for (size_t i = 0; i < count; ++i) {
            CPVertex v = world[i];  // stored whole to both arrays below
            const float x = in[i].Position.x, y = in[i].Position.y, z = in[i].Position.z;
            const float nx = in[i].Normal.x, ny = in[i].Normal.y, nz = in[i].Normal.z;
            v.Position.x = x * a11 + y * a21 + z * a31 + t1;
            v.Position.y = x * a12 + y * a22 + z * a32 + t2;
            v.Position.z = x * a13 + y * a23 + z * a33 + t3;
            v.Normal.x = nx * a11 + ny * a21 + nz * a31;
            v.Normal.y = nx * a12 + ny * a22 + nz * a32;
            v.Normal.z = nx * a13 + ny * a23 + nz * a33;
            v.Diffuse = in[i].Diffuse;
            world[i] = v;
            out[i] = v;
        }
        const uint16_t* indices = Object->Indices.data();
        uint16_t* indexOut = IndexOut.data();
        const size_t indexCount = IndexOut.size();
        for (size_t i = 0; i < indexCount; ++i) {
            indexOut[i] = static_cast<uint16_t>(indices[i] + 16);
        }
        benchmark::DoNotOptimize(VertexOut.data());
        benchmark::DoNotOptimize(IndexOut.data());
    }
};

void BM_FillAfterMove(benchmark::State& state) {
    Mesh mesh;
    float x = 0.0f;
    RunAgainstBaseline(
        state,
        [&] {
            x += 1.0f;
            D3DXQUATERNION turn;
            D3DXQuaternionRotationYawPitchRoll(&turn, 0.0f, 0.0f, x * 0.01f);
            mesh.Node.SetPosition(D3DXVECTOR3(x, 2.0f, 3.0f));
            mesh.Node.SetOrientation(turn);
            mesh.Node.UpdateTransform();
            mesh.Fill();
        },
        [&] {
            D3DXQUATERNION turn;
            D3DXQuaternionRotationYawPitchRoll(&turn, 0.0f, 0.0f, x * 0.01f);
            mesh.PlainMoved(D3DXVECTOR3(x, 2.0f, 3.0f), turn);
        });
    state.SetItemsProcessed(state.iterations() * Side * Side);
}
BENCHMARK(BM_FillAfterMove)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_FillStanding(benchmark::State& state) {
    Mesh mesh;
    mesh.Node.UpdateTransform();
    mesh.Fill();
    RunAgainstBaseline(state, [&] { mesh.Fill(); }, [&] { mesh.Plain(); });
    state.SetItemsProcessed(state.iterations() * Side * Side);
}
BENCHMARK(BM_FillStanding)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
