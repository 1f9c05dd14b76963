#include "Trova/DIB.h"
#include "Util/Platform.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using namespace Ostrel;

constexpr std::uint32_t kSide = 1024;
constexpr std::int64_t kFileBytes = 54 + std::int64_t(kSide) * kSide * 3;

// A 1024 × 1024 24-bit picture with varied pixels.
Util::CountedPtr<Trova::DIB> MakePicture() {
    auto dib = Util::MakeCounted<Trova::DIB>(std::uint16_t(24));
    dib->SetSize(kSide, kSide);
    for (std::uint32_t row = 0; row < kSide; ++row) {
        for (std::uint32_t column = 0; column < kSide; ++column) {
            dib->SetPixel(row, column,
                          Trova::Colour(Trova::IntToChannel(row & 255, 8),
                                        Trova::IntToChannel(column & 255, 8),
                                        Trova::IntToChannel((row ^ column) & 255, 8), 1));
        }
    }
    return dib;
}

std::string BenchPath(const char* name) {
    return Util::Platform::TempDirectory() + "vellix-bench-" + name + "-" +
           std::to_string(Util::Platform::TickCount()) + ".bmp";
}

void DIBRead(benchmark::State& state) {
    const std::string path = BenchPath("dib-read");
    MakePicture()->Save(path, true);
    for (auto _ : state) {
        Trova::DIB dib(path);
        benchmark::DoNotOptimize(dib.GetWidth());
    }
    state.SetBytesProcessed(state.iterations() * kFileBytes);
    Util::Platform::RemoveFile(path);
}
BENCHMARK(DIBRead)->Unit(benchmark::kMillisecond);

void DIBWrite(benchmark::State& state) {
    const std::string path = BenchPath("dib-write");
    const auto dib = MakePicture();
    for (auto _ : state) {
        dib->Save(path, true);
    }
    state.SetBytesProcessed(state.iterations() * kFileBytes);
    Util::Platform::RemoveFile(path);
}
BENCHMARK(DIBWrite)->Unit(benchmark::kMillisecond);

// Conversions read a BMP pixel by pixel through the Bitmap interface.
void DIBGetPixels(benchmark::State& state) {
    const auto dib = MakePicture();
    for (auto _ : state) {
        Trova::BitmapSimple copy;
        Trova::CopyBitmap(*dib, copy);
        benchmark::DoNotOptimize(copy.GetPixel(kSide - 1, kSide - 1));
    }
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}
BENCHMARK(DIBGetPixels)->Unit(benchmark::kMillisecond);

} // namespace
