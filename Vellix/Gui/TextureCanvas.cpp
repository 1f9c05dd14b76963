#include "Vellix/Gui/TextureCanvas.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <array>
#include <cmath>

namespace Ostrel::Vellix::Gui {

namespace {

constexpr std::array<std::uint32_t, 4> kZoomSteps = {1, 2, 4, 8};
// From this magnification on, lines between the texels.
constexpr std::uint32_t kGridFactor = 8;

} // namespace

CTextureCanvas::CTextureCanvas(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setMinimumSize(64, 64);
    setAutoFillBackground(true);
}

void CTextureCanvas::SetPicture(const QImage& picture, QSize levelSize, bool tiled,
                                const std::optional<SrbPlacement>& placement) {
    picture_ = picture;
    levelSize_ = levelSize;
    tiled_ = tiled;
    placement_ = placement;
    update();
}

void CTextureCanvas::Clear() {
    SetPicture({}, {}, false, std::nullopt);
}

void CTextureCanvas::SetZoomFactor(std::uint32_t factor) {
    factor_ = factor;
    pan_ = {};
    update();
}

double CTextureCanvas::Scale() const {
    if (factor_ > 0) {
        return factor_;
    }
    if (picture_.isNull()) {
        return 1;
    }
    return std::min(double(width()) / picture_.width(), double(height()) / picture_.height());
}

QRectF CTextureCanvas::PictureRect() const {
    const QSizeF size = QSizeF(picture_.size()) * Scale();
    const QPointF centred((width() - size.width()) / 2, (height() - size.height()) / 2);
    return {QPointF(std::round(centred.x()), std::round(centred.y())) + pan_, size};
}

void CTextureCanvas::paintEvent(QPaintEvent*) {
    if (picture_.isNull()) {
        return;
    }
    QPainter painter(this);
    // Texels stay sharp squares at every zoom.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const QRectF area = PictureRect();
    painter.drawImage(area, picture_);
    if (factor_ >= kGridFactor) {
        DrawGrid(painter, area);
    }
    if (placement_) {
        DrawPlacement(painter, area);
    }
}

void CTextureCanvas::DrawGrid(QPainter& painter, const QRectF& area) const {
    painter.setPen(QColor(0, 0, 0, 64));
    const double scale = Scale();
    for (int column = 1; column < picture_.width(); ++column) {
        const double x = area.left() + column * scale;
        painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
    }
    for (int row = 1; row < picture_.height(); ++row) {
        const double y = area.top() + row * scale;
        painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
    }
}

void CTextureCanvas::DrawPlacement(QPainter& painter, const QRectF& area) const {
    const double scale = Scale();
    // The middle copy is the texture itself when tiled.
    const QPointF origin =
        tiled_ ? area.topLeft() + QPointF(levelSize_.width() * scale, levelSize_.height() * scale)
               : area.topLeft();
    const QRectF used(origin, QSizeF(placement_->usedWidth, placement_->usedHeight) * scale);
    painter.setPen(QPen(QColor(255, 220, 0), 2, Qt::DashLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(used);
    const std::array<QPointF, 4> corners = {used.topLeft(), used.topRight(), used.bottomRight(),
                                            used.bottomLeft()};
    for (std::size_t corner = 0; corner < corners.size(); ++corner) {
        painter.drawText(QRectF(corners[corner] - QPointF(8, 8), QSizeF(16, 16)), Qt::AlignCenter,
                         QString::number(corner));
    }
    const QPointF centre = origin + QPointF(placement_->originX, placement_->originY) * scale;
    painter.setPen(QPen(QColor(255, 40, 40), 2));
    painter.drawLine(centre - QPointF(6, 0), centre + QPointF(6, 0));
    painter.drawLine(centre - QPointF(0, 6), centre + QPointF(0, 6));
}

void CTextureCanvas::wheelEvent(QWheelEvent* event) {
    const double scale = Scale();
    std::uint32_t next = factor_;
    if (event->angleDelta().y() > 0) {
        const auto up = std::find_if(kZoomSteps.begin(), kZoomSteps.end(),
                                     [scale](std::uint32_t step) { return step > scale; });
        next = up != kZoomSteps.end() ? *up : kZoomSteps.back();
    } else if (event->angleDelta().y() < 0) {
        const auto down = std::find_if(kZoomSteps.rbegin(), kZoomSteps.rend(),
                                       [scale](std::uint32_t step) { return step < scale; });
        next = down != kZoomSteps.rend() ? *down : 0;
    }
    if (next != factor_) {
        SetZoomFactor(next);
        emit ZoomStepped(next);
    }
    event->accept();
}

void CTextureCanvas::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        dragFrom_ = event->position() - pan_;
        setCursor(Qt::ClosedHandCursor);
    }
}

void CTextureCanvas::mouseMoveEvent(QMouseEvent* event) {
    if (dragFrom_) {
        pan_ = event->position() - *dragFrom_;
        update();
    }
    emit Hovered(TexelAt(event->position()));
}

void CTextureCanvas::mouseReleaseEvent(QMouseEvent*) {
    dragFrom_.reset();
    unsetCursor();
}

void CTextureCanvas::leaveEvent(QEvent*) {
    emit Hovered(std::nullopt);
}

std::optional<QPoint> CTextureCanvas::TexelAt(QPointF position) const {
    const QRectF area = PictureRect();
    if (picture_.isNull() || !area.contains(position) || levelSize_.isEmpty()) {
        return std::nullopt;
    }
    const QPointF inPicture = (position - area.topLeft()) / Scale();
    const int column = std::min(static_cast<int>(inPicture.x()), picture_.width() - 1);
    const int row = std::min(static_cast<int>(inPicture.y()), picture_.height() - 1);
    // Every copy of a tiled picture shows the same texels; empty copies show none.
    if (qAlpha(picture_.pixel(column, row)) == 0 && tiled_) {
        return std::nullopt;
    }
    return QPoint(column % levelSize_.width(), row % levelSize_.height());
}

} // namespace Ostrel::Vellix::Gui
