#include "game/CPBeaconPointer.h"

#include "core/CPLog.h"
#include "platform/files/HostFiles.h"
#include "scene/CPGameObject.h"
#include "scene/CPSceneLoader.h"

namespace {
constexpr int32_t PointerType = 20;  // the material type base of the level's beacons
}

CPBeaconPointer::~CPBeaconPointer() {
    Target = nullptr;
    ShapeA = nullptr;
    ShapeB = nullptr;
    Shown = nullptr;
    if (Root != nullptr) {
        CPGameObject* doomed = Root.Get();
        Root = nullptr;
        CPSceneLoader::DeleteObject(doomed);
    }
}

CPtr<CPBeaconPointer> CPBeaconPointer::Load() {
    const std::string path = std::string("Data\\Meshes\\") + DescriptionFile;
    if (CPSceneLoader::Instance == nullptr || !HostFiles::Exists(path)) {
        return nullptr;
    }
    CPtr<CPGameObject> root = CPSceneLoader::Instance->LoadObject(DescriptionFile, PointerType);
    if (root == nullptr) {
        return nullptr;
    }
    CPtr<CPBeaconPointer> pointer(new CPBeaconPointer());
    pointer->Root = root;  // deleted with the pointer, whatever follows
    pointer->ShapeA = root->FindChild("shape_a");
    pointer->ShapeB = root->FindChild("shape_b");
    if (pointer->ShapeA == nullptr || pointer->ShapeB == nullptr) {
        CPLog::GetInstance().Write(0, "%s: the beacon pointer needs the nodes shape_a and shape_b\n", path.c_str());
        return nullptr;
    }
    pointer->ShapeA->SetVisible(false);
    pointer->ShapeB->SetVisible(false);
    return pointer;
}

void CPBeaconPointer::SetTarget(CPGameObject* target) {
    Target = CPtr<CPGameObject>(target);
    if (target != nullptr) {
        if (ShapeA != nullptr) {
            ShapeA->SetVisible(true);
        }
        if (ShapeB != nullptr) {
            ShapeB->SetVisible(true);
        }
        Shown = ShapeA.Get();
        return;
    }
    Shown = nullptr;
    if (ShapeB != nullptr) {
        ShapeB->SetVisible(false);
    }
}
