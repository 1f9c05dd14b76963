#pragma once

// The application's RGBA pictures as Qt images: the rows are only wrapped, then copied once.

#include "Vellix/TexturePicture.h"

#include <QImage>

namespace Ostrel::Vellix::Gui {

inline QImage ToQImage(const RgbaPicture& picture) {
    if (picture.IsEmpty()) {
        return {};
    }
    return QImage(picture.bytes.data(), static_cast<int>(picture.width),
                  static_cast<int>(picture.height), static_cast<qsizetype>(picture.RowBytes()),
                  QImage::Format_RGBA8888)
        .copy();
}

} // namespace Ostrel::Vellix::Gui
