// A static mesh's Fill, the vertex path every drawn mesh takes each frame: a 10 000-vertex grid
// whose owner moved (world vertices recomputed, then copied out with the indices plus base),
// and the same mesh standing still (copied only), each against a plain memcpy of the bytes
// Fill writes.
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
        [&] { mesh.Plain(); });
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
