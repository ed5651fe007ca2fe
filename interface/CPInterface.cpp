#include "interface/CPInterface.h"

#include "Render/CPRender.h"
#include "Render/CPRenderBatcher.h"
#include "core/CPActionsManager.h"
#include "core/ConfigVars.h"

#include <algorithm>

std::vector<CPInterface*> CPInterface::Interfaces;

CPInterface::CPInterface() : CPGameObject("Interface") {
    Windows.reserve(100);
    EditBoxes.reserve(100);
    Texts.reserve(100);
    Cursors.reserve(100);
    Interfaces.push_back(this);
    ownMesh = std::make_unique<CPRenderObject>(this);
    Mesh = ownMesh.get();
    RenderObject = Mesh;
    // A screen is a mesh node from the start, so a screen that never loads draws (nothing)
    // like any other.
    RenderKind = RenderMesh;
}

CPInterface::~CPInterface() {
    Interfaces.erase(std::remove(Interfaces.begin(), Interfaces.end(), this), Interfaces.end());
    // Counted references first, then what the screen owns, newest first: an edit box lets go
    // of its label before the label goes, a node leaves Children while the screen still lives.
    CurrentButton = nullptr;
    Cursor = nullptr;
    Cursors.clear();
    Texts.clear();
    EditBoxes.clear();
    Buttons.clear();
    WindowOrder.clear();
    Windows.clear();
    windowIndex.clear();
    drawOrder.clear();
    windowIndexStale = true;
    for (const std::unique_ptr<CPObject>& object : owned) {
        if (auto* node = dynamic_cast<CPGameObject*>(object.get())) {
            node->RenderObject = nullptr;
        }
    }
    while (!owned.empty()) {
        owned.pop_back();
    }
    RenderObject = nullptr;
    Mesh = nullptr;
}

void CPInterface::ApplyAnchor(float& x, float& y, const std::string& anchor) {
    ::ApplyAnchor(x, y, anchor, Cfg::screenWidth, Cfg::screenHeight);
}

void CPInterface::Activate(int32_t priority) {
    InputActive = true;
    int x = 0;
    int y = 0;
    if (CPActionsManager::Instance != nullptr) {
        CPActionsManager::Instance->GetMousePosition(x, y);
    }
    OnMouseMove(static_cast<float>(x), static_cast<float>(y));
    CPGameObject::Activate(priority);
}

void CPInterface::SilentActivate(int32_t priority) {
    InputActive = true;
    CPGameObject::Activate(priority);
}

void CPInterface::Deactivate() {
    InputActive = false;
    CPGameObject::Deactivate();
}

void CPInterface::Submit() {
    CPRender* render = CPRender::Instance;
    if (render == nullptr) {
        return;
    }
    if (LightOn) {
        render->AddLight(Light);  // skipped with 30 lights already there
    }
    if (const CPtr<CPRenderBatcher> batcher = render->GetStaticBatcher()) {
        batcher->AddTree(CPtr<CPGameObject>(this));
    }
}

void CPInterface::UpdateBuffers() {
    CPRenderObject& mesh = *Mesh;
    // Sized once and written in place from a flat copy of the order: a race display
    // rebuilds this every frame.
    if (drawOrder.size() != WindowOrder.size()) {  // AddWindow only appends
        drawOrder.clear();
        for (const CPtr<CPWindow>& window : WindowOrder) {
            drawOrder.push_back(window.Get());
        }
    }
    size_t quads = 0;
    for (const CPWindow* window : drawOrder) {
        quads += window->Visible ? 1 : 0;
    }
    quads = std::min(quads, static_cast<size_t>(MaxInterfaceQuads));  // 16-bit indices: more would wrap
    mesh.Vertices.resize(quads * 4);
    mesh.Indices.resize(quads * 6);
    CPVertex* vertex = mesh.Vertices.data();
    uint16_t* index = mesh.Indices.data();
    uint16_t base = 0;
    size_t built = 0;
    for (CPWindow* window : drawOrder) {
        if (built == quads) {
            break;
        }
        if (!window->Visible) {
            continue;
        }
        const CPVertex* vertices = window->GetVertices();
        const uint16_t* indices = window->GetIndices();
        for (int i = 0; i < 4; ++i) {
            *vertex = vertices[i];
            vertex->Position.x += window->X;
            vertex->Position.y += window->Y;
            ++vertex;
        }
        for (int i = 0; i < 6; ++i) {
            *index++ = static_cast<uint16_t>(indices[i] + base);
        }
        base = static_cast<uint16_t>(base + 4);
        ++built;
    }
    mesh.WorldVertices.assign(mesh.Vertices.begin(), mesh.Vertices.end());
}

void CPInterface::AddWindow(std::unique_ptr<CPWindow> window) {
    CPWindow* raw = Own(std::move(window));
    Windows[raw->Name] = raw;
    windowIndexStale = true;
    WindowOrder.push_back(CPtr<CPWindow>(raw));
    if (dynamic_cast<CPButton*>(raw) != nullptr) {
        Buttons.push_back(CPtr<CPWindow>(raw));
    }
}

CPtr<CPGameObject> CPInterface::MakeTextNode() {
    CPGameObject* node = Own(std::make_unique<CPGameObject>("text"));
    node->RenderKind = RenderMesh;
    node->RenderObject = Own(std::make_unique<CPRenderObject>(node));
    return CPtr<CPGameObject>(node);
}
