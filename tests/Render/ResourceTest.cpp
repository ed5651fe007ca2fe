// Effects, textures, texture blocks and materials: loading with their options and
// fallbacks, sharing by request, and removal.
#include "RenderFixture.h"

#include "platform/d3d9/D3D9Texture.h"
#include "platform/d3dx/D3DXEffectObject.h"

using namespace RenderFixtures;

namespace {

const char* const SharedDeclarations =
    "shared float4x4 g_mViewInv;\nshared float4 g_vLight;\nshared float4 g_vLightColor;\n"
    "shared float4x4 g_mWorldViewProjection;\nshared float4x4 g_mViewProjection;\n"
    "shared float4x4 g_mWorldView;\nshared float4 g_vAmbient;\nshared float4 g_vCameraPos;\n";

}  // namespace

class EffectTest : public RenderTest {};

TEST_F(EffectTest, EffectsAreSharedByTheWholeRequest) {
    WriteEffect("water.fx", "texture tex0;");
    CPtr<CPEffect> a = effects->GetEffect("water.fx");
    CPtr<CPEffect> b = effects->GetEffect("water.fx");
    CPtr<CPEffect> shared = effects->GetEffect("water.fx,shared");
    CPtr<CPEffect> other = effects->GetEffect("water.fx,glossy");
    ASSERT_TRUE(a);
    EXPECT_EQ(a.Get(), b.Get());
    EXPECT_NE(a.Get(), shared.Get());
    EXPECT_NE(a.Get(), other.Get());
    EXPECT_EQ(shared->Name, "water.fx,shared");
    EXPECT_EQ(a->GetTypeName(), "CPEffect - water.fx");
    ASSERT_NE(shared->Effect, nullptr);
    ID3DXEffectPool* effectPool = nullptr;
    ASSERT_EQ(shared->Effect->GetPool(&effectPool), S_OK);
    EXPECT_EQ(effectPool, pool);
    SafeRelease(effectPool);
    ASSERT_EQ(other->Effect->GetPool(&effectPool), S_OK);
    EXPECT_EQ(effectPool, nullptr);
    EXPECT_TRUE(reports.empty());
}

TEST_F(EffectTest, TextureHandlesStopAtTheFirstGap) {
    WriteEffect("gap.fx", "texture tex0;\ntexture tex1;\ntexture tex3;\nfloat time;");
    CPtr<CPEffect> effect = effects->GetEffect("gap.fx");
    ASSERT_NE(effect->Effect, nullptr);
    EXPECT_EQ(effect->TextureHandles.size(), 2u);
    EXPECT_NE(effect->TimeHandle, nullptr);
    EXPECT_NE(effect->Effect->GetCurrentTechnique(), nullptr);

    WriteEffect("plain.fx", "float4 colour;");
    CPtr<CPEffect> plain = effects->GetEffect("plain.fx");
    EXPECT_TRUE(plain->TextureHandles.empty());
    EXPECT_EQ(plain->TimeHandle, nullptr);
}

TEST_F(EffectTest, TheFirstSharedEffectSuppliesTheSharedHandles) {
    WriteEffect("first.fx", SharedDeclarations);
    WriteEffect("second.fx", SharedDeclarations);
    CPtr<CPEffect> plain = effects->GetEffect("first.fx");
    EXPECT_EQ(effects->PoolOwner, nullptr);
    CPtr<CPEffect> first = effects->GetEffect("first.fx,shared");
    ASSERT_NE(first->Effect, nullptr);
    EXPECT_EQ(effects->PoolOwner, first->Effect);
    for (D3DXHANDLE handle : effects->SharedHandles) {
        EXPECT_NE(handle, nullptr);
    }
    const D3DXHANDLE light = effects->SharedHandles[CPEffectManager::Light];
    EXPECT_EQ(light, first->Effect->GetParameterByName(nullptr, "g_vLight"));
    CPtr<CPEffect> second = effects->GetEffect("second.fx,shared");
    EXPECT_EQ(effects->PoolOwner, first->Effect);
    EXPECT_EQ(effects->SharedHandles[CPEffectManager::Light], light);
}

TEST_F(EffectTest, AMissingFileIsReplacedBySimpleFxOutsideThePool) {
    WriteEffect("simple.fx", "texture tex0;");
    CPtr<CPEffect> effect = effects->GetEffect("missing.fx,shared");
    ASSERT_NE(effect->Effect, nullptr);
    EXPECT_EQ(effect->Name, "missing.fx,shared");
    EXPECT_EQ(effect->TextureHandles.size(), 1u);
    ID3DXEffectPool* effectPool = nullptr;
    ASSERT_EQ(effect->Effect->GetPool(&effectPool), S_OK);
    EXPECT_EQ(effectPool, nullptr);
    // Not compiled into the pool, so it does not own it.
    EXPECT_EQ(effects->PoolOwner, nullptr);
    EXPECT_TRUE(reports.empty());
}

TEST_F(EffectTest, AnEffectThatCannotLoadGetsTheOneErrorEffect) {
    WriteEffect("error.fx", "float4 errorColour;");
    CPtr<CPEffect> missing = effects->GetEffect("missing.fx");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->Name, "error.fx");
    EXPECT_NE(missing->Effect, nullptr);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].Text.find("missing.fx"), std::string::npos);

    // Not retried, and shared by every request that fails.
    CPtr<CPEffect> again = effects->GetEffect("missing.fx");
    CPtr<CPEffect> another = effects->GetEffect("absent.fx");
    EXPECT_EQ(again.Get(), missing.Get());
    EXPECT_EQ(another.Get(), missing.Get());
    EXPECT_EQ(effects->GetEffect("error.fx").Get(), missing.Get());
    EXPECT_EQ(reports.size(), 2u);
}

TEST_F(EffectTest, ACompileErrorIsReportedWithTheSourceLine) {
    WriteFile("Data/Effects/broken.fx", TextBytes("technique { pass P0 { ZEnable = ; } "));
    WriteFile("Data/Effects/simple.fx", TextBytes("this is not an effect"));
    CPEffect effect;
    EXPECT_FALSE(effect.Load("broken.fx"));
    EXPECT_EQ(effect.Effect, nullptr);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].File, "Render/PEffect");
    EXPECT_EQ(reports[0].Line, 69);
    EXPECT_EQ(reports[0].Text.rfind("DXError if Render/PEffect on line 69\n", 0), 0u);

    CPEffect fallback;
    EXPECT_FALSE(fallback.Load("missing.fx"));
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[1].Line, 89);

    D3D9Faults::Fail(D3D9Fault::D3DXCreateEffect, E_OUTOFMEMORY);
    WriteEffect("good.fx", "");
    CPEffect refused;
    EXPECT_FALSE(refused.Load("good.fx"));
    EXPECT_EQ(reports.size(), 3u);
}

TEST_F(EffectTest, RemovingAnEffectClearsEveryKeyThatHoldsIt) {
    WriteEffect("error.fx", "");
    WriteEffect("owner.fx", SharedDeclarations);
    CPEffect* fallback = effects->GetEffect("a.fx").Get();
    effects->GetEffect("b.fx");
    EXPECT_EQ(effects->Effects.size(), 3u);
    delete fallback;
    EXPECT_TRUE(effects->Effects.empty());

    CPEffect* owner = effects->GetEffect("owner.fx,shared").Get();
    EXPECT_NE(effects->PoolOwner, nullptr);
    delete owner;
    EXPECT_EQ(effects->PoolOwner, nullptr);
    EXPECT_EQ(effects->SharedHandles[0], nullptr);
}

class TextureTest : public RenderTest {};

TEST_F(TextureTest, TexturesAreSharedByTheWholeRequest) {
    WriteTexture("wall.tga", 4, 2);
    CPtr<CPTexture> a = textures->GetTexture("wall.tga");
    CPtr<CPTexture> b = textures->GetTexture("wall.tga");
    CPtr<CPTexture> flat = textures->GetTexture("wall.tga,nomip");
    EXPECT_EQ(a.Get(), b.Get());
    EXPECT_NE(a.Get(), flat.Get());
    ASSERT_NE(a->Texture, nullptr);
    EXPECT_EQ(a->CubeTexture, nullptr);
    EXPECT_EQ(a->Width, 4);
    EXPECT_EQ(a->Height, 2);
    EXPECT_EQ(a->Texture->GetLevelCount(), 3u);
    EXPECT_EQ(flat->Texture->GetLevelCount(), 1u);
    EXPECT_EQ(a->GetTypeName(), "CPTexture - wall.tga");
    EXPECT_EQ(D3D9Texture::From(a->Texture)->Pool(), D3DPOOL_MANAGED);
}

TEST_F(TextureTest, CubeOptionMakesACubeTexture) {
    WriteTexture("sky.tga", 8, 8);
    CPtr<CPTexture> sky = textures->GetTexture("sky.tga,cube,nomip");
    EXPECT_TRUE(sky->IsCube);
    EXPECT_EQ(sky->Texture, nullptr);
    ASSERT_NE(sky->CubeTexture, nullptr);
    EXPECT_EQ(sky->CubeTexture->GetLevelCount(), 1u);
    EXPECT_EQ(sky->Name, "sky.tga,cube,nomip");
    EXPECT_EQ(sky->Width, 8);
}

TEST_F(TextureTest, TexlodSkipsLevelsOfMippedFlatTexturesOnly) {
    WriteTexture("a.tga", 8, 8);
    const struct {
        int texlod;
        const char* request;
        DWORD lod;
    } cases[] = {
        {-1, "a.tga", 0}, {1, "a.tga", 1}, {1, "a.tga,nomip", 0}, {-2, "a.tga", 0}, {2, "a.tga", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.texlod) + " " + c.request);
        Cfg::texlod = c.texlod;
        CPTexture texture;
        ASSERT_TRUE(texture.Load(c.request));
        EXPECT_EQ(texture.Texture->GetLOD(), c.lod);
    }
    Cfg::texlod = 1;
    CPTexture cube;
    ASSERT_TRUE(cube.Load("a.tga,cube"));
    EXPECT_EQ(cube.CubeTexture->GetLOD(), 0u);
}

TEST_F(TextureTest, AMissingFileIsReadAsItsJpegTwinFromDiskOrPack) {
    // The stand-in recognises the picture by its content, whatever the name says.
    WriteFile("Data/Textures/wall.jpg", MakeTga(2, 2));
    CPtr<CPTexture> wall = textures->GetTexture("wall.tga");
    EXPECT_NE(wall->Texture, nullptr);
    EXPECT_EQ(wall->Name, "wall.tga");
    EXPECT_TRUE(reports.empty());

    EXPECT_EQ(CPTexture::ResolvePath("wall.tga"), "Data\\Textures\\wall.jpg");
    EXPECT_EQ(CPTexture::ResolvePath("ab"), "Data\\Textures\\ab");
    EXPECT_EQ(CPTexture::ResolvePath(""), "Data\\Textures\\");
    CPTexture shortName;
    EXPECT_FALSE(shortName.Load("ab"));
    CPTexture empty;
    EXPECT_FALSE(empty.Load(""));
}

TEST_F(TextureTest, ATextureThatCannotLoadGetsTheOneErrorTexture) {
    WriteTexture("error.tga");
    CPtr<CPTexture> missing = textures->GetTexture("missing.tga");
    EXPECT_EQ(missing->Name, "error.tga");
    EXPECT_NE(missing->Texture, nullptr);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].Text.find("missing.tga"), std::string::npos);

    EXPECT_EQ(textures->GetTexture("missing.tga").Get(), missing.Get());
    EXPECT_EQ(reports.size(), 1u);
    EXPECT_EQ(textures->GetTexture("other.tga").Get(), missing.Get());
    EXPECT_EQ(reports.size(), 2u);
}

TEST_F(TextureTest, ADamagedFileIsReportedAndReplaced) {
    WriteFile("Data/Textures/bad.tga", TextBytes("not a picture"));
    CPTexture texture;
    EXPECT_FALSE(texture.Load("bad.tga"));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].File, "Render/PTexture");
    EXPECT_EQ(reports[0].Line, 138);
    CPTexture cube;
    EXPECT_FALSE(cube.Load("bad.tga,cube"));
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[1].Line, 107);

    // Neither the file nor the fallback: a texture without device data, not a crash.
    CPtr<CPTexture> replaced = textures->GetTexture("bad.tga");
    EXPECT_EQ(replaced->Texture, nullptr);
    EXPECT_EQ(replaced->Name, "error.tga");
}

TEST_F(TextureTest, VideoTexturesAreLeftToTheirPlayer) {
    for (const char* name : {"VIDEO", "VIDEO1", "video"}) {
        SCOPED_TRACE(name);
        IDirect3DTexture9* picture = nullptr;
        ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &picture, nullptr), S_OK);
        auto* texture = new CPTexture();
        texture->Name = name;
        texture->Texture = picture;
        textures->Textures["video"] = texture;
        picture->AddRef();  // the player's own reference
        delete texture;
        EXPECT_TRUE(textures->Textures.empty());
        const bool video = std::string(name) != "video";
        EXPECT_EQ(picture->Release(), video ? 1u : 0u);
        if (video) {
            picture->Release();
        }
    }
}

TEST_F(TextureTest, BlocksAreSharedByTheirTexturesInOrder) {
    WriteTexture("a.tga");
    WriteTexture("b.tga");
    CPtr<CPTextureBlock> ab = textures->GetTextureBlock({"a.tga", "b.tga"});
    CPtr<CPTextureBlock> ab2 = textures->GetTextureBlock({"a.tga", "b.tga"});
    CPtr<CPTextureBlock> ba = textures->GetTextureBlock({"b.tga", "a.tga"});
    CPtr<CPTextureBlock> none = textures->GetTextureBlock({});
    CPtr<CPTextureBlock> none2 = textures->GetTextureBlock({});
    EXPECT_EQ(ab.Get(), ab2.Get());
    EXPECT_NE(ab.Get(), ba.Get());
    EXPECT_EQ(none.Get(), none2.Get());
    EXPECT_EQ(ab->Count, 2);
    EXPECT_EQ(none->Count, 0);
    EXPECT_EQ(textures->Blocks.size(), 3u);
    EXPECT_EQ(ab->GetTypeName(), "CPTextureBlock");

    CPTextureBlock* doomed = ba.Get();
    ba = nullptr;
    delete doomed;
    EXPECT_EQ(textures->Blocks.size(), 2u);
}

class MaterialTest : public RenderTest {};

TEST_F(MaterialTest, MaterialsAreSharedByEffectBlockAndType) {
    WriteEffect("lit.fx", "texture tex0;\ntexture tex1;");
    WriteTexture("t1.tga");
    WriteTexture("t2.tga");
    CPtr<CPMaterial> m = materials->GetMaterial("lit.fx", {"t1.tga", "t2.tga"}, 0);
    CPtr<CPMaterial> same = materials->GetMaterial("lit.fx", {"t1.tga", "t2.tga"}, 0);
    CPtr<CPMaterial> swapped = materials->GetMaterial("lit.fx", {"t2.tga", "t1.tga"}, 0);
    CPtr<CPMaterial> typed = materials->GetMaterial("lit.fx", {"t1.tga", "t2.tga"}, 1);
    CPtr<CPMaterial> option = materials->GetMaterial("lit.fx,shared", {"t1.tga", "t2.tga"}, 0);
    EXPECT_EQ(m.Get(), same.Get());
    EXPECT_NE(m.Get(), swapped.Get());
    EXPECT_NE(m.Get(), typed.Get());
    EXPECT_NE(m.Get(), option.Get());
    EXPECT_EQ(materials->Materials.size(), 4u);
    EXPECT_EQ(m->Render, render.get());
    EXPECT_EQ(m->GetTypeName(), "CPMaterial - lit.fx");
    EXPECT_EQ(m->Block->Textures[1]->Name, "t2.tga");
    EXPECT_EQ(GetMaterialManager(), materials.get());
}

TEST_F(MaterialTest, MaterialsWithoutTexturesShareTheEmptyBlock) {
    WriteEffect("a.fx", "");
    WriteEffect("b.fx", "");
    CPtr<CPMaterial> a = materials->GetMaterial("a.fx", {}, 0);
    CPtr<CPMaterial> b = materials->GetMaterial("b.fx", {}, 0);
    EXPECT_NE(a.Get(), b.Get());
    EXPECT_EQ(a->Block, b->Block);
    EXPECT_EQ(a->Block->Count, 0);
}

TEST_F(MaterialTest, MissingEffectsShareTheErrorEffectAndSoTheMaterial) {
    WriteEffect("error.fx", "");
    CPtr<CPMaterial> a = materials->GetMaterial("one.fx", {}, 0);
    CPtr<CPMaterial> b = materials->GetMaterial("two.fx", {}, 0);
    EXPECT_EQ(a->Effect->Name, "error.fx");
    EXPECT_EQ(a.Get(), b.Get());
}

// A request answered before is answered again only by the managers that answered it: new
// effect and texture managers make the material anew from their own effect and block.
TEST_F(MaterialTest, NewEffectAndTextureManagersAnswerRequestsAnew) {
    WriteEffect("lit.fx", "texture tex0;");
    WriteTexture("t1.tga");
    CPMaterial* first = materials->GetMaterial("lit.fx", {"t1.tga"}, 0).Get();
    EXPECT_EQ(materials->GetMaterial("lit.fx", {"t1.tga"}, 0).Get(), first);

    auto otherEffects = std::make_unique<CPEffectManager>();
    otherEffects->Pool = pool;
    auto otherTextures = std::make_unique<CPTextureManager>();
    CPEffectManager::Instance = otherEffects.get();
    CPTextureManager::Instance = otherTextures.get();
    CPMaterial* second = materials->GetMaterial("lit.fx", {"t1.tga"}, 0).Get();
    EXPECT_NE(second, first);
    ASSERT_EQ(otherTextures->Blocks.size(), 1u);
    EXPECT_EQ(second->Block, otherTextures->Blocks.front());
    EXPECT_EQ(second->Effect, otherEffects->Effects.at("lit.fx"));
    EXPECT_EQ(materials->GetMaterial("lit.fx", {"t1.tga"}, 0).Get(), second);

    // The materials go before the managers whose effects and blocks they hold.
    materials.reset();
    CPMaterialManager::Instance = nullptr;
    CPEffectManager::Instance = effects.get();
    CPTextureManager::Instance = textures.get();
}

// Requests that differ in any part, or only in how their parts are cut, are different.
TEST_F(MaterialTest, RequestsDifferingInAnyPartAreDifferent) {
    WriteEffect("a.fx", "");
    WriteEffect("a.fxb", "");
    WriteTexture("b.tga");
    WriteTexture("bc.tga");
    WriteTexture("c.tga");
    CPMaterial* one = materials->GetMaterial("a.fx", {"bc.tga"}, 0).Get();
    CPMaterial* two = materials->GetMaterial("a.fx", {"b.tga", "c.tga"}, 0).Get();
    CPMaterial* three = materials->GetMaterial("a.fxb", {"c.tga"}, 0).Get();
    CPMaterial* four = materials->GetMaterial("a.fx", {"bc.tga"}, 1).Get();
    EXPECT_NE(one, two);
    EXPECT_NE(one, three);
    EXPECT_NE(one, four);
    EXPECT_EQ(materials->GetMaterial("a.fx", {"b.tga", "c.tga"}, 0).Get(), two);
    EXPECT_EQ(two->Block->Count, 2);
    EXPECT_EQ(three->Effect->Name, "a.fxb");
    EXPECT_EQ(four->Type, 1);
}

TEST_F(MaterialTest, NoManagersNoMaterial) {
    CPEffectManager::Instance = nullptr;
    EXPECT_FALSE(materials->GetMaterial("a.fx", {}, 0));
    CPEffectManager::Instance = effects.get();
}
