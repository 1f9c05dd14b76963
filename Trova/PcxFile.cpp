#include "Trova/PcxFile.h"

#include "Util/Exception.h"

#include <algorithm>
#include <array>

namespace Ostrel::Trova {

namespace {
constexpr char kSourceUnit[] = "PcxFile";

std::uint8_t ColourByte(float channel) {
    return static_cast<std::uint8_t>(ChannelToInt(channel, 8));
}
} // namespace

PcxFile::PcxFile(Util::CountedPtr<Palette> palette) : palette_(std::move(palette)) {
    OSTREL_ASSERT(palette_);
}

void PcxFile::WritePalette(const Util::CountedPtr<Util::BinaryStream>& stream) const {
    const std::uint64_t size = stream->GetSize();
    if (size < kPaletteBytes) {
        throw Util::XFileFormat(stream->GetName(), "PCX file too short for a palette");
    }
    std::array<std::uint8_t, kPaletteBytes> bytes{};
    const std::uint32_t count = std::min(palette_->GetCount(), kPaletteEntries);
    for (std::uint32_t index = 0; index < count; ++index) {
        const Colour& colour = palette_->GetColour(index);
        bytes[3 * index] = ColourByte(colour.GetRed());
        bytes[3 * index + 1] = ColourByte(colour.GetGreen());
        bytes[3 * index + 2] = ColourByte(colour.GetBlue());
    }
    stream->SetPosition(size - kPaletteBytes);
    stream->Write(kPaletteBytes, bytes.data());
}

} // namespace Ostrel::Trova
