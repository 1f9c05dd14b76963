#include "Trova/PngFile.h"

#include "Support/TestSupport.h"
#include "Util/BinaryFile.h"
#include "Util/MemoryStream.h"

#include "Pictures.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <tuple>

namespace {

using namespace Ostrel;
using Trova::PngFile;
namespace Support = Ostrel::Test;

void PutBigEndian(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
    bytes.insert(bytes.end(), {std::uint8_t(value >> 24), std::uint8_t(value >> 16),
                               std::uint8_t(value >> 8), std::uint8_t(value)});
}

void PutChunk(std::vector<std::uint8_t>& bytes, const char* type,
              const std::vector<std::uint8_t>& data) {
    PutBigEndian(bytes, std::uint32_t(data.size()));
    std::vector<std::uint8_t> typed(type, type + 4);
    typed.insert(typed.end(), data.begin(), data.end());
    bytes.insert(bytes.end(), typed.begin(), typed.end());
    PutBigEndian(bytes, std::uint32_t(crc32(0, typed.data(), uInt(typed.size()))));
}

// A PNG of the given header whose picture data is the given filtered rows, compressed.
std::vector<std::uint8_t> BuildPng(std::uint32_t width, std::uint32_t height, std::uint8_t depth,
                                   std::uint8_t colourType, const std::vector<std::uint8_t>& rows) {
    std::vector<std::uint8_t> bytes = {137, 80, 78, 71, 13, 10, 26, 10};
    std::vector<std::uint8_t> header;
    PutBigEndian(header, width);
    PutBigEndian(header, height);
    header.insert(header.end(), {depth, colourType, 0, 0, 0});
    PutChunk(bytes, "IHDR", header);
    uLongf size = compressBound(uLong(rows.size()));
    std::vector<std::uint8_t> data(size);
    compress2(data.data(), &size, rows.data(), uLong(rows.size()), 9);
    data.resize(size);
    PutChunk(bytes, "IDAT", data);
    PutChunk(bytes, "IEND", {});
    return bytes;
}

std::string MessageOf(const std::vector<std::uint8_t>& bytes) {
    return Support::MessageOf([&] {
        Util::MemoryStream stream("memory.png", bytes);
        PngFile png(stream);
    });
}

TEST(PngFile, HostileFilesFailCleanly) {
    const auto valid = BuildPng(2, 1, 8, 0, {0, 1, 2});
    const auto changed = [&](std::size_t at, std::uint8_t value) {
        auto bytes = valid;
        bytes[at] = value;
        return bytes;
    };
    const std::vector<std::uint8_t> bomb(3 * 1000000, 0); // a million rows for a 1-row picture
    const std::pair<const char*, std::vector<std::uint8_t>> cases[] = {
        {"bad-signature", changed(1, 'Q')},
        {"grey-of-3-bits", changed(24, 3)},
        {"zero-width", BuildPng(0, 1, 8, 0, {})},
        {"too-many-pixels", BuildPng(16384, 16384, 8, 0, {})},
        {"data-beyond-the-picture", BuildPng(2, 1, 8, 0, bomb)},
        {"data-short-of-the-picture", BuildPng(2, 2, 8, 0, {0, 1, 2})},
        {"not-deflate-data", changed(41, valid[41] ^ 0xFF)},
        {"truncated", {valid.begin(), valid.end() - 20}},
    };
    for (const auto& [cause, bytes] : cases) {
        const std::string message = MessageOf(bytes);
        EXPECT_TRUE(message.starts_with("A possible error was found in file memory.png\n") ||
                    message == "Couldn't read from memory.png\n")
            << cause << ": " << message;
    }
    EXPECT_EQ(MessageOf(BuildPng(2, 1, 8, 0, bomb)),
              "A possible error was found in file memory.png\nInvalid PNG picture data\n");
}

// ---- Against ImageMagick: every kind of PNG it writes ----

using PngPeer = Support::PeerTest;

struct PngKind {
    const char* name;
    const char* options;
    bool alpha;
};

// The source is a gradient with an alpha ramp; the options select what the peer writes.
constexpr PngKind kPngKinds[] = {
    {"grey-1", "-alpha off -colorspace Gray -define png:bit-depth=1 -define png:color-type=0 PNG",
     false},
    {"grey-8", "-alpha off -colorspace Gray -depth 8 -define png:color-type=0 PNG", false},
    {"grey-16", "-alpha off -colorspace Gray -depth 16 -define png:color-type=0 PNG", false},
    {"grey-alpha", "-colorspace Gray -define png:color-type=4 PNG", true},
    {"palette", "-alpha off -colors 20 PNG8", false},
    {"palette-transparency", "-colors 20 PNG8", true},
    {"rgb", "-alpha off PNG24", false},
    {"rgba", "PNG32", true},
    {"rgba-16", "PNG64", true},
    {"rgba-interlaced", "-interlace PNG PNG32", true},
};

TEST_F(PngPeer, ReadsEveryKindThePeerWrites) {
    for (const PngKind& kind : kPngKinds) {
        SCOPED_TRACE(kind.name);
        const std::string path = dir_ / (std::string(kind.name) + ".png");
        Run("convert -size 13x9 gradient:'#f80-#06c' \\( -size 13x9 gradient:'#fff-#000' "
            "-rotate 90 -resize 13x9! \\) -compose CopyOpacity -composite " +
            std::string(kind.options) + ":'" + path + "'");
        const PngFile png(path);
        EXPECT_EQ(png.HasAlpha(), kind.alpha);
        ExpectPeerPixels(png, path);
        const Trova::PictureSummary summary = PngFile::ReadSummary(path);
        EXPECT_EQ(std::tuple(summary.width, summary.height, summary.hasAlpha),
                  std::tuple(13u, 9u, kind.alpha));
        // What we write (8 bits per channel, with alpha only if a pixel needs it), the peer reads
        // as we do.
        const std::string copy = dir_ / (std::string(kind.name) + "-ours.png");
        PngFile::Save(png, *Util::CreateAlways(copy));
        const PngFile ours(copy);
        EXPECT_EQ(ours.HasAlpha(), kind.alpha);
        ExpectPeerPixels(ours, copy);
    }
}

} // namespace
