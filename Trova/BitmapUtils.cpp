#include "Trova/BitmapUtils.h"

#include "Util/Exception.h"

#include <algorithm>

namespace Ostrel::Trova {

namespace {
constexpr char kSourceUnit[] = "BitmapUtils";

// Sizes the destination and writes colourAt(row, column) to every place, rows from 0 and columns
// from 0 within a row.
template <typename ColourAt>
void FillBitmap(Bitmap& destination, std::uint32_t height, std::uint32_t width, ColourAt colourAt) {
    destination.SetSize(height, width);
    for (std::uint32_t row = 0; row < height; ++row) {
        for (std::uint32_t column = 0; column < width; ++column) {
            destination.SetPixel(row, column, colourAt(row, column));
        }
    }
}

// The destination takes the source's size, each place the transform of the source pixel there.
template <typename Transform>
void TransformBitmap(const Bitmap& source, Bitmap& destination, Transform transform) {
    FillBitmap(destination, source.GetHeight(), source.GetWidth(),
               [&](std::uint32_t row, std::uint32_t column) {
                   return transform(source.GetPixel(row, column));
               });
}

void CheckTransparencyColour(const Colour& transparency_colour) {
    OSTREL_ASSERT(transparency_colour.GetAlpha() == 1.0f);
}

// Index of the source row or column nearest to the centre of a destination row or column.
std::uint32_t NearestSource(std::uint32_t place, std::uint32_t newSize, std::uint32_t oldSize) {
    const double position = (place + 0.5) / newSize * oldSize;
    return std::min(static_cast<std::uint32_t>(position), oldSize - 1);
}
} // namespace

void MakeOpaque(const Bitmap& source, Bitmap& destination, bool failIfTransparent) {
    TransformBitmap(source, destination, [failIfTransparent](const Colour& pixel) {
        if (failIfTransparent && pixel.GetAlpha() != 1) {
            throw Util::XUsage("Bitmap is transparent");
        }
        return Colour(pixel.GetRed(), pixel.GetGreen(), pixel.GetBlue(), 1);
    });
}

void AlphaToGrey(const Bitmap& source, Bitmap& destination) {
    TransformBitmap(source, destination, [](const Colour& pixel) {
        const float alpha = pixel.GetAlpha();
        return Colour(alpha, alpha, alpha, 1);
    });
}

void GreyToAlpha(const Bitmap& colourSource, const Bitmap& transparencySource,
                 Bitmap& destination) {
    if (transparencySource.GetHeight() < colourSource.GetHeight() ||
        transparencySource.GetWidth() < colourSource.GetWidth()) {
        throw Util::XUsage("Transparency bitmap smaller than colour bitmap");
    }
    FillBitmap(destination, colourSource.GetHeight(), colourSource.GetWidth(),
               [&](std::uint32_t row, std::uint32_t column) {
                   const Colour colour = colourSource.GetPixel(row, column);
                   const Colour grey = transparencySource.GetPixel(row, column);
                   const float alpha = (grey.GetRed() + grey.GetGreen() + grey.GetBlue()) / 3;
                   return Colour(colour.GetRed(), colour.GetGreen(), colour.GetBlue(), alpha);
               });
}

void TransparencyToColour(const Bitmap& source, Bitmap& destination,
                          const Colour& transparencyColour) {
    CheckTransparencyColour(transparencyColour);
    TransformBitmap(source, destination, [&transparencyColour](const Colour& pixel) {
        if (pixel == transparencyColour) {
            throw Util::XUsage("Transparency colour occurs in source bitmap");
        }
        if (pixel.GetAlpha() != 0 && pixel.GetAlpha() != 1) {
            throw Util::XUsage("Bitmap contains partial transparency");
        }
        return pixel.GetAlpha() == 1 ? pixel : transparencyColour;
    });
}

void ColourToTransparency(const Bitmap& source, const Colour& transparencyColour,
                          Bitmap& destination) {
    CheckTransparencyColour(transparencyColour);
    TransformBitmap(source, destination, [&transparencyColour](const Colour& pixel) {
        return pixel == transparencyColour ? Colour() : pixel;
    });
}

void Shrink(const Bitmap& source, std::uint32_t rowFactor, std::uint32_t columnFactor,
            Bitmap& destination) {
    if (rowFactor == 0 || columnFactor == 0) {
        throw Util::XUsage("Shrink factor must be at least 1");
    }
    const auto blockSize = static_cast<float>(std::uint64_t(rowFactor) * columnFactor);
    const auto averageBlock = [&](std::uint32_t row, std::uint32_t column) {
        float red = 0;
        float green = 0;
        float blue = 0;
        float alpha = 0;
        for (std::uint32_t u = 0; u < rowFactor; ++u) {
            for (std::uint32_t v = 0; v < columnFactor; ++v) {
                const Colour pixel =
                    source.GetPixel(row * rowFactor + u, column * columnFactor + v);
                red += pixel.GetRed() * pixel.GetAlpha();
                green += pixel.GetGreen() * pixel.GetAlpha();
                blue += pixel.GetBlue() * pixel.GetAlpha();
                alpha += pixel.GetAlpha();
            }
        }
        if (alpha == 0) {
            return Colour();
        }
        return Colour(red / alpha, green / alpha, blue / alpha, alpha / blockSize);
    };
    FillBitmap(destination, source.GetHeight() / rowFactor, source.GetWidth() / columnFactor,
               averageBlock);
}

void Resize(const Bitmap& source, std::uint32_t newHeight, std::uint32_t newWidth,
            Bitmap& destination) {
    if (newHeight == 0 || newWidth == 0) {
        throw Util::XUsage("New bitmap size must be at least 1 by 1");
    }
    const std::uint32_t height = source.GetHeight();
    const std::uint32_t width = source.GetWidth();
    if (newHeight == height && newWidth == width) {
        CopyBitmap(source, destination);
        return;
    }
    if (height == 0 || width == 0) {
        throw Util::XUsage("Cannot resize an empty bitmap");
    }
    FillBitmap(destination, newHeight, newWidth, [&](std::uint32_t row, std::uint32_t column) {
        return source.GetPixel(NearestSource(row, newHeight, height),
                               NearestSource(column, newWidth, width));
    });
}

} // namespace Ostrel::Trova
