#pragma once

#include "Trova/Bitmap.h"
#include "Trova/Palette.h"
#include "Util/BinaryStream.h"
#include "Util/CountedPtr.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Ostrel::Trova {

// A Windows BMP file held in its own pixel layout. Reads uncompressed files with the 40-byte
// information header at 1, 4, 8, 16, 24 or 32 bits, bottom-up or top-down; everything else
// (compressed files, other header versions, bit fields) is rejected as a format error.
// Pixel colours keep alpha only in memory: a BMP pixel is always opaque.
class DIB : public Bitmap {
public:
    // Reads the whole file; format errors name the path as given.
    explicit DIB(const std::string& path);
    // Reads a BMP from the stream's position (a file, an archive member or bytes in memory).
    explicit DIB(Util::BinaryStream& stream);
    // An empty bitmap. Paletted bit counts get a palette of as many entries as the file format
    // holds, all (0, 0, 0, 0) and not yet searchable: set its colours before SetPixel.
    explicit DIB(std::uint16_t bitCount);

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
    // Present for paletted bit counts and whenever a file supplied a colour table.
    Util::CountedPtr<Palette> GetPalette() const { return palette_; }

    // Writes the file; an existing file is replaced only when overwrite is true.
    void Save(const std::string& path, bool overwrite) const;
    void Save(Util::BinaryStream& stream) const;

private:
    // The fields of the file's information header, as held in memory.
    struct InfoHeader {
        std::int32_t width = 0;
        std::int32_t height = 0;
        std::uint16_t planes = 1;
        std::uint16_t bitCount = 0;
        std::uint32_t compression = 0;
        std::uint32_t imageSize = 0;
        std::int32_t horizontalResolution = 0;
        std::int32_t verticalResolution = 0;
        std::uint32_t coloursUsed = 0;
        std::uint32_t importantColours = 0;
    };

    void Read(Util::BinaryStream& stream, const std::string& name);
    void ReadColourTable(Util::BinaryStream& stream, std::uint32_t pixelOffset,
                         const std::string& name);
    void ReadPixels(Util::BinaryStream& stream);
    void CheckIndices(const std::string& name) const;
    void SetLayout();
    std::vector<std::uint8_t> EncodeHeaders(std::uint32_t tableEntries) const;
    std::vector<std::uint8_t> EncodeColourTable(std::uint32_t tableEntries) const;
    const std::uint8_t* StorageRow(std::uint32_t row) const;
    std::uint8_t* StorageRow(std::uint32_t row);

    InfoHeader header_;
    Util::CountedPtr<Palette> palette_;
    std::vector<std::uint8_t> pixels_;
    std::uint32_t stride_ = 0;
};

} // namespace Ostrel::Trova
