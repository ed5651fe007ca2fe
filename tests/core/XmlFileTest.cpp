#include "core/PackFiles.h"
#include "core/XmlFile.h"
#include "tests/TestTempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

// Every allocation of this program goes through here; while a fill byte is set, new memory is
// filled with it, so a read past the end of what was written sees that byte instead of
// whatever the allocator left there.
namespace {
std::atomic<int> newMemoryFill{-1};
}

void* operator new(size_t size) {
    void* memory = std::malloc(size == 0 ? 1 : size);
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    if (const int fill = newMemoryFill.load(); fill >= 0) {
        std::memset(memory, fill, size);
    }
    return memory;
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, size_t) noexcept { std::free(memory); }

namespace {

class XmlFileTest : public ::testing::Test {
protected:
    void SetUp() override { PackFiles.clear(); }
    void TearDown() override { PackFiles.clear(); }
    void Put(const std::string& path, const std::string& text) const { scratch.Write(path, text); }
    ScratchFolder scratch{"xmlfile"};
};

const char* const CarXml = "<?xml version=\"1.0\"?>\n<car name=\"jeep\"><engine power=\"120\"/></car>\n";

TEST_F(XmlFileTest, LoadsFromDiskWithoutRegardToCase) {
    Put("Data/Descriptions/Jeep.XML", CarXml);
    TiXmlDocument document;
    ASSERT_TRUE(LoadXmlFile(document, "Data\\Descriptions\\jeep.xml"));
    EXPECT_EQ(std::string(document.Value()), "Data\\Descriptions\\jeep.xml");
    const TiXmlElement* car = document.RootElement();
    ASSERT_NE(car, nullptr);
    EXPECT_STREQ(car->Attribute("name"), "jeep");
    ASSERT_NE(car->FirstChildElement("engine"), nullptr);
}

TEST_F(XmlFileTest, LoadsFromAPack) {
    std::vector<uint8_t> pack;
    ASSERT_TRUE(PackFormat::Encode({{"data\\descriptions\\truck.xml", std::vector<uint8_t>(CarXml, CarXml + std::strlen(CarXml))}},
                                   pack));
    Put("data.pak", std::string(pack.begin(), pack.end()));
    ASSERT_EQ(AddPackFile("data.pak"), S_OK);
    TiXmlDocument document;
    ASSERT_TRUE(LoadXmlFile(document, "Data\\Descriptions\\Truck.xml"));
    EXPECT_STREQ(document.RootElement()->Attribute("name"), "jeep");
}

TEST_F(XmlFileTest, MissingEmptyAndMalformedFiles) {
    TiXmlDocument document;
    // A document that held something is cleared first.
    Put("Data/Descriptions/good.xml", CarXml);
    ASSERT_TRUE(LoadXmlFile(document, "Data\\Descriptions\\good.xml"));

    EXPECT_FALSE(LoadXmlFile(document, "Data\\Descriptions\\missing.xml"));
    EXPECT_TRUE(document.Error());
    EXPECT_EQ(document.ErrorId(), TiXmlBase::TIXML_ERROR_OPENING_FILE);
    EXPECT_EQ(document.ErrorId(), 2);
    EXPECT_EQ(document.RootElement(), nullptr);

    EXPECT_EQ(XmlFileProblem(document), "cannot be read");

    // An empty file gives the error TinyXML's own LoadFile gives, as does text that holds no markup.
    for (const std::string& text : {std::string(), std::string(" \r\n"), std::string("\0\1<physics", 11),
                                    std::string("\xFF<physics/>")}) {
        Put("Data/Descriptions/empty.xml", text);
        EXPECT_FALSE(LoadXmlFile(document, "Data\\Descriptions\\empty.xml"));
        EXPECT_TRUE(document.Error());
        EXPECT_EQ(document.ErrorId(), TiXmlBase::TIXML_ERROR_DOCUMENT_EMPTY);
        EXPECT_EQ(document.RootElement(), nullptr);
        EXPECT_EQ(XmlFileProblem(document), "holds no XML");
    }

    Put("Data/Descriptions/bad.xml", "<car name=\"jeep\"><engine></car>");
    EXPECT_FALSE(LoadXmlFile(document, "Data\\Descriptions\\bad.xml"));
    EXPECT_TRUE(document.Error());
    EXPECT_NE(document.ErrorId(), TiXmlBase::TIXML_ERROR_OPENING_FILE);
    EXPECT_EQ(XmlFileProblem(document).rfind("not well-formed XML at row 1, column ", 0), 0u) << XmlFileProblem(document);

    Put("Data/Descriptions/comment.xml", "<!-- only a comment -->");
    EXPECT_TRUE(LoadXmlFile(document, "Data\\Descriptions\\comment.xml"));
    EXPECT_EQ(XmlFileProblem(document), "holds no element");

    // Text after a zero byte is not parsed.
    Put("Data/Descriptions/zero.xml", std::string("<a/>") + '\0' + "<<garbage");
    EXPECT_TRUE(LoadXmlFile(document, "Data\\Descriptions\\zero.xml"));
    EXPECT_STREQ(document.RootElement()->Value(), "a");
    EXPECT_EQ(XmlFileProblem(document), "");
}

// TinyXML in UTF-8 mode steps over the whole of a multi-byte character, so a lead byte just
// before the end takes it past the terminating zero: the parser's buffer needs zero bytes
// beyond the text. Whatever lies beyond must not change the result.
TEST_F(XmlFileTest, TruncatedMultiByteCharacterAtTheEndStaysInsideTheText) {
    const std::string texts[] = {"<a b=\"\xF0", "<a b=\"\xE2", "<a>\xF0", "<a\xF0", "<!--\xF0", "<a b='x'\xF0"};
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        Put("Data/broken.xml", text);
        struct Result {
            bool loaded;
            int error;
            int row;
            int column;
        };
        std::vector<Result> results;
        for (const int fill : {0, int{'"'}, int{'>'}, int{'x'}}) {
            TiXmlDocument document;
            newMemoryFill = fill;
            const bool loaded = LoadXmlFile(document, "Data\\broken.xml", TIXML_ENCODING_UTF8);
            newMemoryFill = -1;
            results.push_back({loaded, document.ErrorId(), document.ErrorRow(), document.ErrorCol()});
        }
        for (const Result& result : results) {
            EXPECT_EQ(result.loaded, results[0].loaded);
            EXPECT_EQ(result.error, results[0].error);
            EXPECT_EQ(result.row, results[0].row);
            EXPECT_EQ(result.column, results[0].column);
        }
    }
}

}  // namespace
