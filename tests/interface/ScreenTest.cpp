// Screens loaded from the test menu: windows, buttons, edit box, labels, cursor and light,
// their quads at two resolutions, the mesh rebuilt on show, hide and state change, and the
// hand-over to the renderer; empty and damaged files.
#include "InterfaceFixture.h"

#include "../Render/RenderFixture.h"

#include "interface/CPFontManager.h"
#include "interface/CPGameData.h"

#include <algorithm>

namespace {

using InterfaceFixtures::InterfaceTest;

const CPRenderObject& LabelMesh(CPInterface& screen, const std::string& name) {
    return static_cast<const CPRenderObject&>(*screen.Texts.at(name).Object->RenderObject);
}

TEST_F(InterfaceTest, MenuEntriesLandInTheirContainers) {
    CPInterface& menu = Load("menu", 3);
    EXPECT_EQ(menu.GetTypeName(), "CPInterface - menu");
    EXPECT_EQ(menu.RenderKind, CPGameObject::RenderMesh);
    EXPECT_EQ(menu.ScriptObject, task.get());

    std::vector<std::string> order;
    for (const CPtr<CPWindow>& w : menu.WindowOrder) {
        order.push_back(w->Name);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"back", "logo", "hint", "play", "quit", "extra"}));
    EXPECT_EQ(menu.Windows.size(), 6u);
    EXPECT_EQ(menu.Windows.count("cursor"), 0u);
    ASSERT_EQ(menu.Buttons.size(), 3u);
    EXPECT_EQ(menu.Buttons.front()->Name, "play");
    EXPECT_EQ(menu.Buttons.front()->GetTypeName(), "CPButton");
    EXPECT_FALSE(menu.Windows.at("hint")->Visible);
    EXPECT_FALSE(menu.Windows.at("extra")->Visible);

    ASSERT_TRUE(menu.Mesh->Material);
    EXPECT_EQ(menu.Mesh->Material->Type, 203);
    ASSERT_TRUE(menu.LightOn);
    EXPECT_EQ(menu.Light.Direction.z, 1.0f);
    EXPECT_EQ(menu.Light.Diffuse.g, 0.5f);
    EXPECT_EQ(menu.Light.Specular.b, 0.25f);

    ASSERT_TRUE(menu.Cursor);
    EXPECT_EQ(menu.Cursors.at("cursor"), menu.Cursor);
    EXPECT_TRUE(std::find(menu.Children.begin(), menu.Children.end(), menu.Cursor) != menu.Children.end());
    const auto& cursorMesh = static_cast<const CPRenderObject&>(*menu.Cursor->RenderObject);
    ASSERT_EQ(cursorMesh.Vertices.size(), 4u);
    EXPECT_EQ(cursorMesh.Vertices[2].Position, D3DXVECTOR3(32.0f, 32.0f, 0.0f));
    EXPECT_FLOAT_EQ(cursorMesh.Vertices[0].U, 480.0f / 512.0f);
    EXPECT_EQ(cursorMesh.Material->Type, 205);
    EXPECT_EQ(menu.Children.size(), 4u);  // edit box label, two labels, cursor

    // The same file under another number differs only in the material's type.
    CPInterface& again = Load("menu", 0);
    EXPECT_EQ(again.Mesh->Material->Type, 200);
    EXPECT_EQ(again.Windows.size(), 6u);
}

struct Resolution {
    int w, h;
    float logoX, hintY, backW, backH, editX;
};

class InterfaceLayout : public InterfaceTest, public ::testing::WithParamInterface<Resolution> {};

TEST_P(InterfaceLayout, WindowsAnchoredAndStretched) {
    const Resolution r = GetParam();
    SetScreen(r.w, r.h);
    CPInterface& menu = Load("menu");

    const CPWindow& back = *menu.Windows.at("back");
    EXPECT_EQ(back.X, -0.5f);
    EXPECT_EQ(back.Y, -0.5f);
    EXPECT_FLOAT_EQ(back.Vertices[2].Position.x, r.backW);
    EXPECT_NEAR(back.Vertices[2].Position.y, r.backH, 1e-3);
    EXPECT_FLOAT_EQ(back.Vertices[2].U, 0.5f);
    EXPECT_FLOAT_EQ(back.Vertices[2].V, 0.75f);

    const CPWindow& logo = *menu.Windows.at("logo");
    EXPECT_FLOAT_EQ(logo.X, r.logoX);
    EXPECT_FLOAT_EQ(logo.Y, 19.5f);
    EXPECT_FLOAT_EQ(logo.Vertices[0].U, 0.5f);
    EXPECT_FLOAT_EQ(logo.Vertices[1].U, 0.5f + 100.0f / 512.0f);
    EXPECT_FLOAT_EQ(logo.Vertices[3].V, 50.0f / 256.0f);
    EXPECT_FLOAT_EQ(menu.Windows.at("hint")->Y, r.hintY);

    EXPECT_FLOAT_EQ(menu.Texts.at("name").X, r.editX);
    EXPECT_FLOAT_EQ(menu.Texts.at("name").Y, 300.5f);
    EXPECT_FLOAT_EQ(menu.Texts.at("help").Y, 740.5f - 768.0f + static_cast<float>(r.h));

    // Visible: back, logo, play, quit; the mesh holds them in file order at their positions.
    const CPRenderObject& mesh = *menu.Mesh;
    ASSERT_EQ(mesh.Vertices.size(), 16u);
    ASSERT_EQ(mesh.Indices.size(), 24u);
    EXPECT_EQ(mesh.WorldVertices.size(), 16u);
    EXPECT_FLOAT_EQ(mesh.Vertices[4].Position.x, r.logoX);
    EXPECT_EQ(mesh.Vertices[8].Position, D3DXVECTOR3(99.5f, 99.5f, 0.0f));
    EXPECT_EQ(mesh.Vertices[14].Position, D3DXVECTOR3(99.5f + 128.0f, 149.5f + 32.0f, 0.0f));
    EXPECT_EQ((std::vector<uint16_t>(mesh.Indices.begin() + 18, mesh.Indices.end())),
              (std::vector<uint16_t>{12, 13, 14, 12, 14, 15}));
}

INSTANTIATE_TEST_SUITE_P(Screens, InterfaceLayout,
                         ::testing::Values(Resolution{1024, 768, 899.5f, 699.5f, 1024.0f, 768.0f, 300.5f},
                                           Resolution{800, 600, 675.5f, 531.5f, 800.0f, 600.0f, 188.5f}));

TEST_F(InterfaceTest, LabelsShowTheirTextsAndKeepThem) {
    CPInterface& menu = Load("menu");
    // "AB^aB": four glyphs, the fourth on the second line at the origin's x.
    const CPRenderObject& title = LabelMesh(menu, "title");
    ASSERT_EQ(title.Vertices.size(), 16u);
    EXPECT_EQ(title.Vertices[0].Position, D3DXVECTOR3(10.5f, 10.5f, 0.0f));
    EXPECT_EQ(title.Vertices[4].Position, D3DXVECTOR3(20.5f, 10.5f, 0.0f));
    EXPECT_EQ(title.Vertices[8].Position, D3DXVECTOR3(10.5f, 26.5f, 0.0f));
    EXPECT_EQ(title.Vertices[12].Position, D3DXVECTOR3(17.5f, 26.5f, 0.0f));
    EXPECT_EQ(menu.Texts.at("title").Text, "AB^aB");
    EXPECT_EQ(title.Material, host->FontManager().FindFont("small")->Material);

    // A key missing from the table: an empty label, and the table gains the key.
    EXPECT_TRUE(LabelMesh(menu, "help").Vertices.empty());
    ASSERT_EQ(host->GameData().TextTable.count("help_line"), 1u);
    EXPECT_EQ(host->GameData().TextTable.at("help_line"), "");

    // The edit box shows the caret alone.
    const CPRenderObject& name = LabelMesh(menu, "name");
    ASSERT_EQ(name.Vertices.size(), 4u);
    EXPECT_EQ(name.Vertices[1].Position.x - name.Vertices[0].Position.x, 8.0f);
    EXPECT_EQ(menu.EditBoxes.at("name")->MaxLength, 5);
    EXPECT_EQ(menu.EditBoxes.at("name")->Text, "");
}

TEST_F(InterfaceTest, ALabelSetToTheTextItShowsIsLaidOutAgainOnlyWhenItsFontOrOriginChanged) {
    CPInterface& menu = Load("menu");
    const CPTextEntry& title = menu.Texts.at("title");
    // Drawn once elsewhere (as SetFont does), then set to its own text: back at its origin.
    host->FontManager().BuildText(title.Object, 300.0f, 300.0f, "small", "AB^aB");
    EXPECT_EQ(LabelMesh(menu, "title").Vertices[0].Position.x, 300.0f);
    menu.SetLabelText("title", "AB^aB");
    EXPECT_EQ(LabelMesh(menu, "title").Vertices[0].Position, D3DXVECTOR3(10.5f, 10.5f, 0.0f));
    // The font reloaded under its name with a wider "A": the same text takes the new widths.
    WriteFile("small.fnt", "font.tga,256,128,16\n65,0,0,20\n66,12,0,10\n97,32,0,9\n");
    ASSERT_TRUE(host->FontManager().LoadFont("small"));
    menu.SetLabelText("title", "AB^aB");
    EXPECT_EQ(LabelMesh(menu, "title").Vertices[4].Position.x, 28.5f);
    menu.SetLabelText("title", "AB^aB");
    EXPECT_EQ(LabelMesh(menu, "title").Vertices.size(), 16u);
}

TEST_F(InterfaceTest, MissingFontGivesEmptyLabelAndInsertsNothing) {
    CPInterface& screen = Load("menu");
    CPTextEntry label = screen.Texts.at("title");
    EXPECT_TRUE(host->FontManager().BuildText(label.Object, 0.0f, 0.0f, "nosuchfont", "AB"));
    EXPECT_TRUE(LabelMesh(screen, "title").Vertices.empty());
    EXPECT_EQ(host->FontManager().Fonts.count("nosuchfont"), 0u);
    // Only mesh nodes carry text.
    label.Object->RenderKind = CPGameObject::RenderSprite;
    EXPECT_FALSE(host->FontManager().BuildText(label.Object, 0.0f, 0.0f, "small", "AB"));
    EXPECT_FALSE(host->FontManager().LoadFont("nosuchfont"));
}

TEST_F(InterfaceTest, DamagedFontFilesAreRefused) {
    WriteFile("broken.fnt", "\x01\x02\x03,abc\n");
    WriteFile("empty.fnt", "");
    EXPECT_FALSE(host->FontManager().LoadFont("broken"));
    EXPECT_FALSE(host->FontManager().LoadFont("empty"));
    EXPECT_EQ(host->FontManager().Fonts.count("broken"), 0u);
}

TEST_F(InterfaceTest, AWindowListFindsTheWindowsOfTheScreenItIsAskedAbout) {
    CPInterface& menu = Load("menu");
    CPInterface& other = Load("menu");
    CPWindowList list({"logo", "none", "hint", "later"});
    const std::vector<CPWindow*> found = list.On(menu);
    EXPECT_EQ(found, (std::vector<CPWindow*>{menu.FindWindow("logo"), nullptr, menu.FindWindow("hint"), nullptr}));
    EXPECT_EQ(list.On(other)[0], other.FindWindow("logo"));
    EXPECT_NE(list.On(other)[0], found[0]);
    // A window added later is found under its name.
    auto window = std::make_unique<CPWindow>(&menu);
    window->Init("later", 256.0f, 256.0f, 0.0f, 0.0f, 8.0f, 8.0f, 0.0f, 0.0f, 8.0f, 8.0f);
    CPWindow* later = window.get();
    menu.AddWindow(std::move(window));
    EXPECT_EQ(list.On(menu)[3], later);

    // The first count shown, the rest hidden; names the screen lacks are passed over.
    menu.FindWindow("hint")->SetVisible(true);
    list.ShowFirst(menu, 1);
    EXPECT_TRUE(menu.FindWindow("logo")->Visible);
    EXPECT_FALSE(menu.FindWindow("hint")->Visible);
    EXPECT_FALSE(later->Visible);
    list.ShowFirst(menu, 4);
    EXPECT_TRUE(menu.FindWindow("hint")->Visible);
    EXPECT_TRUE(later->Visible);
}

TEST_F(InterfaceTest, BuffersFollowShowHideAndState) {
    CPInterface& menu = Load("menu");
    CPWindow& play = *menu.Windows.at("play");
    auto& button = static_cast<CPButton&>(play);

    play.SetVisible(false);
    menu.UpdateBuffers();
    EXPECT_EQ(menu.Mesh->Vertices.size(), 12u);
    EXPECT_EQ((std::vector<uint16_t>(menu.Mesh->Indices.begin() + 12, menu.Mesh->Indices.end())),
              (std::vector<uint16_t>{8, 9, 10, 8, 10, 11}));

    menu.Windows.at("extra")->SetVisible(true);
    play.SetVisible(true);
    menu.UpdateBuffers();
    EXPECT_EQ(menu.Mesh->Vertices.size(), 20u);

    // The over picture at the button's own place.
    EXPECT_TRUE(button.OnMouseOver(100.0f, 100.0f));
    menu.UpdateBuffers();
    EXPECT_EQ(menu.Mesh->Vertices[8].Position, D3DXVECTOR3(99.5f, 99.5f, 0.0f));
    EXPECT_FLOAT_EQ(menu.Mesh->Vertices[8].V, 32.0f / 256.0f);
    play.SetVisible(true);
    menu.UpdateBuffers();
    EXPECT_EQ(button.State, 0);
    EXPECT_FLOAT_EQ(menu.Mesh->Vertices[8].V, 0.0f);

    // Disabling rebuilds at once and the button is still drawn.
    button.OnMouseDown(0, 0.0f, 0.0f);
    EXPECT_EQ(button.State, 2);
    button.SetEnabled(false);
    EXPECT_EQ(button.State, 0);
    EXPECT_FALSE(button.Enabled);
    EXPECT_EQ(menu.Mesh->Vertices.size(), 20u);

    // A moved button is drawn and hit where it is.
    button.X = 400.0f;
    button.Y = 10.0f;
    button.SetEnabled(true);
    EXPECT_TRUE(button.HitTest(401.0f, 11.0f));
    EXPECT_FALSE(button.HitTest(101.0f, 101.0f));
    EXPECT_EQ(menu.Mesh->Vertices[8].Position, D3DXVECTOR3(400.0f, 10.0f, 0.0f));
}

TEST_F(InterfaceTest, HitTestBoundsAreInclusiveAndEmptyWindowsAreNeverHit) {
    CPInterface& screen = Load("none");
    CPWindow window(&screen);
    window.LoadLine(ParseWindowLine("ok 100,50,64,32,0,0,64,32"), 64.0f, 32.0f);
    EXPECT_TRUE(window.HitTest(99.5f, 49.5f));
    EXPECT_TRUE(window.HitTest(163.5f, 81.5f));
    EXPECT_FALSE(window.HitTest(163.6f, 81.5f));
    CPWindow flat(&screen);
    flat.LoadLine(ParseWindowLine("flat 100,50,0,32,0,0,64,32"), 64.0f, 32.0f);
    EXPECT_FALSE(flat.HitTest(99.5f, 49.5f));
    CPWindow thin(&screen);
    thin.LoadLine(ParseWindowLine("thin 100,50,10,0,0,0,64,32"), 64.0f, 32.0f);
    EXPECT_FALSE(thin.HitTest(99.5f, 49.5f));
}

TEST_F(InterfaceTest, SubmitHandsLightAndTreeToTheRenderer) {
    CPInterface& menu = Load("menu");
    CPRender& render = host->Render();
    render.LightCount = 0;
    menu.Submit();
    EXPECT_EQ(render.LightCount, 1);
    EXPECT_EQ(render.Lights[0].Diffuse.g, 0.5f);
    CPRenderBatcher& batcher = host->StaticBatcher();
    EXPECT_EQ(batcher.FrameBlocks.count(menu.Mesh->Material.Get()), 1u);
    EXPECT_EQ(batcher.FrameBlocks.count(host->FontManager().FindFont("small")->Material.Get()), 1u);
    batcher.EndFrame();

    render.LightCount = CPRender::MaxLights;
    menu.Submit();
    EXPECT_EQ(render.LightCount, CPRender::MaxLights);
    EXPECT_EQ(batcher.FrameBlocks.count(menu.Mesh->Material.Get()), 1u);
    render.LightCount = 0;
    EXPECT_TRUE(host->RunFrame(0.02f));
}

TEST_F(InterfaceTest, ASubmittedScreenIsDrawnInTheFrame) {
    for (const char* name : {"menu.tga", "font.tga"}) {
        const RenderFixtures::Bytes tga = RenderFixtures::MakeTga(8, 8);
        scratch.Write(std::string("Data/Textures/") + name, std::string(tga.begin(), tga.end()));
    }
    HostFiles::ClearCache();
    ASSERT_TRUE(host->FontManager().LoadFont("small"));
    CPInterface& menu = Load("menu");
    menu.Submit();
    const std::string dump = host->DumpFrame(0.02f);
    // The light; the windows; the labels (16 for "AB^aB", 4 for the caret, none for the empty
    // one) in the font's block; the cursor in its own.
    EXPECT_NE(dump.find("SetLight 0 DIRECTIONAL"), std::string::npos) << dump;
    EXPECT_NE(dump.find("type 200 objects 1 vertices 16 indices 24"), std::string::npos) << dump;
    EXPECT_NE(dump.find("type 200 objects 3 vertices 20 indices 30"), std::string::npos) << dump;
    EXPECT_NE(dump.find("type 205 objects 1 vertices 4 indices 6"), std::string::npos) << dump;
}

TEST_F(InterfaceTest, MissingFileIsAnEmptyScreenThatDrawsNothing) {
    CPInterface screen;
    EXPECT_EQ(screen.RenderKind, CPGameObject::RenderMesh);
    screen.Load("nothing", 1);
    EXPECT_EQ(screen.GetTypeName(), "CPInterface - nothing");
    EXPECT_FALSE(screen.Mesh->Material);
    EXPECT_TRUE(screen.WindowOrder.empty());
    EXPECT_TRUE(screen.Mesh->Vertices.empty());
    EXPECT_EQ(screen.ScriptObject, nullptr);
    screen.Submit();
    EXPECT_TRUE(host->RunFrame(0.02f));
}

TEST_F(InterfaceTest, DamagedFilesLoadWithoutHarm) {
    const std::string cases[] = {
        std::string("\0\0\0\xff\xfe", 5),
        "o\n",
        "o\nt.tga,1e39,-0\nl,on,nan,inf,1e39\nbutton\n",
        "o\nt.tga,0,0\nl\nwindow\nwindow\nwindow\nwindow\n",
        "o\nt.tga,64,64\nl\nwindow\nw 1e38,1e38,1e38,1e38,1e38,1e38,1e38,1e38,true,stretch\ntextedit\ne 1,1,small,-5\n"
        "textedit\nf 1,1,nosuch,99999999999,lu,\"A^B\"\ntext\n\ntext\nt small,1,2,\n",
        "o\nt.tga,64,64\nl\nwindow\ncursor\nwindow\ncursor 1,2,3,4,5,6,7,8,false\n",
    };
    int n = 0;
    for (const std::string& text : cases) {
        SCOPED_TRACE(n);
        const std::string name = "bad" + std::to_string(n++);
        WriteFile(name + "1024.int", text);
        CPInterface& screen = Load(name);
        screen.Activate(450);
        host->Mouse().MoveTo(1.0f, 1.0f);
        host->Mouse().Click(0);
        CPInterface::MenuRight();
        screen.Submit();
        EXPECT_TRUE(host->RunFrame(0.02f));
        screen.Deactivate();
    }
}

TEST_F(InterfaceTest, SameNamedWindowsAreBothDrawnAndTheLaterIsFoundByName) {
    WriteFile("twice1024.int", "o\nt.tga,64,64\nl,off\nwindow\nw 0,0,8,8,0,0,8,8\nwindow\nw 20,0,8,8,0,0,8,8\n"
                               "window\ncursor 5,5,4,4,0,0,4,4,false\n");
    CPInterface& screen = Load("twice");
    EXPECT_EQ(screen.WindowOrder.size(), 2u);
    EXPECT_EQ(screen.Windows.size(), 1u);
    EXPECT_EQ(screen.Windows.at("w")->X, 19.5f);
    EXPECT_EQ(screen.Mesh->Vertices.size(), 8u);
    ASSERT_TRUE(screen.Cursor);
    EXPECT_TRUE(screen.Cursor->Visible);
    EXPECT_EQ(screen.Cursor->GetPosition(), D3DXVECTOR3(0.0f, 0.0f, 0.0f));
}

// Lookups and the mesh follow windows added after the screen was already searched and drawn.
TEST_F(InterfaceTest, WindowsAddedLaterAreFoundAndDrawn) {
    CPInterface& screen = Load("menu");
    ASSERT_NE(screen.FindWindow("logo"), nullptr);
    EXPECT_EQ(screen.FindWindow("late"), nullptr);
    EXPECT_EQ(screen.FindWindow(""), nullptr);
    screen.UpdateBuffers();
    const size_t drawn = screen.Mesh->Vertices.size();

    for (const char* name : {"late", "logo"}) {
        auto window = std::make_unique<CPWindow>(&screen);
        window->Init(name, 256.0f, 256.0f, 300.0f, 40.0f, 8.0f, 8.0f, 0.0f, 0.0f, 8.0f, 8.0f);
        screen.AddWindow(std::move(window));
    }
    const CPWindow* late = screen.FindWindow("late");
    ASSERT_NE(late, nullptr);
    EXPECT_EQ(late, std::prev(screen.WindowOrder.end(), 2)->Get());
    EXPECT_EQ(screen.FindWindow("logo"), screen.WindowOrder.back().Get());  // the later of the name
    screen.UpdateBuffers();
    ASSERT_EQ(screen.Mesh->Vertices.size(), drawn + 8);
    EXPECT_EQ(screen.Mesh->WorldVertices.size(), drawn + 8);
    EXPECT_EQ(screen.Mesh->Vertices[drawn].Position.x, late->X);
}

TEST_F(InterfaceTest, DestroyedScreensLeaveTheList) {
    const size_t before = CPInterface::Interfaces.size();
    {
        CPInterface screen;
        screen.Load("menu", 0);
        EXPECT_EQ(CPInterface::Interfaces.size(), before + 1);
        EXPECT_EQ(CPInterface::Interfaces.back(), &screen);
    }
    EXPECT_EQ(CPInterface::Interfaces.size(), before);
    CPInterface::OnMouseMove(10.0f, 10.0f);
}

}  // namespace
