#pragma once

#include "Trova/Colour.h"
#include "Trova/GPLBMAPSection.h"
#include "Trova/Palette.h"
#include "Util/BinaryStream.h"
#include "Util/CountedPtr.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Ostrel::Trova {

// The MIP versions: the GPL header and the N4 header, which adds a value and a name.
constexpr std::uint32_t kGPLMipVersion = 0;
constexpr std::uint32_t kN4MipVersion = 1;

// The highest MIP pixel format: the bitmap formats without the block formats.
constexpr std::uint8_t kLastMipFormat = 8;

// Palettised GPL textures hold 4-bit indices.
constexpr std::uint32_t kMaxPaletteColours = 16;

// XUsage when a palette is asked for with more colours than a 4-bit index reaches.
void CheckPaletteColourCount(bool usePalette, std::uint32_t colourCount);

// What a new texture asks of its pixel format.
struct MipFormatRequest {
    bool usePalette = false;
    std::uint32_t colourCount = 0;
    std::uint8_t redBits = 0;
    std::uint8_t greenBits = 0;
    std::uint8_t blueBits = 0;
    std::uint8_t alphaBits = 0;
    std::uint32_t transparency = 0;
};

// The MIP format among codes firstFormat .. firstFormat + formatCount - 1 that comes closest to
// the request: a missing bit costs ten times an extra one, a missing transparency class a hundred
// times; the lowest code wins a tie. XUsage when a palette of more than 16 colours is asked for or
// no code of the right kind (palettised or not) is in range.
std::uint8_t ChooseMipFormat(const MipFormatRequest& request, std::uint32_t firstFormat,
                             std::uint32_t formatCount);

// A MIP image: the " MIP" section with its MPHD header, an optional shared CMAP palette and one
// BMAP section per level, level 0 the largest. Used whole by GPLMipFile and inside SRB files.
class GPLMIPSection {
public:
    // Reads a MIP image from the stream's position. An MPHD version other than expectedVersion is
    // refused. Fails as a whole with XFileFormat (or the stream's XFileRead). With
    // StoredData::Skip the levels' pixel data is passed over (see StoredData).
    GPLMIPSection(Util::BinaryStream& stream, std::uint32_t expectedVersion,
                  StoredData storedData = StoredData::Keep);
    // A new image of levelCount levels, halving from height x width (both powers of 2, XUsage
    // otherwise), in the format ChooseMipFormat picks. The palettes are empty and left to the
    // caller to fill: one shared palette of colourCount entries, or one per level with
    // individualPalettes.
    GPLMIPSection(std::uint32_t height, std::uint32_t width, const MipFormatRequest& request,
                  bool individualPalettes, bool horizontalRepeat, bool verticalRepeat,
                  std::uint32_t levelCount, std::uint32_t firstFormat, std::uint32_t formatCount,
                  std::uint32_t version);
    // A deep copy: palettes and levels are copied, not shared.
    GPLMIPSection(const GPLMIPSection& other);
    GPLMIPSection& operator=(const GPLMIPSection&) = delete;

    TextureSummary Summarise() const;

    // Writes the image at the stream's position. The mean colour is computed afresh from level 0.
    void Write(Util::BinaryStream& stream) const;

    std::uint32_t GetBitmapCount() const { return static_cast<std::uint32_t>(levels_.size()); }
    // The level itself, shared. The index must be below GetBitmapCount() (XAssertion otherwise).
    Util::CountedPtr<GPLBMAPSection> GetBitmap(std::uint32_t index) const;
    // The size of level 0; 0 for an image without levels.
    std::uint32_t GetWidth() const;
    std::uint32_t GetHeight() const;
    bool IsPalettised() const { return GPLBMAPSection::IsPalettised(format_); }
    bool HasIndividualPalettes() const;
    // Empty when the format is not palettised.
    Util::CountedPtr<Palette> GetBitmapPalette(std::uint32_t index) const;
    // Level 0's palette; without levels the shared palette, if any.
    Util::CountedPtr<Palette> GetPalette() const;
    // As read from the header; (0, 0, 0, 0) for a new image.
    Colour GetMeanColour() const { return meanColour_; }
    std::uint8_t GetFormat() const { return format_; }
    std::uint8_t GetRedBits() const;
    std::uint8_t GetGreenBits() const;
    std::uint8_t GetBlueBits() const;
    std::uint8_t GetAlphaBits() const;
    std::uint32_t GetTransparency() const;
    bool GetHorizontalRepeat() const { return horizontalRepeat_; }
    bool GetVerticalRepeat() const { return verticalRepeat_; }
    std::uint32_t GetVersion() const { return version_; }
    std::uint32_t GetN4Value() const { return n4Value_; }
    const std::string& GetN4Name() const { return n4Name_; }

private:
    // Returns the level count.
    std::uint32_t ReadHeader(Util::BinaryStream& stream, std::uint32_t expectedVersion);
    void ReadN4Fields(Util::BinaryStream& stream);
    void ReadSharedPalette(Util::BinaryStream& stream);
    void ReadLevels(Util::BinaryStream& stream, std::uint32_t levelCount, StoredData storedData);
    void CheckLevel(const Util::BinaryStream& stream, const GPLBMAPSection& level,
                    std::uint32_t index) const;
    void WriteHeader(Util::BinaryStream& stream) const;
    void WriteN4Fields(Util::BinaryStream& stream) const;
    Colour ComputeMeanColour() const;

    std::vector<Util::CountedPtr<GPLBMAPSection>> levels_;
    std::uint32_t log2Width_ = 0;
    std::uint32_t log2Height_ = 0;
    Util::CountedPtr<Palette> palette_;
    std::uint8_t format_ = 0;
    Colour meanColour_;
    bool verticalRepeat_ = true;
    bool horizontalRepeat_ = true;
    std::uint32_t version_ = kGPLMipVersion;
    std::uint32_t n4Value_ = 0;
    std::string n4Name_;
};

} // namespace Ostrel::Trova
