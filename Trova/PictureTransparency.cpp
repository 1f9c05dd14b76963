#include "Trova/PictureTransparency.h"

#include "Trova/BitmapUtils.h"

namespace Ostrel::Trova {

void SplitTransparency(const Bitmap& source, TransparencyMethod method, const Colour& key,
                       Bitmap& picture, Bitmap& grey) {
    const bool separate = method == TransparencyMethod::SeparatePicture;
    if (method == TransparencyMethod::AlphaChannel) {
        CopyBitmap(source, picture);
    } else if (method == TransparencyMethod::KeyColour) {
        TransparencyToColour(source, picture, key);
    } else {
        MakeOpaque(source, picture, !separate);
    }
    if (separate) {
        AlphaToGrey(source, grey);
    }
}

void JoinTransparency(const Bitmap& picture, const Bitmap* grey, TransparencyMethod method,
                      const Colour& key, Bitmap& destination) {
    switch (method) {
    case TransparencyMethod::None:
    case TransparencyMethod::AlphaChannel:
        CopyBitmap(picture, destination);
        break;
    case TransparencyMethod::SeparatePicture:
        GreyToAlpha(picture, *grey, destination);
        break;
    case TransparencyMethod::KeyColour:
        ColourToTransparency(picture, key, destination);
        break;
    }
}

} // namespace Ostrel::Trova
