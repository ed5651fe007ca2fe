// A whole object built from a damaged description and mesh file: the input is the ".rdf" text,
// optionally followed by a line "%%" and the bytes that stand for every mesh and animation
// file it may name ("m.msh", "m.p3d", "a.msh", "b.msh" and "Data\Animations\a.anm"). The
// files are served from a pack, with a sound "wrong.rdf" beside them. Whatever the input, the
// load ends, leaves the shadow-texture flag cleared and gives a tree that deletes cleanly.
#include "FuzzFiles.h"
#include "tests/Render/ResourceManagers.h"

#include "Render/CPAnimationManager.h"
#include "Render/CPEffectManager.h"
#include "Render/CPMaterialManager.h"
#include "Render/CPRender.h"
#include "Render/CPTextureManager.h"
#include "Render/MeshFile.h"
#include "core/PackFiles.h"
#include "platform/d3d9/D3D9Device.h"
#include "platform/files/HostFiles.h"
#include "scene/CPGameObject.h"
#include "scene/CPSceneLoader.h"

#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

std::vector<uint8_t> StandIn() {
    MeshFile::File file;
    file.NodeCount = 1;
    file.Nodes.resize(1);
    file.Nodes[0].Name = "wrong";
    return MeshFile::Write(file, MeshFile::Kind::Static);
}

size_t TreeSize(CPGameObject* root) {
    std::vector<CPtr<CPGameObject>> tree;
    root->CollectTree(tree);
    return tree.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find("\n%%\n");
    const std::string text = input.substr(0, split);
    const std::vector<uint8_t> mesh =
        split == std::string::npos ? std::vector<uint8_t>() : Bytes(input.substr(split + 4));

    std::vector<PackFormat::Source> members = {
        {"data\\meshes\\fuzz.rdf", Bytes(text)},
        {"data\\meshes\\wrong.rdf", Bytes("mesh = w.msh\n")},
        {"data\\meshes\\w.msh", StandIn()},
        {"data\\animations\\a.anm", mesh},
    };
    for (const char* name : {"m.msh", "m.p3d", "a.msh", "b.msh"}) members.push_back({std::string("data\\meshes\\") + name, mesh});
    std::vector<uint8_t> pack;
    Fuzz::Check(PackFormat::Encode(members, pack), "the pack encodes");
    const std::string packPath = Fuzz::WriteFile("objects.pak", pack.data(), pack.size());
    PackFiles.clear();
    HostFiles::ClearCache();
    Fuzz::Check(AddPackFile(packPath) == S_OK, "the pack opens");

    static D3D9RecordingDevice* device = D3D9RecordingDevice::Create();
    static CPRender render;
    static CPSceneLoader loader;
    render.Device = device;
    CPRender::Instance = &render;
    CPSceneLoader::Instance = &loader;
    {
        ResourceManagers managers;

        CPtr<CPGameObject> root = loader.LoadObject("fuzz.rdf", 0);
        Fuzz::Check(!loader.ShadowTexturesOn, "the shadow-texture flag ends cleared");
        Fuzz::Check(root != nullptr, "a sound stand-in is always there");
        root->UpdateTransform();
        Fuzz::Check(TreeSize(root.Get()) > 0, "the tree can be walked");
        CPGameObject* node = root.Get();
        root = nullptr;
        CPSceneLoader::DeleteObject(node);
        render.ReleaseMeshBuffers();
    }
    PackFiles.clear();
    return 0;
}
