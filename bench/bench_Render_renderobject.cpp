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
        const CPVertex* in = Object->Vertices.data();
        CPVertex* world = PlainWorld.data();
        CPVertex* out = VertexOut.data();
        for (size_t i = 0; i < PlainWorld.size(); ++i) {
            const D3DXVECTOR3 p = in[i].Position;
            const D3DXVECTOR3 n = in[i].Normal;
            world[i].Position = {p.x * m._11 + p.y * m._21 + p.z * m._31 + m._41,
                                 p.x * m._12 + p.y * m._22 + p.z * m._32 + m._42,
                                 p.x * m._13 + p.y * m._23 + p.z * m._33 + m._43};
            world[i].Normal = {n.x * m._11 + n.y * m._21 + n.z * m._31, n.x * m._12 + n.y * m._22 + n.z * m._32,
                               n.x * m._13 + n.y * m._23 + n.z * m._33};
            world[i].Diffuse = in[i].Diffuse;
            out[i] = world[i];
        }
        const uint16_t* indices = Object->Indices.data();
        for (size_t i = 0; i < IndexOut.size(); ++i) {
            IndexOut[i] = static_cast<uint16_t>(indices[i] + 16);
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
