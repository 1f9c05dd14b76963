#pragma once

// The preview's drawing surface: a composed picture at a zoom (fit, or a whole magnification,
// always nearest neighbour), with a pixel grid from 8x on, mouse-wheel zoom and drag to pan, and
// optionally the used area and origin of an SRB texture drawn over it. Reports the texel under
// the mouse.

#include "Vellix/TexturePicture.h"

#include <QImage>
#include <QWidget>

#include <optional>

namespace Ostrel::Vellix::Gui {

class CTextureCanvas : public QWidget {
    Q_OBJECT
public:
    explicit CTextureCanvas(QWidget* parent = nullptr);

    // The picture, levelWidth x levelHeight texels, or three by three of them when tiled;
    // placement in texels of the shown level.
    void SetPicture(const QImage& picture, QSize levelSize, bool tiled,
                    const std::optional<SrbPlacement>& placement);
    void Clear();
    const QImage& Picture() const { return picture_; }

    // 0 fits the picture into the canvas.
    void SetZoomFactor(std::uint32_t factor);
    std::uint32_t ZoomFactor() const { return factor_; }
    // The scale in use: the zoom factor, or the one that fits.
    double Scale() const;
    // Where the picture lies in the canvas.
    QRectF PictureRect() const;

signals:
    // The texel of the shown level under the mouse (column, row); none when it left the picture.
    void Hovered(std::optional<QPoint> texel);
    // After a wheel step changed the zoom.
    void ZoomStepped(std::uint32_t factor);

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void DrawGrid(QPainter& painter, const QRectF& area) const;
    void DrawPlacement(QPainter& painter, const QRectF& area) const;
    std::optional<QPoint> TexelAt(QPointF position) const;

    QImage picture_;
    QSize levelSize_;
    bool tiled_ = false;
    std::optional<SrbPlacement> placement_;
    std::uint32_t factor_ = 0;
    QPointF pan_;
    std::optional<QPointF> dragFrom_;
};

} // namespace Ostrel::Vellix::Gui
