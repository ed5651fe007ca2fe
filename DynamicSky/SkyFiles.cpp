#include "DynamicSky/SkyFiles.h"

#include "core/CPFileReader.h"

std::string SkyFilePath(const std::string& name) { return std::string("Data") + "\\Clouds\\" + name; }

bool ReadSkyFile(const std::string& name, std::vector<uint8_t>& bytes) {
    CPFileReader reader(SkyFilePath(name), false);
    if (FAILED(reader.Load())) {
        return false;
    }
    bytes.assign(reader.GetData(), reader.GetData() + reader.GetLength());
    return true;
}
