#include "Trova/Bitmap.h"

#include "Trova/Palette.h"

namespace Ostrel::Trova {

Util::CountedPtr<Palette> Bitmap::GetPalette() const {
    return {};
}

void BitmapSimple::SetSize(std::uint32_t height, std::uint32_t width) {
    height_ = height;
    width_ = width;
    pixels_.resize(std::size_t(height) * width);
}

void CopyBitmap(const Bitmap& source, Bitmap& destination) {
    const std::uint32_t height = source.GetHeight();
    const std::uint32_t width = source.GetWidth();
    destination.SetSize(height, width);
    for (std::uint32_t row = 0; row < height; ++row) {
        for (std::uint32_t column = 0; column < width; ++column) {
            destination.SetPixel(row, column, source.GetPixel(row, column));
        }
    }
}

} // namespace Ostrel::Trova
