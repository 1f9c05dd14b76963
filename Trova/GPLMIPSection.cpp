#include "Trova/GPLMIPSection.h"

#include "Trova/BitmapUtils.h"
#include "Trova/GPLCMAPSection.h"
#include "Trova/GPLSection.h"
#include "Trova/TextureSummary.h"
#include "Util/Exception.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>

// A MIP image is " MIP" header, MPHD header (GPL: 18 payload bytes; N4: 38, adding a value and a
// 16-byte name), two blanks, for palettised formats an optional shared CMAP, then one BMAP per
// level. Header fields come from untrusted files: level sizes are compared as 64-bit values so
// that absurd log2 sizes simply fail to match, and levels are read one by one (never reserved by
// the declared count), so a count larger than the stream runs into the stream's end.

namespace Ostrel::Trova {

namespace {
constexpr char kSourceUnit[] = "GPLMIPSection";

constexpr std::uint32_t kMipSectionId = MakeSectionId(0x20, 'M', 'I', 'P');
constexpr std::uint32_t kMPHDSectionId = MakeSectionId('M', 'P', 'H', 'D');
constexpr std::uint32_t kGPLHeaderSize = 18;
constexpr std::uint32_t kN4HeaderSize = 38;
constexpr std::uint32_t kN4NameSize = 16;
constexpr std::uint32_t kHeaderFillerSize = 2;
constexpr std::uint8_t kNoHorizontalRepeat = 1;
constexpr std::uint8_t kNoVerticalRepeat = 2;
constexpr std::uint32_t kSectionIdSize = 4;

[[noreturn]] void Fail(const Util::BinaryStream& stream, const char* detail) {
    throw Util::XFileFormat(stream.GetName(), detail);
}

const PixelFormatInfo& InfoOf(std::uint8_t format) {
    return GetFormatInfo(ToPixelFormat(format));
}

// The size of a level along a side of 2^log2Size pixels; sizes that reach 1 stay 1. Sizes beyond
// 32 bits all become 2^32, which no level's size equals.
std::uint64_t LevelSize(std::uint32_t log2Size, std::uint32_t level) {
    const std::uint32_t exponent = log2Size > level ? log2Size - level : 0;
    return std::uint64_t(1) << std::min(exponent, 32u);
}

// The smallest n with 2^n at least size.
std::uint32_t CeilLog2(std::uint32_t size) {
    std::uint32_t exponent = 0;
    while ((std::uint64_t(1) << exponent) < size) {
        ++exponent;
    }
    return exponent;
}

// A GPL image stops at the smaller side's 1-pixel level; an N4 image may go on to the larger's.
bool LevelCountFits(std::uint32_t version, std::uint32_t count, std::uint32_t log2Width,
                    std::uint32_t log2Height) {
    const std::uint64_t smaller = std::min(log2Width, log2Height);
    const std::uint64_t larger = std::max(log2Width, log2Height);
    if (version == kGPLMipVersion && count > smaller + 1) {
        return false;
    }
    return count <= larger + 1;
}

std::uint64_t Cost(std::uint32_t wanted, std::uint32_t offered, std::uint64_t missingWeight) {
    return offered < wanted ? missingWeight * (wanted - offered) : offered - wanted;
}

std::uint64_t Score(const MipFormatRequest& request, const PixelFormatInfo& offered) {
    constexpr std::uint64_t kMissingBit = 10;
    constexpr std::uint64_t kMissingClass = 100;
    return Cost(request.redBits, offered.red, kMissingBit) +
           Cost(request.greenBits, offered.green, kMissingBit) +
           Cost(request.blueBits, offered.blue, kMissingBit) +
           Cost(request.alphaBits, offered.alpha, kMissingBit) +
           Cost(request.transparency, static_cast<std::uint32_t>(offered.transparency),
                kMissingClass);
}

std::uint8_t ColourByte(float channel) {
    return static_cast<std::uint8_t>(ChannelToInt(channel, 8));
}
} // namespace

void CheckPaletteColourCount(bool usePalette, std::uint32_t colourCount) {
    if (usePalette && colourCount > kMaxPaletteColours) {
        throw Util::XUsage("GPL mip only supports 16 colour palettes");
    }
}

std::uint8_t ChooseMipFormat(const MipFormatRequest& request, std::uint32_t firstFormat,
                             std::uint32_t formatCount) {
    CheckPaletteColourCount(request.usePalette, request.colourCount);
    const std::uint64_t end =
        std::min<std::uint64_t>(std::uint64_t(firstFormat) + formatCount, kLastMipFormat + 1);
    std::optional<std::uint8_t> best;
    std::uint64_t bestScore = 0;
    for (std::uint64_t code = firstFormat; code < end; ++code) {
        const auto format = static_cast<std::uint8_t>(code);
        if (IsPalettised(ToPixelFormat(format)) != request.usePalette) {
            continue;
        }
        const std::uint64_t score = Score(request, InfoOf(format));
        if (!best || score < bestScore) {
            best = format;
            bestScore = score;
        }
    }
    if (!best) {
        throw Util::XUsage("N4 mip palettes not supported");
    }
    return *best;
}

// ---- Reading

GPLMIPSection::GPLMIPSection(Util::BinaryStream& stream, std::uint32_t expectedVersion,
                             StoredData storedData) {
    OSTREL_ASSERT(expectedVersion <= kN4MipVersion);
    GPLSectionHeader header;
    header.Read(stream);
    if (header.id != kMipSectionId) {
        Fail(stream, "GPL mip id not MIP");
    }
    if (header.version != 0) {
        Fail(stream, "GPL mip unsupported version");
    }
    const std::uint64_t start = stream.GetPosition();
    const std::uint32_t levelCount = ReadHeader(stream, expectedVersion);
    ReadSharedPalette(stream);
    ReadLevels(stream, levelCount, storedData);
    if (stream.GetPosition() != start + header.size) {
        Fail(stream, "GPL mip incorrect size");
    }
}

std::uint32_t GPLMIPSection::ReadHeader(Util::BinaryStream& stream, std::uint32_t expectedVersion) {
    GPLSectionHeader header;
    header.Read(stream);
    if (header.id != kMPHDSectionId) {
        Fail(stream, "GPL mip header not found");
    }
    if (header.version != expectedVersion) {
        Fail(stream, "GPL mip header unsupported version");
    }
    if (header.version == kGPLMipVersion && header.size != kGPLHeaderSize) {
        Fail(stream, "GPL mip header incorrect size");
    }
    if (header.version == kN4MipVersion && header.size != kN4HeaderSize) {
        Fail(stream, "N4 mip header incorrect size");
    }
    std::array<std::uint8_t, kGPLHeaderSize> payload;
    stream.Read(kGPLHeaderSize, payload.data());
    const std::uint8_t repeat = payload[13];
    if ((repeat & ~(kNoHorizontalRepeat | kNoVerticalRepeat)) != 0) {
        Fail(stream, "GPL mip repeat value unknown");
    }
    const std::uint32_t log2Width = Util::ReadU32(&payload[1]);
    const std::uint32_t log2Height = Util::ReadU32(&payload[5]);
    const std::uint32_t levelCount = Util::ReadU32(&payload[14]);
    if (!LevelCountFits(header.version, levelCount, log2Width, log2Height)) {
        Fail(stream, "GPL mip bitmap count incorrect");
    }
    format_ = payload[0];
    log2Width_ = log2Width;
    log2Height_ = log2Height;
    meanColour_ = Colour(IntToChannel(payload[11], 8), IntToChannel(payload[10], 8),
                         IntToChannel(payload[9], 8), IntToChannel(payload[12], 8));
    horizontalRepeat_ = (repeat & kNoHorizontalRepeat) == 0;
    verticalRepeat_ = (repeat & kNoVerticalRepeat) == 0;
    if (format_ > kLastMipFormat) {
        Fail(stream, "GPL MIP file mip header unknown format");
    }
    version_ = header.version;
    if (version_ == kN4MipVersion) {
        ReadN4Fields(stream);
    }
    std::array<std::uint8_t, kHeaderFillerSize> filler;
    stream.Read(kHeaderFillerSize, filler.data());
    if (filler[0] != kFillerByte || filler[1] != kFillerByte) {
        Fail(stream, "GPL MIP file mip header fill byte 0 not blank");
    }
    return levelCount;
}

void GPLMIPSection::ReadN4Fields(Util::BinaryStream& stream) {
    std::array<std::uint8_t, 4 + kN4NameSize> fields;
    stream.Read(static_cast<std::uint32_t>(fields.size()), fields.data());
    n4Value_ = Util::ReadU32(fields.data());
    const auto nameBegin = fields.begin() + 4;
    n4Name_.assign(nameBegin, std::find(nameBegin, fields.end(), 0));
}

void GPLMIPSection::ReadSharedPalette(Util::BinaryStream& stream) {
    // An image without levels may end right here; there is then no id to look at.
    if (IsPalettised() && stream.GetRemaining() >= kSectionIdSize &&
        PeekSectionId(stream) == kCMAPSectionId) {
        palette_ = GPLCMAPSection(stream).GetPalette();
    }
}

void GPLMIPSection::ReadLevels(Util::BinaryStream& stream, std::uint32_t levelCount,
                               StoredData storedData) {
    for (std::uint32_t index = 0; index < levelCount; ++index) {
        auto level = Util::MakeCounted<GPLBMAPSection>(stream, palette_, 0, storedData);
        CheckLevel(stream, *level, index);
        levels_.push_back(level);
    }
}

void GPLMIPSection::CheckLevel(const Util::BinaryStream& stream, const GPLBMAPSection& level,
                               std::uint32_t index) const {
    if (level.GetHeight() != LevelSize(log2Height_, index)) {
        Fail(stream, "GPL bitmap file height mismatch");
    }
    if (level.GetWidth() != LevelSize(log2Width_, index)) {
        Fail(stream, "GPL bitmap file width mismatch");
    }
    const PixelFormatInfo& wanted = InfoOf(format_);
    const PixelFormatInfo& found = InfoOf(level.GetFormat());
    if (found.red != wanted.red) {
        Fail(stream, "GPL bitmap red mismatch");
    }
    if (found.green != wanted.green) {
        Fail(stream, "GPL bitmap green mismatch");
    }
    if (found.blue != wanted.blue) {
        Fail(stream, "GPL bitmap blue mismatch");
    }
    if (found.alpha != wanted.alpha) {
        Fail(stream, "GPL bitmap alpha mismatch");
    }
    if (found.transparency != wanted.transparency) {
        Fail(stream, "GPL bitmap transparency mismatch");
    }
    // Formats 2 and 7 have the same bits; a level must still be palettised exactly when the
    // image is, or the image's palette answers would not fit its levels.
    const bool ownPaletteWanted =
        palette_ ? false : (levels_.empty() ? level.HasOwnPalette() : levels_[0]->HasOwnPalette());
    if (level.IsPalettised() != IsPalettised() ||
        (IsPalettised() && level.HasOwnPalette() != ownPaletteWanted)) {
        Fail(stream, "GPL bitmap palette mismatch");
    }
}

// ---- Creating and copying

GPLMIPSection::GPLMIPSection(std::uint32_t height, std::uint32_t width,
                             const MipFormatRequest& request, bool individualPalettes,
                             bool horizontalRepeat, bool verticalRepeat, std::uint32_t levelCount,
                             std::uint32_t firstFormat, std::uint32_t formatCount,
                             std::uint32_t version)
    : log2Width_(CeilLog2(width)), log2Height_(CeilLog2(height)), verticalRepeat_(verticalRepeat),
      horizontalRepeat_(horizontalRepeat), version_(version) {
    OSTREL_ASSERT(version <= kN4MipVersion);
    if ((std::uint64_t(1) << log2Height_) != height || (std::uint64_t(1) << log2Width_) != width) {
        throw Util::XUsage("Bitmap dimension not a power of 2");
    }
    format_ = ChooseMipFormat(request, firstFormat, formatCount);
    const bool ownPalettes = individualPalettes && IsPalettised();
    if (IsPalettised() && !ownPalettes) {
        palette_ = Util::MakeCounted<Palette>(request.colourCount);
    }
    for (std::uint32_t index = 0; index < levelCount; ++index) {
        auto level = Util::MakeCounted<GPLBMAPSection>(format_, ownPalettes, request.colourCount,
                                                       palette_, 0);
        level->SetSize(std::max(height >> std::min(index, 31u), 1u),
                       std::max(width >> std::min(index, 31u), 1u));
        levels_.push_back(level);
    }
}

GPLMIPSection::GPLMIPSection(const GPLMIPSection& other)
    : log2Width_(other.log2Width_), log2Height_(other.log2Height_), format_(other.format_),
      meanColour_(other.meanColour_), verticalRepeat_(other.verticalRepeat_),
      horizontalRepeat_(other.horizontalRepeat_), version_(other.version_),
      n4Value_(other.n4Value_), n4Name_(other.n4Name_) {
    if (other.palette_) {
        palette_ = Util::MakeCounted<Palette>(*other.palette_);
    }
    for (const auto& level : other.levels_) {
        levels_.push_back(level->Clone(palette_));
    }
}

// ---- Writing

void GPLMIPSection::Write(Util::BinaryStream& stream) const {
    const std::uint64_t start = stream.GetPosition();
    GPLSectionHeader(kMipSectionId, 0, 0).Write(stream);
    WriteHeader(stream);
    if (palette_) {
        GPLCMAPSection(palette_).Write(stream);
    }
    for (const auto& level : levels_) {
        level->Write(stream);
    }
    const std::uint64_t end = stream.GetPosition();
    const std::uint64_t size = end - start - GPLSectionHeader::kSize;
    OSTREL_ASSERT(size <= std::numeric_limits<std::uint32_t>::max());
    stream.SetPosition(start);
    GPLSectionHeader(kMipSectionId, 0, static_cast<std::uint32_t>(size)).Write(stream);
    stream.SetPosition(end);
}

void GPLMIPSection::WriteHeader(Util::BinaryStream& stream) const {
    const bool n4 = version_ == kN4MipVersion;
    GPLSectionHeader(kMPHDSectionId, version_, n4 ? kN4HeaderSize : kGPLHeaderSize).Write(stream);
    std::array<std::uint8_t, kGPLHeaderSize> payload;
    const Colour mean = ComputeMeanColour();
    payload[0] = format_;
    Util::WriteU32(&payload[1], log2Width_);
    Util::WriteU32(&payload[5], log2Height_);
    payload[9] = ColourByte(mean.GetBlue());
    payload[10] = ColourByte(mean.GetGreen());
    payload[11] = ColourByte(mean.GetRed());
    payload[12] = ColourByte(mean.GetAlpha());
    payload[13] = static_cast<std::uint8_t>((horizontalRepeat_ ? 0 : kNoHorizontalRepeat) |
                                            (verticalRepeat_ ? 0 : kNoVerticalRepeat));
    Util::WriteU32(&payload[14], GetBitmapCount());
    stream.Write(kGPLHeaderSize, payload.data());
    if (n4) {
        WriteN4Fields(stream);
    }
    const std::array<std::uint8_t, kHeaderFillerSize> filler{kFillerByte, kFillerByte};
    stream.Write(kHeaderFillerSize, filler.data());
}

void GPLMIPSection::WriteN4Fields(Util::BinaryStream& stream) const {
    std::array<std::uint8_t, 4 + kN4NameSize> fields{};
    Util::WriteU32(fields.data(), n4Value_);
    std::copy_n(n4Name_.begin(), std::min<std::size_t>(n4Name_.size(), kN4NameSize),
                fields.begin() + 4);
    stream.Write(static_cast<std::uint32_t>(fields.size()), fields.data());
}

// The alpha-weighted mean of level 0. An image without levels keeps the colour it was read with.
Colour GPLMIPSection::ComputeMeanColour() const {
    if (levels_.empty()) {
        return meanColour_;
    }
    const GPLBMAPSection& level = *levels_[0];
    BitmapSimple mean;
    Shrink(level, level.GetHeight(), level.GetWidth(), mean);
    return mean.GetPixel(0, 0);
}

// ---- Queries

TextureSummary GPLMIPSection::Summarise() const {
    if (levels_.empty()) {
        return {};
    }
    // Reading made sure that every level has the image's bits, transparency and kind of palette.
    TextureSummary summary = levels_[0]->Summarise();
    summary.levels.clear();
    for (const auto& level : levels_) {
        summary.levels.push_back({level->GetWidth(), level->GetHeight()});
    }
    summary.individualPalettes = HasIndividualPalettes();
    return summary;
}

Util::CountedPtr<GPLBMAPSection> GPLMIPSection::GetBitmap(std::uint32_t index) const {
    OSTREL_ASSERT(index < levels_.size());
    return levels_[index];
}

std::uint32_t GPLMIPSection::GetWidth() const {
    return levels_.empty() ? 0 : levels_[0]->GetWidth();
}

std::uint32_t GPLMIPSection::GetHeight() const {
    return levels_.empty() ? 0 : levels_[0]->GetHeight();
}

bool GPLMIPSection::HasIndividualPalettes() const {
    return !levels_.empty() && levels_[0]->HasOwnPalette();
}

Util::CountedPtr<Palette> GPLMIPSection::GetBitmapPalette(std::uint32_t index) const {
    return GetBitmap(index)->GetPalette();
}

Util::CountedPtr<Palette> GPLMIPSection::GetPalette() const {
    return levels_.empty() ? palette_ : levels_[0]->GetPalette();
}

std::uint8_t GPLMIPSection::GetRedBits() const {
    return InfoOf(format_).red;
}

std::uint8_t GPLMIPSection::GetGreenBits() const {
    return InfoOf(format_).green;
}

std::uint8_t GPLMIPSection::GetBlueBits() const {
    return InfoOf(format_).blue;
}

std::uint8_t GPLMIPSection::GetAlphaBits() const {
    return InfoOf(format_).alpha;
}

std::uint32_t GPLMIPSection::GetTransparency() const {
    return static_cast<std::uint32_t>(InfoOf(format_).transparency);
}

} // namespace Ostrel::Trova
