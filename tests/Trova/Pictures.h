#pragma once

// Small hand-made pictures for the tests of the bitmap routines, and the
// comparison with the test peer that decodes picture files independently.

#include "Trova/Bitmap.h"

#include "Support/TestSupport.h"
#include "Util/BinaryStream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Ostrel::Test {

using PixelRows = std::vector<std::vector<Trova::Colour>>;

inline const Trova::Colour kClear(0, 0, 0, 0);
inline const Trova::Colour kBlack(0, 0, 0, 1);
inline const Trova::Colour kWhite(1, 1, 1, 1);
inline const Trova::Colour kRed(1, 0, 0, 1);
inline const Trova::Colour kGreen(0, 1, 0, 1);
inline const Trova::Colour kBlue(0, 0, 1, 1);

inline Trova::BitmapSimple MakeBitmap(const PixelRows& rows) {
    Trova::BitmapSimple bitmap(static_cast<std::uint32_t>(rows.size()),
                               static_cast<std::uint32_t>(rows.empty() ? 0 : rows[0].size()));
    for (std::uint32_t row = 0; row < bitmap.GetHeight(); ++row) {
        for (std::uint32_t column = 0; column < bitmap.GetWidth(); ++column) {
            bitmap.SetPixel(row, column, rows[row][column]);
        }
    }
    return bitmap;
}

// A picture's pixels row by row, to compare with the rows it should hold.
inline PixelRows PixelsOf(const Trova::Bitmap& bitmap) {
    PixelRows rows(bitmap.GetHeight());
    for (std::uint32_t row = 0; row < bitmap.GetHeight(); ++row) {
        for (std::uint32_t column = 0; column < bitmap.GetWidth(); ++column) {
            rows[row].push_back(bitmap.GetPixel(row, column));
        }
    }
    return rows;
}

// Tests against ImageMagick, which writes and decodes picture files on its own.
class PeerTest : public ::testing::Test {
protected:
    void SetUp() override {
        VELLIX_POSIX_ONLY(kPeerPrograms);
        if (PeerMissing("convert")) {
            GTEST_SKIP() << "ImageMagick's convert is not installed";
        }
    }

    std::string Run(const std::string& command) {
        int status = -1;
        const std::string output = RunCommand(command, &status);
        EXPECT_EQ(status, 0) << command;
        return output;
    }

    // Expects the peer to decode the file to the bitmap's pixels, compared at the file's channel
    // depth: the peer widens narrower channels by shifting them up, then filling or not, so their
    // top bits are the stored value. A fully transparent pixel's colour is void.
    void ExpectPeerPixels(const Trova::Bitmap& bitmap, const std::string& path,
                          unsigned bits = 16) {
        const std::string rgba = Run("convert '" + path + "' -depth 16 -endian LSB rgba:-");
        ASSERT_EQ(rgba.size(), std::size_t(bitmap.GetHeight()) * bitmap.GetWidth() * 8);
        auto byte = reinterpret_cast<const std::uint8_t*>(rgba.data());
        const std::uint32_t width = bitmap.GetWidth();
        for (std::uint32_t place = 0; place < bitmap.GetHeight() * width; ++place, byte += 8) {
            const Trova::Colour ours = bitmap.GetPixel(place / width, place % width);
            const float channels[] = {ours.GetRed(), ours.GetGreen(), ours.GetBlue(),
                                      ours.GetAlpha()};
            for (std::size_t channel = Util::ReadU16(byte + 6) == 0 ? 3 : 0; channel < 4;
                 ++channel) {
                ASSERT_EQ(Trova::ChannelToInt(channels[channel], bits),
                          std::uint32_t(Util::ReadU16(byte + 2 * channel) >> (16 - bits)))
                    << "pixel " << place << " channel " << channel;
            }
        }
    }

    TempDir dir_;
};

} // namespace Ostrel::Test
