// Compression and expansion speed over pixel-like inputs, with the compressed size as a fraction
// of the input. Both run in both parses: the fast one compares with other encoders of the format,
// the optimal one is what the program writes; each parse's stream is expanded.

#include "Trova/PkCompression.h"

#include "../tests/Trova/PkSampleData.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kSampleSize = 256 * 1024;

enum Sample { kTexture16, kPalette4, kPhoto32, kRandom, kZeros };

Bytes MakeSample(Sample sample) {
    switch (sample) {
    case kTexture16:
        return Ostrel::Test::Texture16Sample(kSampleSize);
    case kPalette4:
        return Ostrel::Test::Palette4Sample(kSampleSize);
    case kPhoto32:
        return Ostrel::Test::Photo32Sample(kSampleSize);
    case kRandom:
        return Ostrel::Test::RandomSample(kSampleSize);
    case kZeros:
        break;
    }
    return Bytes(kSampleSize, 0);
}

Bytes Compress(const Bytes& input, Ostrel::Trova::PkParse parse) {
    Bytes output(Ostrel::Trova::PkCompressBound(input.size()));
    output.resize(Ostrel::Trova::PkCompress(input.data(), std::uint32_t(input.size()),
                                            output.data(), std::uint32_t(output.size()), parse));
    return output;
}

void SetResults(benchmark::State& state, std::size_t inputSize, std::size_t compressedSize) {
    state.SetBytesProcessed(std::int64_t(state.iterations() * inputSize));
    state.counters["ratio"] = double(compressedSize) / double(inputSize);
}

void BM_PkCompress(benchmark::State& state) {
    const Bytes input = MakeSample(Sample(state.range(0)));
    const auto parse = Ostrel::Trova::PkParse(state.range(1));
    Bytes output(Ostrel::Trova::PkCompressBound(input.size()));
    std::uint32_t size = 0;
    for (auto _ : state) {
        size = Ostrel::Trova::PkCompress(input.data(), std::uint32_t(input.size()), output.data(),
                                         std::uint32_t(output.size()), parse);
        benchmark::DoNotOptimize(output.data());
    }
    SetResults(state, input.size(), size);
}

void BM_PkDecompress(benchmark::State& state) {
    const Bytes input = MakeSample(Sample(state.range(0)));
    const Bytes compressed = Compress(input, Ostrel::Trova::PkParse(state.range(1)));
    Bytes output(input.size());
    for (auto _ : state) {
        Ostrel::Trova::PkDecompress(compressed.data(), std::uint32_t(compressed.size()),
                                    output.data(), std::uint32_t(output.size()));
        benchmark::DoNotOptimize(output.data());
    }
    SetResults(state, input.size(), compressed.size());
}

constexpr Sample kSamples[] = {kTexture16, kPalette4, kPhoto32, kRandom, kZeros};

void SampleAndParseArguments(benchmark::internal::Benchmark* benchmark) {
    benchmark->ArgNames({"sample", "optimal"});
    for (const Sample sample : kSamples) {
        for (const auto parse : {Ostrel::Trova::PkParse::Fast, Ostrel::Trova::PkParse::Optimal}) {
            benchmark->Args({sample, std::int64_t(parse)});
        }
    }
}

} // namespace

BENCHMARK(BM_PkCompress)->Apply(SampleAndParseArguments);
BENCHMARK(BM_PkDecompress)->Apply(SampleAndParseArguments);
