#include "tools/PackBuilder.h"

#include "core/PackFiles.h"
#include "core/StringUtil.h"
#include "platform/files/HostFiles.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <system_error>

namespace fs = std::filesystem;

namespace {

bool ReadWhole(const std::string& path, std::vector<uint8_t>& bytes) {
    std::FILE* file = HostFiles::Open(path, "rb");
    if (file == nullptr) {
        return false;
    }
    bytes.clear();
    uint8_t chunk[65536];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof(chunk), file)) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    const bool ok = std::ferror(file) == 0;
    std::fclose(file);
    return ok;
}

// An absolute path (host or Windows style) or one that climbs with "..".
bool OutsideTheGameFolder(const std::string& folder) {
    if (!folder.empty() && (folder[0] == '/' || folder[0] == '\\')) {
        return true;
    }
    if (folder.size() >= 2 && folder[1] == ':') {
        return true;  // "C:..."
    }
    size_t start = 0;
    while (start <= folder.size()) {
        size_t end = folder.find_first_of("/\\", start);
        if (end == std::string::npos) {
            end = folder.size();
        }
        if (folder.compare(start, end - start, "..") == 0) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

// Whether the folder `inner` is `outer` or lies somewhere below it (both canonical).
bool IsWithin(const fs::path& inner, const fs::path& outer) {
    const fs::path relative = inner.lexically_relative(outer);
    return !relative.empty() && *relative.begin() != "..";
}

}  // namespace

bool BuildPack(const std::string& outputPath, const std::string& gameFolder, const std::vector<std::string>& folders,
               std::string& error, size_t* memberCount, std::vector<std::string>* skipped) {
    // Folder names are matched without regard to case, as everywhere in the engine; the output
    // is the file WriteWhole will replace, so it is never packed into itself.
    // Both are the host's own paths (program arguments), not names read from data: a relative one
    // is made absolute, since the path layer keeps relative paths inside the working folder.
    std::error_code code;
    const auto hostPath = [&code](const std::string& path) { return fs::absolute(path, code).string(); };
    const fs::path base = HostFiles::Resolve(hostPath(gameFolder.empty() ? std::string(".") : gameFolder));
    const fs::path output = fs::weakly_canonical(HostFiles::ResolveForWrite(hostPath(outputPath)), code);
    // Lower-cased name -> host path, sorted so the same tree always gives the same pack.
    std::map<std::string, fs::path> files;
    const std::vector<std::string> roots = folders.empty() ? std::vector<std::string>{""} : folders;
    for (const std::string& folder : roots) {
        if (OutsideTheGameFolder(folder)) {
            error = "not a folder inside the game folder: " + folder;
            return false;
        }
        const fs::path start = folder.empty() ? base : fs::path(HostFiles::Resolve((base / folder).string()));
        if (!fs::is_directory(start, code)) {
            error = "not a folder: " + start.string();
            return false;
        }
        fs::recursive_directory_iterator it(start, fs::directory_options::follow_directory_symlink, code);
        for (; !code && it != fs::recursive_directory_iterator(); it.increment(code)) {
            if (it->is_symlink(code) && !fs::exists(it->status(code))) {
                if (skipped != nullptr) {
                    skipped->push_back(it->path().string());
                }
                code.clear();
                continue;
            }
            // A link to its own folder or one above it would be followed round and round.
            if (it->is_symlink(code) && it->is_directory(code)) {
                const fs::path target = fs::canonical(it->path(), code);
                if (!code && IsWithin(fs::canonical(it->path().parent_path(), code), target) && !code) {
                    if (skipped != nullptr) {
                        skipped->push_back(it->path().string());
                    }
                    it.disable_recursion_pending();
                    continue;
                }
                code.clear();
            }
            if (!it->is_regular_file(code) || fs::weakly_canonical(it->path(), code) == output) {
                code.clear();
                continue;
            }
            // Lexically: a file behind a link keeps the link's path (fs::relative would follow it).
            const fs::path path = it->path().lexically_normal();
            std::string name = path.lexically_relative(base.lexically_normal()).generic_string();
            std::replace(name.begin(), name.end(), '/', '\\');
            ToLower(name);
            // The same file reached again through folders that overlap is packed once.
            const auto [known, added] = files.emplace(name, path);
            if (!added && known->second != path) {
                error = "two files differ only in case: " + known->second.string() + " and " + path.string();
                return false;
            }
        }
        if (code) {
            error = "cannot list " + start.string() + ": " + code.message();
            return false;
        }
    }
    std::vector<PackFormat::Source> members;
    members.reserve(files.size());
    for (const auto& [name, path] : files) {
        PackFormat::Source member;
        member.Name = name;
        if (!ReadWhole(path.string(), member.Bytes)) {
            error = "cannot read " + path.string();
            return false;
        }
        members.push_back(std::move(member));
    }
    std::vector<uint8_t> pack;
    if (!PackFormat::Encode(members, pack)) {
        error = "the members do not fit in one pack (4 GiB, names up to 1024 bytes)";
        return false;
    }
    if (!HostFiles::WriteWhole(hostPath(outputPath), pack.data(), pack.size())) {
        error = "cannot write " + outputPath;
        return false;
    }
    if (memberCount != nullptr) {
        *memberCount = members.size();
    }
    return true;
}
