#pragma once

// A game bitmap's alpha carried through picture files, and back: through pictures that have no
// alpha, or in the picture's own alpha channel.

#include "Trova/Bitmap.h"
#include "Trova/Colour.h"

namespace Ostrel::Trova {

// How the alpha travels. The values are the stored option values.
enum class TransparencyMethod {
    None = 0,            // the bitmap must be opaque
    SeparatePicture = 1, // the alpha as a second, grey picture
    KeyColour = 2,       // fully transparent pixels as one opaque colour
    AlphaChannel = 3,    // the picture's own alpha, which the picture must be able to hold
};

// The bitmap as a picture (without alpha except for AlphaChannel) and, for SeparatePicture only,
// its alpha as a grey picture. XUsage when the method cannot carry the bitmap's alpha (see
// BitmapUtils).
void SplitTransparency(const Bitmap& source, TransparencyMethod method, const Colour& key,
                       Bitmap& picture, Bitmap& grey);

// The picture's colours with the alpha the method gives them; grey is used (and required) only
// for SeparatePicture.
void JoinTransparency(const Bitmap& picture, const Bitmap* grey, TransparencyMethod method,
                      const Colour& key, Bitmap& destination);

} // namespace Ostrel::Trova
