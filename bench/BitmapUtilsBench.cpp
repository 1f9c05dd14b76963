#include "Trova/BitmapUtils.h"

#include <benchmark/benchmark.h>

namespace {

using Ostrel::Trova::BitmapSimple;
using Ostrel::Trova::Colour;

void BM_Shrink(benchmark::State& state) {
    const auto size = static_cast<std::uint32_t>(state.range(0));
    BitmapSimple picture(size, size);
    for (std::uint32_t row = 0; row < size; ++row) {
        for (std::uint32_t column = 0; column < size; ++column) {
            picture.SetPixel(row, column,
                             Colour(float(row % 256) / 255, float(column % 256) / 255, 0.5f,
                                    (row + column) % 2 ? 1.0f : 0.5f));
        }
    }
    BitmapSimple shrunk;
    for (auto _ : state) {
        Ostrel::Trova::Shrink(picture, 2, 2, shrunk);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * size * size);
}
BENCHMARK(BM_Shrink)->Arg(1024)->Unit(benchmark::kMillisecond);

} // namespace
