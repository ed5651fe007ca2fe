// Gathers a folder tree into one pack file (see docs/PackFormat.md).
#pragma once

#include <string>
#include <vector>

// Packs every regular file under each of `folders` (paths relative to gameFolder; the whole of
// gameFolder when empty) into the pack at outputPath. Folder names and the output go through
// the path layer, so their letter case does not matter. Member names are the paths relative to
// gameFolder with "\" separators, lower-cased, in sorted order; a file reached through a
// symbolic link is named by the link's path, as the engine would ask for it. Links that lead
// nowhere, and links back to their own folder or one above it, are passed over, each named in
// `skipped` when given; a file reached twice (folders that overlap) is packed once. False with
// a message in `error` when a folder lies outside gameFolder (an absolute path or one with
// ".."), a folder or file cannot be read, two files differ only in case, or the pack cannot be
// written; the output is then left as it was.
bool BuildPack(const std::string& outputPath, const std::string& gameFolder, const std::vector<std::string>& folders,
               std::string& error, size_t* memberCount = nullptr, std::vector<std::string>* skipped = nullptr);
