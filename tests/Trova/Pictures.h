#pragma once

// Small hand-made pictures for the tests of the bitmap routines.

#include "Trova/Bitmap.h"

#include <initializer_list>

namespace Ostrel::Test {

// A picture given row by row.
inline Trova::BitmapSimple
MakeBitmap(std::initializer_list<std::initializer_list<Trova::Colour>> rows) {
    Trova::BitmapSimple bitmap(static_cast<std::uint32_t>(rows.size()),
                               static_cast<std::uint32_t>(rows.begin()->size()));
    std::uint32_t row = 0;
    for (const auto& colours : rows) {
        std::uint32_t column = 0;
        for (const Trova::Colour& colour : colours) {
            bitmap.SetPixel(row, column++, colour);
        }
        ++row;
    }
    return bitmap;
}

} // namespace Ostrel::Test
