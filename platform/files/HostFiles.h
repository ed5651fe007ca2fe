// The one place where engine paths meet the host's file system.
//
// The engine names files the Windows way ("Data\Meshes\car.msh", "DATA\Saves\save1.sav") and
// never minds letter case. Here "\" becomes "/" and every component is matched against the
// directory's entries without regard to ASCII case; an entry spelled exactly as asked wins over
// one that differs in case, otherwise the first in byte order. Writes resolve the same way, so a
// file whose name differs only in case is replaced rather than doubled.
//
// Directory listings are cached per directory. A name found in a cached listing (a watched one
// brought up to date first when the name is spelled otherwise than asked) is trusted and the
// final path checked with one system call (or by the open itself). A miss in a watched listing
// reached through watched listings is answered by the listing once the queued changes are
// applied (and, for a relative path, the working directory is the one it was listed from), so a
// pack member costs no look-up of its own path. A path found before is found again from a
// table while no listing has changed since (after the queued changes are applied, for one
// spelled otherwise than asked), and checked the same way as a walk over listings; a miss
// answered by watched listings is answered again from the table once the queued changes are
// applied, while no listing has changed and the working directory is the same. When a trusted path fails, and on other misses,
// each listing is checked against its directory's identity and modification time, so files
// created or removed behind the engine's back are still seen. Each listed directory is watched
// (inotify): when its time stamp moved, or the listing is younger than two seconds after the
// directory's last change (the time stamp may be too coarse to show a change made just after
// listing), the queued changes are applied to the listing instead of listing the directory
// again. A directory that cannot be watched is listed again in those cases. Files the engine
// itself creates, renames or removes through this layer update the cache directly.
//
// Paths that begin with "/" are absolute host paths (the host's own: temporary folders, program
// arguments made absolute); every other path is relative to the working directory, the game
// folder. "." and ".." are passed through, but a relative path whose ".." components climb
// above the working directory is refused, so no name read from data reaches outside the game
// folder: it resolves to the empty path, which nothing opens, writes, lists or removes. Safe to
// call from several threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace HostFiles {

// Host path of an existing file or directory. When some component has no match, the rest of
// the path is kept as given (with "/"), so that opening it fails as it should.
std::string Resolve(const std::string& enginePath);
// Host path to create or replace: existing directories and an existing file are matched without
// regard to case; a new last component keeps its spelling; missing directories are not created.
std::string ResolveForWrite(const std::string& enginePath);

// Whether a file name read from data, used under folder (an engine path inside the game folder,
// "Data\Textures"), stays inside the game folder: not absolute ("/", "\"), no drive letter
// ("C:"), and its ".." components never climb above the game folder. Readers refuse the rest
// with their file and line; the layer itself refuses any relative path that climbs out.
bool StaysInGameFolder(const std::string& folder, const std::string& name);

bool Exists(const std::string& enginePath);
bool IsDirectory(const std::string& enginePath);

// std::fopen through the layer. Modes starting with "r" open an existing file (never a folder,
// as on Windows, nor a FIFO, which would block); "w" and "a" create or replace one. Null on
// failure. The type is checked on the opened file, unless the walk's watched listings show a
// plain file with no change queued since (the open never waits in any case).
std::FILE* Open(const std::string& enginePath, const char* mode);

// Reads a whole existing file into `data` with one open, one fstat for its length and reads
// until that many bytes have arrived; no seeks. NotOpened when Open would fail (errno kept) or
// the path names a folder, a FIFO or a device rather than a file; Failed when the file is longer than maxSize or ends before its length
// (what arrived stays in data).
enum class ReadResult { Read, NotOpened, Failed };
ReadResult ReadWhole(const std::string& enginePath, std::vector<uint8_t>& data, uint64_t maxSize);

// Whether the path still names the file of that device and inode (one held open, not removed,
// replaced or renamed away since): one stat when the listings are warm.
bool SameFile(const std::string& enginePath, uint64_t device, uint64_t inode);

// Writes size bytes to a temporary file in the target's folder, flushes it to disk and renames
// it over the target: on any failure the old file is left as it was and false is returned.
bool WriteWhole(const std::string& enginePath, const void* data, size_t size);

// Removes what WriteWhole calls left behind when the program died between writing and renaming:
// the folder's entries named as its temporaries are ("." + name + "." + six letters or digits),
// plain files only. Run before a folder is written, while no write into it is under way. The
// number removed.
int RemoveTemporaries(const std::string& folderEnginePath);

bool Remove(const std::string& enginePath);
// The new name resolves like a write (an existing case variant is replaced).
bool Rename(const std::string& fromEnginePath, const std::string& toEnginePath);
// Creates one directory (its parent must exist); true when it exists afterwards.
bool MakeDirectory(const std::string& enginePath);

// While a Batch lives (one object or level being loaded), lookups look at the queued changes
// and at the working directory once, at the first lookup that needs them, rather than once per
// lookup, and the file SameFile last confirmed stays confirmed: a change made behind the layer
// meanwhile, or a change of working directory, may go unseen until the last open batch ends.
// Changes made through the layer are seen at once, as always. Batches nest; they hold for
// every thread.
class Batch {
public:
    Batch();
    ~Batch();
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;
};

// Forgets every cached listing.
void ClearCache();
// Number of directory listings taken since start-up, for tests and benchmarks of the cache.
size_t ListingCount();

// Failure injection for tests: the next `count` operations of that kind fail as the host's
// call would (fopen returning null, a short write, a failing rename).
enum class Fault { OpenRead, OpenWrite, Write, Rename };
void FailNext(Fault fault, int count = 1);
void ClearFaults();

}  // namespace HostFiles
