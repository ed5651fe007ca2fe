// Building a screen from its ".int" file (parsed by interface/InterfaceFile.cpp).
#include "interface/CPInterface.h"

#include "Render/CPMaterialManager.h"
#include "core/CPCommandDispatcher.h"
#include "core/CPFileReader.h"
#include "core/CPLog.h"
#include "core/CPScriptTask.h"
#include "interface/CPFontManager.h"
#include "interface/CPGameData.h"

namespace {

CPtr<CPMaterial> InterfaceMaterial(const std::string& effect, const std::string& texture, int type) {
    CPMaterialManager* materials = GetMaterialManager();
    return materials != nullptr ? materials->GetMaterial(effect, {texture}, type) : CPtr<CPMaterial>();
}

void DrawLabel(const CPTextEntry& entry, const std::string& text) {
    if (CPFontManager::Instance != nullptr) {
        CPFontManager::Instance->BuildText(entry.Object, entry.X, entry.Y, entry.Font, text);
    }
}

}  // namespace

void CPInterface::Load(const std::string& name, int number) {
    Name = name;
    TransformUpdated = true;
    RenderKind = RenderMesh;

    // The screens are laid out for 1024 x 768 whatever number the caller gives.
    const std::string path = "Data\\Interface\\" + name + "1024.int";
    CPFileReader reader(path, false);
    if (FAILED(reader.Load())) {
        UpdateBuffers();
        return;
    }
    InterfaceFile file;
    ParseInterfaceFile(reinterpret_cast<const char*>(reader.GetData()), reader.GetLength(), file);
    Build(file, number);
}

void CPInterface::Build(const InterfaceFile& file, int number) {
    LightOn = file.LightOn;
    if (file.LightOn) {
        Light = file.Light;
    }
    const char* effect = file.Smooth ? "interface2.fx" : "interface.fx";
    Mesh->SetMaterial(InterfaceMaterial(effect, file.Texture, MaterialType(number)));

    ScriptObject = nullptr;
    if (CPCommandDispatcher::Instance != nullptr) {
        ScriptObject = CPCommandDispatcher::Instance->FindObject(file.Owner).Get();
    }

    // A label of an edit box or a text line: its own node, placed half a pixel in.
    const auto makeLabel = [this](const std::string& font, float x, float y,
                                  const std::optional<std::string>& anchor) {
        CPTextEntry label;
        label.Object = MakeTextNode();
        label.Font = font;
        label.X = x + 0.5f;
        label.Y = y + 0.5f;
        if (anchor) {
            ApplyAnchor(label.X, label.Y, *anchor);
        }
        return label;
    };

    bool reportedFull = false;
    for (const InterfaceEntry& entry : file.Entries) {
        const bool window = entry.EntryKind == InterfaceEntry::Window || entry.EntryKind == InterfaceEntry::Button;
        if (window && WindowOrder.size() >= static_cast<size_t>(MaxInterfaceQuads) &&
            !(entry.EntryKind == InterfaceEntry::Window && entry.Windows[0].Name == "cursor")) {
            if (!reportedFull) {
                CPLog::GetInstance().Write(0, "Interface %s: more than %d windows; the rest are left out\n",
                                           Name.c_str(), MaxInterfaceQuads);
                reportedFull = true;
            }
            continue;
        }
        switch (entry.EntryKind) {
        case InterfaceEntry::Window: {
            auto w = std::make_unique<CPWindow>(this);
            w->SetVisible(true);
            w->LoadLine(entry.Windows[0], file.TextureWidth, file.TextureHeight);
            if (w->Name == "cursor") {
                LoadCursor(*w, file.Texture);
            } else {
                AddWindow(std::move(w));
            }
            break;
        }
        case InterfaceEntry::Button: {
            auto b = std::make_unique<CPButton>(this);
            b->SetVisible(true);
            b->LoadStates(entry.Windows, file.TextureWidth, file.TextureHeight);
            AddWindow(std::move(b));
            break;
        }
        case InterfaceEntry::TextEdit: {
            const InterfaceEditBoxLine& line = entry.EditBox;
            CPTextEntry label = makeLabel(line.Font, line.X, line.Y, line.Anchor);
            CPEditBox* box = line.Text ? Own(std::make_unique<CPEditBox>(label, line.MaxLength, *line.Text))
                                       : Own(std::make_unique<CPEditBox>(label, line.MaxLength));
            EditBoxes[line.Name] = box;
            AddChild(label.Object);
            Texts[line.Name] = label;
            DrawLabel(label, box->Text + "_");
            break;
        }
        case InterfaceEntry::Text: {
            const InterfaceTextLine& line = entry.Label;
            CPTextEntry label = makeLabel(line.Font, line.X, line.Y, line.Anchor);
            // The shown text is kept with the label, so it can be drawn again as it stands.
            label.Text = CPGameData::Instance != nullptr ? CPGameData::Instance->GetText(line.Key) : std::string();
            Texts[line.Name] = label;
            AddChild(label.Object);
            DrawLabel(label, label.Text);
            break;
        }
        }
    }
    UpdateBuffers();
}

void CPInterface::LoadCursor(const CPWindow& window, const std::string& texture) {
    CPGameObject* node = Own(std::make_unique<CPGameObject>("cursor"));
    node->RenderKind = RenderMesh;
    CPRenderObject* ro = Own(std::make_unique<CPRenderObject>(node));
    node->RenderObject = ro;
    ro->Vertices.assign(window.Vertices, window.Vertices + 4);
    ro->WorldVertices = ro->Vertices;
    ro->Indices.assign(window.Indices, window.Indices + 6);
    ro->SetMaterial(InterfaceMaterial("interface.fx", texture, 205));
    Cursor = node;
    AddChild(CPtr<CPGameObject>(node));
    Cursors["cursor"] = node;
}
