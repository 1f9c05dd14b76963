#pragma once

// A texture looked at closely: one level at a time with a stepper and a strip of all levels, zoom,
// the choice of how transparency is shown, a 3 x 3 tiled view that honours the repeat flags, the
// palette of the shown level, the transparency class and mean colour, the SRB used area and
// origin, and the texel under the mouse. The pixels come from the application's texture picture
// routines; files on disk are read and large levels composed on worker threads so that the window
// never waits.

#include "Util/CountedPtr.h"
#include "Vellix/TexturePicture.h"

#include <QFutureWatcher>
#include <QImage>
#include <QThreadPool>
#include <QWidget>

#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QSpinBox;

namespace Ostrel::Vellix {
class BitmapFile;
class PseudoDirectory;
} // namespace Ostrel::Vellix

namespace Ostrel::Vellix::Gui {

class CPaletteStrip;
class CTextureCanvas;

class CPreviewPane : public QWidget {
    Q_OBJECT
public:
    // Levels of more texels than this are composed on a worker thread.
    static constexpr std::uint64_t kWorkerTexels = 256 * 256;

    CPreviewPane(const PreviewSettings& settings, const Trova::Colour& keyColour,
                 QWidget* parent = nullptr);
    ~CPreviewPane() override;

    // The file to show from its level 0; null shows nothing. Failures to read it are shown as
    // the pane's text.
    void ShowFile(const Util::CountedPtr<BitmapFile>& file);
    // A file opened and read already, or why it could not be.
    void ShowOpened(OpenedTexture opened);
    // Entry index of directory. A file on disk is opened and read on a worker thread and shown
    // when it is ready, "Reading…" meanwhile; anything shown before then drops it.
    void ShowEntry(const PseudoDirectory& directory, std::uint32_t index);
    // True while an entry is being read for the pane.
    bool IsReading() const { return reading_; }
    // The read still pending is not shown: what it was for is no longer wanted.
    void DropPendingRead() { ++showRequest_; }
    const Util::CountedPtr<BitmapFile>& File() const { return file_; }
    // Shows no file, and why.
    void ShowFailure(const QString& message);

    void SetLevel(std::uint32_t level);
    std::uint32_t Level() const { return level_; }
    void SetZoom(PreviewZoom zoom);
    PreviewZoom Zoom() const { return zoom_; }
    void SetAlphaDisplay(AlphaDisplay alpha);
    AlphaDisplay GetAlphaDisplay() const { return alpha_; }
    void SetTiled(bool tiled);
    bool IsTiled() const { return tiled_; }
    void SetKeyColour(const Trova::Colour& keyColour);
    // Keeps the choices made here in settings.
    void StoreChoices(PreviewSettings& settings) const;

    // The texel of the shown level to inspect, as the mouse over the picture reports it.
    void Inspect(std::optional<QPoint> texel);
    // True while a level is being composed on the worker thread.
    bool IsComposing() const;

    CTextureCanvas* Canvas() const { return canvas_; }
    CPaletteStrip* PaletteStrip() const { return palette_; }
    QSpinBox* LevelStepper() const { return stepper_; }
    QListWidget* LevelStrip() const { return strip_; }
    QLabel* LevelSizeLabel() const { return levelSize_; }
    QLabel* FactsLabel() const { return facts_; }
    QLabel* MeanSwatch() const { return swatch_; }
    QLabel* InspectorLabel() const { return inspector_; }

signals:
    // The inspector's text; empty when no texel is under the mouse.
    void Inspected(const QString& text);
    // After each picture was put on the canvas.
    void Composed();

private:
    QWidget* MakeControls();
    void ShowFacts();
    void FillLevelStrip();
    void Recompose();
    void StartWorker();
    void OnWorkerFinished();
    void Present(const QImage& picture);
    PictureStyle Style() const;
    const Trova::Bitmap* ShownPicture() const;

    Util::CountedPtr<BitmapFile> file_;
    TextureFacts textureFacts_;
    std::uint32_t level_ = 0;
    PreviewZoom zoom_;
    AlphaDisplay alpha_;
    bool tiled_;
    Trova::Colour keyColour_;
    // The level the worker reads, held until it is done; a newer request waits for it.
    Util::CountedPtr<Trova::Bitmap> workerPicture_;
    bool recomposeAfterWorker_ = false;
    QFutureWatcher<QImage>* worker_;
    // Counts what was asked to be shown, so that a read that was overtaken is dropped.
    unsigned showRequest_ = 0;
    bool reading_ = false;
    // One reader at a time: a newer read replaces one that has not started. Not the global pool,
    // which painting uses and waits for.
    QThreadPool readers_;

    QSpinBox* stepper_ = nullptr;
    QLabel* levelSize_ = nullptr;
    QComboBox* zoomChoice_ = nullptr;
    QComboBox* alphaChoice_ = nullptr;
    QCheckBox* tileChoice_ = nullptr;
    QListWidget* strip_;
    CTextureCanvas* canvas_;
    CPaletteStrip* palette_;
    QLabel* swatch_;
    QLabel* facts_;
    QLabel* inspector_;
};

} // namespace Ostrel::Vellix::Gui
