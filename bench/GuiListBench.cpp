// Filling the bitmap list: 500 MIP files of 256 x 256 with nine levels, each shown with a large
// (32 x 32) and a small (16 x 16) thumbnail, or with the type icons.

#include "Trova/GPLMipFile.h"
#include "Util/BinaryFile.h"
#include "Util/Platform.h"
#include "Vellix/Gui/VellixListView.h"
#include "Vellix/RealDirectory.h"
#include "Vellix/SettingsStore.h"

#include <QApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <string>

using namespace Ostrel;

namespace {

constexpr int kFileCount = 500;

// A directory of generated MIP files, removed at the end.
class MipDirectory {
public:
    MipDirectory() {
        for (int file = 0; file < kFileCount; ++file) {
            Write(Path() + Util::kPathSeparator + "tex" + std::to_string(file) + ".mip",
                  static_cast<std::uint32_t>(file));
        }
    }

    std::string Path() const { return directory_.path().toStdString(); }

private:
    static void Write(const std::string& path, std::uint32_t seed) {
        Trova::GPLMipFile mip(256, 256, 5, 6, 5, 0, 0, false, 16, false, false, false, 9, 0, 8, 0);
        for (std::uint32_t level = 0; level < mip.GetBitmapCount(); ++level) {
            const auto bitmap = mip.GetBitmap(level);
            for (std::uint32_t row = 0; row < bitmap->GetHeight(); ++row) {
                for (std::uint32_t column = 0; column < bitmap->GetWidth(); ++column) {
                    bitmap->SetPixel(row, column,
                                     Trova::Colour(static_cast<float>((row + seed) % 32) / 31.0f,
                                                   static_cast<float>(column % 64) / 63.0f,
                                                   static_cast<float>(level) / 8.0f, 1.0f));
                }
            }
        }
        mip.Write(Util::CreateAlways(path));
    }

    QTemporaryDir directory_;
};

const MipDirectory& Files() {
    static const MipDirectory files;
    return files;
}

void FillList(benchmark::State& state, bool thumbnails) {
    Vellix::RealDirectory directory(Files().Path());
    Vellix::MemorySettingsStore store;
    store.WriteInt(Vellix::kSettingsSection, Vellix::kIndividualIconsKey, thumbnails ? 1 : 0);
    Vellix::Gui::CVellixListView view(store);
    for (auto _ : state) {
        view.ShowContainer(&directory);
    }
    if (view.GetRecords().size() != kFileCount) {
        state.SkipWithError("not every file was listed");
    }
    state.counters["files"] = kFileCount;
}

void BM_FillWithThumbnails(benchmark::State& state) {
    FillList(state, true);
}
BENCHMARK(BM_FillWithThumbnails)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FillWithTypeIcons(benchmark::State& state) {
    FillList(state, false);
}
BENCHMARK(BM_FillWithTypeIcons)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
