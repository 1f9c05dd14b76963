#include "Trova/PngFile.h"

#include "Support/TestSupport.h"
#include "Util/BinaryFile.h"
#include "Util/MemoryStream.h"

#include "Pictures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

namespace {

using namespace Ostrel;
using Trova::PngFile;
namespace Support = Ostrel::Test;

// What our writer makes of a clear picture of the given size.
std::vector<std::uint8_t> SavedPng(std::uint32_t height, std::uint32_t width) {
    Util::MemoryStream stream("saved.png");
    PngFile::Save(Trova::BitmapSimple(height, width), stream);
    return stream.GetBytes();
}

std::vector<std::uint8_t> Changed(std::vector<std::uint8_t> bytes, std::size_t at,
                                  const std::vector<std::uint8_t>& values) {
    std::copy(values.begin(), values.end(), bytes.begin() + at);
    return bytes;
}

std::string MessageOf(const std::vector<std::uint8_t>& bytes) {
    return Support::MessageOf([&] {
        Util::MemoryStream stream("memory.png", bytes);
        PngFile png(stream);
    });
}

// The header's width, height, bit depth and colour type start at bytes 16, 20, 24 and 25, the
// data chunk's length at 33 and its compressed data at 41.
TEST(PngFile, HostileFilesFailCleanly) {
    const auto valid = SavedPng(1, 2);
    const auto bomb = Changed(SavedPng(300, 300), 20, {0, 0, 0, 1}); // 300 rows' data for one
    const std::string broken = "A possible error was found in file memory.png\n";
    const std::string invalid = broken + "Invalid or unsupported PNG file\n";
    const std::string dimensions = broken + "Invalid PNG dimensions\n";
    const std::string data = broken + "Invalid PNG picture data\n";
    const std::string unread = "Couldn't read from memory.png\n";
    const std::tuple<const char*, std::vector<std::uint8_t>, std::string> cases[] = {
        {"bad-signature", Changed(valid, 1, {'Q'}), invalid},
        {"grey-of-3-bits", Changed(valid, 24, {3, 0}), invalid},
        {"zero-width", Changed(valid, 16, {0, 0, 0, 0}), dimensions},
        {"too-many-pixels", Changed(valid, 16, {0, 0, 0x40, 0, 0, 0, 0x40, 0}), dimensions},
        {"data-beyond-the-picture", bomb, data},
        {"data-short-of-the-picture", Changed(valid, 20, {0, 0, 0, 2}), data},
        {"not-deflate-data", Changed(valid, 41, {std::uint8_t(valid[41] ^ 0xFF)}), data},
        {"chunk-beyond-the-file", Changed(valid, 33, {0xFF, 0xFF, 0xFF, 0xF0}), unread},
        {"truncated", {valid.begin(), valid.end() - 20}, unread},
    };
    for (const auto& [cause, bytes, message] : cases) {
        EXPECT_EQ(MessageOf(bytes), message) << cause;
    }
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
