#include "Vellix/Gui/PaletteStrip.h"

#include <QPainter>

namespace Ostrel::Vellix::Gui {

namespace {

constexpr int kGap = 2;

} // namespace

CPaletteStrip::CPaletteStrip(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void CPaletteStrip::SetColours(std::vector<QColor> colours) {
    colours_ = std::move(colours);
    marked_.reset();
    setVisible(!colours_.empty());
    updateGeometry();
    update();
}

void CPaletteStrip::SetMarked(std::optional<std::uint32_t> index) {
    if (index && *index >= colours_.size()) {
        index.reset();
    }
    if (index != marked_) {
        marked_ = index;
        update();
    }
}

QRect CPaletteStrip::SwatchRect(std::uint32_t index) const {
    return {kGap + static_cast<int>(index) * (kSwatchSide + kGap), kGap, kSwatchSide, kSwatchSide};
}

QSize CPaletteStrip::sizeHint() const {
    return {SwatchRect(static_cast<std::uint32_t>(colours_.size())).left(), kSwatchSide + 2 * kGap};
}

void CPaletteStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    for (std::uint32_t index = 0; index < colours_.size(); ++index) {
        const QRect swatch = SwatchRect(index);
        painter.fillRect(swatch, colours_[index]);
        const bool marked = marked_ == index;
        painter.setPen(
            QPen(marked ? palette().highlight().color() : palette().mid().color(), marked ? 2 : 1));
        painter.drawRect(marked ? swatch.adjusted(-1, -1, 0, 0) : swatch.adjusted(0, 0, -1, -1));
    }
}

} // namespace Ostrel::Vellix::Gui
