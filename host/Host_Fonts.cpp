// The host's part in fonts: which font files the game folder and its packs hold.
#include "host/Host.h"

#include "core/PackFiles.h"
#include "core/StringUtil.h"
#include "core/CPFileFinder.h"
#include "platform/files/HostFiles.h"

#include <map>
#include <string>

namespace {

constexpr const char* FontFolder = "Data\\Interface\\";
constexpr const char* FontExtension = ".fnt";

std::string Lower(std::string text) {
    ToLower(text);
    return text;
}

bool IsFontName(const std::string& file) {
    const size_t n = std::char_traits<char>::length(FontExtension);
    return file.size() > n && Lower(file.substr(file.size() - n)) == FontExtension;
}

}  // namespace

bool Host::LoadFonts(std::string& error) {
    // One load: the folder's changes are looked at once for all the fonts, not once per file.
    const HostFiles::Batch batch;
    // Keyed without regard to case: a font on disk and in a pack is one font (the disk's).
    std::map<std::string, std::string> names;
    const size_t extension = std::char_traits<char>::length(FontExtension);
    for (const std::string& file : CPFileFinder::FileNames(std::string(FontFolder) + "*" + FontExtension)) {
        if (IsFontName(file)) {
            const std::string name = file.substr(0, file.size() - extension);
            names.emplace(Lower(name), name);
        }
    }
    const std::string folder = Lower(FontFolder);
    for (const PackEntry& pack : PackFiles) {
        for (const auto& [member, where] : pack.Directory) {
            if (member.size() > folder.size() && member.compare(0, folder.size(), folder) == 0 &&
                member.find('\\', folder.size()) == std::string::npos && IsFontName(member)) {
                const std::string name = member.substr(folder.size(), member.size() - folder.size() - extension);
                names.emplace(name, name);
            }
        }
    }
    for (const auto& [key, name] : names) {
        std::string problem;
        if (!fontManager->LoadFont(name, &problem)) {
            error = "\"" + std::string(FontFolder) + name + FontExtension + "\": " + problem;
            return false;
        }
    }
    return true;
}
