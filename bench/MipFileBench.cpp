#include "Trova/GPLMipFile.h"
#include "Util/MemoryStream.h"

#include <benchmark/benchmark.h>

namespace {

using namespace Ostrel;

constexpr std::uint32_t kSide = 256;
constexpr std::uint32_t kLevels = 9;

// A 256 x 256 file with nine levels (down to 1 x 1) in the given format, with varied pixels.
std::vector<std::uint8_t> MakeFile(std::uint8_t redBits, std::uint8_t alphaBits,
                                   std::uint32_t transparency, bool usePalette) {
    Trova::GPLMipFile mip(kSide, kSide, redBits, 8, 8, alphaBits, transparency, usePalette, 16,
                          false, true, true, kLevels, 0, 8, 0);
    if (usePalette) {
        for (std::uint32_t index = 0; index < 16; ++index) {
            const float grey = Trova::IntToChannel(index, 4);
            mip.GetPalette()->SetColour(index, Trova::Colour(grey, grey, grey, 1));
        }
    }
    for (std::uint32_t level = 0; level < kLevels; ++level) {
        const auto bitmap = mip.GetBitmap(level);
        for (std::uint32_t row = 0; row < bitmap->GetHeight(); ++row) {
            for (std::uint32_t column = 0; column < bitmap->GetWidth(); ++column) {
                const float value = Trova::IntToChannel((row ^ column) & 15, 4);
                bitmap->SetPixel(row, column, Trova::Colour(value, value, value, 1));
            }
        }
    }
    auto stream = Util::MakeCounted<Util::MemoryStream>("bench.mip");
    mip.Write(stream);
    return stream->GetBytes();
}

std::uint64_t PixelCount() {
    std::uint64_t count = 0;
    for (std::uint32_t level = 0; level < kLevels; ++level) {
        count += std::uint64_t(kSide >> level) * (kSide >> level);
    }
    return count;
}

void ReadAndDecode(benchmark::State& state, const std::vector<std::uint8_t>& bytes) {
    // The reader starts from position 0 itself, so one stream serves every iteration.
    const Util::CountedPtr<Util::BinaryStream> stream =
        Util::MakeCounted<Util::MemoryStream>("bench.mip", bytes);
    for (auto _ : state) {
        const Trova::GPLMipFile mip(stream, 0);
        float sum = 0;
        for (std::uint32_t level = 0; level < mip.GetBitmapCount(); ++level) {
            const auto bitmap = mip.GetBitmap(level);
            for (std::uint32_t row = 0; row < bitmap->GetHeight(); ++row) {
                for (std::uint32_t column = 0; column < bitmap->GetWidth(); ++column) {
                    sum += bitmap->GetPixel(row, column).GetRed();
                }
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * PixelCount());
    state.SetBytesProcessed(state.iterations() * std::int64_t(bytes.size()));
}

void BM_ReadMip16Bit(benchmark::State& state) {
    ReadAndDecode(state, MakeFile(5, 0, 0, false));
}
BENCHMARK(BM_ReadMip16Bit)->Unit(benchmark::kMillisecond);

void BM_ReadMipPalettised(benchmark::State& state) {
    ReadAndDecode(state, MakeFile(8, 8, 0, true));
}
BENCHMARK(BM_ReadMipPalettised)->Unit(benchmark::kMillisecond);

void BM_ReadMip32Bit(benchmark::State& state) {
    ReadAndDecode(state, MakeFile(8, 8, 2, false));
}
BENCHMARK(BM_ReadMip32Bit)->Unit(benchmark::kMillisecond);

} // namespace
