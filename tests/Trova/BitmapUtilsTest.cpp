#include "Trova/BitmapUtils.h"

#include "Support/TestSupport.h"
#include "Util/Exception.h"

#include "Pictures.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>

namespace {

using namespace Ostrel::Test;
using Ostrel::Trova::BitmapSimple;
using Ostrel::Trova::Colour;
using Ostrel::Util::XAssertion;
namespace Trova = Ostrel::Trova;

const Colour kMagenta(1, 0, 1, 1);
const Colour kHalfWhite(1, 1, 1, 0.5f);

// A bitmap whose every pixel tells where it came from.
BitmapSimple MakeNumbered(std::uint32_t height, std::uint32_t width) {
    BitmapSimple bitmap(height, width);
    for (std::uint32_t place = 0; place < height * width; ++place) {
        bitmap.SetPixel(place / width, place % width,
                        Colour(place / width / 100.0f, place % width / 100.0f, 0, 1));
    }
    return bitmap;
}

using Operation = std::function<void(const BitmapSimple&, BitmapSimple&)>;
using std::bind;
using std::placeholders::_1;
using std::placeholders::_2;

struct Case {
    const char* cause;
    Operation operation;
    PixelRows source;
    PixelRows expected;
};

TEST(BitmapUtils, EachOperationMakesItsPixels) {
    const Case cases[] = {
        {"opaque",
         bind(Trova::MakeOpaque, _1, _2, false),
         {{Colour(0.2f, 0.4f, 0.6f, 0.5f), kClear}},
         {{Colour(0.2f, 0.4f, 0.6f, 1), kBlack}}},
        {"opaque-or-fail", bind(Trova::MakeOpaque, _1, _2, true), {{kRed, kBlue}}, {{kRed, kBlue}}},
        {"alpha-to-grey",
         bind(Trova::AlphaToGrey, _1, _2),
         {{kRed, kClear, Colour(0, 1, 0, 0.25f)}},
         {{Colour(1, 1, 1, 1), kBlack, Colour(0.25f, 0.25f, 0.25f, 1)}}},
        {"grey-to-alpha-is-channel-mean",
         bind(Trova::GreyToAlpha, _1, MakeBitmap({{Colour(0.5f, 0.5f, 0.5f, 1), kRed, kBlack}}),
              _2),
         {{kRed, kGreen, kBlue}},
         {{Colour(1, 0, 0, 0.5f), Colour(0, 1, 0, 1 / 3.0f), kClear}}},
        {"grey-to-alpha-larger-transparency",
         bind(Trova::GreyToAlpha, _1, MakeBitmap({{kBlack, kBlack}, {kBlack, kBlack}}), _2),
         {{kRed}},
         {{kClear}}},
        {"to-colour",
         bind(Trova::TransparencyToColour, _1, _2, kMagenta),
         {{kRed, kClear}},
         {{kRed, kMagenta}}},
        {"to-transparency-exact-only",
         bind(Trova::ColourToTransparency, _1, kMagenta, _2),
         {{kMagenta, Colour(254 / 255.0f, 0, 1, 1), kRed}},
         {{kClear, Colour(254 / 255.0f, 0, 1, 1), kRed}}},
        {"shrink-weights-colour-by-alpha",
         bind(Trova::Shrink, _1, 1, 2, _2),
         {{kRed, Colour(0, 0, 1, 0.5f)}},
         {{Colour(2 / 3.0f, 0, 1 / 3.0f, 0.75f)}}},
        {"shrink-transparent", bind(Trova::Shrink, _1, 1, 2, _2), {{kClear, kClear}}, {{kClear}}},
        {"shrink-two-rows",
         bind(Trova::Shrink, _1, 2, 2, _2),
         {{kRed, kGreen}, {kBlue, kClear}},
         {{Colour(1 / 3.0f, 1 / 3.0f, 1 / 3.0f, 0.75f)}}},
        {"shrink-beyond-size", bind(Trova::Shrink, _1, 4, 1, _2), {{kRed}, {kRed}, {kRed}}, {}},
        {"shrink-ignores-leftover-rows",
         bind(Trova::Shrink, _1, 2, 1, _2),
         {{kRed}, {kRed}, {kBlue}, {kBlue}, {kGreen}},
         {{kRed}, {kBlue}}},
        {"shrink-ignores-leftover-columns",
         bind(Trova::Shrink, _1, 1, 2, _2),
         {{kRed, kRed, kBlue, kBlue, kGreen}},
         {{kRed, kBlue}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cause);
        BitmapSimple destination(3, 3);
        c.operation(MakeBitmap(c.source), destination);
        EXPECT_EQ(PixelsOf(destination), c.expected);
    }
}

// Resizing picks, for each new row and column, the old one nearest its centre.
TEST(BitmapUtils, ResizeTakesTheNearestRowsAndColumns) {
    struct Resized {
        const char* cause;
        std::uint32_t height, width;
        std::vector<std::uint32_t> rows, columns;
    };
    const Resized cases[] = {
        {"enlarging-repeats-blocks", 2, 2, {0, 0, 1, 1}, {0, 0, 1, 1}},
        {"reducing-picks-centres", 4, 4, {1, 3}, {1, 3}},
        {"reducing-unevenly", 3, 7, {1}, {1, 5}},
        {"same-size-copies", 3, 5, {0, 1, 2}, {0, 1, 2, 3, 4}},
    };
    for (const Resized& c : cases) {
        SCOPED_TRACE(c.cause);
        const BitmapSimple source = MakeNumbered(c.height, c.width);
        BitmapSimple destination;
        Trova::Resize(source, std::uint32_t(c.rows.size()), std::uint32_t(c.columns.size()),
                      destination);
        PixelRows expected(c.rows.size());
        for (std::size_t row = 0; row < c.rows.size(); ++row) {
            for (const std::uint32_t column : c.columns) {
                expected[row].push_back(source.GetPixel(c.rows[row], column));
            }
        }
        EXPECT_EQ(PixelsOf(destination), expected);
    }
}

TEST(BitmapUtils, RefusalsSayWhy) {
    const PixelRows square = {{kRed, kRed}, {kRed, kRed}};
    const std::tuple<Operation, PixelRows, const char*> cases[] = {
        {bind(Trova::MakeOpaque, _1, _2, true),
         {{kRed, Colour(1, 1, 1, 0.999f)}},
         "Bitmap is transparent"},
        {bind(Trova::TransparencyToColour, _1, _2, kMagenta),
         {{kRed, kMagenta, kHalfWhite}},
         "Transparency colour occurs in source bitmap"},
        {bind(Trova::TransparencyToColour, _1, _2, kMagenta),
         {{kRed, kHalfWhite, kMagenta}},
         "Bitmap contains partial transparency"},
        {bind(Trova::GreyToAlpha, _1, MakeBitmap({{kRed}, {kRed}}), _2), square,
         "Transparency bitmap smaller than colour bitmap"},
        {bind(Trova::GreyToAlpha, _1, MakeBitmap({{kRed, kRed}}), _2), square,
         "Transparency bitmap smaller than colour bitmap"},
        {bind(Trova::Shrink, _1, 0, 1, _2), square, "Shrink factor must be at least 1"},
        {bind(Trova::Shrink, _1, 1, 0, _2), square, "Shrink factor must be at least 1"},
        {bind(Trova::Resize, _1, 0, 2, _2), square, "New bitmap size must be at least 1 by 1"},
        {bind(Trova::Resize, _1, 2, 0, _2), square, "New bitmap size must be at least 1 by 1"},
        {bind(Trova::Resize, _1, 0, 0, _2), {}, "New bitmap size must be at least 1 by 1"},
        {bind(Trova::Resize, _1, 2, 2, _2), {{}, {}, {}}, "Cannot resize an empty bitmap"},
    };
    BitmapSimple destination;
    for (const auto& [operation, source, message] : cases) {
        EXPECT_EQ(MessageOf(bind(operation, MakeBitmap(source), std::ref(destination))), message);
    }
    // A transparency colour that is not opaque is the caller's mistake.
    EXPECT_THROW(Trova::ColourToTransparency(MakeNumbered(1, 1), kHalfWhite, destination),
                 XAssertion);
    EXPECT_THROW(Trova::TransparencyToColour(MakeNumbered(1, 1), destination, kHalfWhite),
                 XAssertion);
}

} // namespace
