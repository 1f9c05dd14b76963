#pragma once

// Storing true-colour pictures into game bitmaps, which may be palettised.

#include "Trova/Bitmap.h"
#include "Trova/Palette.h"
#include "Util/CountedPtr.h"

#include <cstdint>
#include <functional>

namespace Ostrel::Trova {

// A game bitmap that receives pictures and, when it is palettised, its palette.
struct BitmapTarget {
    Util::CountedPtr<Bitmap> bitmap;
    Util::CountedPtr<Palette> palette; // null for a true-colour bitmap
    bool rebuildPalette = false;       // the palette is made anew for each picture stored
};

// The palette keeps its size: the best colours for the source first, the rest cleared.
void RebuildPalette(const Bitmap& source, Palette& palette);

// Fills the target with what draw writes into the bitmap it is given: the target's own bitmap, or
// for a palettised target a true-colour one that is then mapped onto the palette.
void DrawInto(const BitmapTarget& target, const std::function<void(Bitmap& picture)>& draw);

// The source shrunk by factor in both directions, stored in the target.
void PutShrunk(const Bitmap& source, std::uint32_t factor, const BitmapTarget& target);

} // namespace Ostrel::Trova
