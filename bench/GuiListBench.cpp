// The desktop list at the scale of a modder's directory: 10,000 files, half MIP files of 64 x 64
// with seven levels, half 24-bit BMP files of 64 x 64. Measured: the time from choosing the
// directory to the first paint of the filled list, the time until every thumbnail is in its row,
// and the longest gap between the ticks of a 5 ms timer while the thumbnails are made (the time
// the event loop was blocked).

#include "Trova/DIB.h"
#include "Trova/GPLMipFile.h"
#include "Util/BinaryFile.h"
#include "Util/Platform.h"
#include "Vellix/Gui/FileListModel.h"
#include "Vellix/Gui/VellixListView.h"
#include "Vellix/RealDirectory.h"
#include "Vellix/SettingsStore.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPaintEvent>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

using namespace Ostrel;

namespace {

constexpr int kFileCount = 10000;
constexpr int kTickMilliseconds = 5;

// A directory of generated files, removed at the end.
class ScaleDirectory {
public:
    ScaleDirectory() {
        const std::string directory = Path() + Util::kPathSeparator;
        for (int file = 0; file < kFileCount; file += 2) {
            WriteMip(directory + "tex" + std::to_string(file) + ".mip",
                     static_cast<std::uint32_t>(file));
            WriteBmp(directory + "tex" + std::to_string(file + 1) + ".bmp");
        }
    }

    std::string Path() const { return directory_.path().toStdString(); }

private:
    static void WriteMip(const std::string& path, std::uint32_t seed) {
        Trova::GPLMipFile mip(64, 64, 5, 6, 5, 0, 0, false, 16, false, false, false, 7, 0, 8, 0);
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

    static void WriteBmp(const std::string& path) {
        Trova::DIB dib(24);
        dib.SetSize(64, 64);
        dib.Save(path, false);
    }

    QTemporaryDir directory_;
};

const ScaleDirectory& Files() {
    static const ScaleDirectory files;
    return files;
}

// Counts the paints of a widget.
class PaintWatch : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
    int paints = 0;
};

struct Figures {
    double firstPaintMs = 0;
    double thumbnailsMs = 0;
    double longestGapMs = 0;
};

Figures ShowOnce(Vellix::Gui::CVellixListView& view, Vellix::RealDirectory& directory) {
    Figures figures;
    PaintWatch watch;
    view.CurrentItemView()->viewport()->installEventFilter(&watch);
    QElapsedTimer clock;
    QElapsedTimer sinceTick;
    QTimer ticks;
    ticks.setInterval(kTickMilliseconds);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        figures.longestGapMs =
            std::max(figures.longestGapMs, static_cast<double>(sinceTick.nsecsElapsed()) / 1e6);
        sinceTick.restart();
    });
    QEventLoop loop;
    QObject::connect(&view, &Vellix::Gui::CVellixListView::ThumbnailsMade, &loop,
                     &QEventLoop::quit);
    clock.start();
    view.ShowContainer(&directory);
    view.CurrentItemView()->viewport()->update();
    while (watch.paints == 0) {
        QApplication::processEvents();
    }
    figures.firstPaintMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    sinceTick.start();
    ticks.start();
    loop.exec();
    figures.thumbnailsMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    view.CurrentItemView()->viewport()->removeEventFilter(&watch);
    return figures;
}

void BM_ShowTenThousandFiles(benchmark::State& state) {
    Vellix::RealDirectory directory(Files().Path());
    Vellix::MemorySettingsStore store;
    Vellix::Gui::CVellixListView view(store);
    view.resize(900, 600);
    view.show();
    Figures worst;
    for (auto _ : state) {
        const Figures figures = ShowOnce(view, directory);
        state.SetIterationTime(figures.thumbnailsMs / 1000);
        worst.firstPaintMs = std::max(worst.firstPaintMs, figures.firstPaintMs);
        worst.thumbnailsMs = std::max(worst.thumbnailsMs, figures.thumbnailsMs);
        worst.longestGapMs = std::max(worst.longestGapMs, figures.longestGapMs);
    }
    if (view.Files().Rows().size() != kFileCount) {
        state.SkipWithError("not every file was listed");
    }
    state.counters["first_paint_ms"] = worst.firstPaintMs;
    state.counters["all_thumbnails_ms"] = worst.thumbnailsMs;
    state.counters["longest_gap_ms"] = worst.longestGapMs;
}
BENCHMARK(BM_ShowTenThousandFiles)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

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
