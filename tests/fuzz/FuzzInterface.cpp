// Interface screens from damaged ".int" files: the input is the screen's file, optionally
// followed by a line "%%" and a font file, and another "%%" and a lens-flare file. The screen
// is built (without a renderer: no materials), its labels drawn with the parsed font, then
// driven by the pointer and the keyboard selection; the flare is built and placed.
#include "FuzzFiles.h"

#include "core/ConfigVars.h"
#include "interface/CPFontManager.h"
#include "interface/CPGameData.h"
#include "interface/CPInterface.h"
#include "interface/CPLensFlare.h"
#include "platform/win32/Clock.h"

#include <string>

namespace {

std::string Part(const std::string& input, size_t& at) {
    if (at == std::string::npos) {
        return std::string();
    }
    const size_t end = input.find("\n%%\n", at);
    std::string part = input.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end == std::string::npos ? std::string::npos : end + 4;
    return part;
}

void CheckMesh(const CPRenderObject& mesh) {
    Fuzz::Check(mesh.Vertices.size() <= 4u * MaxInterfaceQuads, "at most 16384 quads");
    Fuzz::Check(mesh.WorldVertices.size() == mesh.Vertices.size(), "the world copy follows");
    for (uint16_t index : mesh.Indices) {
        Fuzz::Check(index < mesh.Vertices.size(), "indices stay within the vertices");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    size_t at = 0;
    const std::string screenText = Part(input, at);
    const std::string fontText = Part(input, at);
    const std::string flareText = Part(input, at);

    static CPFontManager fonts;
    static CPGameData gameData;
    CPFontManager::Instance = &fonts;
    CPGameData::Instance = &gameData;
    gameData.TextTable.clear();
    gameData.TextTable["title"] = "A^B";
    PlatformClock::UseManual();
    Cfg::screenWidth = size % 2 ? 800 : 1024;
    Cfg::screenHeight = size % 2 ? 600 : 768;

    CPFont font;
    std::string problem;
    const bool fontLoaded = ParseFontFile(fontText.data(), static_cast<int>(fontText.size()), font.Metrics, problem);
    fonts.AddFont("small", fontLoaded ? CPtr<CPFont>(&font) : CPtr<CPFont>());

    InterfaceFile file;
    ParseInterfaceFile(screenText.data(), static_cast<int>(screenText.size()), file);
    const Fuzz::MemoryMark memory;
    {
        CPInterface screen;
        screen.Build(file, 0);
        memory.Check("the screen");
        CheckMesh(*screen.Mesh);
        for (const auto& [name, entry] : screen.Texts) {
            CheckMesh(static_cast<const CPRenderObject&>(*entry.Object->RenderObject));
        }
        screen.Activate(450);
        const float points[][2] = {{0, 0}, {100, 100}, {512, 384}, {1e30f, -1e30f}, {101, 101}};
        for (const auto& p : points) {
            CPInterface::OnMouseMove(p[0], p[1]);
            CPInterface::OnMouseDown(0, p[0], p[1]);
            CPInterface::OnMouseUp(0, p[0], p[1]);
            CPInterface::MenuRight();
            CPInterface::MenuLeft();
        }
        for (const auto& [name, box] : screen.EditBoxes) {
            for (int key : {65, 32, 8, 8, 200, 8}) {
                box->ProcessKey(key);
            }
            box->SetText(screenText.substr(0, 64));
        }
        CheckMesh(*screen.Mesh);
        screen.Deactivate();
    }
    {
        std::vector<FlareLine> lines;
        ParseFlareFile(flareText.data(), static_cast<int>(flareText.size()), lines);
        CPLensFlare flare;
        flare.Build(lines, 198);
        flare.SetLightPosition(static_cast<int32_t>(size * 7919), -static_cast<int32_t>(size));
        for (int frame = 0; frame < 3; ++frame) {
            flare.SetLightVisible(frame != 1);
            PlatformClock::AdvanceMilliseconds(40);
            flare.Submit();
            CheckMesh(*flare.Mesh);
            Fuzz::Check(flare.Alpha >= 0.0f && flare.Alpha <= 255.0f, "alpha within 0 to 255");
        }
    }
    fonts.AddFont("small", CPtr<CPFont>());
    // The registry keeps every object ever made; these are all gone.
    CPObject::Registry().clear();
    return 0;
}
