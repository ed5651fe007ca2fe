#include "core/CPLineReader.h"
#include "core/CPTokenizer.h"
#include "core/StringUtil.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

struct Yielded {
    std::string line;
    int kind;
    bool operator==(const Yielded&) const = default;
};

std::vector<Yielded> ReadAll(const std::string& text, int* lineNumber = nullptr) {
    CPLineReader reader(text.data(), static_cast<int>(text.size()));
    std::vector<Yielded> out;
    std::string line;
    while (reader.NextLine(line)) {
        out.push_back({line, reader.GetLineKind()});
    }
    if (lineNumber != nullptr) {
        *lineNumber = reader.GetLineNumber();
    }
    return out;
}

TEST(CPLineReader, EntriesSectionsAndLineCount) {
    int lineNumber = -1;
    const auto lines = ReadAll("a\n// comment\n[Section]\n   b = 1\r\n", &lineNumber);
    const std::vector<Yielded> expected = {{"a", 1}, {"Section", 0}, {"b = 1", 1}};
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(lineNumber, 4);
}

TEST(CPLineReader, Cases) {
    struct Case {
        const char* name;
        std::string text;
        std::vector<Yielded> expected;
    };
    const Case cases[] = {
        {"comment after data drops the line", "key value // note\nnext\n", {{"next", 1}}},
        {"block comment lines dropped", "/*\nc\n*/ d\ne\n", {{"e", 1}}},
        {"one-line block leaves no block open", "x /* y */ z\nw\n", {{"w", 1}}},
        {"open bracket without close is an entry", "[abc\n", {{"[abc", 1}}},
        {"section keeps inner spaces", "[ a b ]\n", {{" a b ", 0}}},
        {"empty brackets stop the reader", "[]\nafter\n", {}},
        {"no final line end", "last", {{"last", 1}}},
        {"blank lines skipped", "\n\n \t\r\nx\n\n", {{"x", 1}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReadAll(c.text), c.expected) << c.name;
    }
}

TEST(CPLineReader, ZeroByteEndsLineWithoutCounting) {
    const std::string text("a\0b\nc", 5);
    int lineNumber = -1;
    const std::vector<Yielded> expected = {{"a", 1}, {"b", 1}, {"c", 1}};
    EXPECT_EQ(ReadAll(text, &lineNumber), expected);
    EXPECT_EQ(lineNumber, 1);
}

TEST(CPLineReader, LineStartNamesTheTextLineOfEachLineRead) {
    // Skipped comment and blank lines count; a last line without a line end counts too.
    const std::string text = "a\n// note\n\n/*\nx\n*/\n  b\r\nc";
    CPLineReader reader(text.data(), static_cast<int>(text.size()));
    std::vector<std::pair<std::string, int>> lines;
    std::string line;
    while (reader.NextLine(line)) {
        lines.emplace_back(line, reader.GetLineStart());
    }
    const std::vector<std::pair<std::string, int>> expected = {{"a", 1}, {"b", 7}, {"c", 8}};
    EXPECT_EQ(lines, expected);
}

std::vector<std::string> Tokens(const std::string& text, const std::string& delimiter, bool quotes) {
    CPTokenizer tokenizer(text, delimiter, quotes);
    std::vector<std::string> out;
    std::string token;
    while (tokenizer.NextToken(token)) {
        out.push_back(token);
    }
    return out;
}

TEST(CPTokenizer, Cases) {
    struct Case {
        std::string text;
        std::string delimiter;
        bool quotes;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"a,b", ",", false, {"a", "b"}},
        {"a,,b", ",", false, {"a", "", "b"}},
        {"a,b,", ",", false, {"a", "b"}},
        {",a", ",", false, {"", "a"}},
        {" a , b ", ",", false, {"a", "b"}},
        {"", ",", false, {}},
        {"   ", ",", false, {}},
        {"\"x, y\",z", ",", true, {"x, y", "z"}},
        {"\"say \"\"hi\"\"\"", ",", true, {"say \"hi\""}},
        {"\" \",a", ",", true, {" ", "a"}},
        {"b\" \"c , d", ",", true, {"b c", "d"}},
        {"\"x, y,z", ",", true, {"x, y,z"}},  // an unclosed quote runs to the end
        {"\"x,y\"", ",", false, {"\"x", "y\""}},
        {"a--b", "--", false, {"a", "b"}},
        {"a-b-c", "--", false, {"a-b-c"}},
        {"a-", "--", false, {"a"}},
        {"aab", "ab", false, {"aab"}},
        {"x ab y", "ab", false, {"x", "y"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Tokens(c.text, c.delimiter, c.quotes), c.expected)
            << "text [" << c.text << "] delimiter [" << c.delimiter << "]";
    }
}

TEST(StringUtil, NumberTestsTrimAndCase) {
    EXPECT_TRUE(IsNumber(""));
    EXPECT_TRUE(IsInteger(""));
    EXPECT_TRUE(IsNumber("-1.5"));
    EXPECT_FALSE(IsNumber("1e5"));
    EXPECT_TRUE(IsInteger("-12"));
    EXPECT_FALSE(IsInteger("1.0"));

    std::string text = " \t\r\n a b \n";
    Trim(text);
    EXPECT_EQ(text, "a b");
    text = "\v x";  // vertical tab is not whitespace here
    Trim(text);
    EXPECT_EQ(text, "\v x");

    std::string mixed = "Data\\Meshes\\Car_01.MSH \xC4";
    ToLower(mixed);
    EXPECT_EQ(mixed, "data\\meshes\\car_01.msh \xC4");
    ToUpper(mixed);
    EXPECT_EQ(mixed, "DATA\\MESHES\\CAR_01.MSH \xC4");
}

}  // namespace
