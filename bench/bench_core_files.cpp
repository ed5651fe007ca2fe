// Reading 1000 small data files (0.5 to 4 KB) whole through CPFileReader, from loose files on
// disk and from one pack holding the same files, each against plain stdio reading the loose
// files by their exact host paths (a member should cost no more than a loose file).
#include "bench/BaselineRatio.h"
#include "core/CPFileReader.h"
#include "core/CPFileWriter.h"
#include "core/PackFiles.h"
#include "tests/TempFolder.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int FileCount = 1000;

struct Fixture {
    TempFolder Root{TempFolder::ForProcess("bench_files"), TempFolder::Stay};  // benchmarks enter disk/ or packed/
    std::vector<std::string> Names;
    std::vector<std::string> HostPaths;  // the loose files, spelled as on disk

    Fixture() {
        fs::create_directories(Root / "disk" / "Data" / "Meshes");
        fs::create_directories(Root / "packed");
        std::vector<PackFormat::Source> members;
        for (int i = 0; i < FileCount; ++i) {
            const std::string file = "Part" + std::to_string(i) + ".msh";
            std::vector<uint8_t> bytes(512 + (i * 37) % 3584, static_cast<uint8_t>(i));
            std::ofstream(Root / "disk" / "Data" / "Meshes" / file, std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
            Names.push_back("Data\\Meshes\\" + file);
            HostPaths.push_back((Root / "disk" / "Data" / "Meshes" / file).string());
            members.push_back({Names.back(), std::move(bytes)});
        }
        std::vector<uint8_t> pack;
        PackFormat::Encode(members, pack);
        std::ofstream(Root / "packed" / "data.pak", std::ios::binary)
            .write(reinterpret_cast<const char*>(pack.data()), pack.size());
        // The game folder beside the pack holds many other files, as a shipped one does.
        for (int i = 0; i < 500; ++i) {
            std::ofstream(Root / "packed" / ("Readme" + std::to_string(i) + ".txt")) << i;
        }
        // An installed game folder has not changed in the last seconds.
        for (const auto& entry : fs::recursive_directory_iterator(Root.Path())) {
            fs::last_write_time(entry.path(), fs::file_time_type::clock::now() - std::chrono::minutes(1));
        }
    }
};

Fixture& Files() {
    static Fixture fixture;
    return fixture;
}

void ReadAllThroughEngine(benchmark::State& state) {
    for (const std::string& name : Files().Names) {
        CPFileReader reader(name, false);
        if (FAILED(reader.Load())) {
            state.SkipWithError("a file did not load");
            return;
        }
        benchmark::DoNotOptimize(reader.GetData());
    }
}

// Plain stdio: open the exact path, take the length, read it whole, close.
void ReadAllPlain() {
    std::vector<uint8_t> data;
    for (const std::string& path : Files().HostPaths) {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        std::fseek(file, 0, SEEK_END);
        data.resize(static_cast<size_t>(std::ftell(file)));
        std::fseek(file, 0, SEEK_SET);
        benchmark::DoNotOptimize(std::fread(data.data(), 1, data.size(), file));
        std::fclose(file);
    }
}

void ReadAll(benchmark::State& state) {
    RunAgainstBaseline(state, [&] { ReadAllThroughEngine(state); }, [] { ReadAllPlain(); });
    state.SetItemsProcessed(state.iterations() * FileCount);
}

void BM_Read1000FromDisk(benchmark::State& state) {
    fs::current_path(Files().Root / "disk");
    PackFiles.clear();
    ReadAll(state);
}
BENCHMARK(BM_Read1000FromDisk)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_Read1000FromPack(benchmark::State& state) {
    fs::current_path(Files().Root / "packed");
    PackFiles.clear();
    if (FAILED(AddPackFile("data.pak"))) {
        state.SkipWithError("the pack did not load");
        return;
    }
    ReadAll(state);
    PackFiles.clear();
}
BENCHMARK(BM_Read1000FromPack)->UseManualTime()->Unit(benchmark::kMillisecond);

// Right after the game saved into the folder that holds the pack: every member is first looked
// for on disk, in a folder whose listing has just changed (the watched listing answers).
void BM_Read1000FromPackAfterSave(benchmark::State& state) {
    fs::current_path(Files().Root / "packed");
    PackFiles.clear();
    if (FAILED(AddPackFile("data.pak"))) {
        state.SkipWithError("the pack did not load");
        return;
    }
    CPFileWriter writer("Scores.dat", false);
    writer.WriteInt(12345);
    if (FAILED(writer.Save())) {
        state.SkipWithError("the save failed");
        return;
    }
    ReadAll(state);
    PackFiles.clear();
}
BENCHMARK(BM_Read1000FromPackAfterSave)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
