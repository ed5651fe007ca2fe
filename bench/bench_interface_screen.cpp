// Rebuilding an interface screen of 200 windows and 20 labels of 40 characters (the mesh and
// every label drawn again with a new text, as a state change and a text update do), and laying out 10 000
// characters of text; each against a plain loop writing the same quads into vectors that
// already have their room.
#include "BaselineRatio.h"

#include "interface/CPFontManager.h"
#include "interface/CPInterface.h"

#include <memory>
#include <string>
#include <vector>

namespace {

FontMetrics BenchFont() {
    FontMetrics font;
    font.LineHeight = 16.0f;
    for (int c = 0; c < 256; ++c) {
        font.Advances[c] = 8.0f + static_cast<float>(c % 5);
        font.GlyphRects[c] = {static_cast<float>(c % 16) / 16.0f, static_cast<float>(c / 16) / 16.0f,
                              static_cast<float>(c % 16 + 1) / 16.0f, static_cast<float>(c / 16 + 1) / 16.0f};
    }
    return font;
}

std::string BenchText(int length) {
    std::string text;
    for (int i = 0; i < length; ++i) {
        text += (i % 61 == 60) ? '^' : static_cast<char>('A' + i % 26);
    }
    return text;
}

// The plain way to write n glyph quads: fixed advance, no line breaks, no table lookups.
void PlainQuads(const FontMetrics& font, float x, float y, const std::string& text, std::vector<CPVertex>& v,
                std::vector<uint16_t>& idx) {
    uint16_t n = 0;
    for (const char ch : text) {
        const auto& r = font.GlyphRects[static_cast<unsigned char>(ch)];
        CPVertex q[4];
        SetFlatVertex(q[0], x, y, r.Left, r.Top);
        SetFlatVertex(q[1], x + 8.0f, y, r.Right, r.Top);
        SetFlatVertex(q[2], x + 8.0f, y + 16.0f, r.Right, r.Bottom);
        SetFlatVertex(q[3], x, y + 16.0f, r.Left, r.Bottom);
        v.insert(v.end(), q, q + 4);
        const uint16_t b = static_cast<uint16_t>(4 * n);
        const uint16_t six[6] = {b, static_cast<uint16_t>(b + 1), static_cast<uint16_t>(b + 2),
                                 b, static_cast<uint16_t>(b + 2), static_cast<uint16_t>(b + 3)};
        idx.insert(idx.end(), six, six + 6);
        x += 6.0f;
        ++n;
    }
}

void BM_ScreenRebuild(benchmark::State& state) {
    CPFontManager fonts;
    CPFontManager::Instance = &fonts;
    CPFont font;
    font.Metrics = BenchFont();
    fonts.AddFont("bench", CPtr<CPFont>(&font));

    auto screen = std::make_unique<CPInterface>();
    for (int i = 0; i < 200; ++i) {
        auto window = std::make_unique<CPWindow>(screen.get());
        std::string name = "w";  // appended: GCC 12 warns falsely on "literal" + std::string
        name += std::to_string(i);
        window->Init(name, 1024.0f, 1024.0f, static_cast<float>(i % 20) * 50.0f,
                     static_cast<float>(i / 20) * 70.0f, 48.0f, 64.0f, 0.0f, 0.0f, 48.0f, 64.0f);
        screen->AddWindow(std::move(window));
    }
    std::vector<CPTextEntry> labels;
    for (int i = 0; i < 20; ++i) {
        CPTextEntry label;
        label.Object = screen->MakeTextNode();
        label.Font = "bench";
        label.X = 10.5f;
        label.Y = 20.5f * static_cast<float>(i);
        label.Text = BenchText(40);
        screen->AddChild(label.Object);
        labels.push_back(label);
    }

    std::vector<CPVertex> plainVertices;
    std::vector<uint16_t> plainIndices;
    plainVertices.reserve(200 * 4 + 20 * 40 * 4);
    plainIndices.reserve(200 * 6 + 20 * 40 * 6);
    // Every text changes each time (its first character flips), so each is laid out anew.
    const auto nextTexts = [&] {
        for (CPTextEntry& label : labels) {
            label.Text[0] = label.Text[0] == 'A' ? 'B' : 'A';
        }
    };
    RunAgainstBaseline(
        state,
        [&] {
            nextTexts();
            screen->UpdateBuffers();
            for (const CPTextEntry& label : labels) {
                fonts.BuildText(label.Object, label.X, label.Y, label.Font, label.Text);
            }
            benchmark::DoNotOptimize(screen->Mesh->Vertices.data());
        },
        [&] {
            nextTexts();
            plainVertices.clear();
            plainIndices.clear();
            for (const CPtr<CPWindow>& w : screen->WindowOrder) {
                for (int k = 0; k < 4; ++k) {
                    CPVertex v = w->Vertices[k];
                    v.Position.x += w->X;
                    v.Position.y += w->Y;
                    plainVertices.push_back(v);
                }
                for (int k = 0; k < 6; ++k) {
                    plainIndices.push_back(static_cast<uint16_t>(plainVertices.size() - 4 + w->Indices[k]));
                }
            }
            for (const CPTextEntry& label : labels) {
                PlainQuads(font.Metrics, label.X, label.Y, label.Text, plainVertices, plainIndices);
            }
            benchmark::DoNotOptimize(plainVertices.data());
        });
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * (200 + 20 * 40));
    labels.clear();
    screen.reset();
    fonts.AddFont("bench", CPtr<CPFont>());
    CPFontManager::Instance = nullptr;
}
BENCHMARK(BM_ScreenRebuild)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_TextLayout(benchmark::State& state) {
    const FontMetrics font = BenchFont();
    const std::string text = BenchText(10000);
    std::vector<CPVertex> vertices;
    std::vector<uint16_t> indices;
    std::vector<CPVertex> plainVertices;
    std::vector<uint16_t> plainIndices;
    vertices.reserve(40000);
    indices.reserve(60000);
    plainVertices.reserve(40000);
    plainIndices.reserve(60000);
    RunAgainstBaseline(
        state,
        [&] {
            vertices.clear();
            indices.clear();
            LayoutText(font, 10.5f, 10.5f, text, vertices, indices);
            benchmark::DoNotOptimize(vertices.data());
        },
        [&] {
            plainVertices.clear();
            plainIndices.clear();
            PlainQuads(font, 10.5f, 10.5f, text, plainVertices, plainIndices);
            benchmark::DoNotOptimize(plainVertices.data());
        });
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 10000);
}
BENCHMARK(BM_TextLayout)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
