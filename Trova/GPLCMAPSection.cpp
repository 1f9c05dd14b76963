#include "Trova/GPLCMAPSection.h"

#include "Trova/GPLSection.h"
#include "Util/Exception.h"

#include <vector>

namespace Ostrel::Trova {

namespace {
constexpr std::uint32_t kEntryBytes = 4;
constexpr unsigned kChannelBits = 8;

Colour DecodeEntry(const std::uint8_t* entry) {
    return Colour(IntToChannel(entry[2], kChannelBits), IntToChannel(entry[1], kChannelBits),
                  IntToChannel(entry[0], kChannelBits), IntToChannel(entry[3], kChannelBits));
}

void EncodeEntry(const Colour& colour, std::uint8_t* entry) {
    entry[0] = static_cast<std::uint8_t>(ChannelToInt(colour.GetBlue(), kChannelBits));
    entry[1] = static_cast<std::uint8_t>(ChannelToInt(colour.GetGreen(), kChannelBits));
    entry[2] = static_cast<std::uint8_t>(ChannelToInt(colour.GetRed(), kChannelBits));
    entry[3] = static_cast<std::uint8_t>(ChannelToInt(colour.GetAlpha(), kChannelBits));
}
} // namespace

GPLCMAPSection::GPLCMAPSection(Util::BinaryStream& stream) {
    GPLSectionHeader header;
    header.Read(stream);
    const auto fail = [&stream](const char* detail) {
        throw Util::XFileFormat(stream.GetName(), detail);
    };
    if (header.id != kCMAPSectionId) {
        fail("GPL palette id not CMAP");
    }
    if (header.version != 0) {
        fail("GPL palette unsupported version");
    }
    if (header.size % kEntryBytes != 0) {
        fail("GPL palette incorrect size");
    }
    // A palette larger than the rest of the stream cannot be read: refuse before allocating.
    if (header.size > stream.GetRemaining()) {
        throw Util::XFileRead(stream.GetName());
    }
    std::vector<std::uint8_t> entries(header.size);
    stream.Read(header.size, entries.data());
    const std::uint32_t count = header.size / kEntryBytes;
    palette_ = Util::MakeCounted<Palette>(count);
    for (std::uint32_t index = 0; index < count; ++index) {
        palette_->SetColour(index, DecodeEntry(&entries[std::size_t(index) * kEntryBytes]));
    }
}

void GPLCMAPSection::Write(Util::BinaryStream& stream) const {
    const std::uint32_t count = palette_->GetCount();
    GPLSectionHeader(kCMAPSectionId, 0, count * kEntryBytes).Write(stream);
    std::vector<std::uint8_t> entries(std::size_t(count) * kEntryBytes);
    for (std::uint32_t index = 0; index < count; ++index) {
        EncodeEntry(palette_->GetColour(index), &entries[std::size_t(index) * kEntryBytes]);
    }
    stream.Write(static_cast<std::uint32_t>(entries.size()), entries.data());
}

} // namespace Ostrel::Trova
