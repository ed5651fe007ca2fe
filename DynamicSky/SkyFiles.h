// Where the sky's text files live, and reading one whole.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// "Data" + "\Clouds\" + name.
std::string SkyFilePath(const std::string& name);
// Reads the file of SkyFilePath(name) whole (disk first, then the packs), unscrambled. False
// when it cannot be read; nothing is reported.
bool ReadSkyFile(const std::string& name, std::vector<uint8_t>& bytes);
