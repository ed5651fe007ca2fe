// Node trees from the records of mesh files (Render/MeshFile): static meshes, physics meshes
// with their body and collision hull, and vertex-animated figures. Every node gets its render
// object, collision boxes and bounds, then its material section.
//
// Placements and shape rotations are stored as quaternions whose conjugate turns the node;
// the one exception, kept because stored files rely on it, is the cylinder's physics record,
// which is handed the conjugate of what a box is handed.
#include "scene/CPSceneLoader.h"

#include "Render/CPAnimatedObject.h"
#include "Render/CPAnimation.h"
#include "Render/CPRenderObject.h"
#include "Render/MeshFile.h"
#include "scene/CPGameObject.h"
#include "scene/CPPhysicData.h"

#include <algorithm>

namespace {

D3DXQUATERNION Conjugate(const D3DXQUATERNION& q) { return D3DXQUATERNION(-q.x, -q.y, -q.z, q.w); }

// A box of the shape's sizes standing on its base: centred on the origin of its own space,
// placed by the shape's turn and the middle of its height.
CPBox StandingBox(const MeshFile::Shape& shape) {
    CPBox box(D3DXVECTOR3(0.0f, 0.0f, 0.0f),
              D3DXVECTOR3(shape.SizeX / 2.0f, shape.SizeY / 2.0f, shape.Height / 2.0f));
    const D3DXQUATERNION turn = Conjugate(shape.Rotation);
    D3DXMATRIX rotation;
    D3DXMATRIX translation;
    D3DXMatrixRotationQuaternion(&rotation, &turn);
    D3DXMatrixTranslation(&translation, shape.Position.x, shape.Position.y, shape.Position.z + shape.Height / 2.0f);
    D3DXMatrixMultiply(&box.Local, &rotation, &translation);
    return box;
}

// One shape record of a physics or animated node. Without physics data (an animated node
// without mass) a box still gives its collision box.
void ApplyShape(CPGameObject& node, const MeshFile::Shape& shape) {
    CPPhysicData* physics = node.Physics.Get();
    if (shape.Kind == 0) {
        if (physics != nullptr) {
            const D3DXVECTOR3 middle(shape.Position.x, shape.Position.y, shape.Position.z + shape.Height / 2.0f);
            physics->AddBox(middle, shape.Rotation, shape.SizeX, shape.Height, shape.SizeY, shape.Mass);
        }
        node.CollisionBoxes.push_back(StandingBox(shape));
    } else if (shape.Kind == 1) {
        if (physics != nullptr) {
            physics->AddCylinder(shape.Position, Conjugate(shape.Rotation), shape.Diameter, shape.Height, shape.Mass);
        }
    }
}

// The vertices and indices of the record move into a new render object of the node, every
// diffuse colour the loader's default.
CPRenderObject* MakeMesh(CPGameObject& node, MeshFile::Node& record, uint32_t colour) {
    auto* mesh = new CPRenderObject(&node);
    node.RenderKind = CPGameObject::RenderMesh;
    node.RenderObject = mesh;
    mesh->Vertices = std::move(record.Vertices);
    for (CPVertex& vertex : mesh->Vertices) vertex.Diffuse = colour;
    mesh->WorldVertices = mesh->Vertices;
    mesh->Indices = std::move(record.Indices);
    return mesh;
}

}  // namespace

namespace {

// The node's section, or an empty one (nothing is inserted).
void ApplySection(CPSceneLoader& loader, CPGameObject* node, SectionTable& sections, int32_t typeBase) {
    const auto found = sections.find(node->Name);
    MaterialSection empty;
    loader.ApplyMaterialSection(node, found != sections.end() ? found->second : empty, typeBase);
}

}  // namespace

CPtr<CPGameObject> CPSceneLoader::ReadMeshNode(MeshFile::Node& record, SectionTable& sections, int32_t typeBase) {
    auto* node = new CPGameObject(record.Name);
    MakeMesh(*node, record, DefaultVertexColour);
    for (const MeshFile::Box& box : record.Boxes) node->CollisionBoxes.emplace_back(box.Centre, box.HalfExtents);
    for (MeshFile::Node& child : record.Children) node->AddChild(ReadMeshNode(child, sections, typeBase));
    ApplySection(*this, node, sections, typeBase);
    return node;
}

CPtr<CPGameObject> CPSceneLoader::ReadPhysicsMeshNode(MeshFile::Node& record, SectionTable& sections,
                                                      int32_t typeBase) {
    auto* node = new CPGameObject(record.Name);
    node->Physics = new CPPhysicData(node);
    node->Physics->SetShape(record.Body.SizeX, record.Body.Height, record.Body.SizeY, record.Body.Mass);
    node->SetPosition(record.Position);
    node->SetOrientation(Conjugate(record.Rotation));
    CPRenderObject* mesh = MakeMesh(*node, record, DefaultVertexColour);
    // Bounds enclosing the vertices; a node without vertices gets a zero box at its origin.
    D3DXVECTOR3 low(0.0f, 0.0f, 0.0f);
    D3DXVECTOR3 high(0.0f, 0.0f, 0.0f);
    if (!mesh->Vertices.empty()) low = high = mesh->Vertices[0].Position;
    for (const CPVertex& vertex : mesh->Vertices) {
        low = D3DXVECTOR3(std::min(low.x, vertex.Position.x), std::min(low.y, vertex.Position.y),
                          std::min(low.z, vertex.Position.z));
        high = D3DXVECTOR3(std::max(high.x, vertex.Position.x), std::max(high.y, vertex.Position.y),
                           std::max(high.z, vertex.Position.z));
    }
    node->SetBounds(CPBox(D3DXVECTOR3((low.x + high.x) / 2.0f, (low.y + high.y) / 2.0f, (low.z + high.z) / 2.0f),
                          D3DXVECTOR3((high.x - low.x) / 2.0f, (high.y - low.y) / 2.0f, (high.z - low.z) / 2.0f)));
    for (const MeshFile::Shape& shape : record.Shapes) ApplyShape(*node, shape);
    for (MeshFile::Node& child : record.Children) node->AddChild(ReadPhysicsMeshNode(child, sections, typeBase));
    ApplySection(*this, node, sections, typeBase);
    return node;
}

CPtr<CPGameObject> CPSceneLoader::ReadAnimatedNode(MeshFile::Node& record,
                                                   const std::vector<CPtr<CPAnimation>>& animations,
                                                   SectionTable& sections, int32_t typeBase,
                                                   const std::string& animationName) {
    auto* node = new CPGameObject(record.Name);
    if (record.Body.Mass > 0.0f) {
        node->Physics = new CPPhysicData(node);
        node->Physics->SetShape(record.Body.SizeX, record.Body.Height, record.Body.SizeY, record.Body.Mass);
    }
    auto* figure = new CPAnimatedObject(node);
    node->RenderKind = CPGameObject::RenderAnimatedMesh;
    node->RenderObject = figure;
    CPtr<CPAnimation> animation;
    if (record.KeyFrames >= 0 && static_cast<size_t>(record.KeyFrames) < animations.size()) {
        animation = animations[static_cast<size_t>(record.KeyFrames)];
    }
    if (animation != nullptr) figure->AddAnimation(animationName, animation);
    if (record.Bounds.Mass > 0.0f) {
        node->SetBounds(StandingBox(record.Bounds));
    } else if (animation != nullptr) {
        node->SetBounds(animation->Bounds);
    }
    for (const MeshFile::Shape& shape : record.Shapes) ApplyShape(*node, shape);
    for (MeshFile::Node& child : record.Children) {
        node->AddChild(ReadAnimatedNode(child, animations, sections, typeBase, animationName));
    }
    ApplySection(*this, node, sections, typeBase);
    return node;
}

void CPSceneLoader::AddAnimatedNode(CPtr<CPGameObject> node, const MeshFile::Node& record,
                                    const std::vector<CPtr<CPAnimation>>& animations,
                                    const std::string& animationName) {
    if (node == nullptr) return;
    auto* figure = dynamic_cast<CPAnimatedObject*>(node->RenderObject.Get());
    if (figure != nullptr && record.KeyFrames >= 0 && static_cast<size_t>(record.KeyFrames) < animations.size() &&
        animations[static_cast<size_t>(record.KeyFrames)] != nullptr) {
        figure->AddAnimation(animationName, animations[static_cast<size_t>(record.KeyFrames)]);
    }
    // A child record that names no child of this node was read whole and is dropped here.
    for (const MeshFile::Node& child : record.Children) {
        AddAnimatedNode(node->GetChild(child.Name), child, animations, animationName);
    }
}
