// Throughput of the text layer that every description loader goes through.
#include "core/CPLineReader.h"
#include "core/CPTokenizer.h"

#include <benchmark/benchmark.h>

#include <string>

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
