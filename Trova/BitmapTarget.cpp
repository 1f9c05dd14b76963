#include "Trova/BitmapTarget.h"

#include "Trova/BitmapUtils.h"

namespace Ostrel::Trova {

void RebuildPalette(const Bitmap& source, Palette& palette) {
    const Palette made = MakePalette(source, palette.GetCount());
    for (std::uint32_t index = 0; index < palette.GetCount(); ++index) {
        palette.SetColour(index,
                          index < made.GetCount() ? made.GetColour(index) : Colour(0, 0, 0, 0));
    }
}

void DrawInto(const BitmapTarget& target, const std::function<void(Bitmap& picture)>& draw) {
    if (!target.palette) {
        draw(*target.bitmap);
        return;
    }
    BitmapSimple picture;
    draw(picture);
    if (target.rebuildPalette) {
        RebuildPalette(picture, *target.palette);
    }
    MapToPalette(picture, *target.palette, *target.bitmap);
}

void PutShrunk(const Bitmap& source, std::uint32_t factor, const BitmapTarget& target) {
    DrawInto(target, [&](Bitmap& picture) { Shrink(source, factor, factor, picture); });
}

} // namespace Ostrel::Trova
