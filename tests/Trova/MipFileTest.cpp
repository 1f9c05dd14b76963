#include "GPLFileBytes.h"

#include "Support/TestSupport.h"
#include "Trova/GPLMipFile.h"
#include "Trova/GPLSrbFile.h"
#include "Trova/TextureSummary.h"
#include "Util/Exception.h"

#include <gtest/gtest.h>

#include <bit>
#include <filesystem>
#include <functional>

using namespace Ostrel;
using namespace Ostrel::Test;
using Trova::Colour;
using Trova::GPLMipFile;
using Trova::GPLSrbFile;
using Trova::TexturePoint;
using Trova::WorldPoint;

namespace {

Util::CountedPtr<GPLMipFile> ReadMip(const Bytes& bytes, std::uint32_t version = 0) {
    return Util::MakeCounted<GPLMipFile>(StreamOf(bytes, "car.mip"), version);
}

std::string FormatFailure(const Bytes& bytes, std::uint32_t version = 0) {
    return FailureOf([&] { ReadMip(bytes, version); }, "car.mip");
}

MipSpec Valid(std::uint8_t format = 3, std::uint32_t levels = 3) {
    return MipSpec{.format = format}.StandardLevels(levels);
}

std::optional<Bytes> CmapIf(bool present) {
    return present ? std::optional(Cmap({{1, 2, 3, 255}, {4, 5, 6, 255}})) : std::nullopt;
}

// Three levels with one shared palette, or with a palette of each level's own.
MipSpec Palettised(std::uint8_t format, bool shared) {
    MipSpec spec{.format = format, .sharedCmap = CmapIf(shared)};
    return spec.StandardLevels(3, {}, CmapIf(!shared));
}

Bytes MeanColourOf(const Bytes& bytes) {
    return Bytes(bytes.begin() + kMeanColourOffset, bytes.begin() + kMeanColourOffset + 4);
}

struct SrbSpec {
    std::array<std::uint32_t, 3> ids{Id("SRB "), Id("SRHD"), Id("SRH2")};
    std::array<std::uint32_t, 3> versions{};
    std::array<std::uint32_t, 3> sizes{84, 24, 36};
    std::array<float, 6> geometry{2, 1, 64, 32, 32, 32};
    std::array<std::uint32_t, 9> values{1, 2, 3, 4, 5, 6, 7, 8, 0xFFFFFFFF};
    MipSpec mip = Valid();

    Bytes Build() const {
        Bytes bytes = Section(ids[0], versions[0], sizes[0]);
        Append(bytes, Section(ids[1], versions[1], sizes[1]));
        for (float value : geometry) {
            PutU32(bytes, std::bit_cast<std::uint32_t>(value));
        }
        Append(bytes, Section(ids[2], versions[2], sizes[2]));
        for (std::uint32_t value : values) {
            PutU32(bytes, value);
        }
        Append(bytes, mip.Build());
        return bytes;
    }
};

constexpr std::size_t kMipStart = 96;

Util::CountedPtr<GPLSrbFile> ReadSrb(const Bytes& bytes) {
    return Util::MakeCounted<GPLSrbFile>(StreamOf(bytes, "tree.srb"));
}

struct Corners {
    std::array<WorldPoint, 4> world;
    std::array<TexturePoint, 4> texture;
};

// A rectangle 2 x 1 with its origin in the middle of its bottom edge, showing the picture's first
// half of rows; one 3 x 2 with its origin a quarter from the left and halfway up, showing 3/4 x
// 1/2.
const Corners kStanding{{{{-1, 0, 1}, {1, 0, 1}, {1, 0, 0}, {-1, 0, 0}}},
                        {{{0, 0}, {1, 0}, {1, 0.5}, {0, 0.5}}}};
const Corners kOffCentre{{{{-0.75, 0, 1}, {2.25, 0, 1}, {2.25, 0, -1}, {-0.75, 0, -1}}},
                         {{{0, 0}, {0.75, 0}, {0.75, 0.5}, {0, 0.5}}}};

GPLSrbFile CreateSrb(std::uint32_t side, const Corners& corners) {
    return GPLSrbFile(side, side, 8, 8, 8, 8, 2, false, 0, false, 2, corners.world, corners.texture,
                      0, 6);
}

} // namespace

// ---- Reading: every check in file order, each with its own message

TEST(MipFileRead, HeaderChecksInOrder) {
    const std::vector<std::pair<std::function<void(MipSpec&)>, std::string>> cases = {
        {[](MipSpec& s) { s.mipId = Id("MIP "); }, "GPL mip id not MIP"},
        {[](MipSpec& s) { s.mipVersion = 1; }, "GPL mip unsupported version"},
        {[](MipSpec& s) { s.headerId = Id("MPHX"); }, "GPL mip header not found"},
        {[](MipSpec& s) { s.headerVersion = 1; }, "GPL mip header unsupported version"},
        {[](MipSpec& s) { s.headerSize = 20; }, "GPL mip header incorrect size"},
        {[](MipSpec& s) { s.repeat = 0x04; }, "GPL mip repeat value unknown"},
        // The count is checked before the format.
        {[](MipSpec& s) { s.levelCount = 4, s.format = 9; }, "GPL mip bitmap count incorrect"},
        {[](MipSpec& s) { s.format = 9; }, "GPL MIP file mip header unknown format"},
        {[](MipSpec& s) { s.filler[0] = 0; }, "GPL MIP file mip header fill byte 0 not blank"},
        {[](MipSpec& s) { s.filler[1] = 0; }, "GPL MIP file mip header fill byte 0 not blank"},
        {[](MipSpec& s) { s.mipSizeDelta = 4; }, "GPL mip incorrect size"},
        {[](MipSpec& s) { s.mipSizeDelta = -4; }, "GPL mip incorrect size"},
    };
    for (const auto& [breakIt, expected] : cases) {
        MipSpec spec = Valid();
        breakIt(spec);
        EXPECT_EQ(FormatFailure(spec.Build()), expected);
    }
}

// A GPL header allows levels down to the smaller side's 1-pixel level, an N4 header down to the
// larger side's, and no further.
TEST(MipFileRead, LevelCountBounds) {
    for (const auto& [version, most] : {std::pair{0u, 7u}, {1u, 9u}}) {
        MipSpec spec{.headerVersion = version, .log2Width = 8, .log2Height = 6};
        spec.StandardLevels(most);
        EXPECT_EQ(FormatFailure(spec.Build(), version), "no failure");
        spec.StandardLevels(1);
        EXPECT_EQ(FormatFailure(spec.Build(), version), "GPL mip bitmap count incorrect");
    }
}

TEST(MipFileRead, LevelChecksInOrder) {
    struct Case {
        const char* expected;
        std::uint8_t mipFormat;
        std::uint8_t levelFormat;
        std::uint32_t width;
        std::uint32_t height;
        std::array<bool, 3> palettes{}; // a shared one, level 0's own, level 1's own
    };
    const std::vector<Case> cases = {
        {"GPL bitmap file height mismatch", 3, 3, 2, 1},
        {"GPL bitmap file width mismatch", 3, 3, 1, 2},
        {"GPL bitmap red mismatch", 5, 4, 2, 2},
        {"GPL bitmap green mismatch", 3, 4, 2, 2},
        {"GPL bitmap alpha mismatch", 6, 7, 2, 2},
        {"GPL bitmap transparency mismatch", 1, 0, 2, 2},
        // Formats 2 and 7 carry the same bits, but only one of them has a palette.
        {"GPL bitmap palette mismatch", 2, 7, 2, 2},
        {"GPL bitmap palette mismatch", 7, 2, 2, 2},
        // Levels follow level 0's palette kind: a shared palette forbids palettes of the levels'
        // own; a level lacks the palette of its own that level 0 has, or has one level 0 lacks.
        {"GPL bitmap palette mismatch", 1, 1, 2, 2, {true, false, true}},
        {"GPL bitmap palette mismatch", 1, 1, 2, 2, {false, true, false}},
        {"GPL bitmap palette mismatch", 1, 1, 2, 2, {false, false, true}},
    };
    for (const Case& c : cases) {
        MipSpec spec{.format = c.mipFormat, .sharedCmap = CmapIf(c.palettes[0])};
        spec.StandardLevels(1, {}, CmapIf(c.palettes[1]));
        BmapSpec level = BmapSpec::Of(c.levelFormat, c.width, c.height);
        level.cmap = CmapIf(c.palettes[2]);
        spec.levels.push_back(level.Build());
        EXPECT_EQ(FormatFailure(spec.Build()), c.expected) << &c - cases.data();
    }
}

TEST(MipFileRead, PaletteKinds) {
    const auto shared = ReadMip(Palettised(0, true).Build());
    EXPECT_TRUE(shared->IsPalettised());
    EXPECT_FALSE(shared->HasIndividualPalettes());
    EXPECT_EQ(shared->GetPalette(), shared->GetBitmapPalette(2));

    const auto own = ReadMip(Palettised(2, false).Build());
    EXPECT_TRUE(own->HasIndividualPalettes());

    // Without any CMAP the levels show a grey ramp.
    const auto grey = ReadMip(Valid(0).Build());
    EXPECT_EQ(grey->GetPalette()->GetColour(15), Colour(1, 1, 1, 1));

    const auto direct = ReadMip(Valid(7).Build());
    EXPECT_FALSE(direct->IsPalettised());
    EXPECT_FALSE(direct->GetPalette()); // level 0's
}

TEST(MipFileRead, HeaderFields) {
    MipSpec spec{.format = 5, .meanBgra = {0, 128, 255, 51}, .repeat = 0x01};
    spec.StandardLevels(3);
    const auto mip = ReadMip(spec.Build());
    EXPECT_FALSE(mip->GetHorizontalRepeat());
    EXPECT_TRUE(mip->GetVerticalRepeat());
    EXPECT_EQ(mip->GetMeanColour(), Colour(1, 128 / 255.0f, 0, 0.2f));
    EXPECT_EQ(mip->GetTransparency(), 2u);
    EXPECT_FALSE(mip->HasN4Value());
    EXPECT_FALSE(mip->HasN4Name());
    spec.repeat = 0x03;
    EXPECT_FALSE(ReadMip(spec.Build())->GetVerticalRepeat());
}

TEST(MipFileRead, BrokenStreamsFailCleanly) {
    // A count the bounds allow but the stream cannot hold runs into the end of the stream.
    const MipSpec many{.log2Width = 30, .log2Height = 30, .levelCount = 31};
    EXPECT_THROW(ReadMip(many.Build()), Util::XFileRead);

    // Sides beyond 32 bits simply never match a level.
    const MipSpec huge{
        .log2Width = 40, .log2Height = 0xFFFFFFFF, .levels = {BmapSpec::Of(3, 0, 0).Build()}};
    EXPECT_EQ(FormatFailure(huge.Build()), "GPL bitmap file height mismatch");
}

TEST(MipFileRead, EmptyLevelListIsAccepted) {
    const Bytes bytes = Valid(0, 0).Build();
    const auto mip = ReadMip(bytes);
    EXPECT_EQ(mip->GetBitmapCount(), 0u);
    EXPECT_EQ(mip->GetWidth(), 0u);
    EXPECT_FALSE(mip->GetPalette());
    EXPECT_THROW(mip->GetBitmap(0), Util::XAssertion);
    EXPECT_EQ(Written(*mip), bytes); // the mean colour stays as read
}

// Reading only the headers tells what reading the whole image tells, or fails the same way,
// under both header versions, for the sample files and damaged copies of them.
TEST(MipFileSummary, HeadersTellWhatTheWholeImageTells) {
    const std::filesystem::path corpus = VELLIX_SOURCE_DIR "/fuzz/corpus/MipFileFuzz";
    for (const auto& sample : std::filesystem::directory_iterator(corpus)) {
        for (const Bytes& bytes : DamagedCopies(ReadBytes(sample.path().string()), 3)) {
            for (const std::uint32_t version : {Trova::kGPLMipVersion, Trova::kN4MipVersion}) {
                Trova::TextureSummary whole;
                Trova::TextureSummary fromHeaders;
                const std::string wholeFailure = MessageOf(
                    [&] { whole = Trova::GPLMIPSection(*StreamOf(bytes), version).Summarise(); });
                const std::string headersFailure = MessageOf(
                    [&] { fromHeaders = GPLMipFile::ReadSummary(*StreamOf(bytes), version); });
                EXPECT_EQ(headersFailure, wholeFailure) << sample.path() << " " << bytes.size();
                EXPECT_TRUE(fromHeaders == whole) << sample.path() << " " << bytes.size();
            }
        }
    }
    // A level read without its data has no pixels to give.
    const Bytes bytes = Valid(3).Build();
    const Trova::GPLMIPSection image(*StreamOf(bytes), 0, Trova::StoredData::Skip);
    EXPECT_THROW(image.GetBitmap(0)->GetPixel(0, 0), Util::XAssertion);
}

TEST(MipFileN4, ReadWriteAndCreate) {
    MipSpec spec{.headerVersion = 1, .n4Value = 0xDEADBEEF};
    spec.StandardLevels(3);
    std::copy_n("ROAD", 4, spec.n4Name.begin());
    spec.n4Name[6] = 'x'; // after the NUL: not part of the name
    const Bytes bytes = spec.Build();
    const auto mip = ReadMip(bytes, 1);
    ASSERT_TRUE(mip->HasN4Value());
    ASSERT_TRUE(mip->HasN4Name());
    EXPECT_EQ(mip->GetN4Value(0), 0xDEADBEEFu);
    EXPECT_EQ(mip->GetN4Name(0), "ROAD");

    Bytes expected = bytes;
    expected[kN4NameOffset + 6] = 0;
    EXPECT_EQ(WithoutMeanColour(Written(*mip)), WithoutMeanColour(expected));

    // A name that fills the field has no NUL to end it.
    spec.n4Name.fill('A');
    EXPECT_EQ(ReadMip(spec.Build(), 1)->GetN4Name(0), std::string(16, 'A'));
    spec.headerSize = 18;
    EXPECT_EQ(FormatFailure(spec.Build(), 1), "N4 mip header incorrect size");

    // A new N4 file goes down to the larger side's 1-pixel level.
    GPLMipFile made(4, 2, 8, 8, 8, 0, 0, false, 0, false, true, true, 3, 0, 9, 1);
    EXPECT_EQ(made.GetN4Name(0), "");
    const Bytes created = Written(made);
    const auto back = ReadMip(created, 1);
    EXPECT_EQ(back->GetBitmapCount(), 3u);
    EXPECT_EQ(Written(*back), created);
}

// ---- Round trips: identical except the recomputed mean colour

TEST(MipFileRoundTrip, EveryFormatAndPaletteKind) {
    // Each format's pixels round trip in GPLBMAPSection's tests; here the kinds of MIP images.
    std::vector<MipSpec> specs{Palettised(1, true), Palettised(2, false), Valid(0), Valid(7)};
    // Levels of other codes with the same bits: compared by bits, not by code. The first repeats
    // in neither direction.
    specs.push_back(MipSpec{.repeat = 0x03}.StandardLevels(3, 10));
    specs.push_back(MipSpec{.format = 6}.StandardLevels(3, 8));
    for (const MipSpec& spec : specs) {
        const Bytes bytes = spec.Build();
        EXPECT_EQ(WithoutMeanColour(Written(*ReadMip(bytes))), WithoutMeanColour(bytes))
            << int(spec.format);
    }
}

TEST(MipFileMeanColour, IsTheAlphaWeightedMeanOfLevel0) {
    BmapSpec level = BmapSpec::Of(7, 2, 1);
    level.data = Bytes{0, 0, 255, 255, 0, 0, 0, 0}; // opaque red, then fully transparent
    const MipSpec spec{.format = 7, .log2Width = 1, .log2Height = 0, .levels = {level.Build()}};
    EXPECT_EQ(MeanColourOf(Written(*ReadMip(spec.Build()))), (Bytes{0, 0, 255, 128}));

    // A new one-pixel file stores its pixel.
    GPLMipFile mip(1, 1, 8, 8, 8, 8, 2, false, 0, false, true, true, 1, 0, 8, 0);
    mip.GetBitmap(0)->SetPixel(0, 0, Colour(1, 128 / 255.0f, 0, 64 / 255.0f));
    const Bytes written = Written(mip);
    EXPECT_EQ(MeanColourOf(written), (Bytes{0, 128, 255, 64}));
    // The file's own answer stays what it was made or read with.
    EXPECT_EQ(mip.GetMeanColour(), Colour());
}

TEST(MipFileCreate, FormatChooser) {
    using Trova::ChooseMipFormat;
    using Trova::MipFormatRequest;
    EXPECT_EQ(ChooseMipFormat(MipFormatRequest{false, 0, 5, 6, 5, 0, 0}, 0, 8), 3);
    EXPECT_EQ(ChooseMipFormat(MipFormatRequest{false, 0, 8, 8, 8, 8, 2}, 0, 8), 7);
    EXPECT_EQ(ChooseMipFormat(MipFormatRequest{false, 0, 4, 4, 4, 4, 1}, 0, 8), 5);
    EXPECT_EQ(ChooseMipFormat(MipFormatRequest{false, 0, 5, 5, 5, 1, 1}, 0, 8), 4);
    // Ties go to the lowest code: 8, 8, 8 opaque fits codes 6 and 8 equally.
    EXPECT_EQ(ChooseMipFormat(MipFormatRequest{false, 0, 8, 8, 8, 0, 0}, 0, 9), 6);
    EXPECT_EQ(ChooseMipFormat(MipFormatRequest{true, 16, 8, 8, 8, 8, 1}, 0, 8), 1);
    EXPECT_EQ(ChooseMipFormat(MipFormatRequest{true, 4, 5, 6, 5, 0, 0}, 0, 8), 0);
    // The SRB range stops at 5.
    EXPECT_EQ(ChooseMipFormat(MipFormatRequest{false, 0, 8, 8, 8, 8, 2}, 0, 6), 5);
    // A range beyond the MIP codes is cut off, even one that overflows 32 bits.
    EXPECT_EQ(ChooseMipFormat(MipFormatRequest{false, 0, 8, 8, 8, 0, 0}, 7, 0xFFFFFFFF), 8);

    const auto failure = [](MipFormatRequest request, std::uint32_t first, std::uint32_t count) {
        return MessageOf([&] { ChooseMipFormat(request, first, count); });
    };
    EXPECT_EQ(failure({true, 17}, 0, 8), "GPL mip only supports 16 colour palettes");
    EXPECT_EQ(failure({true, 16}, 3, 5), "N4 mip palettes not supported");
    EXPECT_EQ(failure({false}, 9, 3), "N4 mip palettes not supported");
}

TEST(MipFileCreate, SizesMustBePowersOfTwo) {
    for (const auto& size : {std::pair{100u, 64u}, {64u, 0u}, {64u, 0x80000001u}}) {
        EXPECT_EQ(MessageOf([&] {
                      GPLMipFile(size.first, size.second, 5, 6, 5, 0, 0, false, 0, false, true,
                                 true, 1, 0, 8, 0);
                  }),
                  "Bitmap dimension not a power of 2")
            << size.first << " x " << size.second;
    }
}

TEST(MipFileCreate, LevelsHalveDownToOne) {
    GPLMipFile mip(2, 8, 5, 6, 5, 0, 0, false, 0, false, true, false, 3, 0, 8, 0);
    ASSERT_EQ(mip.GetBitmapCount(), 3u);
    EXPECT_EQ(mip.GetWidth(), 8u);
    EXPECT_EQ(mip.GetHeight(), 2u);
    EXPECT_EQ(mip.GetBitmap(2)->GetWidth(), 2u);
    EXPECT_EQ(mip.GetBitmap(2)->GetHeight(), 1u);
}

// One shared palette written once, or one of each level's own.
TEST(MipFileCreate, SharedOrIndividualPalettes) {
    GPLMipFile mip(4, 4, 8, 8, 8, 8, 1, true, 16, false, true, true, 3, 0, 8, 0);
    EXPECT_EQ(mip.GetPalette()->GetCount(), 16u);
    mip.GetPalette()->SetColour(3, Colour(1, 0, 0, 1));
    for (std::uint32_t level = 0; level < 3; ++level) {
        mip.GetBitmap(level)->SetPixel(0, 0, Colour(1, 0, 0, 1));
    }
    const Bytes written = Written(mip);
    const auto back = ReadMip(written);
    EXPECT_FALSE(back->HasIndividualPalettes());
    EXPECT_EQ(back->GetBitmap(2)->GetPixel(0, 0), Colour(1, 0, 0, 1));
    EXPECT_EQ(Written(*back), written);

    GPLMipFile own(4, 4, 8, 8, 8, 8, 2, true, 8, true, true, true, 2, 0, 8, 0);
    EXPECT_FALSE(own.GetBitmapPalette(0) == own.GetBitmapPalette(1));
    EXPECT_EQ(own.GetBitmapPalette(1)->GetCount(), 8u);
    const auto ownBack = ReadMip(Written(own));
    EXPECT_TRUE(ownBack->HasIndividualPalettes());
    EXPECT_EQ(ownBack->GetTransparency(), 2u);

    // Individual palettes mean nothing without a palette.
    GPLMipFile direct(4, 4, 5, 6, 5, 0, 0, false, 8, true, true, true, 2, 0, 8, 0);
    EXPECT_FALSE(direct.HasIndividualPalettes());
    EXPECT_FALSE(direct.GetPalette());
}

TEST(MipFileShare, CloneIsDeep) {
    const auto mip = ReadMip(Palettised(0, true).Build());
    const Bytes original = Written(*mip);
    const auto copy = mip->Clone();
    EXPECT_EQ(Written(*copy), original);

    EXPECT_EQ(copy->GetBitmapPalette(1), copy->GetPalette()); // still shared within the copy
    copy->GetPalette()->SetColour(0, Colour(1, 1, 1, 1));
    copy->GetBitmap(0)->SetPixel(0, 0, Colour(1, 1, 1, 1));
    EXPECT_EQ(Written(*mip), original);
    EXPECT_NE(Written(*copy), original);
}

// ---- SRB files: two headers, then a MIP image

TEST(SrbFileRead, HeaderChecksInOrder) {
    const std::vector<std::pair<std::function<void(SrbSpec&)>, std::string>> cases = {
        {[](SrbSpec& s) { s.ids[0] = Id(" BRS"); }, "GPL srb file id not SRB"},
        {[](SrbSpec& s) { s.versions[0] = 1; }, "GPL srb file unsupported version"},
        {[](SrbSpec& s) { s.sizes[0] = 96; }, "GPL srb size mismatch"},
        {[](SrbSpec& s) { s.ids[1] = Id("SRH2"); }, "GPL srb header not found"},
        {[](SrbSpec& s) { s.versions[1] = 2; }, "GPL srb file header unsupported version"},
        {[](SrbSpec& s) { s.sizes[1] = 28; }, "GPL srb header incorrect size"},
        {[](SrbSpec& s) { s.ids[2] = Id("SRHD"); }, "GPL srb header 2 not found"},
        {[](SrbSpec& s) { s.versions[2] = 1; }, "GPL srb file header 2 unsupported version"},
        // The header is refused before the MIP is looked at.
        {[](SrbSpec& s) { s.sizes[2] = 32, s.mip.mipId = 0; }, "GPL srb header 2 incorrect size"},
        // The MIP image is read with the GPL header.
        {[](SrbSpec& s) { s.mip.headerVersion = 1; }, "GPL mip header unsupported version"},
    };
    for (const auto& [breakIt, expected] : cases) {
        SrbSpec spec;
        breakIt(spec);
        EXPECT_EQ(FailureOf([&] { ReadSrb(spec.Build()); }, "tree.srb"), expected);
    }
    const Bytes valid = SrbSpec().Build();
    for (std::size_t length = 0; length < valid.size(); length += 3) {
        EXPECT_THROW(ReadSrb(Bytes(valid.begin(), valid.begin() + length)), Util::Exception);
    }
}

TEST(SrbFileRead, FieldsAndRoundTrip) {
    const Bytes bytes = SrbSpec().Build();
    const auto srb = ReadSrb(bytes);
    ASSERT_EQ(srb->GetValueCount(), 9u);
    EXPECT_EQ(srb->GetValue(0), 1u);
    EXPECT_EQ(srb->GetValue(8), 0xFFFFFFFFu);
    EXPECT_THROW(srb->GetValue(9), Util::XAssertion);
    // The levels are copied as a MIP file's are; the SRB's own fields must come along.
    EXPECT_EQ(Written(*srb->Clone()), Written(*srb));
    // The MIP image written after the SRB headers counts only itself.
    EXPECT_EQ(WithoutMeanColour(Written(*srb), kMipStart), WithoutMeanColour(bytes, kMipStart));
}

// New SRB files store their corners, repeat in neither direction and take the SRB formats.
TEST(SrbFileCreate, CornersRepeatsAndFormats) {
    // The SRB headers' geometry is the standing rectangle's on a 64-pixel picture.
    const Bytes expected = SrbSpec{.values = {}}.Build();
    const GPLSrbFile srb = CreateSrb(64, kStanding);
    EXPECT_EQ(srb.GetAlphaBits(), 4u); // format 5: the best of codes 0 to 5
    const Bytes written = Written(srb);
    EXPECT_EQ(Bytes(written.begin(), written.begin() + kMipStart),
              Bytes(expected.begin(), expected.begin() + kMipStart));
    EXPECT_EQ(written[kMipStart + kRepeatOffset], 0x03);
    EXPECT_EQ(ReadSrb(written)->GetBitmapCount(), 2u);

    for (const Corners& corners : {kStanding, kOffCentre}) {
        const auto back = ReadSrb(Written(CreateSrb(32, corners)));
        for (std::uint32_t i = 0; i <= 4; ++i) { // numbers beyond 3 give corner 0
            EXPECT_DOUBLE_EQ(back->GetCorner(i).x, corners.world[i % 4].x);
            EXPECT_DOUBLE_EQ(back->GetCorner(i).z, corners.world[i % 4].z);
            EXPECT_DOUBLE_EQ(back->GetTextureCorner(i).u, corners.texture[i % 4].u);
            EXPECT_DOUBLE_EQ(back->GetTextureCorner(i).v, corners.texture[i % 4].v);
        }
    }
}
