// Cost of turning engine paths into host paths in a data tree of about 2000 files spread over
// a dozen mixed-case folders, the shape of a game folder during level loading. Each is measured
// against one plain stat of the exact host path, the least any lookup costs.
#include "bench/BaselineRatio.h"
#include "platform/files/HostFiles.h"
#include "tests/TempFolder.h"

#include <sys/stat.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct DataTree {
    TempFolder Root{TempFolder::ForProcess("bench_paths")};
    std::vector<std::string> Lowered;  // the engine's lower-cased names, relative to Root
    std::vector<std::string> Exact;    // spelled as on disk
    std::vector<std::string> HostPaths;  // Exact with "/"

    DataTree() {
        const char* folders[] = {"Meshes", "Textures", "Effects", "Animations", "Levels", "Interface",
                                 "Sounds", "Music", "Video", "Descriptions", "Textures/Cars", "Meshes/Props"};
        for (const char* folder : folders) {
            for (int i = 0; i < 170; ++i) {
                const std::string name = "Item_" + std::to_string(i) + ".Dat";
                Root.Write(fs::path("Data") / folder / name, std::to_string(i));
                std::string exact = "Data\\" + std::string(folder) + "\\" + name;
                for (char& c : exact) {
                    c = c == '/' ? '\\' : c;
                }
                std::string lowered = exact;
                for (char& c : lowered) {
                    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                }
                Exact.push_back(exact);
                HostPaths.push_back("Data/" + std::string(folder) + "/" + name);
                Lowered.push_back(lowered);
            }
        }
        // An installed game folder has not changed in the last seconds.
        for (const auto& entry : fs::recursive_directory_iterator(Root.Path())) {
            fs::last_write_time(entry.path(), fs::file_time_type::clock::now() - std::chrono::minutes(1));
        }
        fs::last_write_time(Root.Path(), fs::file_time_type::clock::now() - std::chrono::minutes(1));
    }
};

DataTree& Tree() {
    static DataTree tree;
    return tree;
}

// Batches of 100 lookups, so the clock's own cost stays small.
constexpr size_t Batch = 100;

void PlainStats(const std::vector<std::string>& paths, size_t& next) {
    struct stat info{};
    for (size_t k = 0; k < Batch; ++k) {
        benchmark::DoNotOptimize(stat(paths[next++ % paths.size()].c_str(), &info));
    }
}

void ResolveAgainstStat(benchmark::State& state, const std::vector<std::string>& names) {
    size_t i = 0;
    size_t j = 0;
    RunAgainstBaseline(
        state,
        [&] {
            for (size_t k = 0; k < Batch; ++k) {
                benchmark::DoNotOptimize(HostFiles::Resolve(names[i++ % names.size()]));
            }
        },
        [&] { PlainStats(Tree().HostPaths, j); });
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(Batch));
}

// Lower-cased names with warm listings: the common case when a level loads.
void BM_ResolveLowerCased(benchmark::State& state) { ResolveAgainstStat(state, Tree().Lowered); }
BENCHMARK(BM_ResolveLowerCased)->UseManualTime();

// Names spelled as on disk: no listing is needed at all.
void BM_ResolveExact(benchmark::State& state) {
    HostFiles::ClearCache();
    ResolveAgainstStat(state, Tree().Exact);
}
BENCHMARK(BM_ResolveExact)->UseManualTime();

// Every file of the tree once, from an empty cache: the first load of a session.
void BM_ResolveWholeTreeCold(benchmark::State& state) {
    const auto& names = Tree().Lowered;
    for (auto _ : state) {
        HostFiles::ClearCache();
        for (const std::string& name : names) {
            benchmark::DoNotOptimize(HostFiles::Resolve(name));
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(names.size()));
}
BENCHMARK(BM_ResolveWholeTreeCold)->Unit(benchmark::kMillisecond);

// Opening an existing file for reading and closing it, names lower-cased, listings warm: what
// every loader pays before its first read. Against fopen and fclose of the exact host path.
void BM_OpenAndClose(benchmark::State& state) {
    const auto& names = Tree().Lowered;
    const auto& hostPaths = Tree().HostPaths;
    size_t i = 0;
    size_t j = 0;
    RunAgainstBaseline(
        state,
        [&] {
            for (size_t k = 0; k < Batch; ++k) {
                std::FILE* file = HostFiles::Open(names[i++ % names.size()], "rb");
                benchmark::DoNotOptimize(file);
                std::fclose(file);
            }
        },
        [&] {
            for (size_t k = 0; k < Batch; ++k) {
                std::FILE* file = std::fopen(hostPaths[j++ % hostPaths.size()].c_str(), "rb");
                benchmark::DoNotOptimize(file);
                std::fclose(file);
            }
        });
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(Batch));
}
BENCHMARK(BM_OpenAndClose)->UseManualTime();

void MissesAgainstStat(benchmark::State& state) {
    const std::string missingHost = "Data/Meshes/not_on_disk.msh";
    RunAgainstBaseline(
        state,
        [] {
            for (size_t k = 0; k < Batch; ++k) {
                benchmark::DoNotOptimize(HostFiles::Exists("data\\meshes\\not_on_disk.msh"));
            }
        },
        [&] {
            struct stat info{};
            for (size_t k = 0; k < Batch; ++k) {
                benchmark::DoNotOptimize(stat(missingHost.c_str(), &info));
            }
        });
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(Batch));
}

// A name that is in no folder, as for every member read from a pack.
void BM_ResolveMissing(benchmark::State& state) {
    Tree();
    MissesAgainstStat(state);
}
BENCHMARK(BM_ResolveMissing)->UseManualTime();

// The same right after the engine wrote a file into that folder (a save): the folder has
// just changed, and only by the engine's own hand.
void BM_ResolveMissingAfterSave(benchmark::State& state) {
    Tree();
    HostFiles::Exists("data\\meshes\\not_on_disk.msh");
    const char bytes[] = "saved";
    if (!HostFiles::WriteWhole("data\\meshes\\saved.dat", bytes, sizeof(bytes))) {
        state.SkipWithError("the save failed");
        return;
    }
    MissesAgainstStat(state);
}
BENCHMARK(BM_ResolveMissingAfterSave)->UseManualTime();

}  // namespace
