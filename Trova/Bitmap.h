#pragma once

#include "Trova/Colour.h"
#include "Util/CountedPtr.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace Ostrel::Trova {

class Palette;

// How a game file stores a picture: its pixel format code and compression.
struct StoredFormat {
    std::uint32_t format = 0;
    std::uint32_t compression = 0;
    bool operator==(const StoredFormat&) const = default;
};

// An abstract rectangle of colours, row 0 at the top. Sizes are given rows first. Row and column
// must be below the height and width; implementations do not check them.
class Bitmap {
public:
    virtual ~Bitmap() = default;
    virtual std::uint32_t GetWidth() const = 0;
    virtual std::uint32_t GetHeight() const = 0;
    virtual void SetSize(std::uint32_t height, std::uint32_t width) = 0;
    virtual Colour GetPixel(std::uint32_t row, std::uint32_t column) const = 0;
    virtual void SetPixel(std::uint32_t row, std::uint32_t column, const Colour& colour) = 0;
    // Why the pixels of a bitmap read from a file cannot be set; nullptr when they can.
    virtual const char* GetWriteProblem() const { return nullptr; }
    // Empty for a picture that no game file holds.
    virtual std::optional<StoredFormat> GetStoredFormat() const { return std::nullopt; }
    // The colour table a picture carries; empty when it has none.
    virtual Util::CountedPtr<Palette> GetPalette() const;
    // The palette index a pixel is stored as; empty for pictures stored as colours.
    virtual std::optional<std::uint32_t> GetPaletteIndex(std::uint32_t /*row*/,
                                                         std::uint32_t /*column*/) const {
        return std::nullopt;
    }
};

// The plain in-memory bitmap that holds every colour exactly.
class BitmapSimple : public Bitmap {
public:
    BitmapSimple() = default;
    BitmapSimple(std::uint32_t height, std::uint32_t width) { SetSize(height, width); }

    std::uint32_t GetWidth() const override { return width_; }
    std::uint32_t GetHeight() const override { return height_; }
    void SetSize(std::uint32_t height, std::uint32_t width) override;
    Colour GetPixel(std::uint32_t row, std::uint32_t column) const override {
        return pixels_[std::size_t(row) * width_ + column];
    }
    void SetPixel(std::uint32_t row, std::uint32_t column, const Colour& colour) override {
        pixels_[std::size_t(row) * width_ + column] = colour;
    }

private:
    std::uint32_t height_ = 0;
    std::uint32_t width_ = 0;
    std::vector<Colour> pixels_;
};

// Sizes the destination like the source and copies every pixel through the destination's own
// conversion.
void CopyBitmap(const Bitmap& source, Bitmap& destination);

} // namespace Ostrel::Trova
