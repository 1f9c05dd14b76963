#include "Vellix/Gui/PreviewPane.h"

#include "Trova/Bitmap.h"
#include "Vellix/BitmapFile.h"
#include "Vellix/BitmapList.h"
#include "Vellix/Gui/PaletteStrip.h"
#include "Vellix/Gui/RgbaImage.h"
#include "Vellix/Gui/TextureCanvas.h"
#include "Vellix/WorkerDirectory.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPromise>
#include <QSpinBox>
#include <QThreadPool>
#include <QVBoxLayout>

#include <algorithm>

namespace Ostrel::Vellix::Gui {

namespace {

constexpr int kStripIconSide = 48;
constexpr int kSwatchSide = 16;

QColor ToQColor(const Trova::Colour& colour) {
    return QColor::fromRgbF(colour.GetRed(), colour.GetGreen(), colour.GetBlue(),
                            colour.GetAlpha());
}

QString ChannelsText(const Trova::Colour& colour) {
    const QColor rgba = ToQColor(colour);
    return QString("%1, %2, %3, %4")
        .arg(rgba.red())
        .arg(rgba.green())
        .arg(rgba.blue())
        .arg(rgba.alpha());
}

QString RepeatText(bool horizontal, bool vertical) {
    if (horizontal && vertical) {
        return "both ways";
    }
    if (horizontal || vertical) {
        return horizontal ? "horizontally" : "vertically";
    }
    return "no";
}

QString SizeText(const PictureSize& size) {
    return QString("%1 × %2").arg(size.width).arg(size.height);
}

// The checkerboard's squares grow with the picture, so that small textures still show them.
std::uint32_t CheckerSide(const Trova::Bitmap& picture) {
    return std::clamp<std::uint32_t>(std::max(picture.GetWidth(), picture.GetHeight()) / 16, 1, 16);
}

QImage ComposeImage(const Trova::Bitmap& picture, const PictureStyle& style, bool tiled,
                    bool horizontalRepeat, bool verticalRepeat) {
    const RgbaPicture level = ComposeLevel(picture, style);
    return ToQImage(tiled ? TilePicture(level, horizontalRepeat, verticalRepeat) : level);
}

} // namespace

CPreviewPane::CPreviewPane(const PreviewSettings& settings, const Trova::Colour& keyColour,
                           QWidget* parent)
    : QWidget(parent), zoom_(settings.zoom), alpha_(settings.alpha), tiled_(settings.tiled),
      keyColour_(keyColour), worker_(new QFutureWatcher<QImage>(this)), strip_(new QListWidget),
      canvas_(new CTextureCanvas), palette_(new CPaletteStrip), swatch_(new QLabel),
      facts_(new QLabel), inspector_(new QLabel) {
    strip_->setViewMode(QListView::IconMode);
    strip_->setFlow(QListView::LeftToRight);
    strip_->setWrapping(false);
    strip_->setMovement(QListView::Static);
    strip_->setIconSize(QSize(kStripIconSide, kStripIconSide));
    strip_->setFixedHeight(kStripIconSide + 44);
    strip_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(strip_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0) {
            SetLevel(static_cast<std::uint32_t>(row));
        }
    });
    canvas_->SetZoomFactor(ZoomFactor(zoom_));
    connect(canvas_, &CTextureCanvas::Hovered, this, &CPreviewPane::Inspect);
    connect(canvas_, &CTextureCanvas::ZoomStepped, this, [this](std::uint32_t factor) {
        const auto steps = {PreviewZoom::Fit, PreviewZoom::Actual, PreviewZoom::Double,
                            PreviewZoom::Quadruple, PreviewZoom::Octuple};
        for (PreviewZoom step : steps) {
            if (ZoomFactor(step) == factor) {
                SetZoom(step);
            }
        }
    });
    connect(worker_, &QFutureWatcher<QImage>::finished, this, &CPreviewPane::OnWorkerFinished);
    facts_->setWordWrap(true);
    facts_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    inspector_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* factsRow = new QHBoxLayout;
    factsRow->addWidget(swatch_);
    factsRow->addWidget(facts_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(MakeControls());
    layout->addWidget(strip_);
    layout->addWidget(canvas_, 1);
    layout->addWidget(palette_);
    layout->addLayout(factsRow);
    layout->addWidget(inspector_);
    readers_.setMaxThreadCount(1);
    ShowFile({});
}

CPreviewPane::~CPreviewPane() {
    // The worker reads a level this pane holds; a reader hands its file to this pane.
    worker_->waitForFinished();
    readers_.clear();
    readers_.waitForDone();
}

QWidget* CPreviewPane::MakeControls() {
    auto* controls = new QWidget;
    auto* row = new QHBoxLayout(controls);
    row->setContentsMargins(0, 0, 0, 0);
    stepper_ = new QSpinBox;
    stepper_->setPrefix("Level ");
    connect(stepper_, &QSpinBox::valueChanged, this,
            [this](int value) { SetLevel(static_cast<std::uint32_t>(std::max(value - 1, 0))); });
    levelSize_ = new QLabel;
    zoomChoice_ = new QComboBox;
    zoomChoice_->addItems({"Fit", "1:1", "2×", "4×", "8×"});
    zoomChoice_->setCurrentIndex(static_cast<int>(zoom_));
    connect(zoomChoice_, &QComboBox::currentIndexChanged, this,
            [this](int index) { SetZoom(static_cast<PreviewZoom>(index)); });
    alphaChoice_ = new QComboBox;
    alphaChoice_->addItems({"Checkerboard", "Grey alpha", "Key colour"});
    alphaChoice_->setCurrentIndex(static_cast<int>(alpha_));
    alphaChoice_->setToolTip("How transparent pixels are shown");
    connect(alphaChoice_, &QComboBox::currentIndexChanged, this,
            [this](int index) { SetAlphaDisplay(static_cast<AlphaDisplay>(index)); });
    tileChoice_ = new QCheckBox("Tile");
    tileChoice_->setChecked(tiled_);
    tileChoice_->setToolTip("Three by three copies, as far as the texture repeats");
    connect(tileChoice_, &QCheckBox::toggled, this, &CPreviewPane::SetTiled);
    for (QWidget* widget : std::initializer_list<QWidget*>{stepper_, levelSize_, zoomChoice_,
                                                           alphaChoice_, tileChoice_}) {
        row->addWidget(widget);
    }
    row->addStretch(1);
    return controls;
}

void CPreviewPane::ShowFile(const Util::CountedPtr<BitmapFile>& file) {
    ShowOpened(ReadOpenedTexture(file));
}

void CPreviewPane::ShowEntry(const PseudoDirectory& directory, std::uint32_t index) {
    if (directory.IsArchive()) {
        // Members of an archive share the archive's stream, so they are read on this thread.
        ShowOpened(OpenTexture(directory, index));
        return;
    }
    ShowOpened({});
    facts_->setText("Reading…");
    reading_ = true;
    readers_.clear();
    auto entry = std::make_shared<WorkerDirectory>(directory, index);
    readers_.start([this, entry, request = showRequest_] {
        // The worker's factories are gone before the texture is handed over: the counts of what
        // they share with it are not atomic.
        auto opened = std::make_shared<OpenedTexture>([&entry] {
            WorkerFactories factories;
            return entry->Open(factories);
        }());
        QMetaObject::invokeMethod(
            this,
            [this, opened, request] {
                OpenedTexture taken = std::move(*opened);
                if (request == showRequest_) {
                    ShowOpened(std::move(taken));
                }
            },
            Qt::QueuedConnection);
    });
}

void CPreviewPane::ShowOpened(OpenedTexture opened) {
    ++showRequest_;
    reading_ = false;
    file_ = std::move(opened.file);
    textureFacts_ = std::move(opened.facts);
    level_ = 0;
    const QString failure = QString::fromStdString(opened.failure);
    const int count = static_cast<int>(textureFacts_.levels.size());
    const QSignalBlocker blockStepper(stepper_);
    stepper_->setRange(count > 0 ? 1 : 0, count);
    stepper_->setValue(count > 0 ? 1 : 0);
    stepper_->setSuffix(QString(" of %1").arg(count));
    stepper_->setEnabled(count > 1);
    FillLevelStrip();
    ShowFacts();
    if (!failure.isEmpty()) {
        facts_->setText(failure);
    }
    Inspect(std::nullopt);
    Recompose();
}

void CPreviewPane::ShowFailure(const QString& message) {
    ShowOpened({{}, {}, message.toStdString()});
}

void CPreviewPane::FillLevelStrip() {
    const QSignalBlocker blockStrip(strip_);
    strip_->clear();
    const auto& pictures = textureFacts_.pictures;
    // Every icon comes from the smallest level that still covers it: one small level is read
    // instead of the large ones.
    std::size_t source = 0;
    while (source + 1 < pictures.size() && pictures[source + 1] &&
           pictures[source + 1]->GetWidth() >= kStripIconSide &&
           pictures[source + 1]->GetHeight() >= kStripIconSide) {
        ++source;
    }
    for (std::size_t level = 0; level < pictures.size(); ++level) {
        const auto& picture = pictures[std::max(level, source)];
        auto* item = new QListWidgetItem(SizeText(textureFacts_.levels[level]), strip_);
        if (picture) {
            item->setIcon(QPixmap::fromImage(ToQImage(MakeThumbnail(
                *picture, kStripIconSide, {AlphaDisplay::Checkerboard, keyColour_, 4}))));
        }
    }
    strip_->setCurrentRow(pictures.empty() ? -1 : 0);
    strip_->setVisible(pictures.size() > 1);
}

void CPreviewPane::ShowFacts() {
    if (!file_ || textureFacts_.levels.empty()) {
        facts_->setText(file_ ? "No picture" : "");
        swatch_->clear();
        return;
    }
    const TextureFacts& facts = textureFacts_;
    QStringList lines;
    lines << QString("Transparency: %1")
                 .arg(QString::fromStdString(TransparencyText(facts.transparency)));
    lines << QString("Mean colour: %1").arg(ChannelsText(facts.meanColour));
    lines << QString("Repeats: %1").arg(RepeatText(facts.horizontalRepeat, facts.verticalRepeat));
    if (facts.geometry) {
        lines << QString("Used area: %1 × %2, origin %3, %4")
                     .arg(facts.geometry->usedWidth)
                     .arg(facts.geometry->usedHeight)
                     .arg(facts.geometry->originX)
                     .arg(facts.geometry->originY);
    }
    facts_->setText(lines.join(" · "));
    QPixmap swatch(kSwatchSide, kSwatchSide);
    swatch.fill(ToQColor(facts.meanColour));
    swatch_->setPixmap(swatch);
    swatch_->setToolTip("Mean colour");
}

const Trova::Bitmap* CPreviewPane::ShownPicture() const {
    if (level_ >= textureFacts_.pictures.size()) {
        return nullptr;
    }
    const auto& picture = textureFacts_.pictures[level_];
    return picture && picture->GetWidth() > 0 && picture->GetHeight() > 0 ? picture.Get() : nullptr;
}

void CPreviewPane::SetLevel(std::uint32_t level) {
    if (level >= textureFacts_.pictures.size() || level == level_) {
        return;
    }
    level_ = level;
    {
        const QSignalBlocker blockStepper(stepper_);
        const QSignalBlocker blockStrip(strip_);
        stepper_->setValue(static_cast<int>(level) + 1);
        strip_->setCurrentRow(static_cast<int>(level));
    }
    Inspect(std::nullopt);
    Recompose();
}

void CPreviewPane::SetZoom(PreviewZoom zoom) {
    zoom_ = zoom;
    const QSignalBlocker block(zoomChoice_);
    zoomChoice_->setCurrentIndex(static_cast<int>(zoom));
    canvas_->SetZoomFactor(ZoomFactor(zoom));
}

void CPreviewPane::SetAlphaDisplay(AlphaDisplay alpha) {
    alpha_ = alpha;
    const QSignalBlocker block(alphaChoice_);
    alphaChoice_->setCurrentIndex(static_cast<int>(alpha));
    Recompose();
}

void CPreviewPane::SetTiled(bool tiled) {
    tiled_ = tiled;
    const QSignalBlocker block(tileChoice_);
    tileChoice_->setChecked(tiled);
    Recompose();
}

void CPreviewPane::SetKeyColour(const Trova::Colour& keyColour) {
    keyColour_ = keyColour;
    if (alpha_ == AlphaDisplay::KeyColour) {
        Recompose();
    }
}

void CPreviewPane::StoreChoices(PreviewSettings& settings) const {
    settings.zoom = zoom_;
    settings.alpha = alpha_;
    settings.tiled = tiled_;
}

PictureStyle CPreviewPane::Style() const {
    const Trova::Bitmap* picture = ShownPicture();
    return {alpha_, keyColour_, picture ? CheckerSide(*picture) : 1};
}

void CPreviewPane::Recompose() {
    const Trova::Bitmap* picture = ShownPicture();
    std::vector<QColor> colours;
    if (picture) {
        for (const Trova::Colour& entry : LevelPalette(*picture)) {
            colours.push_back(ToQColor(entry));
        }
    }
    palette_->SetColours(std::move(colours));
    levelSize_->setText(picture ? SizeText({picture->GetWidth(), picture->GetHeight()}) : "");
    if (!picture) {
        canvas_->Clear();
        emit Composed();
        return;
    }
    if (std::uint64_t(picture->GetWidth()) * picture->GetHeight() <= kWorkerTexels) {
        Present(ComposeImage(*picture, Style(), tiled_, textureFacts_.horizontalRepeat,
                             textureFacts_.verticalRepeat));
    } else if (IsComposing()) {
        recomposeAfterWorker_ = true;
    } else {
        StartWorker();
    }
}

bool CPreviewPane::IsComposing() const {
    return worker_->isRunning();
}

void CPreviewPane::StartWorker() {
    workerPicture_ = textureFacts_.pictures[level_];
    // Decoded here, so that the worker's reads change nothing in the shared level.
    workerPicture_->GetPixel(0, 0);
    auto promise = std::make_shared<QPromise<QImage>>();
    worker_->setFuture(promise->future());
    promise->start();
    QThreadPool::globalInstance()->start(
        [promise, picture = workerPicture_.Get(), style = Style(), tiled = tiled_,
         horizontal = textureFacts_.horizontalRepeat, vertical = textureFacts_.verticalRepeat] {
            promise->addResult(ComposeImage(*picture, style, tiled, horizontal, vertical));
            promise->finish();
        });
}

void CPreviewPane::OnWorkerFinished() {
    const bool stale = recomposeAfterWorker_ || workerPicture_.Get() != ShownPicture();
    const QImage picture = worker_->future().resultCount() > 0 ? worker_->result() : QImage();
    workerPicture_ = {};
    recomposeAfterWorker_ = false;
    if (stale) {
        Recompose();
    } else {
        Present(picture);
    }
}

void CPreviewPane::Present(const QImage& picture) {
    const PictureSize& size = textureFacts_.levels[level_];
    std::optional<SrbPlacement> placement = textureFacts_.geometry;
    if (placement && !textureFacts_.levels.empty() && textureFacts_.levels[0].width > 0) {
        // The geometry is given in texels of level 0.
        const double scaleX = double(size.width) / textureFacts_.levels[0].width;
        const double scaleY = double(size.height) / textureFacts_.levels[0].height;
        placement->usedWidth *= scaleX;
        placement->originX *= scaleX;
        placement->usedHeight *= scaleY;
        placement->originY *= scaleY;
    }
    canvas_->SetPicture(picture, QSize(static_cast<int>(size.width), static_cast<int>(size.height)),
                        tiled_, placement);
    emit Composed();
}

void CPreviewPane::Inspect(std::optional<QPoint> texel) {
    const Trova::Bitmap* picture = ShownPicture();
    QString text;
    std::optional<std::uint32_t> index;
    if (picture && texel) {
        const PixelProbe probe =
            ProbePixel(*picture, textureFacts_.channelBits, static_cast<std::uint32_t>(texel->y()),
                       static_cast<std::uint32_t>(texel->x()));
        text = QString::fromStdString(InspectorText(probe));
        index = probe.paletteIndex;
    }
    palette_->SetMarked(index);
    inspector_->setText(text);
    emit Inspected(text);
}

} // namespace Ostrel::Vellix::Gui
