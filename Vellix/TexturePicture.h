#pragma once

// The pixels the desktop program draws for a texture, made without any user-interface toolkit:
// thumbnails and the preview's picture as 8-bit RGBA rows that a toolkit only has to wrap, and the
// facts the preview shows beside the picture (level sizes, palette, mean colour, repeat flags, SRB
// geometry, the pixel under the cursor).

#include "Trova/Colour.h"
#include "Trova/SrbFile.h"
#include "Util/CountedPtr.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Ostrel::Trova {
class Bitmap;
}

namespace Ostrel::Vellix {

class BitmapFile;
class PseudoDirectory;
class SettingsStore;

// How a picture's transparency is shown.
enum class AlphaDisplay {
    Checkerboard, // blended over light and dark grey squares
    GreyAlpha,    // the alpha channel itself: opaque white, transparent black
    KeyColour,    // blended over the key colour, as a BMP export with a key colour shows it
};

struct PictureStyle {
    AlphaDisplay alpha = AlphaDisplay::Checkerboard;
    // Opaque; magenta unless the user chose another.
    Trova::Colour keyColour = Trova::Colour(1, 0, 1, 1);
    // The side of a checkerboard square in output pixels.
    std::uint32_t checkerSide = 4;
};

// The key colour the conversion dialogs last remembered ("TransparencyRed", "TransparencyGreen",
// "TransparencyBlue"), magenta when none was.
Trova::Colour RememberedKeyColour(const SettingsStore& store);

// Rows from the top, four bytes per pixel in the order red, green, blue, alpha (not premultiplied).
struct RgbaPicture {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> bytes;

    RgbaPicture() = default;
    RgbaPicture(std::uint32_t pictureWidth, std::uint32_t pictureHeight)
        : width(pictureWidth), height(pictureHeight),
          bytes(std::size_t(pictureWidth) * pictureHeight * 4, 0) {}
    bool IsEmpty() const { return width == 0 || height == 0; }
    std::uint32_t RowBytes() const { return width * 4; }
    std::uint8_t* Pixel(std::uint32_t row, std::uint32_t column) {
        return bytes.data() + (std::size_t(row) * width + column) * 4;
    }
    std::array<std::uint8_t, 4> At(std::uint32_t row, std::uint32_t column) const;
};

struct PictureSize {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool operator==(const PictureSize&) const = default;
};

// The size of a width x height picture scaled to fit a square of side box with its aspect ratio
// kept; no side below 1.
PictureSize FitIntoSquare(std::uint32_t width, std::uint32_t height, std::uint32_t box);

// The level at one output pixel per texel, its transparency shown as the style says.
RgbaPicture ComposeLevel(const Trova::Bitmap& level, const PictureStyle& style);

// A box x box thumbnail of the picture: scaled (nearest neighbour) to fit with its aspect ratio
// kept, and centred; the margin is fully transparent. Empty for an empty picture.
RgbaPicture MakeThumbnail(const Trova::Bitmap& picture, std::uint32_t box,
                          const PictureStyle& style);
// The same, made from the file's smallest level that covers the fitted size. Empty for a file
// without a picture.
RgbaPicture MakeThumbnail(const BitmapFile& file, std::uint32_t box, const PictureStyle& style);

// Three by three copies of the picture, as the game lays a texture side by side: along a direction
// in which the texture does not repeat only the middle copy is drawn, the rest stays transparent.
RgbaPicture TilePicture(const RgbaPicture& picture, bool horizontalRepeat, bool verticalRepeat);

// Where an SRB texture sits on its rectangle, in pixels of level 0 from the picture's top left.
struct SrbPlacement {
    double usedWidth = 0;
    double usedHeight = 0;
    double originX = 0;
    double originY = 0;
    // The world corners, top left, top right, bottom right, bottom left.
    std::array<Trova::WorldPoint, 4> corners{};
};

// What the preview shows of a file. Reading it decodes no pixels of MIP and SRB files; the levels
// are held, so that stepping through them reads the file no more.
struct TextureFacts {
    std::vector<Util::CountedPtr<Trova::Bitmap>> pictures;
    std::vector<PictureSize> levels;
    std::array<std::uint32_t, 4> channelBits{}; // red, green, blue, alpha
    std::uint32_t transparency = 0;
    // Stored in MIP and SRB files; computed from the picture for the others.
    Trova::Colour meanColour;
    // Files without repeat flags repeat both ways.
    bool horizontalRepeat = true;
    bool verticalRepeat = true;
    std::optional<SrbPlacement> geometry;
};

TextureFacts ReadTextureFacts(const BitmapFile& file);

// A file opened for the preview with its facts, or why it could not be read (file is still set
// when only its facts failed).
struct OpenedTexture {
    Util::CountedPtr<BitmapFile> file;
    TextureFacts facts;
    std::string failure;
};

// The facts of file; a null file has none.
OpenedTexture ReadOpenedTexture(const Util::CountedPtr<BitmapFile>& file);
// Entry index of directory, opened through the directory's factory.
OpenedTexture OpenTexture(const PseudoDirectory& directory, std::uint32_t index);

// The palette a level is drawn with; empty for a level that is not palettised.
std::vector<Trova::Colour> LevelPalette(const Trova::Bitmap& level);

// The pixel at a place of a level, as stored and as shown.
struct PixelProbe {
    std::uint32_t column = 0;
    std::uint32_t row = 0;
    Trova::Colour colour;
    std::array<std::uint32_t, 4> bits{};   // the channel widths, red, green, blue, alpha
    std::array<std::uint32_t, 4> stored{}; // the channels in those widths
    std::array<std::uint32_t, 4> bytes{};  // the channels as 0 to 255
    std::optional<std::uint32_t> paletteIndex;
};

// channelBits as in TextureFacts; row and column must lie inside the level.
PixelProbe ProbePixel(const Trova::Bitmap& level, const std::array<std::uint32_t, 4>& channelBits,
                      std::uint32_t row, std::uint32_t column);
// "x 3, y 1  R 31 G 0 B 0 A 1  (255, 0, 0, 255)  index 5": stored values ("-" for a channel of no
// bits), 0 to 255 values, and the palette index when there is one.
std::string InspectorText(const PixelProbe& probe);

// The thumbnail sizes offered, in pixels.
inline constexpr std::array<std::uint32_t, 4> kThumbnailSizes = {32, 64, 96, 128};

enum class PreviewZoom { Fit, Actual, Double, Quadruple, Octuple };

// What the desktop program remembers of its preview and thumbnails. Values out of range read as
// the defaults.
struct PreviewSettings {
    std::uint32_t thumbnailSize = 32;
    bool paneShown = true;
    PreviewZoom zoom = PreviewZoom::Fit;
    AlphaDisplay alpha = AlphaDisplay::Checkerboard;
    bool tiled = false;

    static PreviewSettings Read(const SettingsStore& store);
    void Write(SettingsStore& store) const;
};

// The magnification of a zoom step; 0 for Fit.
std::uint32_t ZoomFactor(PreviewZoom zoom);

} // namespace Ostrel::Vellix
