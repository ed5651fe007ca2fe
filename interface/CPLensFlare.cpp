#include "interface/CPLensFlare.h"

#include "Render/CPMaterialManager.h"
#include "core/CPFileReader.h"
#include "core/ConfigVars.h"
#include "platform/win32/Clock.h"

#include <algorithm>

CPLensFlare::CPLensFlare() = default;

CPLensFlare::~CPLensFlare() = default;

void CPLensFlare::SetLightPosition(int32_t x, int32_t y) {
    LightX = x;
    LightY = y;
    LightPositionSet = true;
}

void CPLensFlare::Load(const std::string& name, int number) {
    RenderKind = RenderMesh;
    TransformUpdated = true;
    ScriptObject = nullptr;

    std::vector<FlareLine> lines;
    CPFileReader reader("Data\\Interface\\" + name + ".int", false);
    if (SUCCEEDED(reader.Load())) {
        ParseFlareFile(reinterpret_cast<const char*>(reader.GetData()), reader.GetLength(), lines);
    }
    Build(lines, number);
}

void CPLensFlare::Build(std::vector<FlareLine> lines, int number) {
    if (lines.size() > static_cast<size_t>(MaxInterfaceQuads)) {
        lines.resize(MaxInterfaceQuads);
    }

    const float w = static_cast<float>(Cfg::screenWidth);
    const float h = static_cast<float>(Cfg::screenHeight);
    // At 1024 x 768 both factors are 2.4: one texel becomes 2.4 pixels.
    const float fx = w * 0.00234375f;
    const float fy = h * 0.003125f;
    for (const FlareLine& line : lines) {
        FlareElement e;
        e.Texture = line.Texture;
        e.LinePosition = line.LinePosition;
        e.ScaleX = line.ScaleX;
        e.ScaleY = line.ScaleY;
        e.Color = line.Color;
        e.Width = TruncateToInt(w * static_cast<float>(line.W) * 0.00234375f);
        e.Height = TruncateToInt(static_cast<float>(line.H) * h * 0.003125f);
        e.U = TruncateToInt(static_cast<float>(line.U) * fx);
        e.V = TruncateToInt(static_cast<float>(line.V) * fy);
        Flares.push_back(e);
    }
    if (Flares.empty()) {
        UpdateBuffers();
        return;
    }

    if (CPMaterialManager* materials = GetMaterialManager(); materials != nullptr) {
        Mesh->SetMaterial(materials->GetMaterial("lensflare.fx", {Flares.front().Texture}, MaterialType(number)));
    }

    for (size_t i = 0; i < Flares.size(); ++i) {
        FlareElement& e = Flares[i];
        const int32_t a = TruncateToInt(static_cast<double>(e.Width) * e.ScaleX);
        const int32_t b = TruncateToInt(static_cast<double>(e.Height) * e.ScaleY);
        const int32_t c = TruncateToInt(static_cast<double>(e.U) * e.ScaleX);
        const int32_t d = TruncateToInt(static_cast<double>(e.V) * e.ScaleY);
        e.HalfWidth = a / 2;
        e.HalfHeight = b / 2;
        auto window = std::make_unique<CPWindow>(this);
        window->Init(std::to_string(i), w * e.ScaleX * 1.2f, h * e.ScaleY * 1.6f, 0.0f, 0.0f, static_cast<float>(a),
                     static_cast<float>(b), static_cast<float>(c), static_cast<float>(d), static_cast<float>(a),
                     static_cast<float>(b));
        window->Color = e.Color;
        for (CPVertex& v : window->Vertices) {
            v.Diffuse = e.Color;
        }
        window->X = 0.0f;
        window->Y = 0.0f;
        AddWindow(std::move(window));
    }
    UpdateBuffers();
}

void CPLensFlare::Submit() {
    const uint32_t now = timeGetTime();
    const uint32_t elapsed = previousSubmit ? now - *previousSubmit : 0u;  // wraps with the clock
    previousSubmit = now;
    const float step = 0.05f * static_cast<float>(elapsed);
    Alpha = LightVisible ? std::min(Alpha + step, 255.0f) : std::max(Alpha - step, 0.0f);

    if (Flares.empty() || !LightPositionSet) {
        return;
    }
    const int64_t cx = static_cast<int64_t>(Cfg::screenWidth / 2) - LightX;
    const int64_t cy = static_cast<int64_t>(Cfg::screenHeight / 2) - LightY;
    const uint32_t alpha = static_cast<uint32_t>(static_cast<int32_t>(Alpha)) & 0xFFu;
    auto window = WindowOrder.begin();
    for (const FlareElement& e : Flares) {
        if (window == WindowOrder.end()) {
            break;
        }
        CPWindow& w = **window;
        const int64_t x = (e.LinePosition * cx) / 50 - e.HalfWidth + LightX;
        const int64_t y = (e.LinePosition * cy) / 50 - e.HalfHeight + LightY;
        const uint32_t color = (alpha << 24) | (w.Color & 0x00FFFFFFu);
        w.Color = color;
        for (CPVertex& v : w.Vertices) {
            v.Diffuse = color;
        }
        w.X = static_cast<float>(x);
        w.Y = static_cast<float>(y);
        ++window;
    }
    UpdateBuffers();
    CPInterface::Submit();
}
