// A vertex-animated figure of 5 000 vertices played frame by frame: each game frame (1/60 s)
// chooses the key frame of the moment and writes it in world space with its indices, against
// a plain memcpy of the bytes written.
#include "Render/CPAnimatedObject.h"
#include "Render/CPAnimationManager.h"
#include "bench/BaselineRatio.h"
#include "core/CPFileReader.h"
#include "core/FrameTime.h"
#include "scene/CPAnimationParams.h"
#include "scene/CPGameObject.h"
#include "tests/scene/AnimationBytes.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

constexpr int Vertices = 5000;
constexpr int Frames = 30;

void BM_AnimatedFigureFrame(benchmark::State& state) {
    CPAnimationManager manager;
    CPAnimationManager::Instance = &manager;
    std::vector<AnimationBytes::Frame> frames = AnimationBytes::CountingFrames(Frames, Vertices - Vertices % 3);
    auto reader = AnimationBytes::LoadReader(AnimationBytes::KeyFrameBlock(80.0f, frames));  // 30 frames a second
    CPtr<CPAnimation> walk = reader ? manager.GetAnimation("figure&walk.msh", *reader) : nullptr;
    if (!walk) {
        state.SkipWithError("the key frames did not load");
        return;
    }
    CPGameObject node("figure");
    auto* figure = new CPAnimatedObject(&node);
    node.RenderObject = figure;
    node.SetPosition(D3DXVECTOR3(5, 6, 7));
    node.UpdateTransform();
    figure->AddAnimation("walk", walk);
    CPAnimationParams params;
    params.Name = "walk";
    FullTime = 0.0;
    figure->SetAnimation(params, true);

    std::vector<CPVertex> vertexOut(static_cast<size_t>(figure->GetVertexCount()));
    std::vector<uint16_t> indexOut(static_cast<size_t>(figure->GetIndexCount()));
    const size_t bytes = vertexOut.size() * sizeof(CPVertex) + indexOut.size() * sizeof(uint16_t);
    std::vector<uint8_t> plainFrom(bytes, 1), plainTo(bytes, 0);
    RunAgainstBaseline(
        state,
        [&] {
            FullTime += 1.0 / 60.0;
            figure->Fill(vertexOut.data(), indexOut.data(), 0, false);
            benchmark::DoNotOptimize(vertexOut.data());
        },
        [&] {
            std::memcpy(plainTo.data(), plainFrom.data(), bytes);
            benchmark::DoNotOptimize(plainTo.data());
        });
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(vertexOut.size()));
    node.RenderObject = nullptr;
    delete figure;
    walk = nullptr;
    FullTime = 0.0;
    CPAnimationManager::Instance = nullptr;
}
BENCHMARK(BM_AnimatedFigureFrame)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
