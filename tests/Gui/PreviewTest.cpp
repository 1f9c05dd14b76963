#include "Gui/GuiTestEnvironment.h"
#include "Support/TestSupport.h"
#include "Trova/GPLMipFile.h"
#include "Trova/Palette.h"
#include "Vellix/BitmapList.h"
#include "Vellix/Gui/MainFrame.h"
#include "Vellix/Gui/PaletteStrip.h"
#include "Vellix/Gui/PreviewPane.h"
#include "Vellix/Gui/TextureCanvas.h"
#include "Vellix/Gui/VellixListView.h"
#include "Vellix/RealDirectory.h"
#include "Vellix/SettingsStore.h"

#include <QAbstractItemView>
#include <QDockWidget>
#include <QLabel>
#include <QListWidget>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <map>

using namespace Ostrel;
using namespace Ostrel::Vellix;
using namespace Ostrel::Vellix::Gui;
using namespace Ostrel::Test;
using Trova::Colour;

namespace {

const Colour kClear;

// 4 x 4 with a palette of its own per level: level 0 red, green, blue, clear; level 1 blue only.
void WritePalettes(const std::string& path) {
    Trova::GPLMipFile mip(4, 4, 8, 8, 8, 8, 1, true, 4, true, true, true, 2, 0, 8, 0);
    const std::vector<Colour> entries = {kRed, kGreen, kBlue, kClear};
    for (std::uint32_t index = 0; index < 4; ++index) {
        mip.GetBitmapPalette(0)->SetColour(index, entries[index]);
    }
    mip.GetBitmapPalette(1)->SetColour(0, kBlue);
    WriteLevels(std::move(mip), {entries, {kBlue}}, path);
}

QRgb Texel(const CPreviewPane& pane, int column, int row) {
    return pane.Canvas()->Picture().pixel(column, row);
}

class PreviewTest : public ::testing::Test {
protected:
    PreviewTest() {
        // 8 x 4, levels red, green, blue; repeats horizontally only.
        WriteLevels({4, 8, 8, 8, 8, 8, 1, false, 0, false, true, false, 3, 0, 8, 0},
                    {{kRed}, {kGreen}, {kBlue}}, dir / "levels.mip");
        // 2 x 1: opaque red, then fully transparent.
        WriteLevels({1, 2, 8, 8, 8, 8, 2, false, 0, false, true, true, 1, 0, 8, 0},
                    {{kRed, kClear}}, dir / "clear.mip");
        WriteLevels({512, 512, 5, 6, 5, 0, 0, false, 0, false, true, true, 1, 0, 8, 0}, {{kGreen}},
                    dir / "large.mip");
        WritePalettes(dir / "palettes.mip");
        WriteSrb(dir / "sign.srb", 64);
        container = std::make_unique<RealDirectory>(dir.Path());
        for (const FileRecord& record : ListRecords(*container)) {
            files[record.entryName] = record.file;
        }
        pane.resize(400, 400);
    }
    void Show(const std::string& name) { pane.ShowFile(files.at(name)); }

    TempDir dir;
    std::unique_ptr<RealDirectory> container;
    std::map<std::string, Util::CountedPtr<BitmapFile>> files;
    CPreviewPane pane{PreviewSettings{}, kRed};
};

} // namespace

TEST_F(PreviewTest, LevelStepperAndStripShowEachLevel) {
    Show("levels.mip");
    EXPECT_EQ(pane.LevelStepper()->maximum(), 3);
    EXPECT_EQ(pane.LevelStrip()->count(), 3);
    const auto expectLevel = [&](std::uint32_t level, const char* size, QRgb colour) {
        EXPECT_EQ(pane.Level(), level);
        EXPECT_EQ(pane.LevelSizeLabel()->text(), size);
        EXPECT_EQ(pane.LevelStrip()->currentRow(), static_cast<int>(level));
        EXPECT_EQ(Texel(pane, 0, 0), colour) << level;
    };
    expectLevel(0, "8 × 4", qRgb(255, 0, 0));
    pane.LevelStepper()->setValue(2);
    expectLevel(1, "4 × 2", qRgb(0, 255, 0));
    pane.LevelStrip()->setCurrentRow(2); // the stepper follows: one step down is level 1
    expectLevel(2, "2 × 1", qRgb(0, 0, 255));
    pane.LevelStepper()->stepDown();
    expectLevel(1, "4 × 2", qRgb(0, 255, 0));
}

TEST_F(PreviewTest, ZoomScalesWithoutSmoothingDrawsTheGridAt8xAndTilesAsTheTextureRepeats) {
    Show("levels.mip");
    pane.show();
    const CTextureCanvas& canvas = *pane.Canvas();
    // In the order of the zoom choices: fit, 1:1, 2x, 4x, 8x.
    const double scales[] = {std::min(canvas.width() / 8.0, canvas.height() / 4.0), 1, 2, 4, 8};
    for (int zoom = 0; zoom < 5; ++zoom) {
        pane.SetZoom(static_cast<PreviewZoom>(zoom));
        EXPECT_EQ(canvas.Scale(), scales[zoom]);
        EXPECT_EQ(canvas.PictureRect().width(), 8 * scales[zoom]);
    }
    // At 8x: red texels, a darker line between them.
    const QImage shot = pane.Canvas()->grab().toImage();
    const QPointF corner = canvas.PictureRect().topLeft();
    EXPECT_EQ(shot.pixel((corner + QPointF(4, 4)).toPoint()), qRgb(255, 0, 0));
    EXPECT_LT(qRed(shot.pixel((corner + QPointF(8, 4)).toPoint())), 255);

    // The wheel steps down to 4x and, past 1:1, back to fitting.
    QWheelEvent down(QPointF(10, 10), pane.Canvas()->mapToGlobal(QPointF(10, 10)), {},
                     QPoint(0, -120), Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(pane.Canvas(), &down);
    EXPECT_EQ(pane.Zoom(), PreviewZoom::Quadruple);
    for (int step = 0; step < 3; ++step) {
        QApplication::sendEvent(pane.Canvas(), &down);
    }
    EXPECT_EQ(pane.Zoom(), PreviewZoom::Fit);

    // Tiled, the texture repeats horizontally only.
    pane.SetTiled(true);
    const QImage& tiled = pane.Canvas()->Picture();
    ASSERT_EQ(tiled.size(), QSize(24, 12));
    EXPECT_EQ(qAlpha(tiled.pixel(23, 7)), 255); // the tile right of the middle one
    EXPECT_EQ(qAlpha(tiled.pixel(8, 0)), 0);    // none above it
    pane.SetTiled(false);
    EXPECT_EQ(pane.Canvas()->Picture().size(), QSize(8, 4));
}

// The chosen display and the pane's key colour reach the picture; how each display looks is
// the picture composer's own test.
TEST_F(PreviewTest, TransparencyShowsAsChosen) {
    Show("clear.mip");
    EXPECT_EQ(Texel(pane, 1, 0), qRgb(153, 153, 153)); // the checkerboard at first
    pane.SetAlphaDisplay(AlphaDisplay::KeyColour);
    EXPECT_EQ(Texel(pane, 1, 0), qRgb(255, 0, 0)); // the pane's key colour
    EXPECT_EQ(pane.FactsLabel()->text(),
              "Transparency: Partial · Mean colour: 255, 0, 0, 128 · Repeats: both ways");
}

TEST_F(PreviewTest, PaletteStripMarksTheHoveredTexelsEntry) {
    Show("palettes.mip");
    pane.show();
    const CPaletteStrip& strip = *pane.PaletteStrip();
    ASSERT_EQ(strip.Colours().size(), 4u);
    const QImage swatches = pane.PaletteStrip()->grab().toImage();
    EXPECT_EQ(swatches.pixel(strip.SwatchRect(2).center()), qRgb(0, 0, 255));

    // The mouse over texel (1, 0), which holds entry 1.
    pane.SetZoom(PreviewZoom::Octuple);
    QSignalSpy inspected(&pane, &CPreviewPane::Inspected);
    const QPoint texel = (pane.Canvas()->PictureRect().topLeft() + QPointF(12, 4)).toPoint();
    QTest::mouseMove(pane.Canvas(), texel);
    EXPECT_EQ(strip.Marked(), 1u);
    const QString text = "x 1, y 0  R 0 G 255 B 0 A 255  (0, 255, 0, 255)  index 1";
    EXPECT_EQ(pane.InspectorLabel()->text(), text);
    ASSERT_FALSE(inspected.isEmpty());
    EXPECT_EQ(inspected.last().at(0).toString(), text);

    // Level 1 has a palette of its own.
    pane.SetLevel(1);
    EXPECT_EQ(strip.Colours().front(), QColor(0, 0, 255));
    EXPECT_FALSE(strip.Marked());
    // A file without a palette hides the strip.
    Show("sign.srb");
    EXPECT_FALSE(pane.PaletteStrip()->isVisibleTo(&pane));
}

TEST_F(PreviewTest, LargeLevelsAreComposedOffTheWindowsThread) {
    QSignalSpy composed(&pane, &CPreviewPane::Composed);
    Show("large.mip");
    EXPECT_TRUE(pane.Canvas()->Picture().isNull()); // nothing composed on the window's thread
    pane.SetAlphaDisplay(AlphaDisplay::GreyAlpha);  // asked while busy: composed afterwards
    ASSERT_TRUE(composed.wait(10000));
    if (pane.IsComposing()) {
        ASSERT_TRUE(composed.wait(10000));
    }
    // The whole level, in grey alpha: its last texel, opaque, is white.
    EXPECT_EQ(Texel(pane, 511, 511), qRgb(255, 255, 255));
}

TEST_F(PreviewTest, MainWindowPreviewsTheSelectionAndRemembersItsChoices) {
    MemorySettingsStore settings;
    {
        CMainFrame frame(settings);
        frame.show();
        ASSERT_TRUE(frame.NavigateTo(dir.Path()));
        QAbstractItemView* items = frame.ListView()->CurrentItemView();
        items->setCurrentIndex(items->model()->index(0, 0)); // clear.mip, by name
        CPreviewPane* window = frame.OpenPreviewWindow();
        ASSERT_TRUE(window);
        EXPECT_TRUE(window->isWindow());
        EXPECT_EQ(window->LevelSizeLabel()->text(), "2 × 1");
        CPreviewPane& docked = *frame.PreviewPane();
        EXPECT_TRUE(QTest::qWaitFor([&] { return docked.LevelSizeLabel()->text() == "2 × 1"; }));

        // Read on a worker; a quick second selection overtakes the first, which is never shown.
        QStringList shown;
        QObject::connect(&docked, &CPreviewPane::Composed, [&] {
            shown << (docked.File() ? QString::fromStdString(docked.File()->GetBaseName()) : "");
        });
        items->setCurrentIndex(items->model()->index(2, 0)); // levels.mip
        ASSERT_TRUE(QTest::qWaitFor([&] { return docked.IsReading(); }));
        EXPECT_EQ(docked.FactsLabel()->text(), "Reading…");
        items->setCurrentIndex(items->model()->index(4, 0)); // sign.srb
        ASSERT_TRUE(QTest::qWaitFor([&] { return docked.File() && !docked.IsReading(); }));
        EXPECT_TRUE(docked.FactsLabel()->text().endsWith("Used area: 64 × 32, origin 32, 32"));
        EXPECT_FALSE(shown.contains("levels"));
        docked.SetZoom(PreviewZoom::Quadruple);
        frame.PreviewDock()->toggleViewAction()->trigger();
    }
    const PreviewSettings remembered = PreviewSettings::Read(settings);
    EXPECT_FALSE(remembered.paneShown);
    EXPECT_EQ(remembered.zoom, PreviewZoom::Quadruple);
}
