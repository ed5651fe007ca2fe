// Gathers a folder tree into one pack file (see docs/PackFormat.md).
#pragma once

#include <string>
#include <vector>

// Packs every regular file under each of `folders` (paths relative to gameFolder; the whole of
// gameFolder when empty) into the pack at outputPath. Folder names and the output go through
// the path layer, so their letter case does not matter. Member names are the paths relative to
// gameFolder with "\" separators, lower-cased, in sorted order. False with a message in `error`
// when a folder or file cannot be read, two files differ only in case, or the pack cannot be
// written; the output is then left as it was.
bool BuildPack(const std::string& outputPath, const std::string& gameFolder, const std::vector<std::string>& folders,
               std::string& error, size_t* memberCount = nullptr);
