// Case-insensitive resolution of engine paths with a per-directory listing cache.
//
// A lookup of one component in a directory that has a cached listing costs one stat of the
// directory (to validate the listing) and one hash look-up; a directory is listed only when the
// exact spelling is absent. Directories whose entries all match exactly are never listed.
#include "platform/files/HostFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace HostFiles {
namespace {

// A listing taken this close after the directory's last change may have missed an entry
// created within the same time-stamp tick.
constexpr int64_t RacyWindowNs = 2'000'000'000;

struct Listing {
    // Which directory was listed (relative keys change meaning with the working directory)
    // and how it looked then.
    dev_t Device = 0;
    ino_t Inode = 0;
    timespec ModifiedAt{};
    int64_t ListedAtNs = 0;
    std::unordered_set<std::string> Exact;
    // Lower-cased name -> the entry that answers it (first in byte order).
    std::unordered_map<std::string, std::string> Folded;

    void Add(const std::string& name);
    void Erase(const std::string& name);
    const std::string* Find(const std::string& name) const;
};

struct State {
    std::mutex Lock;
    std::unordered_map<std::string, Listing> Listings;
    size_t ListingsTaken = 0;
    int Faults[4] = {};
};

State& GetState() {
    static State state;
    return state;
}

std::string Folded(const std::string& name) {
    std::string folded = name;
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return folded;
}

void Listing::Add(const std::string& name) {
    Exact.insert(name);
    auto [it, inserted] = Folded.try_emplace(HostFiles::Folded(name), name);
    if (!inserted && name < it->second) {
        it->second = name;
    }
}

void Listing::Erase(const std::string& name) {
    if (Exact.erase(name) == 0) {
        return;
    }
    const std::string folded = HostFiles::Folded(name);
    auto it = Folded.find(folded);
    if (it == Folded.end() || it->second != name) {
        return;
    }
    // Another case variant may now answer for the name.
    Folded.erase(it);
    for (const std::string& other : Exact) {
        if (HostFiles::Folded(other) == folded) {
            Add(other);
        }
    }
}

const std::string* Listing::Find(const std::string& name) const {
    if (auto it = Exact.find(name); it != Exact.end()) {
        return &*it;
    }
    auto it = Folded.find(HostFiles::Folded(name));
    return it != Folded.end() ? &it->second : nullptr;
}

int64_t NowNs() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

int64_t ToNs(const timespec& t) { return static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec; }

bool SameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

std::string Join(const std::string& dir, const std::string& name) {
    if (dir.empty() || dir == ".") {
        return name;
    }
    if (dir.back() == '/') {
        return dir + name;
    }
    return dir + "/" + name;
}

// Splits an engine path into its root ("/" or ".") and its non-empty components.
void Split(const std::string& enginePath, std::string& root, std::vector<std::string>& components) {
    root = ".";
    components.clear();
    size_t start = 0;
    if (!enginePath.empty() && (enginePath[0] == '/' || enginePath[0] == '\\')) {
        root = "/";
        start = 1;
    }
    std::string component;
    for (size_t i = start; i <= enginePath.size(); ++i) {
        const char c = i < enginePath.size() ? enginePath[i] : '/';
        if (c == '/' || c == '\\') {
            if (!component.empty()) {
                components.push_back(std::move(component));
                component.clear();
            }
        } else {
            component += c;
        }
    }
}

bool TakeFault(State& state, Fault fault) {
    int& count = state.Faults[static_cast<int>(fault)];
    if (count > 0) {
        --count;
        return true;
    }
    return false;
}

// Lists dir into the cache; null when it cannot be read. Caller holds the lock.
Listing* ListDirectory(State& state, const std::string& dir, const struct stat& dirInfo) {
    DIR* handle = opendir(dir.c_str());
    if (handle == nullptr) {
        state.Listings.erase(dir);
        return nullptr;
    }
    Listing listing;
    listing.Device = dirInfo.st_dev;
    listing.Inode = dirInfo.st_ino;
    listing.ModifiedAt = dirInfo.st_mtim;
    listing.ListedAtNs = NowNs();
    while (const dirent* entry = readdir(handle)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            listing.Add(name);
        }
    }
    closedir(handle);
    ++state.ListingsTaken;
    Listing& stored = state.Listings[dir];
    stored = std::move(listing);
    return &stored;
}

enum class Lookup {
    Found,         // the entry exists (checked by a system call or a listing checked just now)
    FoundTrusted,  // found in a cached listing that was not checked
    Missing,       // no such entry in dir, which exists
    NoDirectory,   // dir itself does not exist (or is not a directory)
};

// The entry of dir that answers name. A hit in a cached listing is trusted when `validate` is
// false (the caller checks the final path: one system call instead of one per folder); misses
// always check the listing against the directory. Caller holds the lock.
Lookup FindEntry(State& state, const std::string& dir, const std::string& name, bool validate, std::string& actual) {
    auto it = state.Listings.find(dir);
    if (it != state.Listings.end() && !validate) {
        if (const std::string* found = it->second.Find(name)) {
            actual = *found;
            return Lookup::FoundTrusted;
        }
    }
    if (it == state.Listings.end()) {
        // Not listed yet: an exact spelling needs no listing.
        struct stat info{};
        if (lstat(Join(dir, name).c_str(), &info) == 0) {
            actual = name;
            return Lookup::Found;
        }
    }
    struct stat dirInfo{};
    if (stat(dir.c_str(), &dirInfo) != 0 || !S_ISDIR(dirInfo.st_mode)) {
        state.Listings.erase(dir);
        return Lookup::NoDirectory;
    }
    if (it != state.Listings.end() && it->second.Device == dirInfo.st_dev && it->second.Inode == dirInfo.st_ino &&
        SameTime(it->second.ModifiedAt, dirInfo.st_mtim)) {
        if (const std::string* found = it->second.Find(name)) {
            actual = *found;
            return Lookup::Found;
        }
        if (it->second.ListedAtNs - ToNs(dirInfo.st_mtim) >= RacyWindowNs) {
            return Lookup::Missing;
        }
    }
    const Listing* listing = ListDirectory(state, dir, dirInfo);
    if (listing == nullptr) {
        return Lookup::NoDirectory;
    }
    if (const std::string* found = listing->Find(name)) {
        actual = *found;
        return Lookup::Found;
    }
    return Lookup::Missing;
}

struct Resolved {
    std::string Path;
    bool Found = true;     // every component exists
    bool Trusted = false;  // some component came from an unchecked listing and nothing checked it since
};

// Resolves every component; after the first one that does not exist, the rest are appended as
// given. Caller holds the lock.
Resolved Walk(State& state, const std::string& enginePath, bool validate) {
    std::string root;
    std::vector<std::string> components;
    Split(enginePath, root, components);
    Resolved resolved;
    resolved.Path = root;
    bool triedExactRest = false;
    for (size_t i = 0; i < components.size(); ++i) {
        const std::string& component = components[i];
        if (!resolved.Found || component == "." || component == "..") {
            resolved.Path = Join(resolved.Path, component);
            continue;
        }
        if (!triedExactRest && i + 1 < components.size() && state.Listings.find(resolved.Path) == state.Listings.end()) {
            triedExactRest = true;
            // Nothing cached from here on: when the rest is spelled exactly, one call settles it.
            std::string rest = resolved.Path;
            for (size_t j = i; j < components.size(); ++j) {
                rest = Join(rest, components[j]);
            }
            struct stat info{};
            if (lstat(rest.c_str(), &info) == 0) {
                resolved.Path = std::move(rest);
                resolved.Trusted = false;
                return resolved;
            }
        }
        std::string actual;
        switch (FindEntry(state, resolved.Path, component, validate, actual)) {
            case Lookup::Found:
                resolved.Trusted = false;  // checking an entry checks the folders above it
                resolved.Path = Join(resolved.Path, actual);
                break;
            case Lookup::FoundTrusted:
                resolved.Trusted = true;
                resolved.Path = Join(resolved.Path, actual);
                break;
            case Lookup::Missing:
                resolved.Trusted = false;
                resolved.Found = false;
                resolved.Path = Join(resolved.Path, component);
                break;
            case Lookup::NoDirectory:
                resolved.Found = false;
                resolved.Path = Join(resolved.Path, component);
                break;
        }
    }
    return resolved;
}

// A walk over trusted listings whose result does not hold is repeated with every listing checked.
Resolved ResolveChecked(State& state, const std::string& enginePath) {
    Resolved resolved = Walk(state, enginePath, false);
    if (resolved.Trusted) {
        struct stat info{};
        if (!resolved.Found || lstat(resolved.Path.c_str(), &info) != 0) {
            return Walk(state, enginePath, true);
        }
        resolved.Trusted = false;
    }
    return resolved;
}

std::string ResolveLocked(State& state, const std::string& enginePath) {
    return ResolveChecked(state, enginePath).Path;
}

// Reads and writes resolve alike: an existing case variant of the last component is the file
// to replace; a missing one keeps the engine's spelling. Writes always check the listings, so
// a variant created behind the layer is replaced rather than doubled.
std::string ResolveForWriteLocked(State& state, const std::string& enginePath) {
    return Walk(state, enginePath, true).Path;
}

struct HostName {
    std::string Dir;
    std::string Name;
};

HostName SplitHostPath(const std::string& hostPath) {
    const size_t slash = hostPath.rfind('/');
    if (slash == std::string::npos) {
        return HostName{std::string(1, '.'), hostPath};
    }
    return HostName{slash == 0 ? std::string(1, '/') : hostPath.substr(0, slash), hostPath.substr(slash + 1)};
}

void NoteCreated(State& state, const std::string& hostPath) {
    const auto [dir, name] = SplitHostPath(hostPath);
    if (auto it = state.Listings.find(dir); it != state.Listings.end()) {
        it->second.Add(name);
    }
}

void NoteRemoved(State& state, const std::string& hostPath) {
    const auto [dir, name] = SplitHostPath(hostPath);
    if (auto it = state.Listings.find(dir); it != state.Listings.end()) {
        it->second.Erase(name);
    }
    // A directory that went away takes the listings below it along.
    const std::string prefix = hostPath + "/";
    for (auto it = state.Listings.begin(); it != state.Listings.end();) {
        if (it->first == hostPath || it->first.compare(0, prefix.size(), prefix) == 0) {
            it = state.Listings.erase(it);
        } else {
            ++it;
        }
    }
}

// Linux opens a folder for reading (its reads then fail, and its length may read as huge);
// Windows does not, and the engine's readers rely on that to fall back to the pack files.
std::FILE* RefuseDirectory(std::FILE* file) {
    struct stat info{};
    if (file != nullptr && fstat(fileno(file), &info) == 0 && S_ISDIR(info.st_mode)) {
        std::fclose(file);
        errno = EISDIR;
        return nullptr;
    }
    return file;
}

bool WriteAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

}  // namespace

std::string Resolve(const std::string& enginePath) {
    State& state = GetState();
    std::lock_guard<std::mutex> guard(state.Lock);
    return ResolveLocked(state, enginePath);
}

std::string ResolveForWrite(const std::string& enginePath) {
    State& state = GetState();
    std::lock_guard<std::mutex> guard(state.Lock);
    return ResolveForWriteLocked(state, enginePath);
}

bool Exists(const std::string& enginePath) {
    State& state = GetState();
    std::lock_guard<std::mutex> guard(state.Lock);
    return ResolveChecked(state, enginePath).Found;
}

bool IsDirectory(const std::string& enginePath) {
    struct stat info{};
    return stat(Resolve(enginePath).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::FILE* Open(const std::string& enginePath, const char* mode) {
    State& state = GetState();
    std::lock_guard<std::mutex> guard(state.Lock);
    const bool writes = mode != nullptr && (mode[0] == 'w' || mode[0] == 'a');
    if (mode == nullptr || TakeFault(state, writes ? Fault::OpenWrite : Fault::OpenRead)) {
        return nullptr;
    }
    if (writes) {
        const std::string hostPath = ResolveForWriteLocked(state, enginePath);
        std::FILE* file = std::fopen(hostPath.c_str(), mode);
        if (file != nullptr) {
            NoteCreated(state, hostPath);
        }
        return file;
    }
    // The open itself checks a path built from trusted listings; only a failure costs more.
    const Resolved resolved = Walk(state, enginePath, false);
    if (!resolved.Found && !resolved.Trusted) {
        errno = ENOENT;
        return nullptr;
    }
    std::FILE* file = std::fopen(resolved.Path.c_str(), mode);
    if (file == nullptr && resolved.Trusted) {
        const int openError = errno;  // the checks below may change it
        const Resolved checked = Walk(state, enginePath, true);
        if (checked.Found && checked.Path != resolved.Path) {
            file = std::fopen(checked.Path.c_str(), mode);
        } else {
            errno = openError;
        }
    }
    return RefuseDirectory(file);
}

bool WriteWhole(const std::string& enginePath, const void* data, size_t size) {
    State& state = GetState();
    std::lock_guard<std::mutex> guard(state.Lock);
    const std::string target = ResolveForWriteLocked(state, enginePath);
    const auto [dir, name] = SplitHostPath(target);
    if (name.empty() || TakeFault(state, Fault::OpenWrite)) {
        return false;
    }
    std::string temp = Join(dir, "." + name + ".XXXXXX");
    const int fd = mkstemp(temp.data());
    if (fd < 0) {
        return false;
    }
    // Keep the mode of the file being replaced; a new file gets the usual rw-r--r--.
    struct stat old{};
    fchmod(fd, stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644);
    bool ok = !TakeFault(state, Fault::Write) && WriteAll(fd, static_cast<const uint8_t*>(data), size);
    ok = fsync(fd) == 0 && ok;
    ok = close(fd) == 0 && ok;
    ok = ok && !TakeFault(state, Fault::Rename) && std::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        unlink(temp.c_str());
        return false;
    }
    NoteCreated(state, target);
    return true;
}

bool Remove(const std::string& enginePath) {
    State& state = GetState();
    std::lock_guard<std::mutex> guard(state.Lock);
    const std::string hostPath = ResolveLocked(state, enginePath);
    struct stat info{};
    const bool isDir = lstat(hostPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    if ((isDir ? rmdir(hostPath.c_str()) : unlink(hostPath.c_str())) != 0) {
        return false;
    }
    NoteRemoved(state, hostPath);
    return true;
}

bool Rename(const std::string& fromEnginePath, const std::string& toEnginePath) {
    State& state = GetState();
    std::lock_guard<std::mutex> guard(state.Lock);
    if (TakeFault(state, Fault::Rename)) {
        return false;
    }
    const std::string from = ResolveLocked(state, fromEnginePath);
    const std::string to = ResolveForWriteLocked(state, toEnginePath);
    if (std::rename(from.c_str(), to.c_str()) != 0) {
        return false;
    }
    NoteRemoved(state, from);
    NoteCreated(state, to);
    return true;
}

bool MakeDirectory(const std::string& enginePath) {
    State& state = GetState();
    std::lock_guard<std::mutex> guard(state.Lock);
    const std::string hostPath = ResolveForWriteLocked(state, enginePath);
    if (mkdir(hostPath.c_str(), 0777) != 0) {
        struct stat info{};
        return errno == EEXIST && stat(hostPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    }
    NoteCreated(state, hostPath);
    return true;
}

void ClearCache() {
    State& state = GetState();
    std::lock_guard<std::mutex> guard(state.Lock);
    state.Listings.clear();
}

size_t ListingCount() {
    State& state = GetState();
    std::lock_guard<std::mutex> guard(state.Lock);
    return state.ListingsTaken;
}

void FailNext(Fault fault, int count) {
    State& state = GetState();
    std::lock_guard<std::mutex> guard(state.Lock);
    state.Faults[static_cast<int>(fault)] = count;
}

void ClearFaults() {
    State& state = GetState();
    std::lock_guard<std::mutex> guard(state.Lock);
    for (int& count : state.Faults) {
        count = 0;
    }
}

}  // namespace HostFiles
