#pragma once

#include "Trova/Palette.h"
#include "Util/BinaryStream.h"
#include "Util/CountedPtr.h"

namespace Ostrel::Trova {

// A 256-colour palette for a PCX picture, which keeps its palette in the file's last 768 bytes.
class PcxFile {
public:
    static constexpr std::uint32_t kPaletteEntries = 256;
    static constexpr std::uint32_t kPaletteBytes = 3 * kPaletteEntries;

    // A palette must be given (XAssertion otherwise).
    explicit PcxFile(Util::CountedPtr<Palette> palette);

    Util::CountedPtr<Palette> GetPalette() const { return palette_; }

    // Overwrites the stream's last 768 bytes with the palette's first 256 entries as red, green,
    // blue bytes; entries beyond a shorter palette are written black. Nothing else of the file is
    // read or checked. A stream shorter than a palette is refused with XFileFormat.
    void WritePalette(const Util::CountedPtr<Util::BinaryStream>& stream) const;

private:
    Util::CountedPtr<Palette> palette_;
};

} // namespace Ostrel::Trova
