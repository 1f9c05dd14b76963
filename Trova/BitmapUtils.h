#pragma once

#include "Trova/Bitmap.h"
#include "Trova/Colour.h"

#include <cstdint>

namespace Ostrel::Trova {

// Whole-bitmap routines that move transparency between BMP pictures (no alpha) and game bitmaps,
// and the two resamplers. Each sizes the destination first; one that throws leaves the destination
// partly written.

// Every pixel with alpha 1. With failIfTransparent, XUsage "Bitmap is transparent" on the first
// pixel whose alpha is not exactly 1.
void MakeOpaque(const Bitmap& source, Bitmap& destination, bool failIfTransparent);

// The alpha of each pixel as an opaque grey.
void AlphaToGrey(const Bitmap& source, Bitmap& destination);

// The colour source's pixels with the mean of the transparency source's three colour channels as
// alpha. The transparency source must be at least as large as the colour source (XUsage otherwise).
void GreyToAlpha(const Bitmap& colourSource, const Bitmap& transparencySource, Bitmap& destination);

// Fully transparent pixels become the opaque transparency colour. XUsage when the colour itself
// occurs in the source, or when a pixel is partly transparent.
void TransparencyToColour(const Bitmap& source, Bitmap& destination,
                          const Colour& transparencyColour);

// Pixels exactly equal to the opaque transparency colour become (0, 0, 0, 0).
void ColourToTransparency(const Bitmap& source, const Colour& transparencyColour,
                          Bitmap& destination);

// Box filter by whole factors (at least 1, XUsage otherwise), weighted by alpha: colour is averaged
// in proportion to opacity, alpha is the plain mean. Rows and columns left over are ignored.
void Shrink(const Bitmap& source, std::uint32_t rowFactor, std::uint32_t columnFactor,
            Bitmap& destination);

// Nearest-neighbour scaling to a size of at least 1 by 1 (XUsage otherwise) from a non-empty
// source.
void Resize(const Bitmap& source, std::uint32_t newHeight, std::uint32_t newWidth,
            Bitmap& destination);

} // namespace Ostrel::Trova
