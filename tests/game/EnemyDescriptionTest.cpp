// The enemy description file: the game's own file reads whole, every check names its line,
// and a description builds a controller.
#include "game/EnemyDescription.h"

#include "game/CPEnemy.h"
#include "game/CPLevel.h"
#include "game/ShotDescription.h"
#include "scene/CPGameObject.h"
#include "tests/TestTempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;


TEST(EnemyDescription, TheGamesFileReadsWhole) {
    const std::string text = ReadWholeFile(fs::path(TEST_DATA_DIR) / ".." / ".." / "gamedir" / "Data" / "enemies.txt");
    ASSERT_FALSE(text.empty());
    EnemyCatalogue catalogue;
    std::string problem;
    ASSERT_TRUE(ParseEnemyDescriptions(text, "Data\\enemies.txt", catalogue, problem)) << problem;
    EXPECT_GE(catalogue.Enemies.size(), 5u);
    const EnemyDescription* gunner = catalogue.Find("gunner");
    ASSERT_NE(gunner, nullptr);
    EXPECT_EQ(gunner->Weapon, "hmgun");
    EXPECT_FLOAT_EQ(gunner->Health, 120.0f);
    EXPECT_EQ(gunner->Reward, 60);
    ASSERT_EQ(gunner->Melee.size(), 2u);
    EXPECT_EQ(gunner->Melee[1].ReportFrame, 11);
    EXPECT_FLOAT_EQ(gunner->Melee[1].Push.x, 0.5f);
    EXPECT_FLOAT_EQ(gunner->Melee[1].Damage, 20.0f);
    EXPECT_EQ(gunner->Sounds.at("hit2"), "punch2");
    EXPECT_EQ(gunner->States.at(4), 4);
    EXPECT_TRUE(catalogue.Find("turret")->SilentDeath);
    EXPECT_EQ(catalogue.Find("nobody"), nullptr);
}

TEST(EnemyDescription, TheGamesShotFileHasEveryShotAnEnemyLaunches) {
    const std::string text = ReadWholeFile(fs::path(TEST_DATA_DIR) / ".." / ".." / "gamedir" / "Data" / "shots.txt");
    std::vector<ShotDescription> shots;
    std::string error;
    ASSERT_TRUE(ReadShotDescriptions(text.data(), text.size(), "shots.txt", shots, error)) << error;
    for (const char* name : {"trasser21", "trasser22", "trasser23", "plazma_shot2", "srocket2", "rocket_exp2", "blood1",
                             "oil1", "gib1", "gib2"}) {
        bool found = false;
        for (const ShotDescription& shot : shots) {
            found = found || shot.Name == name;
        }
        EXPECT_TRUE(found) << name;
    }
}

TEST(EnemyDescription, EveryFaultIsRefusedWithItsLine) {
    const struct {
        const char* Text;
        const char* Problem;
    } cases[] = {
        {"weapon mgun\n", "f.txt:1: 'weapon' before the first 'enemy'"},
        {"enemy a\n\n# note\nlaser 1\n", "f.txt:4: unknown key 'laser'"},
        {"enemy a\nweapon laser\n", "f.txt:2: unknown weapon 'laser'"},
        {"enemy a\nhealth 0\n", "f.txt:2: health must be a number above 0"},
        {"enemy a\nhealth 1.5m\n", "f.txt:2: health must be a number above 0"},
        {"enemy a\nhealth nan\n", "f.txt:2: health must be a number above 0"},
        {"enemy a\nreward -1\n", "f.txt:2: reward must be a whole number, 0 or more"},
        {"enemy a\nmuzzle 1 2\n", "f.txt:2: 'muzzle' takes 3 values, not 2"},
        {"enemy a\nmuzzle 1 x 2\n", "f.txt:2: 'x' is not a number"},
        {"enemy a\nhealth 5\nhealth 6\n", "f.txt:3: 'health' given twice"},
        {"enemy a\nmelee 1 0 1 0 0 1 0 1 1\nmelee 1 0 1 0 0 1 0 1 1\nmelee 1 0 1 0 0 1 0 1 1\n",
         "f.txt:4: more than two melee blows"},
        {"enemy a\nmelee -1 0 1 0 0 1 0 1 1\n", "f.txt:2: the report frame must be a whole number, 0 or more"},
        {"enemy a\nenemy a\n", "f.txt:2: enemy 'a' described twice"},
        {"enemy\n", "f.txt:1: 'enemy' takes one type name"},
        {"enemy a\nsound hit3 x\n", "f.txt:2: unknown sound event 'hit3'"},
        {"enemy a\nstate 1 1\nstate 1 2\n", "f.txt:3: state 1 given twice"},
        {"enemy a\nreference 0 0 1\n", "f.txt:2: the reference axis needs a part along the ground"},
        {"enemy a\nweapon explosion\n", "f.txt:1: enemy 'a' explodes with its first melee blow and has none"},
        {"enemy a\nreward 1\0\n", "f.txt:2: a zero byte"},
        {"enemy a\nsound hit1 ../../../../../../etc/passwd\n",
         "f.txt:2: sound '../../../../../../etc/passwd' leads outside the game folder"},
        {"enemy a\nsound hit2 /etc/passwd\n", "f.txt:2: sound '/etc/passwd' leads outside the game folder"},
        {"enemy a\nhit_effect C:\\blood\n", "f.txt:2: hit effect 'C:\\blood' leads outside the game folder"},
        {"enemy a\nhit_effect \\blood\n", "f.txt:2: hit effect '\\blood' leads outside the game folder"},
        {"enemy ..\\..\\x\n", "f.txt:1: enemy type '..\\..\\x' leads outside the game folder"},
    };
    for (const auto& c : cases) {
        EnemyCatalogue catalogue;
        catalogue.Enemies.emplace_back();
        std::string problem;
        const std::string text(c.Text, std::char_traits<char>::length(c.Text) +
                                           (std::string(c.Problem).find("zero") != std::string::npos ? 2 : 0));
        EXPECT_FALSE(ParseEnemyDescriptions(text, "f.txt", catalogue, problem)) << c.Text;
        EXPECT_EQ(problem, c.Problem);
        EXPECT_EQ(catalogue.Enemies.size(), 1u) << "untouched";
    }
}

TEST(EnemyDescription, NamesThatStayInsideTheGameFolderAreFine) {
    EnemyCatalogue catalogue;
    std::string problem;
    ASSERT_TRUE(ParseEnemyDescriptions("enemy a\nsound hit1 ../Sounds/hit.wav\nhit_effect .\\oil1\n", "f", catalogue,
                                       problem))
        << problem;
    EXPECT_EQ(catalogue.Enemies[0].Sounds.at("hit1"), "../Sounds/hit.wav");
}

TEST(EnemyDescription, CommentsBlanksAndCarriageReturnsAreFine) {
    EnemyCatalogue catalogue;
    std::string problem;
    ASSERT_TRUE(ParseEnemyDescriptions("# all\r\n\r\nenemy a # the first\r\n  health\t7 \r\n", "f", catalogue, problem))
        << problem;
    ASSERT_EQ(catalogue.Enemies.size(), 1u);
    EXPECT_FLOAT_EQ(catalogue.Enemies[0].Health, 7.0f);
    EXPECT_TRUE(ParseEnemyDescriptions("", "f", catalogue, problem));
    EXPECT_TRUE(catalogue.Enemies.empty());
}

TEST(EnemyDescription, AMissingFileIsNamed) {
    EnemyCatalogue catalogue;
    std::string problem;
    const fs::path missing = TestTempDir("enemies") / "none.txt";
    EXPECT_FALSE(LoadEnemyDescriptions(missing.string(), catalogue, problem));
    EXPECT_NE(problem.find("cannot be opened"), std::string::npos) << problem;
}

TEST(EnemyDescription, ADescriptionBuildsTheController) {
    EnemyCatalogue catalogue;
    std::string problem;
    ASSERT_TRUE(ParseEnemyDescriptions("enemy guard\nweapon shotgun\nhealth 80\nreward 30\nhit_effect oil1\n"
                                       "melee 4 0 1 1 0 1 0 200 12\nmuzzle 0 0.5 1\nfire_report 6\n"
                                       "gibs 1.5\nsilent_death\nreference 1 0 0\nsound hit1 clang\nstate 1 3\n",
                                       "f", catalogue, problem))
        << problem;
    CPGameObject figure("guard");
    figure.Position = D3DXVECTOR3(4.0f, 5.0f, 6.0f);
    {
        std::unique_ptr<CPEnemy> enemy = CreateEnemy(catalogue.Enemies[0], &figure);
        EXPECT_EQ(figure.Controller, enemy.get());
        EXPECT_EQ(enemy->Object, &figure);
        EXPECT_EQ(enemy->TypeName, "guard");
        EXPECT_EQ(enemy->Weapon, "shotgun");
        EXPECT_FLOAT_EQ(enemy->Health, 80.0f);
        EXPECT_EQ(enemy->Reward, 30);
        EXPECT_EQ(enemy->HitEffect, "oil1");
        EXPECT_EQ(enemy->MeleeCount, 1);
        EXPECT_EQ(enemy->Melee[0].ReportFrame, 4);
        EXPECT_FLOAT_EQ(enemy->Melee[0].Damage, 12.0f);
        EXPECT_EQ(enemy->FireReportFrame, 6);
        EXPECT_TRUE(enemy->Gibs);
        EXPECT_FLOAT_EQ(enemy->GibHeight, 1.5f);
        EXPECT_TRUE(enemy->SilentDeath);
        EXPECT_EQ(enemy->Sounds["hit1"], "clang");
        EXPECT_EQ(enemy->States[1], 3);
        // It faces its reference axis, at the object's position.
        EXPECT_NEAR(enemy->FacingAngle(), 0.0f, 1e-6f);
        const D3DXVECTOR3 muzzle = enemy->Turned(enemy->MuzzleOffset, true);
        EXPECT_NEAR(muzzle.x, 4.0f, 1e-5f);
        EXPECT_NEAR(muzzle.y, 5.5f, 1e-5f);
    }
    EXPECT_EQ(figure.Controller, nullptr) << "a deleted controller leaves the object";
}

TEST(EnemyDescription, AnEnemyIsPlacedAtItsTypesSource) {
    EnemyCatalogue catalogue;
    std::string problem;
    ASSERT_TRUE(ParseEnemyDescriptions("enemy guard\nenemy dog\n", "f", catalogue, problem)) << problem;
    CPLevel level;
    level.Sources["guard"] = D3DXVECTOR3(7.0f, 8.0f, 9.0f);
    level.Sources["cat"] = D3DXVECTOR3(1.0f, 1.0f, 1.0f);
    CPGameObject figure("figure");
    {
        const std::unique_ptr<CPEnemy> guard = PlaceEnemyAtSource(catalogue, level, "guard", &figure);
        ASSERT_NE(guard, nullptr);
        EXPECT_EQ(figure.Position, D3DXVECTOR3(7.0f, 8.0f, 9.0f));
        D3DXVECTOR3 origin;
        guard->Frame->GetOrigin(&origin);
        EXPECT_EQ(origin, figure.Position);
        EXPECT_EQ(guard->TypeName, "guard");
    }
    figure.Position = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    // No source, or no description: nothing.
    EXPECT_EQ(PlaceEnemyAtSource(catalogue, level, "dog", &figure), nullptr);
    EXPECT_EQ(PlaceEnemyAtSource(catalogue, level, "cat", &figure), nullptr);
    EXPECT_EQ(figure.Position, D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    EXPECT_EQ(figure.Controller, nullptr);
}

}  // namespace
