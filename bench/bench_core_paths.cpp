// Cost of turning engine paths into host paths in a data tree of about 2000 files spread over
// a dozen mixed-case folders, the shape of a game folder during level loading.
#include "platform/files/HostFiles.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct DataTree {
    fs::path Root;
    std::vector<std::string> Lowered;  // the engine's lower-cased names, relative to Root
    std::vector<std::string> Exact;    // spelled as on disk

    DataTree() {
        Root = fs::temp_directory_path() / ("bench_paths_" + std::to_string(getpid()));
        const char* folders[] = {"Meshes", "Textures", "Effects", "Animations", "Levels", "Interface",
                                 "Sounds", "Music", "Video", "Descriptions", "Textures/Cars", "Meshes/Props"};
        for (const char* folder : folders) {
            fs::create_directories(Root / "Data" / folder);
            for (int i = 0; i < 170; ++i) {
                const std::string name = "Item_" + std::to_string(i) + ".Dat";
                std::ofstream(Root / "Data" / folder / name) << i;
                std::string exact = "Data\\" + std::string(folder) + "\\" + name;
                for (char& c : exact) {
                    c = c == '/' ? '\\' : c;
                }
                std::string lowered = exact;
                for (char& c : lowered) {
                    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                }
                Exact.push_back(exact);
                Lowered.push_back(lowered);
            }
        }
        // An installed game folder has not changed in the last seconds.
        for (const auto& entry : fs::recursive_directory_iterator(Root)) {
            fs::last_write_time(entry.path(), fs::file_time_type::clock::now() - std::chrono::minutes(1));
        }
        fs::last_write_time(Root, fs::file_time_type::clock::now() - std::chrono::minutes(1));
        fs::current_path(Root);
    }
    ~DataTree() {
        fs::current_path(fs::temp_directory_path());
        fs::remove_all(Root);
    }
};

DataTree& Tree() {
    static DataTree tree;
    return tree;
}

// Lower-cased names with warm listings: the common case when a level loads.
void BM_ResolveLowerCased(benchmark::State& state) {
    const auto& names = Tree().Lowered;
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(HostFiles::Resolve(names[i++ % names.size()]));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ResolveLowerCased);

// Names spelled as on disk: no listing is needed at all.
void BM_ResolveExact(benchmark::State& state) {
    const auto& names = Tree().Exact;
    HostFiles::ClearCache();
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(HostFiles::Resolve(names[i++ % names.size()]));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ResolveExact);

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

// A name that is in no folder, as for every member read from a pack.
void BM_ResolveMissing(benchmark::State& state) {
    Tree();
    for (auto _ : state) {
        benchmark::DoNotOptimize(HostFiles::Exists("data\\meshes\\not_on_disk.msh"));
    }
}
BENCHMARK(BM_ResolveMissing);

}  // namespace
