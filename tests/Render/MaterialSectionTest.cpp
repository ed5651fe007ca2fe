// Material sections applied to nodes: materials, shadow and fire materials, flags, script
// tasks, texture modifiers, shared mesh buffers and part animations.
#include "Render/CPMaterial.h"
#include "Render/CPRenderObject.h"
#include "Render/CPSprite.h"
#include "Render/CPTexture.h"
#include "Render/CPTextureBlock.h"
#include "core/CPCommandDispatcher.h"
#include "core/CPScriptTask.h"
#include "tests/Render/SceneLoaderFixture.h"
#include "tests/scene/AnimationBytes.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

class MaterialSectionTest : public SceneLoaderFixtures::SceneLoaderTest {
protected:
    void TearDown() override {
        for (CPGameObject* node : nodes) CPSceneLoader::DeleteObject(node);
        SceneLoaderTest::TearDown();
    }
    // A mesh node with one triangle; kept for deletion.
    CPGameObject* MeshNode(const std::string& name, CPGameObject* parent = nullptr) {
        auto* node = new CPGameObject(name);
        auto* mesh = new CPRenderObject(node);
        mesh->Vertices.resize(3);
        mesh->Indices = {0, 1, 2};
        node->RenderKind = CPGameObject::RenderMesh;
        node->RenderObject = mesh;
        if (parent != nullptr) parent->AddChild(node);
        else nodes.push_back(node);
        return node;
    }
    static CPRenderObject* Mesh(CPGameObject* node) { return dynamic_cast<CPRenderObject*>(node->RenderObject.Get()); }
    static std::vector<std::string> TextureNames(const CPMaterial* material) {
        std::vector<std::string> names;
        for (const CPTexture* texture : material->Block->Textures) names.push_back(texture->Name);
        return names;
    }
    void Apply(CPGameObject* node, MaterialSection section, int32_t typeBase = 0) {
        loader.ApplyMaterialSection(node, section, typeBase);
    }

    std::vector<CPGameObject*> nodes;
};

TEST_F(MaterialSectionTest, EmptySection) {
    CPGameObject* node = MeshNode("rock");
    Apply(node, {}, 7);
    const CPMaterial* material = Mesh(node)->Material.Get();
    ASSERT_NE(material, nullptr);
    // Asked for with an empty effect and one empty texture name, which the managers replace.
    EXPECT_EQ(material->Effect->Name, "error.fx");
    EXPECT_EQ(TextureNames(material), std::vector<std::string>({"error.tga"}));
    EXPECT_EQ(material->Type, 7);
    EXPECT_EQ(node->ShadowMaterial.Get(), render->GetShadowMaterial().Get());
    EXPECT_EQ(node->FireMaterial, nullptr);
    EXPECT_TRUE(Mesh(node)->Excluded);
}

TEST_F(MaterialSectionTest, HoleyShadowAndFire) {
    WriteEffect("holey.fx", "");
    WriteEffect("holey_shadow.fx", "");
    WriteTexture("bush.tga");
    WriteTexture("bush_fire.tga");
    HostFiles::ClearCache();
    CPGameObject* node = MeshNode("bush");
    Apply(node, {{"effectfile", "holey.fx"}, {"texturefile1", "bush.tga"}, {"shadow", "0"}});
    auto* shadow = dynamic_cast<CPMaterial*>(node->ShadowMaterial.Get());
    ASSERT_NE(shadow, nullptr);
    EXPECT_EQ(shadow->Type, 16);
    EXPECT_EQ(shadow->Effect->Name, "holey_shadow.fx");
    EXPECT_EQ(TextureNames(shadow), std::vector<std::string>({"bush.tga"}));
    // "shadow" 0 clears the flag but keeps the material chosen before it.
    EXPECT_FALSE(node->CastShadow);
    auto* fire = dynamic_cast<CPMaterial*>(node->FireMaterial.Get());
    ASSERT_NE(fire, nullptr);
    EXPECT_EQ(fire->Type, 20);
    EXPECT_EQ(fire->Effect->Name, "holey.fx");
    EXPECT_EQ(TextureNames(fire), std::vector<std::string>({"bush_fire.tga"}));
}

// The burning look is taken when a search for "<texture>_fire.tga" finds it: in any letter
// case, through a wildcard in the texture's name, not through a dangling link.
TEST_F(MaterialSectionTest, FireTexturesAreFoundAsASearchFindsThem) {
    WriteTexture("OAK_FIRE.TGA");
    WriteTexture("bush_fire.tga");
    std::filesystem::create_symlink(dir / "Data/Textures/gone.tga", dir / "Data/Textures/pine_fire.tga");
    HostFiles::ClearCache();
    const struct {
        const char* texture;
        bool burns;
    } cases[] = {{"oak.tga", true}, {"Oak.tga", true}, {"pine.tga", false}, {"b?sh.tga", true}, {"elm.tga", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.texture);
        CPGameObject* node = MeshNode("tree");
        Apply(node, {{"texturefile1", c.texture}});
        EXPECT_EQ(node->FireMaterial != nullptr, c.burns);
    }
}

TEST_F(MaterialSectionTest, TexturesTypeAndFlags) {
    for (const char* texture : {"rock_fire.tga", "rock.big.tga", "c.tga"}) WriteTexture(texture);
    HostFiles::ClearCache();
    CPGameObject* node = MeshNode("rock");
    Apply(node,
          {{"texturefile1", "rock.big.tga"}, {"texturefile3", "c.tga"}, {"type", "3"}, {"visible", "0"},
           {"collision", "zero"}, {"param", "heavy"}, {"flametype", "2x"}},
          20);
    const CPMaterial* material = Mesh(node)->Material.Get();
    EXPECT_EQ(TextureNames(material), std::vector<std::string>({"rock.big.tga", "c.tga"}));
    EXPECT_EQ(material->Type, 23);
    EXPECT_FALSE(node->Visible);
    EXPECT_FALSE(node->Collision);  // not a number: 0
    EXPECT_EQ(node->Param, "heavy");
    EXPECT_EQ(node->FlameType, 2);
    EXPECT_NE(node->FireMaterial, nullptr);  // rock_fire.tga, cut at the first "."
}

TEST_F(MaterialSectionTest, OwnShadowTextures) {
    WriteTexture("sh/crate.tga");
    WriteTexture("wood.tga");
    WriteEffect("sh/crate.fx", "");
    HostFiles::ClearCache();
    loader.ShadowTextureNames = {"sh", ".tga", "fx"};
    loader.ShadowTexturesOn = true;
    CPGameObject* crate = MeshNode("crate");
    CPGameObject* other = MeshNode("other");
    Apply(crate, {{"texturefile1", "wood.tga"}});
    Apply(other, {{"texturefile1", "wood.tga"}});
    EXPECT_EQ(Mesh(crate)->Material->Effect->Name, "sh\\crate.fx");
    EXPECT_EQ(TextureNames(Mesh(crate)->Material.Get()), std::vector<std::string>({"wood.tga", "sh\\crate.tga"}));
    EXPECT_EQ(TextureNames(Mesh(other)->Material.Get()), std::vector<std::string>({"wood.tga"}));
    // Names shorter than an extension do not reach outside the text.
    loader.ShadowTextureNames = {"", "", ""};
    Apply(MeshNode(""), {});
}

TEST_F(MaterialSectionTest, TextureModifiers) {
    CPGameObject* node = MeshNode("water");
    Apply(node, {{"vertexeffect", "movingtex 0.1,0.2; fade 1; fade; ,; wobble 1; ; flick 1,2"}});
    CPRenderObject* mesh = Mesh(node);
    // "fade" without arguments and the unknown words give nothing.
    EXPECT_EQ(mesh->Modifiers.size(), 2u);
    EXPECT_TRUE(mesh->HasModifiers);
    EXPECT_FALSE(node->Static);
    // Modified geometry stays in the batches.
    EXPECT_FALSE(mesh->Excluded);
    EXPECT_EQ(mesh->MeshBuffers, nullptr);

    auto* glow = new CPGameObject("glow");
    auto* sprite = new CPSprite(1.0f);
    glow->RenderKind = CPGameObject::RenderSprite;
    glow->RenderObject = sprite;
    nodes.push_back(glow);
    Apply(glow, {{"vertexeffect", "fade 2"}, {"effectfile", "glow.fx"}});
    EXPECT_EQ(sprite->Modifiers.size(), 1u);
    EXPECT_TRUE(sprite->HasModifiers);
    ASSERT_NE(sprite->Material, nullptr);
    EXPECT_EQ(sprite->Material->Effect->Name, "glow.fx");
}

TEST_F(MaterialSectionTest, ScriptTask) {
    CPCommandDispatcher dispatcher;
    CPCommandDispatcher::Instance = &dispatcher;
    CPScriptTask task;
    dispatcher.RegisterName("door_script", &task);
    CPGameObject* node = MeshNode("door");
    CPGameObject* knob = MeshNode("knob", node);
    Apply(node, {{"script", "nobody"}});
    EXPECT_EQ(node->ScriptObject, nullptr);
    EXPECT_TRUE(knob->Static);
    Apply(node, {{"script", "door_script"}});
    EXPECT_EQ(node->ScriptObject, &task);
    EXPECT_FALSE(knob->Static);
    dispatcher.Unregister(&task);
    CPCommandDispatcher::Instance = nullptr;
}

TEST_F(MaterialSectionTest, PartAnimationsPerNode) {
    AnimationBytes::Track door{"door", {{}, {}, {}}};
    AnimationBytes::Track lid{"lid", {{}, {}, {}}};
    AnimationBytes::Track unused{"nobody", {{}, {}, {}}};
    WriteFile("Data/Animations/open.anm", AnimationBytes::PartAnimationFile({door, lid, unused}));
    HostFiles::ClearCache();
    CPGameObject* root = MeshNode("car");
    CPGameObject* left = MeshNode("door", root);
    CPGameObject* right = MeshNode("door", root);
    CPGameObject* boot = MeshNode("boot", root);
    Apply(root, {{"animation", "open,open.anm; idle; close,; ,open.anm"}});
    ASSERT_EQ(left->Animations.count("open"), 1u);
    ASSERT_EQ(right->Animations.count("open"), 1u);
    // Two nodes of one name each get their own copy, aimed at themselves.
    EXPECT_NE(left->Animations["open"], right->Animations["open"]);
    EXPECT_EQ(left->Animations["open"]->Target, left);
    EXPECT_EQ(right->Animations["open"]->Target, right);
    EXPECT_EQ(left->Animations["open"]->Keys.size(), 3u);
    EXPECT_EQ(right->Animations["open"]->Keys.size(), 3u);
    EXPECT_TRUE(boot->Animations.empty());
    // An item whose name is empty still registers under that name.
    EXPECT_EQ(left->Animations.count(""), 1u);
}

}  // namespace
