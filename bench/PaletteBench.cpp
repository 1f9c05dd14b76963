#include "Trova/Palette.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

using Ostrel::Trova::BitmapSimple;
using Ostrel::Trova::Colour;
using Ostrel::Trova::Palette;

// Smooth gradients with noise and graded alpha: nearly every pixel a colour of its own, as in a
// photograph with a soft transparent edge.
BitmapSimple MakeTrueColourPicture(std::uint32_t size) {
    BitmapSimple bitmap(size, size);
    std::mt19937 random(11);
    std::uniform_real_distribution<float> noise(0, 0.1f);
    for (std::uint32_t row = 0; row < size; ++row) {
        for (std::uint32_t column = 0; column < size; ++column) {
            const float x = float(column) / size;
            const float y = float(row) / size;
            const float alpha = column < size / 8 ? float(column) / (size / 8) : 1;
            bitmap.SetPixel(row, column,
                            Colour(x * 0.9f + noise(random), y * 0.9f + noise(random),
                                   (1 - x * y) * 0.9f + noise(random), alpha));
        }
    }
    return bitmap;
}

// Arguments: picture size, palette size.
void BM_MakePalette(benchmark::State& state) {
    const BitmapSimple picture = MakeTrueColourPicture(static_cast<std::uint32_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            Ostrel::Trova::MakePalette(picture, static_cast<std::uint32_t>(state.range(1))));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0) * state.range(0));
}
BENCHMARK(BM_MakePalette)
    ->Args({256, 16})
    ->Args({256, 256})
    ->Args({1024, 16})
    ->Args({1024, 256})
    ->Unit(benchmark::kMillisecond);

void BM_MapToPalette(benchmark::State& state) {
    const BitmapSimple picture = MakeTrueColourPicture(static_cast<std::uint32_t>(state.range(0)));
    const Palette palette = Ostrel::Trova::MakePalette(picture, 256);
    BitmapSimple mapped;
    for (auto _ : state) {
        Ostrel::Trova::MapToPalette(picture, palette, mapped);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0) * state.range(0));
}
BENCHMARK(BM_MapToPalette)->Arg(1024)->Unit(benchmark::kMillisecond);

} // namespace
