#include "Trova/GPLSrbFile.h"

#include "Trova/GPLSection.h"
#include "Trova/TextureSummary.h"
#include "Util/Exception.h"

#include <bit>

// Layout: "SRB " header (size 84: the two sections below, headers included), "SRHD" with six
// 32-bit floats, "SRH2" with nine 32-bit values, then a GPL MIP image from offset 96.

namespace Ostrel::Trova {

namespace {
constexpr char kSourceUnit[] = "GPLSrbFile";

constexpr std::uint32_t kSRBSectionId = MakeSectionId('S', 'R', 'B', 0x20);
constexpr std::uint32_t kSRHDSectionId = MakeSectionId('S', 'R', 'H', 'D');
constexpr std::uint32_t kSRH2SectionId = MakeSectionId('S', 'R', 'H', '2');
constexpr std::uint32_t kWordSize = 4;

// What a header section must be, with the message for each field that is not.
struct SectionRule {
    std::uint32_t id;
    std::uint32_t size;
    const char* idMessage;
    const char* versionMessage;
    const char* sizeMessage;
};

void ReadSectionHeader(Util::BinaryStream& stream, const SectionRule& rule) {
    GPLSectionHeader header;
    header.Read(stream);
    const char* failure = header.id != rule.id       ? rule.idMessage
                          : header.version != 0      ? rule.versionMessage
                          : header.size != rule.size ? rule.sizeMessage
                                                     : nullptr;
    if (failure) {
        throw Util::XFileFormat(stream.GetName(), failure);
    }
}

template <std::size_t N> std::array<std::uint32_t, N> ReadWords(Util::BinaryStream& stream) {
    std::array<std::uint8_t, N * kWordSize> bytes;
    stream.Read(static_cast<std::uint32_t>(bytes.size()), bytes.data());
    std::array<std::uint32_t, N> words;
    for (std::size_t i = 0; i < N; ++i) {
        words[i] = Util::ReadU32(&bytes[i * kWordSize]);
    }
    return words;
}

template <std::size_t N>
void WriteWords(Util::BinaryStream& stream, const std::array<std::uint32_t, N>& words) {
    std::array<std::uint8_t, N * kWordSize> bytes;
    for (std::size_t i = 0; i < N; ++i) {
        Util::WriteU32(&bytes[i * kWordSize], words[i]);
    }
    stream.Write(static_cast<std::uint32_t>(bytes.size()), bytes.data());
}

template <std::size_t N> std::array<float, N> ToFloats(const std::array<std::uint32_t, N>& words) {
    std::array<float, N> floats;
    for (std::size_t i = 0; i < N; ++i) {
        floats[i] = std::bit_cast<float>(words[i]);
    }
    return floats;
}

template <std::size_t N> std::array<std::uint32_t, N> ToWords(const std::array<float, N>& floats) {
    std::array<std::uint32_t, N> words;
    for (std::size_t i = 0; i < N; ++i) {
        words[i] = std::bit_cast<std::uint32_t>(floats[i]);
    }
    return words;
}

constexpr std::uint32_t kGeometrySize = 6 * kWordSize;
constexpr std::uint32_t kValuesSize = GPLSrbFile::kValueCount * kWordSize;
constexpr std::uint32_t kSRBSize = 2 * GPLSectionHeader::kSize + kGeometrySize + kValuesSize;

constexpr SectionRule kSRBRule{kSRBSectionId, kSRBSize, "GPL srb file id not SRB",
                               "GPL srb file unsupported version", "GPL srb size mismatch"};
constexpr SectionRule kSRHDRule{kSRHDSectionId, kGeometrySize, "GPL srb header not found",
                                "GPL srb file header unsupported version",
                                "GPL srb header incorrect size"};
constexpr SectionRule kSRH2Rule{kSRH2SectionId, kValuesSize, "GPL srb header 2 not found",
                                "GPL srb file header 2 unsupported version",
                                "GPL srb header 2 incorrect size"};

struct HeaderWords {
    std::array<std::uint32_t, kGeometrySize / kWordSize> geometry;
    std::array<std::uint32_t, GPLSrbFile::kValueCount> values;
};

// The sections in front of the MIP image, from the start of the stream.
HeaderWords ReadHeaderSections(Util::BinaryStream& input) {
    input.SetPosition(0);
    ReadSectionHeader(input, kSRBRule);
    ReadSectionHeader(input, kSRHDRule);
    const auto geometry = ReadWords<kGeometrySize / kWordSize>(input);
    ReadSectionHeader(input, kSRH2Rule);
    return {geometry, ReadWords<GPLSrbFile::kValueCount>(input)};
}
} // namespace

GPLSrbFile::GPLSrbFile(const Util::CountedPtr<Util::BinaryStream>& stream) {
    static_assert(kGeometrySize == kGeometryFieldCount * kWordSize);
    const HeaderWords words = ReadHeaderSections(*stream);
    geometry_ = ToFloats(words.geometry);
    values_ = words.values;
    mip_ = Util::MakeCounted<GPLMIPSection>(*stream, kGPLMipVersion);
}

TextureSummary GPLSrbFile::ReadSummary(Util::BinaryStream& stream) {
    ReadHeaderSections(stream);
    return GPLMIPSection(stream, kGPLMipVersion, StoredData::Skip).Summarise();
}

GPLSrbFile::GPLSrbFile(std::uint32_t height, std::uint32_t width, std::uint8_t redBits,
                       std::uint8_t greenBits, std::uint8_t blueBits, std::uint8_t alphaBits,
                       std::uint32_t transparency, bool usePalette, std::uint32_t colourCount,
                       bool individualPalettes, std::uint32_t levelCount,
                       const std::array<WorldPoint, 4>& worldCorners,
                       const std::array<TexturePoint, 4>& textureCorners, std::uint32_t firstFormat,
                       std::uint32_t formatCount)
    : GPLMipLevels(Util::MakeCounted<GPLMIPSection>(
          height, width,
          MipFormatRequest{usePalette, colourCount, redBits, greenBits, blueBits, alphaBits,
                           transparency},
          individualPalettes, false, false, levelCount, firstFormat, formatCount, kGPLMipVersion)) {
    SetGeometry(worldCorners, textureCorners, width, height);
}

GPLSrbFile::GPLSrbFile(const GPLSrbFile& other)
    : GPLMipLevels(other), geometry_(other.geometry_), values_(other.values_) {}

// The corners span the rectangle (x to the right, z upwards) around the object's origin; the
// texture corners give the used part of the picture as fractions of its size.
void GPLSrbFile::SetGeometry(const std::array<WorldPoint, 4>& worldCorners,
                             const std::array<TexturePoint, 4>& textureCorners, double pixelWidth,
                             double pixelHeight) {
    const WorldPoint& topLeft = worldCorners[0];
    const WorldPoint& bottomRight = worldCorners[2];
    const double width = bottomRight.x - topLeft.x;
    const double height = topLeft.z - bottomRight.z;
    const double usedWidth = textureCorners[2].u * pixelWidth;
    const double usedHeight = textureCorners[2].v * pixelHeight;
    geometry_[kRectangleWidth] = static_cast<float>(width);
    geometry_[kRectangleHeight] = static_cast<float>(height);
    geometry_[kUsedWidth] = static_cast<float>(usedWidth);
    geometry_[kUsedHeight] = static_cast<float>(usedHeight);
    geometry_[kHorizontalCentre] = static_cast<float>(-topLeft.x / width * usedWidth);
    geometry_[kVerticalCentre] = static_cast<float>((bottomRight.z / height + 1) * usedHeight);
}

WorldPoint GPLSrbFile::GetCorner(std::uint32_t index) const {
    const double width = geometry_[kRectangleWidth];
    const double height = geometry_[kRectangleHeight];
    const double hc = double(geometry_[kHorizontalCentre]) / geometry_[kUsedWidth];
    const double vc = 1 - double(geometry_[kVerticalCentre]) / geometry_[kUsedHeight];
    const double left = -hc * width;
    const double right = (1 - hc) * width;
    const double top = (1 - vc) * height;
    const double bottom = -vc * height;
    switch (index) {
    case 1:
        return {right, 0, top};
    case 2:
        return {right, 0, bottom};
    case 3:
        return {left, 0, bottom};
    default:
        return {left, 0, top};
    }
}

TexturePoint GPLSrbFile::GetTextureCorner(std::uint32_t index) const {
    const double u = double(geometry_[kUsedWidth]) / GetWidth();
    const double v = double(geometry_[kUsedHeight]) / GetHeight();
    switch (index) {
    case 1:
        return {u, 0};
    case 2:
        return {u, v};
    case 3:
        return {0, v};
    default:
        return {0, 0};
    }
}

std::uint32_t GPLSrbFile::GetValue(std::uint32_t index) const {
    OSTREL_ASSERT(index < kValueCount);
    return values_[index];
}

void GPLSrbFile::Write(const Util::CountedPtr<Util::BinaryStream>& stream) const {
    Util::BinaryStream& output = *stream;
    output.SetPosition(0);
    GPLSectionHeader(kSRBSectionId, 0, kSRBSize).Write(output);
    GPLSectionHeader(kSRHDSectionId, 0, kGeometrySize).Write(output);
    WriteWords(output, ToWords(geometry_));
    GPLSectionHeader(kSRH2SectionId, 0, kValuesSize).Write(output);
    WriteWords(output, values_);
    mip_->Write(output);
}

Util::CountedPtr<SrbFile> GPLSrbFile::Clone() const {
    return Util::MakeCounted<GPLSrbFile>(*this);
}

} // namespace Ostrel::Trova
