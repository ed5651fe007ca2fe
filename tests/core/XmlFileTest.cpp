#include "core/PackFiles.h"
#include "core/XmlFile.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <cstring>
#include <string>

namespace fs = std::filesystem;

namespace {

class XmlFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("xmlfile_" + std::to_string(getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root / "Data" / "Descriptions");
        previous = fs::current_path();
        fs::current_path(root);
        PackFiles.clear();
    }
    void TearDown() override {
        PackFiles.clear();
        fs::current_path(previous);
        fs::remove_all(root);
    }
    static void Put(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    fs::path root;
    fs::path previous;
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
    std::ofstream("data.pak", std::ios::binary).write(reinterpret_cast<const char*>(pack.data()), pack.size());
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

    Put("Data/Descriptions/empty.xml", "");
    EXPECT_FALSE(LoadXmlFile(document, "Data\\Descriptions\\empty.xml"));
    EXPECT_FALSE(document.Error());
    EXPECT_EQ(document.RootElement(), nullptr);

    Put("Data/Descriptions/bad.xml", "<car name=\"jeep\"><engine></car>");
    EXPECT_FALSE(LoadXmlFile(document, "Data\\Descriptions\\bad.xml"));
    EXPECT_TRUE(document.Error());
    EXPECT_NE(document.ErrorId(), TiXmlBase::TIXML_ERROR_OPENING_FILE);

    // Text after a zero byte is not parsed.
    Put("Data/Descriptions/zero.xml", std::string("<a/>") + '\0' + "<<garbage");
    EXPECT_TRUE(LoadXmlFile(document, "Data\\Descriptions\\zero.xml"));
    EXPECT_STREQ(document.RootElement()->Value(), "a");
}

}  // namespace
