#pragma once

// What the game-file fuzz targets do with a file: read its summary from its headers, as a
// listing does, and once it reads whole, touch every pixel of every level, write it, and copy it,
// so that decoding, encoding and cloning all meet the hostile input.

#include "Trova/Bitmap.h"
#include "Trova/GPLMipFile.h"
#include "Trova/GPLPbfFile.h"
#include "Trova/GPLSrbFile.h"
#include "Trova/TextureSummary.h"
#include "Util/CountedPtr.h"
#include "Util/Exception.h"
#include "Util/MemoryStream.h"
#include "Util/ReadAheadStream.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Ostrel::Fuzz {

inline Util::CountedPtr<Util::BinaryStream> StreamOf(const std::uint8_t* data, std::size_t size) {
    return Util::MakeCounted<Util::MemoryStream>("fuzz.bin",
                                                 std::vector<std::uint8_t>(data, data + size));
}

// Every decoded channel lies in 0 to 1; anything else is a decoding fault.
inline void CheckChannel(float channel) {
    if (!(channel >= 0 && channel <= 1)) {
        __builtin_trap();
    }
}

// A picture of width 0 may still claim half a billion rows; it has no pixels to touch.
inline void TouchPixels(const Trova::Bitmap& bitmap) {
    if (bitmap.GetWidth() == 0) {
        return;
    }
    for (std::uint32_t row = 0; row < bitmap.GetHeight(); ++row) {
        for (std::uint32_t column = 0; column < bitmap.GetWidth(); ++column) {
            const Trova::Colour colour = bitmap.GetPixel(row, column);
            CheckChannel(colour.GetRed());
            CheckChannel(colour.GetGreen());
            CheckChannel(colour.GetBlue());
            CheckChannel(colour.GetAlpha());
        }
    }
}

template <typename FileT> void WriteAndCopy(const FileT& file) {
    file.Write(Util::MakeCounted<Util::MemoryStream>("fuzz.out"));
    file.Clone()->Write(Util::MakeCounted<Util::MemoryStream>("fuzz.copy"));
}

// Runs one reading attempt; the library's own exceptions are the expected way to refuse input.
template <typename Action> void Attempt(Action action) {
    try {
        action();
    } catch (const Util::Exception&) {
    }
}

// Reads a summary as a listing does, through a read-ahead window.
template <typename Reader>
void ReadSummary(const Util::CountedPtr<Util::BinaryStream>& stream, Reader reader) {
    Attempt([&] {
        Util::ReadAheadStream ahead(stream);
        reader(ahead);
    });
}

// Each reads one texture format from a fresh stream and exercises what it read.
inline void ExerciseMip(const Util::CountedPtr<Util::BinaryStream>& stream, std::uint32_t version) {
    ReadSummary(stream,
                [&](Util::BinaryStream& ahead) { Trova::GPLMipFile::ReadSummary(ahead, version); });
    Attempt([&] {
        const Trova::GPLMipFile mip(stream, version);
        for (std::uint32_t level = 0; level < mip.GetBitmapCount(); ++level) {
            TouchPixels(*mip.GetBitmap(level));
        }
        WriteAndCopy(mip);
    });
}

inline void ExercisePbf(const Util::CountedPtr<Util::BinaryStream>& stream) {
    ReadSummary(stream, Trova::GPLPbfFile::ReadSummary);
    Attempt([&] {
        const Trova::GPLPbfFile pbf(stream);
        TouchPixels(*pbf.GetBitmap());
        WriteAndCopy(pbf);
    });
}

inline void ExerciseSrb(const Util::CountedPtr<Util::BinaryStream>& stream) {
    ReadSummary(stream, Trova::GPLSrbFile::ReadSummary);
    Attempt([&] {
        const Trova::GPLSrbFile srb(stream);
        for (std::uint32_t level = 0; level < srb.GetBitmapCount(); ++level) {
            TouchPixels(*srb.GetBitmap(level));
        }
        for (std::uint32_t corner = 0; corner < 4; ++corner) {
            srb.GetCorner(corner);
            srb.GetTextureCorner(corner);
        }
        WriteAndCopy(srb);
    });
}

} // namespace Ostrel::Fuzz
