#pragma once

#include "Trova/Palette.h"
#include "Util/BinaryStream.h"
#include "Util/CountedPtr.h"

namespace Ostrel::Trova {

// A palette section ("CMAP"): entries of four bytes, blue, green, red and alpha.
class GPLCMAPSection {
public:
    // Reads one CMAP section at the stream's position into a new palette. Fails with XFileFormat
    // for a broken header and with XFileRead when the entries run past the end of the stream.
    explicit GPLCMAPSection(Util::BinaryStream& stream);
    explicit GPLCMAPSection(Util::CountedPtr<Palette> palette) : palette_(std::move(palette)) {}

    Util::CountedPtr<Palette> GetPalette() const { return palette_; }

    void Write(Util::BinaryStream& stream) const;

private:
    Util::CountedPtr<Palette> palette_;
};

} // namespace Ostrel::Trova
