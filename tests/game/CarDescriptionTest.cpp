// The car description: what each element sets, what a missing one leaves, and the two
// parameter commands of the player's car.
#include "CarFixture.h"

#include "core/CPCommandDispatcher.h"
#include "core/CPScriptTask.h"
#include "game/CarDescription.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// Every element and attribute the reader knows, with values unlike the defaults.
const char* const FullDescription =
    "<?xml version=\"1.0\"?>"
    "<camera fov_div=\"2\" distance=\"7\"/>"
    "<physics debug=\"true\">"
    "  <geometry><wheels count=\"6\" x=\"0.1\" y=\"-0.2\" length=\"0.9\" radius=\"0.4\" front_min_radius=\"0.05\""
    "    back_min_radius=\"0.06\" width=\"0.3\" fixed=\"min\"/></geometry>"
    "  <params>"
    "    <wheels spring1=\"500\" spring2=\"510\" damping=\"90\"/>"
    "    <speed max_front_speed=\"40\" max_rear_speed=\"12\" angle=\"1.5\"/>"
    "    <acceleration accel_front=\"0.3\" accel_back=\"0.25\" speed_front=\"33.333\" speed_back=\"-4\""
    "      front=\"120\" back=\"80\" brake=\"70\"/>"
    "    <friction front=\"110\" back=\"250\" slide=\"0.8\"/>"
    "    <inertion yaw=\"0.2\" pitch=\"0.3\"/>"
    "  </params>"
    "</physics>"
    "<render><shadow name=\"shadow_jeep.tga\"/></render>";

CarParams Read(const std::string& text, std::optional<CarCommandTexts>* commands = nullptr) {
    TiXmlDocument document;
    std::string reason;
    EXPECT_TRUE(ParseCarDescription(text, document, reason)) << reason;
    CarParams params;
    std::optional<CarCommandTexts> texts = ReadCarDescription(document, params);
    if (commands != nullptr) {
        *commands = texts;
    }
    return params;
}

// Removes the first element of that name (with its subtree) from the text.
std::string Without(std::string text, const std::string& name) {
    const size_t open = text.find("<" + name + " ");
    const size_t shortOpen = text.find("<" + name + ">");
    const size_t start = std::min(open, shortOpen);
    EXPECT_NE(start, std::string::npos) << name;
    const size_t selfClose = text.find("/>", start);
    const size_t close = text.find("</" + name + ">", start);
    const size_t end = (close != std::string::npos && (selfClose == std::string::npos || close < selfClose ||
                                                        text.find('>', start) < selfClose))
                           ? close + name.size() + 3
                           : selfClose + 2;
    return text.erase(start, end - start);
}

TEST(CarDescriptionTest, FullDescriptionSetsEveryField) {
    std::optional<CarCommandTexts> commands;
    const CarParams p = Read(FullDescription, &commands);
    EXPECT_EQ(p.WheelCount, 6);
    EXPECT_FLOAT_EQ(p.WheelX, 0.1f);
    EXPECT_FLOAT_EQ(p.WheelY, -0.2f);
    EXPECT_FLOAT_EQ(p.Length, 0.9f);
    EXPECT_FLOAT_EQ(p.Radius, 0.4f);
    EXPECT_FLOAT_EQ(p.FrontMinRadius, 0.05f);
    EXPECT_FLOAT_EQ(p.BackMinRadius, 0.06f);
    EXPECT_TRUE(p.FixedMin);
    EXPECT_FALSE(p.FixedMax);
    EXPECT_TRUE(p.Debug);
    EXPECT_FLOAT_EQ(p.Spring1, 500.0f);
    EXPECT_FLOAT_EQ(p.Spring2, 510.0f);
    EXPECT_FLOAT_EQ(p.Damping, 90.0f);
    EXPECT_FLOAT_EQ(p.MaxFrontSpeed, 40.0f);
    EXPECT_FLOAT_EQ(p.MaxRearSpeed, 12.0f);
    EXPECT_FLOAT_EQ(p.FrictionFront, 110.0f);
    EXPECT_FLOAT_EQ(p.FrictionBack, 250.0f);
    EXPECT_FLOAT_EQ(p.Slide, 0.8f);
    EXPECT_FLOAT_EQ(p.AccelFront, 120.0f);
    EXPECT_FLOAT_EQ(p.AccelBack, 80.0f);
    EXPECT_FLOAT_EQ(p.Brake, 70.0f);
    EXPECT_FLOAT_EQ(p.InertionYaw, 0.2f);
    EXPECT_FLOAT_EQ(p.InertionPitch, 0.3f);
    EXPECT_EQ(p.ShadowName, "shadow_jeep.tga");
    ASSERT_TRUE(commands.has_value());
    EXPECT_EQ(commands->CarParams, "1.50,2.00,0.30,0.25");
    EXPECT_EQ(commands->CarParams2, "33.33,-4.00");
}

// Each optional element taken away: the fields it sets keep their defaults, the others are
// still read, and the commands change as the format says.
TEST(CarDescriptionTest, EachMissingElementLeavesOnlyItsOwnFields) {
    const CarParams defaults;
    const CarParams full = Read(FullDescription);
    struct Case {
        const char* Element;
        std::vector<float CarParams::*> Kept;  // fields back at their defaults
        const char* First;                     // "set_car_params"; nullptr: no commands
        const char* Second;                    // "set_car_params2"
    };
    const std::vector<Case> cases = {
        {"geometry",
         {&CarParams::WheelX, &CarParams::WheelY, &CarParams::Length, &CarParams::Radius, &CarParams::FrontMinRadius,
          &CarParams::BackMinRadius},
         "1.50,2.00,0.30,0.25", "33.33,-4.00"},
        {"wheels spring1", {&CarParams::Spring1, &CarParams::Spring2, &CarParams::Damping}, "1.50,2.00,0.30,0.25",
         "33.33,-4.00"},
        {"speed", {&CarParams::MaxFrontSpeed, &CarParams::MaxRearSpeed}, nullptr, nullptr},
        // Missing values of the commands are sent as 0.00.
        {"camera", {}, "1.50,0.00,0.30,0.25", "33.33,-4.00"},
        {"acceleration", {&CarParams::AccelFront, &CarParams::AccelBack, &CarParams::Brake}, "1.50,2.00,0.00,0.00",
         "0.00,0.00"},
        {"friction", {&CarParams::FrictionFront, &CarParams::FrictionBack, &CarParams::Slide}, "1.50,2.00,0.30,0.25",
         "33.33,-4.00"},
        {"inertion", {&CarParams::InertionYaw, &CarParams::InertionPitch}, "1.50,2.00,0.30,0.25", "33.33,-4.00"},
        {"render", {}, "1.50,2.00,0.30,0.25", "33.33,-4.00"},
    };
    const std::vector<float CarParams::*> all = {
        &CarParams::WheelX,        &CarParams::WheelY,       &CarParams::Length,        &CarParams::Radius,
        &CarParams::FrontMinRadius, &CarParams::BackMinRadius, &CarParams::Spring1,      &CarParams::Spring2,
        &CarParams::Damping,       &CarParams::MaxFrontSpeed, &CarParams::MaxRearSpeed, &CarParams::FrictionFront,
        &CarParams::FrictionBack,  &CarParams::Slide,        &CarParams::AccelFront,    &CarParams::AccelBack,
        &CarParams::Brake,         &CarParams::InertionYaw,  &CarParams::InertionPitch};
    for (const Case& c : cases) {
        std::string element = c.Element;
        std::string text = FullDescription;
        if (element == "wheels spring1") {
            const size_t at = text.find("<wheels spring1");
            text.erase(at, text.find("/>", at) + 2 - at);
        } else {
            text = Without(text, element);
        }
        std::optional<CarCommandTexts> commands;
        const CarParams p = Read(text, &commands);
        for (float CarParams::*field : all) {
            const bool kept = std::find(c.Kept.begin(), c.Kept.end(), field) != c.Kept.end();
            EXPECT_FLOAT_EQ(p.*field, kept ? defaults.*field : full.*field) << "without " << element;
        }
        EXPECT_EQ(p.WheelCount, element == "geometry" ? defaults.WheelCount : full.WheelCount) << element;
        EXPECT_EQ(p.FixedMin, element == "geometry" ? defaults.FixedMin : full.FixedMin) << element;
        EXPECT_EQ(p.ShadowName, element == "render" ? defaults.ShadowName : full.ShadowName) << element;
        EXPECT_EQ(commands.has_value(), c.First != nullptr) << element;
        if (commands && c.First != nullptr) {
            EXPECT_EQ(commands->CarParams, c.First) << element;
            EXPECT_EQ(commands->CarParams2, c.Second) << element;
        }
    }
}

TEST(CarDescriptionTest, AttributeValues) {
    struct Case {
        const char* Wheels;  // attributes of physics/geometry/wheels
        int32_t Count;
        bool FixedMin;
        bool FixedMax;
        float Length;
    };
    const CarParams d;
    const std::vector<Case> cases = {
        {"count=\"6.9\"", 6, false, false, d.Length},
        {"count=\"-1\"", 0, false, false, d.Length},
        {"count=\"12\"", 8, false, false, d.Length},
        {"count=\"1e30\"", 8, false, false, d.Length},
        {"count=\"four\"", 4, false, false, d.Length},
        {"fixed=\"MAX\"", 4, false, true, d.Length},
        {"fixed=\"Min\"", 4, true, false, d.Length},
        {"fixed=\"none\"", 4, false, false, d.Length},
        // Decimal in the C locale; text after the number is ignored.
        {"length=\"0.75\"", 4, false, false, 0.75f},
        {"length=\"1,5\"", 4, false, false, 1.0f},
        {"length=\" 2.5m\"", 4, false, false, 2.5f},
        {"length=\"abc\"", 4, false, false, d.Length},
        {"length=\"\"", 4, false, false, d.Length},
        // Too big for a float: ignored.
        {"length=\"1e300\"", 4, false, false, d.Length},
        {"length=\"nan\"", 4, false, false, d.Length},
    };
    for (const Case& c : cases) {
        const CarParams p = Read(std::string("<physics><geometry><wheels ") + c.Wheels + "/></geometry></physics>");
        EXPECT_EQ(p.WheelCount, c.Count) << c.Wheels;
        EXPECT_EQ(p.FixedMin, c.FixedMin) << c.Wheels;
        EXPECT_EQ(p.FixedMax, c.FixedMax) << c.Wheels;
        EXPECT_FLOAT_EQ(p.Length, c.Length) << c.Wheels;
    }
    // Without "fixed" both flags keep what they were.
    CarParams kept;
    kept.FixedMax = true;
    TiXmlDocument document;
    document.Parse("<physics><geometry><wheels count=\"2\"/></geometry></physics>");
    ReadCarDescription(document, kept);
    EXPECT_TRUE(kept.FixedMax);

    EXPECT_FALSE(Read("<physics debug=\"True\"/>").Debug);
    EXPECT_FALSE(Read("<physics debug=\"1\"/>").Debug);
    EXPECT_TRUE(Read("<physics debug=\"true\"/>").Debug);
    // A path ends only at an element.
    EXPECT_EQ(Read("<render>shadow</render>").ShadowName, "");
    EXPECT_EQ(Read("<render><shadow/></render>").ShadowName, "");
}

TEST(CarDescriptionTest, SpeedWithoutANumericAngleSendsNothing) {
    for (const char* speed : {"<speed max_front_speed=\"40\"/>", "<speed angle=\"steep\"/>", "<speed angle=\"1e99\"/>"}) {
        std::optional<CarCommandTexts> commands;
        Read(std::string("<camera fov_div=\"2\"/><physics><params>") + speed + "</params></physics>", &commands);
        EXPECT_FALSE(commands.has_value()) << speed;
    }
    std::optional<CarCommandTexts> commands;
    Read("<physics><params><speed angle=\"-0.004\"/></params></physics>", &commands);
    ASSERT_TRUE(commands.has_value());
    EXPECT_EQ(commands->CarParams, "-0.00,0.00,0.00,0.00");
    EXPECT_EQ(commands->CarParams2, "0.00,0.00");
}

TEST(CarDescriptionTest, TextThatIsNotADescriptionIsRefusedWithTheReason) {
    // The last two end inside a UTF-8 character, which the parser must not read past.
    for (const char* text : {"", "   ", "<physics>", "<physics></render>", "<?xml version=\"1.0\"?>", "no xml",
                             "<physics debug=\"\xf0", "<physics><\xe2"}) {
        TiXmlDocument document;
        std::string reason;
        EXPECT_FALSE(ParseCarDescription(text, document, reason)) << text;
        EXPECT_FALSE(reason.empty()) << text;
    }
}

// The player's car sends both commands to "jeep" while it is built; other cars send nothing.
class CarCommandsTest : public CarFixture::CarTest {
protected:
    void SetUp() override {
        CarTest::SetUp();
        CPCommandDispatcher::Instance = &Dispatcher;
        Jeep.Running = true;
        Dispatcher.RegisterName("jeep", &Jeep);
    }
    void TearDown() override {
        Dispatcher.Unregister(&Jeep);
        CPCommandDispatcher::Instance = nullptr;
        CarTest::TearDown();
    }
    CPCommandDispatcher Dispatcher;
    CPScriptTask Jeep;
};

TEST_F(CarCommandsTest, PlayersCarSendsBothParameterCommands) {
    CPCar* car = MakeCar(MakeBody(D3DXVECTOR3(0.0f, 0.0f, 1.0f), 0.0f, 6), FullDescription, true);
    ASSERT_EQ(Jeep.Commands.size(), 2u);
    // Senders push at the front: the back is the first sent.
    const CPCommand& first = Jeep.Commands.back();
    const CPCommand& second = Jeep.Commands.front();
    EXPECT_EQ(first.Name, "set_car_params");
    EXPECT_EQ(first.Params, (std::vector<std::string>{"1.50", "2.00", "0.30", "0.25"}));
    EXPECT_EQ(second.Name, "set_car_params2");
    EXPECT_EQ(second.Params, (std::vector<std::string>{"33.33", "-4.00"}));
    EXPECT_TRUE(car->HasSound);
    EXPECT_EQ(car->WheelCount, 6);
    EXPECT_EQ(car->ShadowName, "shadow_jeep.tga");
}

TEST_F(CarCommandsTest, OtherCarsSendNothing) {
    MakeCar(MakeBody(D3DXVECTOR3(0.0f, 0.0f, 1.0f), 0.0f, 6), FullDescription, false);
    EXPECT_TRUE(Jeep.Commands.empty());
}

}  // namespace
