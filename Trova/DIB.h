#pragma once

#include "Trova/Bitmap.h"
#include "Trova/Palette.h"
#include "Trova/PictureSummary.h"
#include "Util/BinaryStream.h"
#include "Util/CountedPtr.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Ostrel::Trova {

// Where one colour channel sits in a 16- or 32-bit pixel; a mask of 0 means the channel is absent.
struct ChannelMasks {
    std::uint32_t red = 0;
    std::uint32_t green = 0;
    std::uint32_t blue = 0;
    std::uint32_t alpha = 0;
    bool operator==(const ChannelMasks&) const = default;
};

// A Windows BMP file held in its own pixel layout. Reads what image editors write: the OS/2 and
// Windows header versions, 1 to 32 bits, run-length coded 4- and 8-bit pictures, 16- and 32-bit
// pictures with any channel masks (alpha included), bottom-up or top-down. Coded pictures are
// expanded on reading; pictures with embedded JPEG or PNG data are refused.
// Saving writes the classic 40-byte header, except for pictures whose channel masks differ from
// the classic layout (such as 32 bits with alpha), which get the 124-byte header with the masks.
class DIB : public Bitmap {
public:
    // The fields of a file's information header that a bitmap keeps.
    struct InfoHeader {
        std::int32_t width = 0;
        std::int32_t height = 0;
        std::uint16_t bitCount = 0;
        std::uint32_t imageSize = 0;
        std::int32_t horizontalResolution = 0;
        std::int32_t verticalResolution = 0;
        std::uint32_t coloursUsed = 0;
        std::uint32_t importantColours = 0;
    };
    // Reads the whole file; format errors name the path as given.
    explicit DIB(const std::string& path);
    // Reads a BMP from the stream's position (a file, an archive member or bytes in memory).
    explicit DIB(Util::BinaryStream& stream);
    // An empty bitmap. Paletted bit counts get a palette of as many entries as the file format
    // holds, all (0, 0, 0, 0) and not yet searchable: set its colours before SetPixel. With
    // alpha (32 bits only) the fourth byte of each pixel keeps the colour's alpha.
    explicit DIB(std::uint16_t bitCount, bool withAlpha = false);

    // Reads the headers and colour table only; fails as reading the whole file would for every
    // fault found there.
    static PictureSummary ReadSummary(Util::BinaryStream& stream);
    static PictureSummary ReadSummary(const std::string& path);

    // The pixel buffer is the file image; sharing is done through CountedPtr<DIB>, never by copy.
    DIB(const DIB&) = delete;
    DIB& operator=(const DIB&) = delete;

    std::uint32_t GetWidth() const override;
    std::uint32_t GetHeight() const override;
    // Makes the bitmap bottom-up with rows of zero bytes; bit count and palette stay.
    void SetSize(std::uint32_t height, std::uint32_t width) override;
    Colour GetPixel(std::uint32_t row, std::uint32_t column) const override;
    // Paletted bitmaps store the index of an equal palette colour, which must exist.
    void SetPixel(std::uint32_t row, std::uint32_t column, const Colour& colour) override;

    std::uint16_t GetBitCount() const { return header_.bitCount; }
    bool HasPalette() const;
    bool HasAlpha() const { return masks_.alpha != 0; }
    // Present for paletted bit counts and whenever a file supplied a colour table.
    Util::CountedPtr<Palette> GetPalette() const override { return palette_; }
    std::optional<std::uint32_t> GetPaletteIndex(std::uint32_t row,
                                                 std::uint32_t column) const override;

    // Writes the file; an existing file is replaced only when overwrite is true.
    void Save(const std::string& path, bool overwrite) const;
    void Save(Util::BinaryStream& stream) const;

private:
    void Read(Util::BinaryStream& stream, const std::string& name);
    void ReadPixels(Util::BinaryStream& stream, std::uint32_t compression, std::uint32_t codedSize,
                    const std::string& name);
    void ExpandRunLengths(const std::vector<std::uint8_t>& coded, const std::string& name);
    void CheckIndices(const std::string& name) const;
    void AdoptUndeclaredAlpha();
    void SetLayout();
    bool HasClassicLayout() const;
    std::vector<std::uint8_t> EncodeHeaders(std::uint32_t tableEntries) const;
    std::vector<std::uint8_t> EncodeColourTable(std::uint32_t tableEntries) const;
    const std::uint8_t* StorageRow(std::uint32_t row) const;
    std::uint8_t* StorageRow(std::uint32_t row);

    InfoHeader header_;
    ChannelMasks masks_;
    Util::CountedPtr<Palette> palette_;
    std::vector<std::uint8_t> pixels_;
    std::uint32_t stride_ = 0;
};

} // namespace Ostrel::Trova
