// The object-description reader: head line, sections, the object's own keys wherever they
// stand, and the readers of the list entries.
#include "scene/RdfFile.h"

#include <gtest/gtest.h>

#include <string>

namespace {

RdfDescription ParseText(const std::string& text) {
    RdfDescription description;
    RdfFile::Parse(text.data(), static_cast<int>(text.size()), description);
    return description;
}

TEST(RdfFileTest, HeadSectionsAndOwnKeys) {
    const RdfDescription d = ParseText(
        "Mesh = Cars\\Jeep.P3D\n"
        "effectfile = dropped.fx\n"
        "lod = jeep_far.rdf, 100\n"
        "[Body]\n"
        "EffectFile = Holey.FX\n"
        "texturefile1 = \"a=b.tga\"\n"
        "sprite = lamp, 1, 2, 3, 0.5, body\n"
        "// shadow = 1\n"
        "type = 3 = 4\n"
        "novalue\n"
        "[wheel]\n"
        "param = x\n"
        "[BODY]\n"
        "param = y\n"
        "linecolor = ff000000\n"
        "linecolor = FF112233\n"
        "description = jeep.xml\n"
        "shadowtextures = shadows, .tga, .fx\n"
        "lod = null, 300\n");
    EXPECT_EQ(d.Head, "Cars\\Jeep.P3D");
    EXPECT_EQ(d.Lods, std::vector<std::string>({"jeep_far.rdf, 100", "null, 300"}));
    EXPECT_EQ(d.Sprites, std::vector<std::string>({"lamp, 1, 2, 3, 0.5, body"}));
    EXPECT_EQ(d.LineColor, "ff112233");
    EXPECT_EQ(d.Description, "jeep.xml");
    EXPECT_EQ(d.ShadowTextures, "shadows, .tga, .fx");
    ASSERT_EQ(d.Sections.size(), 2u);
    const MaterialSection& body = d.Sections.at("body");
    EXPECT_EQ(body.at("effectfile"), "holey.fx");
    EXPECT_EQ(body.at("texturefile1"), "a=b.tga");
    EXPECT_EQ(body.at("type"), "3");
    EXPECT_EQ(body.at("novalue"), "");
    EXPECT_EQ(body.at("param"), "y");
    EXPECT_EQ(body.count("shadow"), 0u);
    EXPECT_EQ(body.count("sprite"), 0u);
    EXPECT_EQ(d.Sections.at("wheel").at("param"), "x");
}

TEST(RdfFileTest, OddTexts) {
    struct Case {
        const char* Text;
        const char* Head;
    };
    const Case cases[] = {{"", ""}, {"justaname", ""}, {"=anim;walk,a.msh", "anim;walk,a.msh"},
                          {"[section]\nx = 1", ""}, {"/* a\n b */\nh = Empty", "Empty"}};
    for (const Case& c : cases) {
        EXPECT_EQ(ParseText(c.Text).Head, c.Head) << c.Text;
    }
    // Zero bytes end a line and nothing reads past the text.
    const std::string withZero("h = box.msh\0[s]\nk = v", 21);
    const RdfDescription d = ParseText(withZero);
    EXPECT_EQ(d.Head, "box.msh");
    EXPECT_EQ(d.Sections.at("s").at("k"), "v");
}

TEST(RdfFileTest, ListEntries) {
    const RdfSpriteEntry sprite = RdfFile::ReadSprite("glow, 1, -2.5, 3e1, 0.25, body, 0, 1, 0, 0.7");
    EXPECT_EQ(sprite.Name, "glow");
    EXPECT_EQ(sprite.Position, D3DXVECTOR3(1.0f, -2.5f, 30.0f));
    EXPECT_EQ(sprite.Size, 0.25f);
    EXPECT_EQ(sprite.Parent, "body");
    EXPECT_TRUE(sprite.FacingGiven);
    EXPECT_EQ(sprite.Facing, D3DXVECTOR3(0, 1, 0));
    EXPECT_FLOAT_EQ(sprite.FacingAngle, 0.7f);
    const RdfSpriteEntry short6 = RdfFile::ReadSprite("glow, x, 2, , 1");
    EXPECT_EQ(short6.Position, D3DXVECTOR3(0, 2, 0));
    EXPECT_EQ(short6.Parent, "");
    EXPECT_FALSE(short6.FacingGiven);

    const RdfLightEntry light = RdfFile::ReadLight("lamp, body, ignored, 1, 2, 3, 0.5, 0.25, 1, 0.1, 20");
    EXPECT_EQ(light.Parent, "body");
    EXPECT_EQ(light.Position, D3DXVECTOR3(1, 2, 3));
    EXPECT_EQ(light.Red, 0.5f);
    EXPECT_EQ(light.Green, 0.25f);
    EXPECT_EQ(light.Blue, 1.0f);
    EXPECT_FLOAT_EQ(light.Attenuation, 0.1f);
    EXPECT_EQ(light.Range, 20.0f);

    const RdfParticleEntry smoke = RdfFile::ReadParticleSystem("smoke, body, 0, 0, 1, 0.2, puff, spark");
    EXPECT_EQ(smoke.Parent, "body");
    EXPECT_FLOAT_EQ(smoke.Period, 0.2f);
    EXPECT_EQ(smoke.Emitters, std::vector<std::string>({"puff", "spark"}));
    EXPECT_TRUE(RdfFile::ReadParticleSystem("smoke, body, 0, 0, 1, 0.2").Emitters.empty());

    const RdfLodEntry lod = RdfFile::ReadLod("far.rdf, 150.9");
    EXPECT_EQ(lod.Object, "far.rdf");
    EXPECT_EQ(lod.Distance, 150);
    EXPECT_EQ(RdfFile::ReadPoint("1,2"), D3DXVECTOR3(1, 2, 0));
}

TEST(RdfFileTest, Colours) {
    struct Case {
        const char* Text;
        bool Ok;
        uint32_t Colour;
    };
    const Case cases[] = {{"ff4e4e4e", true, 0xFF4E4E4E}, {"0xFF102030", true, 0xFF102030}, {" 12", true, 0x12},
                          {"12zz", true, 0x12},           {"123456789", true, 0x23456789}, {"zz", false, 7},
                          {"0x", true, 0},                {"", false, 7},                  {"-1", false, 7}};
    for (const Case& c : cases) {
        uint32_t colour = 7;
        EXPECT_EQ(RdfFile::ReadColour(c.Text, colour), c.Ok) << c.Text;
        EXPECT_EQ(colour, c.Colour) << c.Text;
    }
}

}  // namespace
