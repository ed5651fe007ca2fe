#include "interface/CPFontManager.h"

#include "Render/CPMaterialManager.h"
#include "core/CPFileReader.h"
#include "core/CPLog.h"
#include "core/Singletons.h"

CPFontManager* CPFontManager::Instance = nullptr;

CPFontManager* GetFontManager() { return CPFontManager::Instance; }

CPFontManager::CPFontManager() { Fonts.reserve(100); }

CPFontManager::~CPFontManager() {
    Fonts.clear();
    if (Instance == this) {
        Instance = nullptr;
    }
}

bool CPFontManager::LoadFont(const std::string& name, std::string* problem) {
    const std::string path = "Data\\Interface\\" + name + ".fnt";
    CPFileReader reader(path, false);
    if (FAILED(reader.Load())) {
        CPLog::GetInstance().Write(0, "Font \"%s\": %s cannot be read\n", name.c_str(), path.c_str());
        if (problem != nullptr) {
            *problem = "the file cannot be read";
        }
        return false;
    }
    auto font = std::make_unique<CPFont>();
    std::string why;
    std::vector<std::string> skipped;
    if (!ParseFontFile(reinterpret_cast<const char*>(reader.GetData()), reader.GetLength(), font->Metrics, why,
                       &skipped)) {
        CPLog::GetInstance().Write(0, "Font \"%s\" refused: %s\n", name.c_str(), why.c_str());
        if (problem != nullptr) {
            *problem = why;
        }
        return false;
    }
    for (const std::string& line : skipped) {
        CPLog::GetInstance().Write(0, "Font \"%s\": line \"%s\" names no character 0 to 255\n", name.c_str(),
                                   line.c_str());
    }
    if (CPMaterialManager* materials = GetMaterialManager(); materials != nullptr) {
        font->Material = materials->GetMaterial("interface.fx", {font->Metrics.Texture}, 200);
    }
    Fonts[name] = CPtr<CPFont>(font.get());
    loaded[name] = std::move(font);
    return true;
}

void CPFontManager::AddFont(const std::string& name, CPtr<CPFont> font) {
    if (!font) {
        Fonts.erase(name);
        return;
    }
    Fonts[name] = font;
}

CPtr<CPFont> CPFontManager::FindFont(const std::string& name) const {
    const auto found = Fonts.find(name);
    return found != Fonts.end() ? found->second : CPtr<CPFont>();
}

CPtr<CPRenderObject> CPFontManager::BuildText(CPtr<CPGameObject> node, float x, float y, const std::string& font,
                                              const std::string& text) {
    if (!node || node->RenderKind != CPGameObject::RenderMesh) {
        return CPtr<CPRenderObject>();
    }
    auto* ro = dynamic_cast<CPRenderObject*>(node->RenderObject.Get());
    if (ro == nullptr) {
        return CPtr<CPRenderObject>();
    }
    const CPtr<CPFont> f = FindFont(font);
    // A display sets most of its labels to the text they already show, every frame.
    if (f && ro->CaptionFont == f->Serial && ro->Material == f->Material && ro->Caption == text &&
        ro->CaptionX == x && ro->CaptionY == y && ro->WorldVertices.size() == ro->Vertices.size()) {
        return CPtr<CPRenderObject>(ro);
    }
    ro->Vertices.clear();
    ro->Indices.clear();
    ro->Caption = text;
    ro->CaptionFont = 0;
    if (f) {
        ro->SetMaterial(f->Material);
        LayoutText(f->Metrics, x, y, text, ro->Vertices, ro->Indices);
        ro->CaptionFont = f->Serial;
        ro->CaptionX = x;
        ro->CaptionY = y;
    }
    ro->WorldVertices = ro->Vertices;
    return CPtr<CPRenderObject>(ro);
}
