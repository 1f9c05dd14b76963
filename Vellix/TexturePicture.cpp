#include "Vellix/TexturePicture.h"

#include "Trova/BitmapUtils.h"
#include "Trova/Palette.h"
#include "Util/Exception.h"
#include "Vellix/BitmapFile.h"
#include "Vellix/BitmapList.h"
#include "Vellix/ConversionOptions.h"
#include "Vellix/SettingsStore.h"

#include <algorithm>
#include <cstring>
#include <sstream>

namespace Ostrel::Vellix {

namespace {

constexpr std::uint8_t kLightSquare = 204;
constexpr std::uint8_t kDarkSquare = 153;

std::uint8_t Byte(float channel) {
    return static_cast<std::uint8_t>(Trova::ChannelToInt(channel, 8));
}

Trova::Colour Background(const PictureStyle& style, std::uint32_t row, std::uint32_t column) {
    if (style.alpha == AlphaDisplay::KeyColour) {
        return style.keyColour;
    }
    const std::uint32_t side = std::max<std::uint32_t>(style.checkerSide, 1);
    const bool light = (row / side + column / side) % 2 == 0;
    const float grey = (light ? kLightSquare : kDarkSquare) / 255.0f;
    return Trova::Colour(grey, grey, grey, 1);
}

void ComposePixel(const Trova::Colour& colour, const Trova::Colour& background, std::uint8_t* out) {
    const float alpha = colour.GetAlpha();
    const auto blend = [alpha](float over, float under) {
        return Byte(over * alpha + under * (1 - alpha));
    };
    out[0] = blend(colour.GetRed(), background.GetRed());
    out[1] = blend(colour.GetGreen(), background.GetGreen());
    out[2] = blend(colour.GetBlue(), background.GetBlue());
    out[3] = 255;
}

void ComposeInto(const Trova::Bitmap& picture, const PictureStyle& style, RgbaPicture& out,
                 std::uint32_t top, std::uint32_t left) {
    for (std::uint32_t row = 0; row < picture.GetHeight(); ++row) {
        for (std::uint32_t column = 0; column < picture.GetWidth(); ++column) {
            const Trova::Colour colour = picture.GetPixel(row, column);
            std::uint8_t* pixel = out.Pixel(top + row, left + column);
            if (style.alpha == AlphaDisplay::GreyAlpha) {
                const std::uint8_t grey = Byte(colour.GetAlpha());
                std::memcpy(pixel, std::array<std::uint8_t, 4>{grey, grey, grey, 255}.data(), 4);
            } else {
                ComposePixel(colour, Background(style, row, column), pixel);
            }
        }
    }
}

template <typename AdapterT> const AdapterT* As(const BitmapFile& file) {
    return dynamic_cast<const AdapterT*>(&file);
}

SrbPlacement ReadGeometry(const Trova::SrbFile& srb) {
    SrbPlacement geometry;
    for (std::uint32_t corner = 0; corner < 4; ++corner) {
        geometry.corners[corner] = srb.GetCorner(corner);
    }
    const Trova::TexturePoint used = srb.GetTextureCorner(2);
    geometry.usedWidth = used.u * srb.GetWidth();
    geometry.usedHeight = used.v * srb.GetHeight();
    const Trova::WorldPoint& topLeft = geometry.corners[0];
    const double width = geometry.corners[2].x - topLeft.x;
    const double height = topLeft.z - geometry.corners[2].z;
    geometry.originX = width != 0 ? -topLeft.x / width * geometry.usedWidth : 0;
    geometry.originY = height != 0 ? topLeft.z / height * geometry.usedHeight : 0;
    return geometry;
}

Trova::Colour MeanOf(const Trova::Bitmap& picture) {
    if (picture.GetWidth() == 0 || picture.GetHeight() == 0) {
        return {};
    }
    Trova::BitmapSimple mean;
    Trova::Shrink(picture, picture.GetHeight(), picture.GetWidth(), mean);
    return mean.GetPixel(0, 0);
}

std::int32_t ReadInt(const SettingsStore& store, const char* key, std::int32_t fallback,
                     std::int32_t lowest, std::int32_t highest) {
    const std::int32_t value = store.GetInt(kSettingsSection, key, fallback);
    return value < lowest || value > highest ? fallback : value;
}

} // namespace

Trova::Colour RememberedKeyColour(const SettingsStore& store) {
    const TransparencyOptions defaults;
    const auto channel = [&store](const char* key, std::int32_t fallback) {
        return Trova::IntToChannel(
            static_cast<std::uint32_t>(ReadInt(store, key, fallback, 0, 255)), 8);
    };
    return Trova::Colour(channel("TransparencyRed", defaults.red),
                         channel("TransparencyGreen", defaults.green),
                         channel("TransparencyBlue", defaults.blue), 1);
}

std::array<std::uint8_t, 4> RgbaPicture::At(std::uint32_t row, std::uint32_t column) const {
    const std::uint8_t* pixel = bytes.data() + (std::size_t(row) * width + column) * 4;
    return {pixel[0], pixel[1], pixel[2], pixel[3]};
}

PictureSize FitIntoSquare(std::uint32_t width, std::uint32_t height, std::uint32_t box) {
    if (width == 0 || height == 0) {
        return {};
    }
    const auto scaled = [box](std::uint64_t side, std::uint64_t longest) {
        return static_cast<std::uint32_t>(std::max<std::uint64_t>(side * box / longest, 1));
    };
    const std::uint32_t longest = std::max(width, height);
    return {scaled(width, longest), scaled(height, longest)};
}

RgbaPicture ComposeLevel(const Trova::Bitmap& level, const PictureStyle& style) {
    RgbaPicture out(level.GetWidth(), level.GetHeight());
    ComposeInto(level, style, out, 0, 0);
    return out;
}

RgbaPicture MakeThumbnail(const Trova::Bitmap& picture, std::uint32_t box,
                          const PictureStyle& style) {
    const PictureSize fitted = FitIntoSquare(picture.GetWidth(), picture.GetHeight(), box);
    if (fitted.width == 0 || box == 0) {
        return {};
    }
    Trova::BitmapSimple scaled;
    Trova::Resize(picture, fitted.height, fitted.width, scaled);
    RgbaPicture out(box, box);
    ComposeInto(scaled, style, out, (box - fitted.height) / 2, (box - fitted.width) / 2);
    return out;
}

RgbaPicture MakeThumbnail(const BitmapFile& file, std::uint32_t box, const PictureStyle& style) {
    const PictureSize fitted = FitIntoSquare(file.GetWidth(), file.GetHeight(), box);
    if (file.GetBitmapCount() == 0 || fitted.width == 0) {
        return {};
    }
    const auto level = file.GetBitmap(ThumbnailLevel(file, fitted.width, fitted.height));
    return level ? MakeThumbnail(*level, box, style) : RgbaPicture();
}

RgbaPicture TilePicture(const RgbaPicture& picture, bool horizontalRepeat, bool verticalRepeat) {
    RgbaPicture out(picture.width * 3, picture.height * 3);
    for (std::uint32_t tileRow = 0; tileRow < 3; ++tileRow) {
        for (std::uint32_t tileColumn = 0; tileColumn < 3; ++tileColumn) {
            if ((tileRow != 1 && !verticalRepeat) || (tileColumn != 1 && !horizontalRepeat)) {
                continue;
            }
            for (std::uint32_t row = 0; row < picture.height; ++row) {
                std::memcpy(out.Pixel(tileRow * picture.height + row, tileColumn * picture.width),
                            picture.bytes.data() + std::size_t(row) * picture.RowBytes(),
                            picture.RowBytes());
            }
        }
    }
    return out;
}

TextureFacts ReadTextureFacts(const BitmapFile& file) {
    TextureFacts facts;
    for (std::uint32_t level = 0; level < file.GetBitmapCount(); ++level) {
        const auto bitmap = file.GetBitmap(level);
        facts.pictures.push_back(bitmap);
        facts.levels.push_back(bitmap ? PictureSize{bitmap->GetWidth(), bitmap->GetHeight()}
                                      : PictureSize{});
    }
    facts.channelBits = {file.GetRedBits(), file.GetGreenBits(), file.GetBlueBits(),
                         file.GetAlphaBits()};
    facts.transparency = file.GetTransparency();
    if (const auto* mip = As<BitmapFileMip>(file)) {
        const auto mipFile = mip->GetFile();
        facts.meanColour = mipFile->GetMeanColour();
        facts.horizontalRepeat = mipFile->GetHorizontalRepeat();
        facts.verticalRepeat = mipFile->GetVerticalRepeat();
    } else if (const auto* srb = As<BitmapFileSrb>(file)) {
        const auto srbFile = srb->GetFile();
        facts.meanColour = srbFile->GetMeanColour();
        facts.horizontalRepeat = srbFile->GetHorizontalRepeat();
        facts.verticalRepeat = srbFile->GetVerticalRepeat();
        facts.geometry = ReadGeometry(*srbFile);
    } else if (!facts.pictures.empty() && facts.pictures[0]) {
        facts.meanColour = MeanOf(*facts.pictures[0]);
    }
    return facts;
}

namespace {

// What went wrong in action, in words for the user; empty when nothing did.
template <typename Action> std::string FailureOf(Action&& action) {
    try {
        action();
    } catch (const Util::Exception& exception) {
        return exception.Message();
    } catch (const std::exception& exception) {
        return exception.what();
    }
    return {};
}

} // namespace

OpenedTexture ReadOpenedTexture(const Util::CountedPtr<BitmapFile>& file) {
    OpenedTexture opened{file, {}, {}};
    if (file) {
        opened.failure = FailureOf([&] { opened.facts = ReadTextureFacts(*file); });
    }
    return opened;
}

OpenedTexture OpenTexture(const PseudoDirectory& directory, std::uint32_t index) {
    Util::CountedPtr<BitmapFile> file;
    const std::string failure = FailureOf([&] { file = MakeBitmapFile(directory, index); });
    return failure.empty() ? ReadOpenedTexture(file) : OpenedTexture{{}, {}, failure};
}

std::vector<Trova::Colour> LevelPalette(const Trova::Bitmap& level) {
    const Util::CountedPtr<Trova::Palette> palette = level.GetPalette();
    std::vector<Trova::Colour> colours;
    for (std::uint32_t index = 0; palette && index < palette->GetCount(); ++index) {
        colours.push_back(palette->GetColour(index));
    }
    return colours;
}

PixelProbe ProbePixel(const Trova::Bitmap& level, const std::array<std::uint32_t, 4>& channelBits,
                      std::uint32_t row, std::uint32_t column) {
    PixelProbe probe;
    probe.row = row;
    probe.column = column;
    probe.colour = level.GetPixel(row, column);
    probe.bits = channelBits;
    const std::array<float, 4> channels = {probe.colour.GetRed(), probe.colour.GetGreen(),
                                           probe.colour.GetBlue(), probe.colour.GetAlpha()};
    for (std::size_t channel = 0; channel < 4; ++channel) {
        const std::uint32_t bits = channelBits[channel];
        probe.stored[channel] = bits > 0 ? Trova::ChannelToInt(channels[channel], bits) : 0;
        probe.bytes[channel] = Byte(channels[channel]);
    }
    probe.paletteIndex = level.GetPaletteIndex(row, column);
    return probe;
}

std::string InspectorText(const PixelProbe& probe) {
    std::ostringstream text;
    text << "x " << probe.column << ", y " << probe.row << " ";
    const char names[] = {'R', 'G', 'B', 'A'};
    for (std::size_t channel = 0; channel < 4; ++channel) {
        text << ' ' << names[channel] << ' ';
        if (probe.bits[channel] > 0) {
            text << probe.stored[channel];
        } else {
            text << '-';
        }
    }
    text << "  (" << probe.bytes[0] << ", " << probe.bytes[1] << ", " << probe.bytes[2] << ", "
         << probe.bytes[3] << ")";
    if (probe.paletteIndex) {
        text << "  index " << *probe.paletteIndex;
    }
    return text.str();
}

PreviewSettings PreviewSettings::Read(const SettingsStore& store) {
    PreviewSettings settings;
    const auto size = static_cast<std::uint32_t>(store.GetInt(
        kSettingsSection, "ThumbnailSize", static_cast<std::int32_t>(settings.thumbnailSize)));
    if (std::find(kThumbnailSizes.begin(), kThumbnailSizes.end(), size) != kThumbnailSizes.end()) {
        settings.thumbnailSize = size;
    }
    settings.paneShown = ReadInt(store, "PreviewPane", 1, 0, 1) != 0;
    settings.zoom = static_cast<PreviewZoom>(ReadInt(store, "PreviewZoom", 0, 0, 4));
    settings.alpha = static_cast<AlphaDisplay>(ReadInt(store, "PreviewAlpha", 0, 0, 2));
    settings.tiled = ReadInt(store, "PreviewTile", 0, 0, 1) != 0;
    return settings;
}

void PreviewSettings::Write(SettingsStore& store) const {
    store.WriteInt(kSettingsSection, "ThumbnailSize", static_cast<std::int32_t>(thumbnailSize));
    store.WriteInt(kSettingsSection, "PreviewPane", paneShown ? 1 : 0);
    store.WriteInt(kSettingsSection, "PreviewZoom", static_cast<std::int32_t>(zoom));
    store.WriteInt(kSettingsSection, "PreviewAlpha", static_cast<std::int32_t>(alpha));
    store.WriteInt(kSettingsSection, "PreviewTile", tiled ? 1 : 0);
}

std::uint32_t ZoomFactor(PreviewZoom zoom) {
    switch (zoom) {
    case PreviewZoom::Actual:
        return 1;
    case PreviewZoom::Double:
        return 2;
    case PreviewZoom::Quadruple:
        return 4;
    case PreviewZoom::Octuple:
        return 8;
    default:
        return 0;
    }
}

} // namespace Ostrel::Vellix
