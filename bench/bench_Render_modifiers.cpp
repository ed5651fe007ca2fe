// The texture modifiers over 10 000 vertices, as a render object writes them every frame,
// against a plain copy of the same vertices (what writing them without a modifier costs).
#include "BaselineRatio.h"

#include "Render/CPTextureModifier.h"
#include "core/FrameTime.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int VertexCount = 10000;

struct Kind {
    const char* keyword;
    std::vector<std::string> args;
};

const Kind Kinds[] = {
    {"environment", {"4"}},        {"fade", {"0.01"}},          {"movingtex", {"0.5", "-0.25"}},
    {"flick", {"3", "100", "200"}}, {"anim", {"4", "2", "8"}},
};

void BM_Modifier(benchmark::State& state) {
    const Kind& kind = Kinds[state.range(0)];
    state.SetLabel(kind.keyword);
    auto modifier = CPTextureModifier::Create(kind.keyword, kind.args);
    std::vector<CPVertex> source(VertexCount);
    for (int i = 0; i < VertexCount; ++i) {
        source[i].Position = D3DXVECTOR3(static_cast<float>(i), static_cast<float>(i % 97), 1.0f);
        source[i].Normal = D3DXVECTOR3(0.0f, 0.6f, 0.8f);
        source[i].Diffuse = 0xFF808080u;
        source[i].U = static_cast<float>(i % 13) / 13.0f;
        source[i].V = static_cast<float>(i % 7) / 7.0f;
    }
    std::vector<CPVertex> destination(VertexCount);
    FrameTime = 1.0f / 60.0f;
    RunAgainstBaseline(
        state,
        [&] {
            modifier->Apply(destination.data(), source.data(), VertexCount);
            benchmark::DoNotOptimize(destination.data());
        },
        [&] {
            std::memcpy(destination.data(), source.data(), VertexCount * sizeof(CPVertex));
            benchmark::DoNotOptimize(destination.data());
        });
    FrameTime = 0.0f;
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * VertexCount);
}
BENCHMARK(BM_Modifier)->DenseRange(0, 4)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
