// Loading the tests' race level (tests/game/TestLevelFiles.h) through CPLevel::Load on a
// headless host, each load ending by deleting the level, as the scripts do between races.
// Warm: the resource managers already hold the effects, textures and shared mesh buffers.
//
// The baseline reads the same files with the mesh reader alone: every mesh file a load reads,
// as often as it reads it (the level's object, the ground, the placed objects and the beacon
// share one box mesh; the road; the three car bodies), through the file reader and
// MeshFile::Read, and the level file's bytes. The ratio is what the level's own work adds:
// the scene trees, materials, spatial tree, terrain grid, simulator, bodies and car models.
#include "BaselineRatio.h"

#include "Render/MeshFile.h"
#include "core/CPFileReader.h"
#include "core/CPLog.h"
#include "core/ConfigVars.h"
#include "game/CPLevel.h"
#include "host/Host.h"
#include "platform/files/HostFiles.h"
#include "tests/game/TestLevelFiles.h"

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

class LevelFolder {
public:
    LevelFolder() {
        dir = std::filesystem::temp_directory_path() / "bench_game_level";
        std::filesystem::remove_all(dir);
        TestLevelFiles::Write(dir);
        previous = std::filesystem::current_path();
        std::filesystem::current_path(dir);
        HostFiles::ClearCache();
        Cfg::ResetDefaults();
        Cfg::weight_div = 1;
        CPLog::GetInstance().SetSink([](const CPLogReport&) {});
        host = std::make_unique<Host>();
    }
    ~LevelFolder() {
        host.reset();
        CPLog::GetInstance().SetSink({});
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(dir);
        HostFiles::ClearCache();
    }

    std::filesystem::path dir;
    std::filesystem::path previous;
    std::unique_ptr<Host> host;
};

// The mesh files one load reads, with how often.
const std::vector<std::pair<std::string, int>>& MeshFiles() {
    static const std::vector<std::pair<std::string, int>> files = {
        {"Data\\Meshes\\box.msh", 7},
        {"Data\\Meshes\\road_phys1.msh", 1},
        {"Data\\Meshes\\hauler_.p3d", 1},
        {"Data\\Meshes\\kestrel1_enemy.p3d", 1},
        {"Data\\Meshes\\kestrel2_enemy.p3d", 1},
    };
    return files;
}

bool LoadLevel() {
    CPLevel* level = CPLevel::CreateCurrent();
    const bool loaded = level->Load(TestLevelFiles::LevelName, false, false);
    delete level;
    return loaded;
}

size_t ReadMeshes() {
    size_t nodes = 0;
    CPFileReader level("Data\\Levels\\level1.lvl", false);
    if (level.Load() == S_OK) nodes += static_cast<size_t>(level.GetLength() > 0);
    for (const auto& [name, times] : MeshFiles()) {
        for (int k = 0; k < times; ++k) {
            CPFileReader reader(name, false);
            if (reader.Load() != S_OK) continue;
            MeshFile::File file;
            std::string problem;
            if (MeshFile::Read(reader, MeshFile::KindOfName(name), file, problem)) nodes += file.Nodes.size();
        }
    }
    return nodes;
}

void BM_LoadTestLevel(benchmark::State& state) {
    LevelFolder folder;
    if (!LoadLevel() || ReadMeshes() == 0) {
        state.SkipWithError("the test level does not load");
        return;
    }
    RunAgainstBaseline(
        state, [] { benchmark::DoNotOptimize(LoadLevel()); }, [] { benchmark::DoNotOptimize(ReadMeshes()); });
}
BENCHMARK(BM_LoadTestLevel)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
