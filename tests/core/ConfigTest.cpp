#include "tests/TestTempDir.h"
#include "core/CPConfig.h"
#include "core/ConfigVars.h"
#include "core/NumberText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <locale>
#include <sstream>
#include <string>
#include <sys/stat.h>

namespace {

class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override { Cfg::ResetDefaults(); }
    void TearDown() override { Cfg::ResetDefaults(); }
    std::string Write(const std::string& content) const {
        scratch.Write("config.cfg", content);
        return (scratch / "config.cfg").string();
    }
    ScratchFolder scratch{"cfgtest", ScratchFolder::Stay};
};

TEST_F(ConfigTest, LinesThroughARealFile) {
    struct Case {
        const char* line;
        int32_t* intVar;
        float* floatVar;
        double expected;
    };
    const Case cases[] = {
        {"screenWidth=800\n", &Cfg::screenWidth, nullptr, 800},
        {"  screenWidth \t=  800 \r\n", &Cfg::screenWidth, nullptr, 800},
        {"+fullScreen\n", &Cfg::fullScreen, nullptr, 1},
        {"+fullScreen\n-fullScreen\n", &Cfg::fullScreen, nullptr, 0},
        {"+fullScreen\nfullScreen\n", &Cfg::fullScreen, nullptr, 0},
        {"+screenWidth=800\n", &Cfg::screenWidth, nullptr, 800},
        {"-screenWidth=800\n", &Cfg::screenWidth, nullptr, 800},
        {" +fullScreen\n", &Cfg::fullScreen, nullptr, 0},  // sign after a space belongs to the key
        {"screenWidth=800=1\n", &Cfg::screenWidth, nullptr, 800},
        {"soundVolume=0.25\n", nullptr, &Cfg::soundVolume, 0.25},
        {"texlod=-1\n", &Cfg::texlod, nullptr, -1},
        {"screenwidth=800\n", &Cfg::screenWidth, nullptr, 640},  // keys are case-sensitive
        {"screenWidth=800\nscreenWidth=1024", &Cfg::screenWidth, nullptr, 1024},  // last wins, no final end
        {"static=1\n", &Cfg::staticGeometry, nullptr, 1},
        {"screenWidth=abc\n", &Cfg::screenWidth, nullptr, 640},
        {"screenWidth=99999999999\n", &Cfg::screenWidth, nullptr, 640},
        {"screenWidth=\n", &Cfg::screenWidth, nullptr, 640},
        {"aniso=1e3\n", nullptr, &Cfg::aniso, 1000},
    };
    for (const Case& c : cases) {
        Cfg::ResetDefaults();
        CPConfig config;
        config.Load(Write(c.line));
        const double got = c.intVar != nullptr ? *c.intVar : *c.floatVar;
        EXPECT_DOUBLE_EQ(got, c.expected) << "line: " << c.line;
    }
}

TEST_F(ConfigTest, CommentLikeLinesAndUnknownKeysKeepDefaults) {
    CPConfig config;
    config.Load(Write("\n\n# screenWidth=1\n// screenHeight=2\n; bloom=0\nnothing=5\nnothing=6\n=7\n+\n-\n"));
    const Cfg::Variable* vars = Cfg::Variables();
    for (int i = 0; i < Cfg::VariableCount; ++i) {
        const double value = vars[i].Int != nullptr ? *vars[i].Int : *vars[i].Float;
        EXPECT_DOUBLE_EQ(value, static_cast<float>(vars[i].Default)) << vars[i].Key;
    }
}

TEST_F(ConfigTest, MissingFileKeepsDefaults) {
    CPConfig config;
    EXPECT_FALSE(config.Load((scratch / "absent.cfg").string()));
    EXPECT_EQ(Cfg::screenWidth, 640);
    EXPECT_EQ(Cfg::distance, 200);
    EXPECT_FLOAT_EQ(Cfg::friction, 0.2f);
    EXPECT_TRUE(config.Load(Write("screenWidth=800\n")));
    EXPECT_EQ(Cfg::screenWidth, 800);
}

// Before the check, a FIFO blocked the open and a link to /dev/zero was read for ever.
TEST_F(ConfigTest, NotARegularFileIsSkippedLikeAMissingOne) {
    const std::filesystem::path fifo = scratch / "fifo.cfg";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::filesystem::path zero = scratch / "zero.cfg";
    std::filesystem::create_symlink("/dev/zero", zero);
    const std::filesystem::path folder = scratch / "folder.cfg";
    std::filesystem::create_directory(folder);
    CPConfig config;
    for (const std::filesystem::path& path : {fifo, zero, folder}) {
        EXPECT_FALSE(config.Load(path.string())) << path;
    }
    EXPECT_EQ(Cfg::screenWidth, 640);
}

TEST_F(ConfigTest, OverlongLineIsCutAndReadingGoesOn) {
    const std::string longLine = "screenHeight=" + std::string(2000, '7');
    CPConfig config;
    config.Load(Write("screenWidth=800\n" + longLine + "\nbloom=0\n" + std::string(1100, ' ') + "x\ndistance=50"));
    EXPECT_EQ(Cfg::screenWidth, 800);
    EXPECT_EQ(Cfg::screenHeight, 480);  // 1010 sevens overflow: unchanged
    EXPECT_EQ(Cfg::bloom, 0);
    EXPECT_EQ(Cfg::distance, 50);
}

// Files are read in large blocks: a line that straddles two of them still reads whole.
TEST_F(ConfigTest, LinesAcrossReadBlocksReadWhole) {
    for (size_t at : {size_t{65536} - 5, size_t{65536}, size_t{131072} - 1}) {
        SCOPED_TRACE(at);
        std::string text;
        while (text.size() + 40 < at) {
            text += "// padding line of no effect\r\n";
        }
        text += std::string(at - text.size(), ' ') + "screenWidth=1234\r\nbloom=0";
        Cfg::ResetDefaults();
        CPConfig config;
        EXPECT_TRUE(config.Load(Write(text)));
        EXPECT_EQ(Cfg::screenWidth, 1234);
        EXPECT_EQ(Cfg::bloom, 0);
    }
}

TEST_F(ConfigTest, RegistryBindsAllKeysAndClearsInstance) {
    {
        CPConfig config;
        EXPECT_EQ(CPConfig::Instance, &config);
        for (int i = 0; i < Cfg::VariableCount; ++i) {
            CPDator* dator = config.Find(Cfg::Variables()[i].Key);
            ASSERT_NE(dator, nullptr) << Cfg::Variables()[i].Key;
            EXPECT_FALSE(dator->IsList());
            EXPECT_EQ(dator->GetTypeName(), "CPDator");
        }
        config.Set("unknown", "1", 0);
        EXPECT_EQ(config.Find("unknown"), nullptr);
    }
    EXPECT_EQ(CPConfig::Instance, nullptr);
}

// A list variable records what the registry hands it, element by element.
class ListDator : public CPDator {
public:
    size_t GetObjectSize() const override { return sizeof(*this); }
    void Set(const std::string& text) override { calls.push_back("set " + text); }
    void Add(const std::string& text) override { calls.push_back("add " + text); }
    void Sub(const std::string& text) override { calls.push_back("sub " + text); }
    bool Equals(const std::string&) const override { return false; }
    bool NotEquals(const std::string&) const override { return true; }
    bool IsList() const override { return true; }
    std::string ToString() const override { return ""; }
    std::vector<std::string> calls;
};

TEST_F(ConfigTest, ListVariablesTakeEachElementBySign) {
    struct Case {
        const char* line;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {"list=a;b", {"set a", "set b"}},
        {"+list=a;;b;", {"add a", "add ", "add b", "add "}},
        {"-list= x ", {"sub x"}},
        {"list=", {"set "}},
        {"+list", {"add 1"}},
        {"-list", {"sub 0"}},
    };
    CPConfig config;
    for (const Case& c : cases) {
        ListDator* list = new ListDator;  // objects are never freed by a release
        config.Register("list", list);
        config.ParseLine(c.line);
        EXPECT_EQ(list->calls, c.calls) << c.line;
    }
}

TEST_F(ConfigTest, RegisterReleasesTheOldVariableThenTakesTheNew) {
    CPConfig config;
    CPDator* old = config.Find("screenWidth");
    ASSERT_EQ(old->GetRefCount(), 2);  // its holder and the registry
    int32_t other = 0;
    CPtr<CPDator> replacement(new CPDatorOf<int32_t>(&other));
    config.Register("screenWidth", replacement);
    EXPECT_EQ(old->GetRefCount(), 0);
    EXPECT_EQ(replacement->GetRefCount(), 2);
    config.Load(Write("screenWidth=800\n"));
    EXPECT_EQ(other, 800);
    EXPECT_EQ(Cfg::screenWidth, 640);
    // A second load applies over the current values; nothing goes back to its default.
    config.Load(Write("screenHeight=600\n"));
    EXPECT_EQ(other, 800);
}

TEST(CPDator, IntAndFloatConversions) {
    int32_t i = 0;
    CPDatorOf<int32_t> id(&i);
    id.Set("640");
    id.Add("10");
    EXPECT_EQ(i, 650);
    id.Sub("50");
    EXPECT_EQ(i, 600);
    EXPECT_TRUE(id.Equals("600"));
    EXPECT_FALSE(id.Equals("0600"));
    EXPECT_TRUE(id.NotEquals("0600"));
    id.Set("  42  ");
    EXPECT_EQ(i, 42);

    struct IntCase {
        const char* text;
        int32_t expected;
    };
    for (const IntCase& c : {IntCase{"800", 800}, {"-1", -1}, {"+5", 5}, {"3.7", 3}, {"12abc", 12}, {"0x10", 0},
                             {"", 99}, {"abc", 99}, {"2147483648", 99}}) {
        i = 99;
        id.Set(c.text);
        EXPECT_EQ(i, c.expected) << c.text;
    }
    i = INT32_MAX;
    id.Add("1");
    EXPECT_EQ(i, INT32_MIN);

    float f = 0;
    CPDatorOf<float> fd(&f);
    fd.Set("0.3");
    EXPECT_EQ(fd.ToString(), "0.3");
    for (const auto& [text, expected] : {std::pair<const char*, float>{"0.25", 0.25f}, {"1e3", 1000.f}, {"2", 2.f}}) {
        fd.Set(text);
        EXPECT_FLOAT_EQ(f, expected) << text;
    }
    f = 0.5f;
    EXPECT_TRUE(fd.Equals("0.5"));
    EXPECT_FALSE(fd.Equals("0.50"));
}

// Numbers are read as classic-locale stream extraction reads them, edge cases included.
TEST(NumberText, ReadsAsTheClassicStreamDoes) {
    const char* texts[] = {"0", "12", "-7", "+5", "  \t42", "12abc", "3.7", "0x10", "007", "-0", "2147483647",
                           "2147483648", "-2147483648", "-2147483649", "99999999999", "", " ", "-", "+", "+-5",
                           "- 5", "abc", ".5", "-.5", "5.", ".", "1e5", "1E-3", "1e", "1e+", "1e-x", "1.2.3",
                           "1.5f", "1e400", "-1e400", "1e-40", "1e-50", "inf", "-inf", "nan", "0.1", "3.4028235e38",
                           "16777217", "1,5", "\v\f\r\n8", "1234567", "-9999999", "12345678", "0000000001",
                           "7-", "7e", "7+", "42 ", "-", "-x"};
    for (const char* text : texts) {
        // A failed read leaves the value as it was (99).
        const auto readsAsStream = [&](auto parse, auto untouched) {
            auto expected = untouched;
            std::istringstream in(text);
            in.imbue(std::locale::classic());
            in >> expected;
            const bool ok = !in.fail();
            auto got = untouched;
            EXPECT_EQ(parse(text, got), ok) << "'" << text << "'";
            EXPECT_EQ(got, ok ? expected : untouched) << "'" << text << "'";
        };
        readsAsStream(TextToInt, int32_t{99});
        readsAsStream(TextToFloat, 99.0f);
        readsAsStream(TextToDouble, 99.0);
    }
    float negativeZero = 1.0f;
    ASSERT_TRUE(TextToFloat("-0", negativeZero));
    EXPECT_TRUE(std::signbit(negativeZero));
}

TEST(NumberText, FormattingIgnoresTheProcessLocale) {
    struct Comma : std::numpunct<char> {
        char do_decimal_point() const override { return ','; }
        std::string do_grouping() const override { return "\3"; }
    };
    const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new Comma));
    EXPECT_EQ(FloatToText(0.5f), "0.5");
    EXPECT_EQ(FloatToText(22050.f), "22050");
    EXPECT_EQ(FloatToText(0.0001f), "0.0001");
    EXPECT_EQ(FloatToText(1234567.f), "1.23457e+06");
    EXPECT_EQ(IntToText(-1234567), "-1234567");
    float f = 0;
    EXPECT_TRUE(TextToFloat("0.25", f));
    EXPECT_FLOAT_EQ(f, 0.25f);
    std::locale::global(previous);
}

}  // namespace
