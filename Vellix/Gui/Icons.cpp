#include "Vellix/Gui/Icons.h"

#include "Vellix/TreeNodes.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace Ostrel::Vellix::Gui {

namespace {

constexpr int kTreeIconSize = 16;

const QColor kYellow(240, 200, 60);
const QColor kDarkYellow(170, 130, 20);
const QColor kGreen(80, 180, 80);
const QColor kDarkGreen(30, 110, 40);

QPixmap BlankPixmap(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void DrawHardDisk(QPainter& painter) {
    painter.setPen(QColor(70, 70, 70));
    painter.setBrush(QColor(190, 190, 190));
    painter.drawRect(1, 5, 13, 7);
    painter.setBrush(QColor(0, 200, 0));
    painter.setPen(Qt::NoPen);
    painter.drawRect(11, 9, 2, 2);
}

void DrawFloppy(QPainter& painter) {
    painter.setPen(QColor(20, 20, 60));
    painter.setBrush(QColor(40, 60, 140));
    painter.drawRect(1, 1, 13, 13);
    painter.setBrush(QColor(200, 200, 210));
    painter.drawRect(4, 1, 7, 5);
    painter.setBrush(Qt::white);
    painter.drawRect(3, 9, 9, 5);
}

void DrawDisc(QPainter& painter) {
    painter.setPen(QColor(90, 90, 110));
    painter.setBrush(QColor(215, 215, 230));
    painter.drawEllipse(1, 1, 13, 13);
    painter.setBrush(Qt::white);
    painter.drawEllipse(6, 6, 3, 3);
}

// A folder in two shades; an open one shows its front flap tilted.
void DrawFolder(QPainter& painter, const QColor& light, const QColor& dark, bool open) {
    painter.setPen(dark);
    painter.setBrush(dark);
    painter.drawPolygon(QPolygonF({{1, 3}, {6, 3}, {7, 5}, {14, 5}, {14, 13}, {1, 13}}));
    painter.setBrush(light);
    if (open) {
        painter.drawPolygon(QPolygonF({{3, 7}, {15, 7}, {13, 13}, {1, 13}}));
    } else {
        painter.drawRect(1, 6, 13, 7);
    }
}

QPixmap DrawTreeIcon(int index) {
    QPixmap pixmap = BlankPixmap(kTreeIconSize);
    QPainter painter(&pixmap);
    switch (index) {
    case kTreeIconDisk:
        DrawHardDisk(painter);
        break;
    case kTreeIconFloppy:
        DrawFloppy(painter);
        break;
    case kTreeIconDisc:
        DrawDisc(painter);
        break;
    case kTreeIconFolder:
    case kTreeIconOpenFolder:
        DrawFolder(painter, kYellow, kDarkYellow, index == kTreeIconOpenFolder);
        break;
    default:
        DrawFolder(painter, kGreen, kDarkGreen, index == kTreeIconOpenArchive);
        break;
    }
    return pixmap;
}

const char* KindLabel(BitmapKind kind) {
    switch (kind) {
    case BitmapKind::Bmp:
        return "BMP";
    case BitmapKind::Mip:
        return "MIP";
    case BitmapKind::Pbf:
        return "PBF";
    case BitmapKind::Srb:
        return "SRB";
    case BitmapKind::Png:
        return "PNG";
    default:
        return "";
    }
}

// A framed chequer of texture colours: the program's own mark.
QPixmap DrawApplicationIcon(int size) {
    QPixmap pixmap = BlankPixmap(size);
    QPainter painter(&pixmap);
    const int cells = 4;
    const double cell = size / static_cast<double>(cells);
    for (int row = 0; row < cells; ++row) {
        for (int column = 0; column < cells; ++column) {
            const bool dark = (row + column) % 2 != 0;
            painter.fillRect(QRectF(column * cell, row * cell, cell, cell),
                             dark ? kDarkGreen : kYellow);
        }
    }
    painter.setPen(QPen(Qt::black, std::max(1, size / 16)));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(0.5, 0.5, size - 1.0, size - 1.0));
    return pixmap;
}

} // namespace

QIcon TreeIcon(int index) {
    return index >= 0 && index < kTreeIconCount ? QIcon(DrawTreeIcon(index)) : QIcon();
}

QPixmap TypeIcon(BitmapKind kind, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::white);
    QPainter painter(&pixmap);
    painter.setPen(QColor(128, 128, 128));
    painter.drawRect(0, 0, size - 1, size - 1);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(std::max(4, size * 3 / 10));
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRect(0, 0, size, size), Qt::AlignCenter, KindLabel(kind));
    return pixmap;
}

QIcon ApplicationIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        icon.addPixmap(DrawApplicationIcon(size));
    }
    return icon;
}

} // namespace Ostrel::Vellix::Gui
