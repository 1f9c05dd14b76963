#pragma once

// Small hand-made pictures for the tests of the bitmap routines.

#include "Trova/Bitmap.h"

#include <vector>

namespace Ostrel::Test {

using PixelRows = std::vector<std::vector<Trova::Colour>>;

// A picture given row by row.
inline Trova::BitmapSimple MakeBitmap(const PixelRows& rows) {
    Trova::BitmapSimple bitmap(static_cast<std::uint32_t>(rows.size()),
                               static_cast<std::uint32_t>(rows.empty() ? 0 : rows[0].size()));
    for (std::uint32_t row = 0; row < bitmap.GetHeight(); ++row) {
        for (std::uint32_t column = 0; column < bitmap.GetWidth(); ++column) {
            bitmap.SetPixel(row, column, rows[row][column]);
        }
    }
    return bitmap;
}

// A picture's pixels row by row, to compare with the rows it should hold.
inline PixelRows PixelsOf(const Trova::Bitmap& bitmap) {
    PixelRows rows(bitmap.GetHeight());
    for (std::uint32_t row = 0; row < bitmap.GetHeight(); ++row) {
        for (std::uint32_t column = 0; column < bitmap.GetWidth(); ++column) {
            rows[row].push_back(bitmap.GetPixel(row, column));
        }
    }
    return rows;
}

} // namespace Ostrel::Test
