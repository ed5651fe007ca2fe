// A vertex-animated figure of 5 000 vertices played frame by frame: each game frame (1/60 s)
// chooses the key frame of the moment and writes it in world space with its indices, against
// a plain loop doing the same: the key frame of the moment, its vertices through the owner's
// world matrix into the batch, its indices plus base.
#include "Render/CPAnimatedObject.h"
#include "Render/CPAnimationManager.h"
#include "bench/BaselineRatio.h"
#include "core/CPFileReader.h"
#include "core/FrameTime.h"
#include "scene/CPAnimationParams.h"
#include "scene/CPGameObject.h"
#include "tests/scene/AnimationBytes.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

constexpr int Vertices = 5000;
constexpr int Frames = 30;

// The plain frame: the key frame's vertices through the world matrix (row vectors: positions
// take the translation row, normals the upper 3x3), its indices plus base 0. The matrix is
// held in scalars so that it stays in registers across the vertex stores.
void PlainFrame(const CPAnimationFrame& frame, const D3DXMATRIX& m, CPVertex* out, uint16_t* indices) {
    const float a11 = m._11, a12 = m._12, a13 = m._13, a21 = m._21, a22 = m._22, a23 = m._23;
    const float a31 = m._31, a32 = m._32, a33 = m._33, t1 = m._41, t2 = m._42, t3 = m._43;
    const CPVertex* in = frame.Vertices.data();
    const size_t count = frame.Vertices.size();
    for (size_t i = 0; i < count; ++i) {
        const CPVertex v = in[i];
        out[i] = v;
        const float x = v.Position.x, y = v.Position.y, z = v.Position.z;
        const float nx = v.Normal.x, ny = v.Normal.y, nz = v.Normal.z;
        out[i].Position.x = x * a11 + y * a21 + z * a31 + t1;
        out[i].Position.y = x * a12 + y * a22 + z * a32 + t2;
        out[i].Position.z = x * a13 + y * a23 + z * a33 + t3;
        out[i].Normal.x = nx * a11 + ny * a21 + nz * a31;
        out[i].Normal.y = nx * a12 + ny * a22 + nz * a32;
        out[i].Normal.z = nx * a13 + ny * a23 + nz * a33;
    }
    const uint16_t* from = frame.Indices.data();
    const size_t indexCount = frame.Indices.size();
    for (size_t i = 0; i < indexCount; ++i) {
        indices[i] = from[i];
    }
}

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
    std::vector<CPVertex> plainVertices(vertexOut.size());
    std::vector<uint16_t> plainIndices(indexOut.size());
    // Half a second ahead of the figure: the two never read the same key frame in one
    // iteration, so neither finds it in the cache warmed by the other (they alternate in
    // order, and a key frame lasts two game frames).
    double plainTime = 0.5;
    RunAgainstBaseline(
        state,
        [&] {
            FullTime += 1.0 / 60.0;
            figure->Fill(vertexOut.data(), indexOut.data(), 0, false);
            benchmark::DoNotOptimize(vertexOut.data());
        },
        [&] {
            plainTime += 1.0 / 60.0;
            const auto& frame = walk->Frames[static_cast<size_t>(walk->FrameAt(plainTime))];  // the same moment
            PlainFrame(frame, node.WorldMatrix, plainVertices.data(), plainIndices.data());
            benchmark::DoNotOptimize(plainVertices.data());
            benchmark::DoNotOptimize(plainIndices.data());
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
