// Case-insensitive resolution of engine paths with a per-directory listing cache.
//
// A lookup of one component in a directory that has a cached listing costs one hash look-up;
// a miss costs one stat of the directory to validate the listing, or, when the listing and
// every one above it are watched, one look at the event queue and one getcwd per walk; the same
// miss asked again skips the walk itself. A directory is listed only when the exact spelling is
// absent. Directories whose entries all match exactly are never listed.
//
// Every listed directory is watched through inotify where the host allows it: the events tell
// which names came and went, and are applied to the listing when a lookup finds the directory
// changed (or within its racy window), so neither the engine's own saves nor other programs'
// changes make a folder be listed again; they are applied too before a cached name spelled
// otherwise than asked is trusted (a closer variant may have come). An event naming an entry
// drops the listings reached through that entry (it may have been a folder, or a link to one,
// now replaced). An overflowing queue drops every listing. Without a watch, a changed directory is listed again, as a racy one is on
// every miss.
#include "platform/files/HostFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
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

// Hashes and compares names without regard to ASCII case, so a listing is searched with the
// name as asked, with no folded copy.
char FoldCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

struct FoldedHash {
    size_t operator()(const std::string& name) const {
        uint64_t hash = 14695981039346656037ull;  // FNV-1a
        for (const char c : name) {
            hash = (hash ^ static_cast<unsigned char>(FoldCase(c))) * 1099511628211ull;
        }
        return static_cast<size_t>(hash);
    }
};

struct FoldedEqual {
    bool operator()(const std::string& a, const std::string& b) const {
        if (a.size() != b.size()) {
            return false;
        }
        for (size_t i = 0; i < a.size(); ++i) {
            if (FoldCase(a[i]) != FoldCase(b[i])) {
                return false;
            }
        }
        return true;
    }
};

struct Listing {
    // Which directory was listed (relative keys change meaning with the working directory)
    // and how it looked then.
    dev_t Device = 0;
    ino_t Inode = 0;
    timespec ModifiedAt{};
    int64_t ListedAtNs = 0;
    int Watch = -1;  // inotify watch keeping the listing current, or -1
    // The working directory then, for a relative key; empty when unknown.
    std::string WorkingDirectory;
    // Every entry; case variants of one name share a hash and sit side by side.
    std::unordered_multiset<std::string, FoldedHash, FoldedEqual> Names;
    // The entries not known to be plain files: the listing showed another type (a folder, a
    // link, a FIFO) or none, or an event brought them (events do not tell a file from a FIFO).
    std::unordered_set<std::string> Unsure;

    // plainFile: the listing itself showed a plain file.
    void Add(const std::string& name, bool plainFile = false);
    void Erase(const std::string& name);
    // The exact spelling when present, otherwise the first in byte order.
    const std::string* Find(const std::string& name) const;
    // The entry of exactly that spelling is there and was listed as a plain file.
    bool IsPlainFile(const std::string& name) const;
};

using ListingMap = std::unordered_map<std::string, Listing>;

struct State {
    std::mutex Lock;
    ListingMap Listings;
    std::vector<std::string> Components;  // of the current walk, kept for their capacity
    size_t ListingsTaken = 0;
    int Faults[4] = {};
    int Notify = -2;  // inotify descriptor; -2 before the first try, -1 when unavailable
    std::unordered_map<int, std::string> Watched;  // watch -> listing key
    bool QueueRead = false;  // the queue was read during the current walk (or batch)
    int Batches = 0;         // batches open (see Batch in the header)
    // The last file SameFile confirmed within the open batches, while no listing has changed.
    struct Confirmed {
        std::string Path;
        uint64_t Device = 0;
        uint64_t Inode = 0;
        uint64_t Generation = 0;
        bool Known = false;
    } SameFileConfirmed;
    // Paths found (or answered missing) by earlier walks, by the engine path as asked, while no
    // listing has changed since (Generation counts the changes).
    struct KnownWalk {
        std::string Path;
        uint64_t Generation = 0;
        bool Variant = false;  // some component is spelled otherwise than asked
        bool PlainFile = false;  // as Resolved's, when the walk read the queue
        // A miss answered by a watched listing reached through watched listings: it holds
        // while the queue brings no change and, for a relative path, the working directory
        // is still WorkingDirectory, the one that listing was taken in.
        bool Missing = false;
        std::string WorkingDirectory;
    };
    std::unordered_map<std::string, KnownWalk> Walks;
    uint64_t Generation = 0;
    // The working directory as the current walk found it; unknown until a walk needs it.
    bool WorkingKnown = false;
    std::string WorkingDirectory;
};

State& GetState() {
    static State state;
    return state;
}

void Listing::Add(const std::string& name, bool plainFile) {
    const auto [first, last] = Names.equal_range(name);
    if (std::find(first, last, name) == last) {
        Names.insert(name);
    }
    // An entry added again (an event for a name already listed) may be anything now.
    if (plainFile) {
        Unsure.erase(name);
    } else {
        Unsure.insert(name);
    }
}

void Listing::Erase(const std::string& name) {
    const auto [first, last] = Names.equal_range(name);
    if (const auto at = std::find(first, last, name); at != last) {
        Names.erase(at);
    }
    Unsure.erase(name);
}

bool Listing::IsPlainFile(const std::string& name) const {
    const auto [first, last] = Names.equal_range(name);
    return std::find(first, last, name) != last && Unsure.find(name) == Unsure.end();
}

const std::string* Listing::Find(const std::string& name) const {
    auto [at, last] = Names.equal_range(name);
    if (at == last) {
        return nullptr;
    }
    const std::string* best = &*at;
    for (++at; at != last && *best != name; ++at) {
        if (*at == name || *at < *best) {
            best = &*at;
        }
    }
    return best;
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

// Join in place.
void Append(std::string& path, const std::string& name) {
    if (path.empty() || path == ".") {
        path = name;
        return;
    }
    if (path.back() != '/') {
        path += '/';
    }
    path += name;
}

// Splits an engine path into its root ("/" or ".") and its non-empty components.
void Split(const std::string& enginePath, std::string& root, std::vector<std::string>& components) {
    root = ".";
    size_t start = 0;
    if (!enginePath.empty() && (enginePath[0] == '/' || enginePath[0] == '\\')) {
        root = "/";
        start = 1;
    }
    size_t count = 0;  // the strings already in components are reused
    size_t begin = start;
    for (size_t i = start; i <= enginePath.size(); ++i) {
        if (i < enginePath.size() && enginePath[i] != '/' && enginePath[i] != '\\') {
            continue;
        }
        if (i > begin) {
            if (count == components.size()) {
                components.emplace_back();
            }
            components[count++].assign(enginePath, begin, i - begin);
        }
        begin = i + 1;
    }
    components.resize(count);
}

// Whether the ".." components of a relative path climb above the folder it starts in (the game
// folder): "Data\..\Data\x" stays inside, "Data\..\..\x" does not.
bool ClimbsOut(const std::vector<std::string>& components) {
    size_t depth = 0;
    for (const std::string& component : components) {
        if (component == "..") {
            if (depth == 0) {
                return true;
            }
            --depth;
        } else if (component != ".") {
            ++depth;
        }
    }
    return false;
}

bool TakeFault(State& state, Fault fault) {
    int& count = state.Faults[static_cast<int>(fault)];
    if (count > 0) {
        --count;
        return true;
    }
    return false;
}

void Unwatch(State& state, Listing& listing) {
    if (listing.Watch >= 0) {
        inotify_rm_watch(state.Notify, listing.Watch);
        state.Watched.erase(listing.Watch);
        listing.Watch = -1;
    }
}

void EraseListing(State& state, const std::string& dir) {
    ++state.Generation;
    if (auto it = state.Listings.find(dir); it != state.Listings.end()) {
        Unwatch(state, it->second);
        state.Listings.erase(it);
    }
}

void ClearListings(State& state) {
    ++state.Generation;
    state.Walks.clear();
    for (auto& [dir, listing] : state.Listings) {
        Unwatch(state, listing);
    }
    state.Listings.clear();
}

// Drops the listings of path and of everything below it ("." stands for every relative path).
void EraseListingsUnder(State& state, const std::string& path) {
    ++state.Generation;
    const bool everyRelative = path == ".";
    const std::string prefix = path + "/";
    for (auto it = state.Listings.begin(); it != state.Listings.end();) {
        const std::string& key = it->first;
        if (everyRelative ? key.empty() || key[0] != '/' : key == path || key.compare(0, prefix.size(), prefix) == 0) {
            Unwatch(state, it->second);
            it = state.Listings.erase(it);
        } else {
            ++it;
        }
    }
}

// Applies the queued inotify events to the listings they concern. Caller holds the lock.
void Drain(State& state) {
    state.QueueRead = true;
    if (state.Notify < 0) {
        return;
    }
    // Asking how much is queued costs less than a read that finds nothing, the common case.
    int queued = 0;
    if (ioctl(state.Notify, FIONREAD, &queued) == 0 && queued == 0) {
        return;
    }
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        const ssize_t got = read(state.Notify, buffer, sizeof(buffer));
        if (got <= 0) {
            return;  // EAGAIN: nothing more queued
        }
        ++state.Generation;
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                ClearListings(state);  // events were lost: nothing cached can be trusted
                continue;
            }
            const auto watched = state.Watched.find(event->wd);
            if (watched == state.Watched.end()) {
                continue;
            }
            const std::string dir = watched->second;
            auto it = state.Listings.find(dir);
            if (it == state.Listings.end() || it->second.Watch != event->wd) {
                continue;
            }
            if (event->mask & IN_IGNORED) {
                state.Watched.erase(event->wd);
                state.Listings.erase(it);
            } else if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF)) {
                EraseListingsUnder(state, dir);
            } else if (event->len > 0) {
                const std::string name = event->name;
                if (event->mask & (IN_CREATE | IN_MOVED_TO)) {
                    it->second.Add(name);
                } else if (event->mask & (IN_DELETE | IN_MOVED_FROM)) {
                    it->second.Erase(name);
                }
                // Whatever the name stood for before (a folder, a link to one) is gone: the
                // listings reached through it no longer answer for its path.
                EraseListingsUnder(state, Join(dir, name));
            }
        }
    }
}

// Starts watching dir before it is read, so no change falls between the two. -1 when the host
// gives no watch (the listing then follows the directory's time stamp alone).
int WatchDirectory(State& state, const std::string& dir) {
    if (state.Notify == -2) {
        state.Notify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    }
    if (state.Notify < 0) {
        return -1;
    }
    const int watch = inotify_add_watch(state.Notify, dir.c_str(),
                                        IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF |
                                            IN_MOVE_SELF | IN_ONLYDIR);
    if (watch < 0) {
        return -1;
    }
    // One directory reached under two keys keeps one watch: the second key goes without.
    const auto [it, added] = state.Watched.try_emplace(watch, dir);
    return (added || it->second == dir) ? watch : -1;
}

// The working directory's path, read once per walk (getcwd costs half a stat of ".").
bool ReadWorkingDirectory(State& state) {
    if (!state.WorkingKnown) {
        char path[PATH_MAX];
        if (getcwd(path, sizeof(path)) == nullptr) {
            return false;
        }
        state.WorkingDirectory = path;
        state.WorkingKnown = true;
    }
    return true;
}

// Lists dir into the cache; null when it cannot be read. Caller holds the lock.
Listing* ListDirectory(State& state, const std::string& dir, const struct stat& dirInfo) {
    Drain(state);  // events queued before this listing must not be applied after it
    EraseListing(state, dir);
    const int watch = WatchDirectory(state, dir);
    DIR* handle = opendir(dir.c_str());
    if (handle == nullptr) {
        if (watch >= 0) {
            inotify_rm_watch(state.Notify, watch);
            state.Watched.erase(watch);
        }
        return nullptr;
    }
    Listing listing;
    listing.Watch = watch;
    listing.Device = dirInfo.st_dev;
    listing.Inode = dirInfo.st_ino;
    listing.ModifiedAt = dirInfo.st_mtim;
    listing.ListedAtNs = NowNs();
    if (dir[0] != '/' && ReadWorkingDirectory(state)) {
        listing.WorkingDirectory = state.WorkingDirectory;
    }
    while (const dirent* entry = readdir(handle)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            listing.Add(name, entry->d_type == DT_REG);
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

// Whether a relative listing's key still starts where it did when it was taken. The path of
// the working directory is enough: when that folder itself went away or was renamed, its
// watched listing (which a relative miss always passes through) dropped every relative one.
bool SameWorkingDirectory(State& state, const std::string& dir, const Listing& listing) {
    if (dir[0] == '/') {
        return true;
    }
    return !listing.WorkingDirectory.empty() && ReadWorkingDirectory(state) &&
           listing.WorkingDirectory == state.WorkingDirectory;
}

// The entry of dir that answers name. A hit in a cached listing is trusted when `validate` is
// false (the caller checks the final path: one system call instead of one per folder); misses
// always check the listing against the directory. Caller holds the lock.
// `it` is dir's listing or end; `actual` points at the entry's name, valid until the listings
// next change.
Lookup FindEntry(State& state, ListingMap::iterator it, const std::string& dir, const std::string& name, bool validate,
                 bool parentsWatched, const std::string*& actual) {
    if (it != state.Listings.end() && !validate) {
        const std::string* found = it->second.Find(name);
        if (found != nullptr && *found != name && !state.QueueRead) {
            // A hit spelled otherwise than asked holds only while no variant closer to the asked
            // spelling has come since: the queued changes are applied first (once per walk).
            Drain(state);
            it = state.Listings.find(dir);
            found = it != state.Listings.end() ? it->second.Find(name) : nullptr;
        }
        if (found != nullptr) {
            actual = found;
            return Lookup::FoundTrusted;
        }
        if (parentsWatched && it != state.Listings.end() && it->second.Watch >= 0) {
            // A miss in a watched listing reached through watched listings: every change made
            // so far to any folder on the way is in the queue (a folder replaced or renamed
            // drops the listings below it), so once the queue is applied the listing is as good
            // as the folder, as long as a relative key still starts in the same folder.
            if (!state.QueueRead) {
                Drain(state);
                it = state.Listings.find(dir);
            }
            if (it != state.Listings.end() && it->second.Watch >= 0 && SameWorkingDirectory(state, dir, it->second)) {
                found = it->second.Find(name);
                actual = found != nullptr ? found : &name;
                return found != nullptr ? Lookup::Found : Lookup::Missing;
            }
        }
    }
    if (it == state.Listings.end()) {
        // Not listed yet: an exact spelling needs no listing.
        struct stat info{};
        if (lstat(Join(dir, name).c_str(), &info) == 0) {
            actual = &name;
            return Lookup::Found;
        }
    }
    struct stat dirInfo{};
    if (stat(dir.c_str(), &dirInfo) != 0 || !S_ISDIR(dirInfo.st_mode)) {
        EraseListing(state, dir);
        return Lookup::NoDirectory;
    }
    // Device and inode alone do not tell a folder: a new working folder may reuse a deleted
    // one's inode, and a relative key then names it from another path.
    if (it != state.Listings.end() && it->second.Device == dirInfo.st_dev && it->second.Inode == dirInfo.st_ino &&
        SameWorkingDirectory(state, dir, it->second)) {
        const bool sameTime = SameTime(it->second.ModifiedAt, dirInfo.st_mtim);
        const bool racy = it->second.ListedAtNs - ToNs(dirInfo.st_mtim) < RacyWindowNs;
        if (it->second.Watch >= 0 && (!sameTime || racy)) {
            // Every change made before the stat above is in the queue by now (the engine's own
            // saves included): applied, they bring the listing up to date.
            Drain(state);
            it = state.Listings.find(dir);
            if (it != state.Listings.end()) {
                // As good as a listing taken now: later changes will queue events too.
                it->second.ModifiedAt = dirInfo.st_mtim;
                it->second.ListedAtNs = NowNs();
                if (const std::string* found = it->second.Find(name)) {
                    actual = found;
                    return Lookup::Found;
                }
                return Lookup::Missing;
            }
        } else if (sameTime) {
            if (const std::string* found = it->second.Find(name)) {
                actual = found;
                return Lookup::Found;
            }
            if (!racy) {
                return Lookup::Missing;
            }
        }
    }
    const Listing* listing = ListDirectory(state, dir, dirInfo);
    if (listing == nullptr) {
        return Lookup::NoDirectory;
    }
    if (const std::string* found = listing->Find(name)) {
        actual = found;
        return Lookup::Found;
    }
    return Lookup::Missing;
}

struct Resolved {
    std::string Path;
    bool Found = true;     // every component exists
    bool Trusted = false;  // some component came from an unchecked listing and nothing checked it since
    // The last component was listed as a plain file in a watched listing reached through
    // watched listings, and the queue was read during this walk: no change behind the layer
    // has made it something else since.
    bool PlainFile = false;
};

// Keeps a found path for the walks that ask for it again (a game asks for a few thousand
// paths; a runaway caller only makes the table start over).
State::KnownWalk& Remember(State& state, const std::string& enginePath, const std::string& hostPath, bool variant,
                           bool plainFile) {
    constexpr size_t MostWalks = 65536;
    if (state.Walks.size() >= MostWalks) {
        state.Walks.clear();
    }
    State::KnownWalk& known = state.Walks[enginePath];
    known.Path = hostPath;
    known.Generation = state.Generation;
    known.Variant = variant;
    known.PlainFile = plainFile;
    known.Missing = false;
    known.WorkingDirectory.clear();
    return known;
}

// Resolves every component; after the first one that does not exist, the rest are appended as
// given. Caller holds the lock.
Resolved Walk(State& state, const std::string& enginePath, bool validate) {
    if (state.Batches == 0) {
        // Within a batch the first walk's look at the queue and the working directory serves.
        state.QueueRead = false;
        state.WorkingKnown = false;
    }
    if (!validate) {
        // A path found before, with no listing changed since, is found again without a walk;
        // one spelled otherwise than asked holds only once the queued changes are applied.
        // Trusted, as a walk over listings is: the caller's check or open settles it.
        const auto known = state.Walks.find(enginePath);
        if (known != state.Walks.end() && known->second.Generation == state.Generation) {
            if ((known->second.Variant || known->second.Missing) && !state.QueueRead) {
                Drain(state);
            }
            if (known->second.Generation == state.Generation && known->second.Missing) {
                // What the walk would answer now from the same listings: its last listing's
                // miss, as long as a relative key still starts where that listing was taken.
                if (known->second.WorkingDirectory.empty() ||
                    (ReadWorkingDirectory(state) && state.WorkingDirectory == known->second.WorkingDirectory)) {
                    Resolved resolved;
                    resolved.Path = known->second.Path;
                    resolved.Found = false;
                    return resolved;
                }
            } else if (known->second.Generation == state.Generation) {
                Resolved resolved;
                resolved.Path = known->second.Path;
                resolved.Trusted = true;
                // The listings are as that walk left them; the queue was read now or not at all.
                resolved.PlainFile = known->second.PlainFile && state.QueueRead;
                return resolved;
            }
        }
    }
    std::string root;
    std::vector<std::string>& components = state.Components;
    Split(enginePath, root, components);
    if (root != "/" && ClimbsOut(components)) {
        // Nothing opens, lists, writes or removes the empty path.
        Resolved refused;
        refused.Found = false;
        return refused;
    }
    Resolved resolved;
    resolved.Path.reserve(enginePath.size() + 2);
    resolved.Path = root;
    bool triedExactRest = false;
    bool parentsWatched = true;  // every folder above the current one answered from a watched listing
    bool variant = false;        // some component found spelled otherwise than asked
    bool plainFile = false;      // the last component, as Resolved::PlainFile
    bool missRemembered = false;  // the first missing component was answered as KnownWalk::Missing says
    std::string missDirectory;    // then the working directory of the listing that answered it
    for (size_t i = 0; i < components.size(); ++i) {
        const std::string& component = components[i];
        if (!resolved.Found || component == "." || component == "..") {
            Append(resolved.Path, component);
            continue;
        }
        const auto listing = state.Listings.find(resolved.Path);
        if (!triedExactRest && i + 1 < components.size() && listing == state.Listings.end()) {
            triedExactRest = true;
            // Nothing cached from here on: when the rest is spelled exactly, one call settles it.
            std::string rest = resolved.Path;
            for (size_t j = i; j < components.size(); ++j) {
                Append(rest, components[j]);
            }
            struct stat info{};
            if (lstat(rest.c_str(), &info) == 0) {
                resolved.Path = std::move(rest);
                resolved.Trusted = false;
                if (!validate) {
                    Remember(state, enginePath, resolved.Path, variant, false);
                }
                return resolved;
            }
        }
        const std::string* actual = &component;
        const Lookup lookup = FindEntry(state, listing, resolved.Path, component, validate, parentsWatched, actual);
        if (parentsWatched) {
            const auto used = state.Listings.find(resolved.Path);
            const bool watched = used != state.Listings.end() && used->second.Watch >= 0;
            if (watched && i + 1 == components.size() && state.QueueRead &&
                (lookup == Lookup::Found || lookup == Lookup::FoundTrusted)) {
                plainFile = used->second.IsPlainFile(*actual);
            }
            if (watched && lookup == Lookup::Missing && !validate) {
                const bool relative = resolved.Path[0] != '/';
                missRemembered = !relative || !used->second.WorkingDirectory.empty();
                if (relative) {
                    missDirectory = used->second.WorkingDirectory;
                }
            }
            // The next folder's name came from a watched listing only if this one is watched.
            parentsWatched = watched;
        }
        switch (lookup) {
            case Lookup::Found:
                resolved.Trusted = false;  // checking an entry checks the folders above it
                break;
            case Lookup::FoundTrusted:
                resolved.Trusted = true;
                break;
            case Lookup::Missing:
                resolved.Trusted = false;
                resolved.Found = false;
                actual = &component;
                break;
            case Lookup::NoDirectory:
                resolved.Found = false;
                actual = &component;
                break;
        }
        variant = variant || *actual != component;
        Append(resolved.Path, *actual);
    }
    resolved.PlainFile = plainFile && resolved.Found;
    if (!validate && resolved.Found) {
        Remember(state, enginePath, resolved.Path, variant, resolved.PlainFile);
    } else if (missRemembered) {
        State::KnownWalk& known = Remember(state, enginePath, resolved.Path, variant, false);
        known.Missing = true;
        known.WorkingDirectory = std::move(missDirectory);
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
    ++state.Generation;
    const auto [dir, name] = SplitHostPath(hostPath);
    if (auto it = state.Listings.find(dir); it != state.Listings.end()) {
        it->second.Add(name);
    }
}

void NoteRemoved(State& state, const std::string& hostPath) {
    ++state.Generation;
    const auto [dir, name] = SplitHostPath(hostPath);
    if (auto it = state.Listings.find(dir); it != state.Listings.end()) {
        it->second.Erase(name);
    }
    // A directory that went away takes the listings below it along.
    EraseListingsUnder(state, hostPath);
}

// std::fopen for reading, except that a folder is refused (EISDIR), as Windows refuses it and the
// engine's readers rely on to fall back to the pack files, and so is a FIFO (ENXIO), instead of
// waiting in the open for a writer that may never come. One open, one fstat and fdopen's own
// fcntl: a plain file keeps O_NONBLOCK, which means nothing for it. A path the walk knows to be
// a plain file (listed as one, nothing queued about it since) needs no fstat.
std::FILE* OpenForReading(const std::string& path, const char* mode, bool plainFile) {
    const bool update = std::strchr(mode, '+') != nullptr;
    const int fd = open(path.c_str(), (update ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    if (!plainFile) {
        struct stat info{};
        if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode) || S_ISFIFO(info.st_mode)) {
            close(fd);
            errno = S_ISDIR(info.st_mode) ? EISDIR : ENXIO;
            return nullptr;
        }
        if (!S_ISREG(info.st_mode)) {
            fcntl(fd, F_SETFL, 0);  // a device reads as it would without the flag
        }
    }
    std::FILE* file = fdopen(fd, mode);
    if (file == nullptr) {
        const int error = errno;
        close(fd);
        errno = error;
    }
    return file;
}

// The temporary WriteWhole makes beside its target: "." + name + "." + mkstemp's six letters
// or digits.
constexpr size_t TemporarySuffix = 6;

std::string TemporaryName(const std::string& name) { return "." + name + "." + std::string(TemporarySuffix, 'X'); }

bool IsTemporaryName(const std::string& name) {
    // ".", one character of name at least, ".", the suffix.
    if (name.size() < 3 + TemporarySuffix || name[0] != '.' || name[name.size() - TemporarySuffix - 1] != '.') {
        return false;
    }
    return std::all_of(name.end() - TemporarySuffix, name.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    });
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

// Opens an existing file for reading through `opener` (path -> handle, `failed` on failure).
// The open itself checks a path built from trusted listings; only a failure costs more.
// Caller holds the lock; a failure leaves errno set.
template <class Handle, class Opener>
Handle OpenExisting(State& state, const std::string& enginePath, Handle failed, Opener opener) {
    const Resolved resolved = Walk(state, enginePath, false);
    if (!resolved.Found && !resolved.Trusted) {
        errno = ENOENT;
        return failed;
    }
    Handle handle = opener(resolved.Path, resolved.PlainFile);
    if (handle == failed && resolved.Trusted) {
        const int openError = errno;  // the checks below may change it
        const Resolved checked = Walk(state, enginePath, true);
        if (checked.Found && checked.Path != resolved.Path) {
            return opener(checked.Path, checked.PlainFile);
        }
        errno = openError;
    }
    return handle;
}

}  // namespace

Batch::Batch() {
    State& state = GetState();
    std::lock_guard<std::mutex> guard(state.Lock);
    if (state.Batches++ == 0) {
        state.QueueRead = false;
        state.WorkingKnown = false;
        state.SameFileConfirmed.Known = false;
    }
}

Batch::~Batch() {
    State& state = GetState();
    std::lock_guard<std::mutex> guard(state.Lock);
    --state.Batches;
}

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

bool StaysInGameFolder(const std::string& folder, const std::string& name) {
    if (!name.empty() && (name[0] == '/' || name[0] == '\\')) {
        return false;
    }
    const bool driveLetter = name.size() >= 2 && name[1] == ':' &&
                             ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'));
    if (driveLetter || (!folder.empty() && (folder[0] == '/' || folder[0] == '\\'))) {
        return false;
    }
    std::string root;
    std::vector<std::string> components;
    Split(folder + "\\" + name, root, components);
    return !ClimbsOut(components);
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
    const auto opener = [mode](const std::string& path, bool plainFile) {
        return OpenForReading(path, mode, plainFile);
    };
    return OpenExisting(state, enginePath, static_cast<std::FILE*>(nullptr), opener);
}

ReadResult ReadWhole(const std::string& enginePath, std::vector<uint8_t>& data, uint64_t maxSize) {
    data.clear();
    int fd = -1;
    {
        State& state = GetState();
        std::lock_guard<std::mutex> guard(state.Lock);
        if (TakeFault(state, Fault::OpenRead)) {
            return ReadResult::NotOpened;
        }
        fd = OpenExisting(state, enginePath, -1,
                          // Non-blocking, so that a FIFO cannot hold the open up; it is refused below.
                          [](const std::string& path, bool) {
                              return open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
                          });
    }
    if (fd < 0) {
        return ReadResult::NotOpened;
    }
    // The one fstat refuses a folder (as Windows does) or anything else that is not a plain
    // file, and gives the length.
    struct stat info{};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        return ReadResult::NotOpened;
    }
    if (static_cast<uint64_t>(info.st_size) > maxSize) {
        close(fd);
        return ReadResult::Failed;
    }
    const size_t length = static_cast<size_t>(info.st_size);
    data.resize(length);
    size_t got = 0;
    while (got < length) {
        const ssize_t n = read(fd, data.data() + got, length - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        got += static_cast<size_t>(n);
    }
    close(fd);
    if (got < length) {
        data.resize(got);
        return ReadResult::Failed;
    }
    return ReadResult::Read;
}

bool SameFile(const std::string& enginePath, uint64_t device, uint64_t inode) {
    State& state = GetState();
    std::lock_guard<std::mutex> guard(state.Lock);
    // Within a batch a file confirmed once (a pack read member by member) stays confirmed
    // while nothing changes through the layer.
    State::Confirmed& confirmed = state.SameFileConfirmed;
    if (state.Batches > 0 && confirmed.Known && confirmed.Generation == state.Generation &&
        confirmed.Device == device && confirmed.Inode == inode && confirmed.Path == enginePath) {
        return true;
    }
    const auto same = [&](const std::string& path) {
        struct stat now{};
        return stat(path.c_str(), &now) == 0 && now.st_dev == device && now.st_ino == inode;
    };
    const auto confirm = [&] {
        if (state.Batches > 0) {
            confirmed.Path = enginePath;
            confirmed.Device = device;
            confirmed.Inode = inode;
            confirmed.Generation = state.Generation;
            confirmed.Known = true;
        }
        return true;
    };
    const Resolved resolved = Walk(state, enginePath, false);
    if (resolved.Found && same(resolved.Path)) {
        return confirm();
    }
    if (!resolved.Trusted) {
        return false;
    }
    const Resolved checked = Walk(state, enginePath, true);
    return checked.Found && checked.Path != resolved.Path && same(checked.Path) && confirm();
}

bool WriteWhole(const std::string& enginePath, const void* data, size_t size) {
    State& state = GetState();
    std::lock_guard<std::mutex> guard(state.Lock);
    const std::string target = ResolveForWriteLocked(state, enginePath);
    const auto [dir, name] = SplitHostPath(target);
    if (name.empty() || TakeFault(state, Fault::OpenWrite)) {
        return false;
    }
    std::string temp = Join(dir, TemporaryName(name));
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

int RemoveTemporaries(const std::string& folderEnginePath) {
    State& state = GetState();
    std::lock_guard<std::mutex> guard(state.Lock);
    const std::string folder = ResolveLocked(state, folderEnginePath);
    DIR* handle = opendir(folder.c_str());
    if (handle == nullptr) {
        return 0;
    }
    std::vector<std::string> stale;
    while (const dirent* entry = readdir(handle)) {
        if (IsTemporaryName(entry->d_name)) {
            stale.emplace_back(entry->d_name);
        }
    }
    closedir(handle);
    int removed = 0;
    for (const std::string& name : stale) {
        const std::string path = Join(folder, name);
        struct stat info{};
        if (lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && unlink(path.c_str()) == 0) {
            NoteRemoved(state, path);
            ++removed;
        }
    }
    return removed;
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
    Drain(state);
    ClearListings(state);
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
