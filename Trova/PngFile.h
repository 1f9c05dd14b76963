#pragma once

#include "Trova/Bitmap.h"
#include "Trova/PictureSummary.h"
#include "Util/BinaryStream.h"

#include <string>

namespace Ostrel::Trova {

// A PNG picture, decoded whole into exact colours. Every kind is read: 1 to 16 bits per channel,
// grey, palette (with its transparency), RGB, with or without alpha, interlaced or not. Pictures
// are written with 8-bit channels: RGBA, or RGB when every pixel is opaque.
class PngFile : public BitmapSimple {
public:
    // Reads the whole file; format errors name the path as given.
    explicit PngFile(const std::string& path);
    // Reads a PNG from the stream's position to its end.
    explicit PngFile(Util::BinaryStream& stream);

    // The file carries alpha: an alpha channel or a transparency chunk.
    bool HasAlpha() const { return hasAlpha_; }

    // Reads the chunks before the picture data only.
    static PictureSummary ReadSummary(Util::BinaryStream& stream);
    static PictureSummary ReadSummary(const std::string& path);

    static void Save(const Bitmap& picture, Util::BinaryStream& stream);

private:
    void Read(Util::BinaryStream& stream, const std::string& name);

    bool hasAlpha_ = false;
};

} // namespace Ostrel::Trova
