// The ".int", lens-flare and font readers and the text layout, without the renderer.
#include "interface/FontFile.h"
#include "interface/InterfaceFile.h"

#include <gtest/gtest.h>

#include <string>

namespace {

InterfaceFile Parse(const std::string& text) {
    InterfaceFile file;
    ParseInterfaceFile(text.data(), static_cast<int>(text.size()), file);
    return file;
}

TEST(InterfaceFile, HeaderGivesOwnerTextureAndLight) {
    const InterfaceFile on = Parse("menu\ntex.tga,512,256\nlight,on,0,0,1,1,1,1\n");
    EXPECT_EQ(on.Owner, "menu");
    EXPECT_EQ(on.Texture, "tex.tga");
    EXPECT_EQ(on.TextureWidth, 512.0f);
    EXPECT_EQ(on.TextureHeight, 256.0f);
    ASSERT_TRUE(on.LightOn);
    EXPECT_EQ(on.Light.Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(on.Light.Direction.z, 1.0f);
    EXPECT_EQ(on.Light.Diffuse.r, 1.0f);
    EXPECT_EQ(on.Light.Diffuse.a, 0.0f);
    EXPECT_EQ(on.Light.Specular.g, 1.0f);
    EXPECT_EQ(on.Light.Ambient.r, 0.0f);
    EXPECT_EQ(on.Light.Range, 10000.0f);
    EXPECT_FALSE(on.Smooth);

    const InterfaceFile off = Parse("menu\ntex.tga,512,256\nlight,off,0,0,0,0,0,0,smooth\n");
    EXPECT_FALSE(off.LightOn);
    EXPECT_TRUE(off.Smooth);
    EXPECT_FALSE(Parse("m\nt,1,1\nlight,On,0,0,1,1,1,1\n").LightOn);
}

TEST(InterfaceFile, MissingLinesReadAsEmpty) {
    const InterfaceFile empty = Parse("");
    EXPECT_EQ(empty.Owner, "");
    EXPECT_EQ(empty.Texture, "");
    EXPECT_EQ(empty.TextureWidth, 0.0f);
    EXPECT_FALSE(empty.LightOn);
    EXPECT_TRUE(empty.Entries.empty());

    const InterfaceFile cut = Parse("o\nt,1,1\nl,off\nbutton\nb 1,2,3,4,0,0,3,4\n");
    ASSERT_EQ(cut.Entries.size(), 1u);
    EXPECT_EQ(cut.Entries[0].Windows[0].Name, "b");
    EXPECT_EQ(cut.Entries[0].Windows[1].Name, "");
    EXPECT_EQ(cut.Entries[0].Windows[2].W, 0.0f);
}

TEST(InterfaceFile, KeywordsAreLowerCasedDataLinesAreNot) {
    const InterfaceFile f = Parse("o\nt,64,64\nl,off\nWINDOW\nA 1,2,3,4,5,6,7,8,False,RD\nbogus\nText\n"
                                  "lbl font,5,6,key,cd\nTextEdit\ned 1,2,big,9,lu,Hello\n");
    ASSERT_EQ(f.Entries.size(), 3u);
    EXPECT_EQ(f.Entries[0].EntryKind, InterfaceEntry::Window);
    EXPECT_EQ(f.Entries[0].Windows[0].Name, "A");
    EXPECT_EQ(*f.Entries[0].Windows[0].Visibility, "False");
    EXPECT_EQ(*f.Entries[0].Windows[0].Layout, "RD");
    EXPECT_EQ(f.Entries[1].EntryKind, InterfaceEntry::Text);
    EXPECT_EQ(f.Entries[1].Label.Font, "font");
    EXPECT_EQ(f.Entries[1].Label.Key, "key");
    EXPECT_EQ(*f.Entries[1].Label.Anchor, "cd");
    EXPECT_EQ(f.Entries[2].EntryKind, InterfaceEntry::TextEdit);
    EXPECT_EQ(f.Entries[2].EditBox.Font, "big");
    EXPECT_EQ(f.Entries[2].EditBox.MaxLength, 9);
    EXPECT_EQ(*f.Entries[2].EditBox.Text, "Hello");
}

TEST(InterfaceFile, WindowLinesAnchoredAndStretched) {
    struct Case {
        const char* line;
        int w, h;
        float x, y, qw, qh;
        bool hidden;
    };
    const Case cases[] = {
        {"ok 100,50,64,32,0,0,64,32", 1280, 1024, 99.5f, 49.5f, 64.0f, 32.0f, false},
        {"ok 100,50,64,32,0,0,64,32,true,rd", 1280, 1024, 355.5f, 305.5f, 64.0f, 32.0f, false},
        {"ok 100,50,64,32,0,0,64,32,true,center", 1280, 1024, 227.5f, 177.5f, 64.0f, 32.0f, false},
        {"ok 100,50,64,32,0,0,64,32,false,stretch", 1280, 1024, 99.5f, 49.5f, 80.0f, 42.666668f, true},
        {"ok 100,50,64,32,0,0,64,32,rd", 1280, 1024, 99.5f, 49.5f, 64.0f, 32.0f, false},
        {"ok 100,50,64,32,0,0,64,32,true,ld", 800, 600, 99.5f, -118.5f, 64.0f, 32.0f, false},
        {"ok 100,50,64,32,0,0,64,32,true,cu", 800, 600, -12.5f, 49.5f, 64.0f, 32.0f, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const InterfaceWindowLine line = ParseWindowLine(c.line);
        const InterfaceQuad q = LayoutWindow(line, 256.0f, 128.0f, c.w, c.h);
        EXPECT_FLOAT_EQ(q.X, c.x);
        EXPECT_FLOAT_EQ(q.Y, c.y);
        EXPECT_FLOAT_EQ(q.W, c.qw);
        EXPECT_FLOAT_EQ(q.H, c.qh);
        EXPECT_EQ(line.Visibility && *line.Visibility == "false", c.hidden);
        EXPECT_FLOAT_EQ(q.R, 0.25f);
        EXPECT_FLOAT_EQ(q.B, 0.25f);
    }
}

TEST(InterfaceFile, TextureOfSizeZeroGivesCoordinatesZero) {
    const InterfaceQuad q = LayoutWindow(ParseWindowLine("w 0,0,10,10,5,5,10,10"), 0.0f, 0.0f, 1024, 768);
    EXPECT_EQ(q.L, 0.0f);
    EXPECT_EQ(q.R, 0.0f);
    EXPECT_EQ(q.T, 0.0f);
    EXPECT_EQ(q.B, 0.0f);
}

TEST(InterfaceFile, NumbersFromTheirLeadingTextInTheCLocale) {
    const InterfaceWindowLine line = ParseWindowLine("w 1.5,2e1,abc,-4,5,,7x,8");
    EXPECT_EQ(line.X, 1.5f);
    EXPECT_EQ(line.Y, 20.0f);
    EXPECT_EQ(line.W, 0.0f);
    EXPECT_EQ(line.H, -4.0f);
    EXPECT_EQ(line.U, 5.0f);
    EXPECT_EQ(line.V, 0.0f);
    EXPECT_EQ(line.Du, 7.0f);
    EXPECT_EQ(line.Dv, 8.0f);
    EXPECT_FALSE(line.Visibility);
}

TEST(InterfaceFile, FlareLinesWithTabsAndWrappingColours) {
    const std::string text = "flare.tga\t50\t1.0\t0.5\t4294901760\t40\t40\t0\t0\nb.tga\t100\n\n";
    std::vector<FlareLine> lines;
    ParseFlareFile(text.data(), static_cast<int>(text.size()), lines);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].Texture, "flare.tga");
    EXPECT_EQ(lines[0].LinePosition, 50);
    EXPECT_EQ(lines[0].ScaleY, 0.5f);
    EXPECT_EQ(lines[0].Color, 0xFFFF0000u);
    EXPECT_EQ(lines[0].W, 40);
    EXPECT_EQ(lines[1].LinePosition, 100);
    EXPECT_EQ(lines[1].ScaleX, 0.0f);
    EXPECT_EQ(lines[1].Color, 0u);

    const std::string big = "t\t0\t1\t1\t8589934593\n";  // 2^33 + 1 wraps to 1
    ParseFlareFile(big.data(), static_cast<int>(big.size()), lines);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].Color, 1u);
}

TEST(InterfaceFile, TruncationSaturates) {
    EXPECT_EQ(TruncateToInt(2.9), 2);
    EXPECT_EQ(TruncateToInt(-2.9), -2);
    EXPECT_EQ(TruncateToInt(1e30), 2147483647);
    EXPECT_EQ(TruncateToInt(-1e30), -2147483647 - 1);
    EXPECT_EQ(TruncateToInt(std::nan("")), 0);
}

FontMetrics TestFont() {
    const std::string text = "font.tga,256,128,16\n65,0,0,12\n66,12,0,10\n200,100,16,7,5\n";
    FontMetrics font;
    std::string problem;
    EXPECT_TRUE(ParseFontFile(text.data(), static_cast<int>(text.size()), font, problem)) << problem;
    return font;
}

TEST(FontFile, GlyphRectanglesAndAdvances) {
    const FontMetrics font = TestFont();
    EXPECT_EQ(font.Texture, "font.tga");
    EXPECT_EQ(font.LineHeight, 16.0f);
    EXPECT_FLOAT_EQ(font.GlyphRects['B'].Left, 12.0f / 256.0f);
    EXPECT_FLOAT_EQ(font.GlyphRects['B'].Right, 22.0f / 256.0f);
    EXPECT_FLOAT_EQ(font.GlyphRects['B'].Bottom, 16.0f / 128.0f);
    EXPECT_EQ(font.Advances['A'], 12.0f);
    EXPECT_EQ(font.Advances[200], 5.0f);
    EXPECT_FLOAT_EQ(font.GlyphRects[200].Top, 16.0f / 128.0f);
    EXPECT_EQ(font.Advances['C'], 0.0f);
}

TEST(FontFile, DamagedFilesAreRefusedOrTrimmed) {
    struct Case {
        const char* text;
        bool ok;
    };
    const Case cases[] = {
        {"", false},
        {"// only a comment\n", false},
        {",256,256,16\n", false},
        {"f.tga,256,256\n", false},
        {"f.tga,256,256,-3\n", false},
        {"f.tga,256,256,1e9\n", false},
        {"f.tga,256,256,abc\n", false},
        {"f.tga,0,0,16\n65,1,1,1\n", true},
        {"f.tga,256,256,16\n300,0,0,1\n-1,0,0,1\nx,0,0,1\n\"\",1\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        FontMetrics font;
        std::string problem;
        std::vector<std::string> skipped;
        const std::string text = c.text;
        EXPECT_EQ(ParseFontFile(text.data(), static_cast<int>(text.size()), font, problem, &skipped), c.ok);
        if (!c.ok) {
            EXPECT_FALSE(problem.empty());
        }
    }
    FontMetrics font;
    std::string problem;
    std::vector<std::string> skipped;
    const std::string text = "f.tga,256,256,16\n300,0,0,1\n-1,0,0,1\nx,0,0,1\n65,0,0,3\n";
    ASSERT_TRUE(ParseFontFile(text.data(), static_cast<int>(text.size()), font, problem, &skipped));
    EXPECT_EQ(skipped.size(), 3u);
    EXPECT_EQ(font.Advances['A'], 3.0f);
    const std::string zero = "f.tga,0,0,16\n65,10,10,5\n";
    ASSERT_TRUE(ParseFontFile(zero.data(), static_cast<int>(zero.size()), font, problem));
    EXPECT_EQ(font.GlyphRects['A'].Right, 0.0f);
    EXPECT_EQ(font.GlyphRects['A'].Bottom, 0.0f);
}

// Glyph lines whose fields are cut and read as the ".int" files' are: blanks around a field
// dropped, a field of one blank kept (and read as 0), a trailing comma adding no field, quotes
// taken as literal, numbers read as the stream reads them.
TEST(FontFile, GlyphFieldsAreCutAsEveryDataFileIs) {
    struct Case {
        const char* line;
        int code;  // -1: the line is skipped
        float x, y, w, advance;
    };
    const Case cases[] = {
        {"65,1,2,3", 65, 1, 2, 3, 3},
        {"65, 1 , 2 ,\t3", 65, 1, 2, 3, 3},
        {"65,1,2,3,", 65, 1, 2, 3, 3},
        {"65,1,2,3,,7", 65, 1, 2, 3, 3},
        {"65,1,2,3, ,7", 65, 1, 2, 3, 0},
        {"65,1,2,3,5,9", 65, 1, 2, 3, 5},
        {"65,+1,2.5,3e1,4x", 65, 1, 2.5f, 30, 4},
        {"65,1e40,2,3", 65, 0, 2, 3, 3},
        {"65,1,,3", 65, 1, 0, 3, 3},
        {"65,1,2", 65, 1, 2, 0, 0},
        {"65", 65, 0, 0, 0, 0},
        {"65 ,1,2,3", 65, 1, 2, 3, 3},
        {"6-5,1,2,3", 6, 1, 2, 3, 3},
        {"-0,1,2,3", 0, 1, 2, 3, 3},
        {"255,1,2,3", 255, 1, 2, 3, 3},
        {"[ 66,1,2,3 ]", 66, 1, 2, 3, 3},
        {"65,\"1\",2,3,\"4\"", 65, 1, 2, 3, 4},
        {"\"65\",1,2,3", 65, 1, 2, 3, 3},
        {"65,\"1,5\",2,3", 65, 1, 2, 3, 3},
        {"256,1,2,3", -1, 0, 0, 0, 0},
        {"--1,1,2,3", -1, 0, 0, 0, 0},
        {"0x41,1,2,3", -1, 0, 0, 0, 0},
        {" ,1,2,3", -1, 0, 0, 0, 0},
        {",1,2,3", -1, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const std::string text = std::string("f.tga,1,1,16\n") + c.line + "\n";
        FontMetrics font;
        std::string problem;
        std::vector<std::string> skipped;
        ASSERT_TRUE(ParseFontFile(text.data(), static_cast<int>(text.size()), font, problem, &skipped));
        if (c.code < 0) {
            EXPECT_EQ(skipped.size(), 1u);
            continue;
        }
        EXPECT_TRUE(skipped.empty());
        const FontMetrics::Rect& r = font.GlyphRects[c.code];
        EXPECT_EQ(r.Left, c.x);
        EXPECT_EQ(r.Top, c.y);
        EXPECT_EQ(r.Right, c.x + c.w);
        EXPECT_EQ(r.Bottom, c.y + 16.0f);
        EXPECT_EQ(font.Advances[c.code], c.advance);
    }
    struct Head {
        const char* line;
        const char* texture;
        float lineHeight;
    };
    const Head heads[] = {
        {" f.tga , 256 ,256, 16", "f.tga", 16},
        {"\"my font.tga\",256,256,12", "my font.tga", 12},
        {"[f.tga,256,256,8]", "f.tga", 8},
        {"f.tga,256,256,+9,", "f.tga", 9},
    };
    for (const Head& h : heads) {
        SCOPED_TRACE(h.line);
        const std::string text = std::string(h.line) + "\n";
        FontMetrics font;
        std::string problem;
        ASSERT_TRUE(ParseFontFile(text.data(), static_cast<int>(text.size()), font, problem)) << problem;
        EXPECT_EQ(font.Texture, h.texture);
        EXPECT_EQ(font.LineHeight, h.lineHeight);
    }
}

TEST(TextLayout, QuadsOverlapByTwoPixels) {
    const FontMetrics font = TestFont();
    std::vector<CPVertex> v;
    std::vector<uint16_t> i;
    EXPECT_EQ(LayoutText(font, 10.5f, 20.5f, "AB", v, i), 2);
    ASSERT_EQ(v.size(), 8u);
    EXPECT_EQ(v[0].Position, D3DXVECTOR3(10.5f, 20.5f, 0.0f));
    EXPECT_EQ(v[2].Position, D3DXVECTOR3(22.5f, 36.5f, 0.0f));
    EXPECT_EQ(v[4].Position, D3DXVECTOR3(20.5f, 20.5f, 0.0f));
    EXPECT_EQ(v[6].Position, D3DXVECTOR3(30.5f, 36.5f, 0.0f));
    EXPECT_EQ(i, (std::vector<uint16_t>{0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7}));
    EXPECT_EQ(v[1].U, font.GlyphRects['A'].Right);
    EXPECT_EQ(v[3].V, font.GlyphRects['A'].Bottom);
    EXPECT_EQ(v[0].Diffuse, 0xFFFFFFFFu);
}

TEST(TextLayout, CaretStartsANewLine) {
    const FontMetrics font = TestFont();
    std::vector<CPVertex> v;
    std::vector<uint16_t> i;
    EXPECT_EQ(LayoutText(font, 10.5f, 20.5f, "A^B", v, i), 2);
    EXPECT_EQ(v[4].Position, D3DXVECTOR3(10.5f, 36.5f, 0.0f));
    EXPECT_EQ(i[6], 4);
    v.clear();
    i.clear();
    EXPECT_EQ(LayoutText(font, 0.0f, 0.0f, "^^", v, i), 0);
    EXPECT_TRUE(v.empty());
}

TEST(TextLayout, BytesAbove127UseTheUpperHalfOfTheTable) {
    const FontMetrics font = TestFont();
    std::vector<CPVertex> v;
    std::vector<uint16_t> i;
    EXPECT_EQ(LayoutText(font, 0.0f, 0.0f, std::string(1, static_cast<char>(200)), v, i), 1);
    EXPECT_EQ(v[1].Position.x, 5.0f);
    EXPECT_EQ(v[0].V, font.GlyphRects[200].Top);
}

TEST(TextLayout, AtMost16384Glyphs) {
    const FontMetrics font = TestFont();
    std::vector<CPVertex> v;
    std::vector<uint16_t> i;
    EXPECT_EQ(LayoutText(font, 0.0f, 0.0f, std::string(20000, 'A'), v, i), MaxInterfaceQuads);
    EXPECT_EQ(v.size(), 4u * MaxInterfaceQuads);
    EXPECT_EQ(i.back(), 4 * MaxInterfaceQuads - 1);
}

}  // namespace
