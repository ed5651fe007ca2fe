// Throughput of the text layer that every description loader goes through, and of loading
// "config.cfg" against a plain getline-and-from_chars loop over the same lines.
#include "bench/BaselineRatio.h"
#include "core/CPConfig.h"
#include "core/CPLineReader.h"
#include "core/CPTokenizer.h"
#include "core/ConfigVars.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unordered_map>

static std::string MakeDescription(int lines) {
    std::string text;
    for (int i = 0; i < lines; ++i) {
        text += (i % 10 == 0) ? "[section" + std::to_string(i) + "]\r\n" : "  key" + std::to_string(i) + " = 1.5, 2, \"three, four\"\r\n";
        if (i % 7 == 0) {
            text += "// comment line\r\n";
        }
    }
    return text;
}

static void BM_ReadAndTokenize(benchmark::State& state) {
    const std::string text = MakeDescription(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        CPLineReader reader(text.data(), static_cast<int>(text.size()));
        std::string line;
        std::string token;
        size_t tokens = 0;
        while (reader.NextLine(line)) {
            CPTokenizer tokenizer(line, ",", true);
            while (tokenizer.NextToken(token)) {
                ++tokens;
            }
        }
        benchmark::DoNotOptimize(tokens);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ReadAndTokenize)->Arg(1000)->Arg(20000);

namespace {

// Every key of the registry twenty times over, with comment-like and unknown lines between.
std::string WriteConfig() {
    const std::string path =
        (std::filesystem::temp_directory_path() / ("bench_config_" + std::to_string(getpid()) + ".cfg")).string();
    std::ofstream out(path, std::ios::binary);
    for (int round = 0; round < 20; ++round) {
        out << "// settings, round " << round << "\r\n";
        for (int i = 0; i < Cfg::VariableCount; ++i) {
            const Cfg::Variable& v = Cfg::Variables()[i];
            if (v.Int != nullptr) {
                out << v.Key << " = " << (static_cast<int>(v.Default) + round) << "\r\n";
            } else {
                out << v.Key << "=" << (v.Default + round * 0.125) << "\r\n";
            }
        }
        out << "unknownKey" << round << "=1\r\n";
    }
    return path;
}

// The same lines read with std::getline, split at "=", trimmed, looked up and converted with
// std::from_chars into the same variables.
void PlainConfigLoad(const std::string& path, const std::unordered_map<std::string, const Cfg::Variable*>& keys) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    const auto trim = [](std::string_view part) {
        const size_t first = part.find_first_not_of(" \t\r\n");
        return first == std::string_view::npos ? std::string_view()
                                                : part.substr(first, part.find_last_not_of(" \t\r\n") - first + 1);
    };
    while (std::getline(in, line)) {
        const std::string_view text = line;
        const size_t equals = text.find('=');
        if (equals == std::string_view::npos) {
            continue;
        }
        const auto found = keys.find(std::string(trim(text.substr(0, equals))));
        if (found == keys.end()) {
            continue;
        }
        const std::string_view value = trim(text.substr(equals + 1));
        if (found->second->Int != nullptr) {
            std::from_chars(value.data(), value.data() + value.size(), *found->second->Int);
        } else {
            std::from_chars(value.data(), value.data() + value.size(), *found->second->Float);
        }
    }
}

void BM_LoadConfig(benchmark::State& state) {
    const std::string path = WriteConfig();
    std::unordered_map<std::string, const Cfg::Variable*> keys;
    for (int i = 0; i < Cfg::VariableCount; ++i) {
        keys[Cfg::Variables()[i].Key] = &Cfg::Variables()[i];
    }
    CPConfig config;
    RunAgainstBaseline(state, [&] { config.Load(path); }, [&] { PlainConfigLoad(path, keys); });
    state.SetItemsProcessed(state.iterations() * 20 * (Cfg::VariableCount + 2));
    std::filesystem::remove(path);
    Cfg::ResetDefaults();
}
BENCHMARK(BM_LoadConfig)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
