#include "GPLFileBytes.h"

#include "Support/TestSupport.h"
#include "Trova/GPLSrbFile.h"
#include "Util/Exception.h"

#include <gtest/gtest.h>

#include <bit>
#include <functional>

using namespace Ostrel;
using namespace Ostrel::Test;
using Trova::Colour;
using Trova::GPLSrbFile;
using Trova::TexturePoint;
using Trova::WorldPoint;

namespace {

struct SrbSpec {
    std::array<std::uint32_t, 3> ids{Id("SRB "), Id("SRHD"), Id("SRH2")};
    std::array<std::uint32_t, 3> versions{};
    std::array<std::uint32_t, 3> sizes{84, 24, 36};
    std::array<float, 6> geometry{2, 1, 64, 32, 32, 32};
    std::array<std::uint32_t, 9> values{1, 2, 3, 4, 5, 6, 7, 8, 0xFFFFFFFF};
    MipSpec mip = Picture64();

    static MipSpec Picture64() {
        MipSpec mip;
        mip.log2Width = 6;
        mip.log2Height = 6;
        mip.repeat = 0x03;
        mip.StandardLevels(3);
        return mip;
    }

    Bytes Build() const {
        Bytes bytes;
        PutHeader(bytes, ids[0], versions[0], sizes[0]);
        PutHeader(bytes, ids[1], versions[1], sizes[1]);
        for (float value : geometry) {
            PutU32(bytes, std::bit_cast<std::uint32_t>(value));
        }
        PutHeader(bytes, ids[2], versions[2], sizes[2]);
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

std::string FormatFailure(const Bytes& bytes) {
    return FailureOf([&] { ReadSrb(bytes); }, "tree.srb");
}

// The corners of the dialog values: rectangle W x H, used part UW x UH of the picture, origin
// at HC of the used part from its left and VC from its bottom.
struct Corners {
    std::array<WorldPoint, 4> world;
    std::array<TexturePoint, 4> texture;
};

Corners MakeCorners(double w, double h, double uw, double uh, double hc, double vc) {
    return {{{{-hc * w, 0, (1 - vc) * h},
              {(1 - hc) * w, 0, (1 - vc) * h},
              {(1 - hc) * w, 0, -vc * h},
              {-hc * w, 0, -vc * h}}},
            {{{0, 0}, {uw, 0}, {uw, uh}, {0, uh}}}};
}

GPLSrbFile CreateSrb(std::uint32_t side, const Corners& corners) {
    return GPLSrbFile(side, side, 5, 6, 5, 0, 0, false, 0, false, 1, corners.world, corners.texture,
                      0, 6);
}

void ExpectPoint(const WorldPoint& point, double x, double y, double z) {
    EXPECT_DOUBLE_EQ(point.x, x);
    EXPECT_DOUBLE_EQ(point.y, y);
    EXPECT_DOUBLE_EQ(point.z, z);
}

} // namespace

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
        EXPECT_EQ(FormatFailure(spec.Build()), expected);
    }
}

TEST(SrbFileRead, ShortStreamsFailCleanly) {
    const Bytes valid = SrbSpec().Build();
    for (std::size_t length = 0; length < valid.size(); length += 3) {
        EXPECT_THROW(ReadSrb(Bytes(valid.begin(), valid.begin() + length)), Util::Exception);
    }
}

TEST(SrbFileRead, FieldsAndRoundTrip) {
    SrbSpec spec;
    const auto srb = ReadSrb(spec.Build());
    EXPECT_EQ(srb->GetBitmapCount(), 3u);
    EXPECT_EQ(srb->GetWidth(), 64u);
    EXPECT_EQ(srb->GetMeanColour(), Colour(30 / 255.0f, 20 / 255.0f, 10 / 255.0f, 1));
    ASSERT_EQ(srb->GetValueCount(), 9u);
    EXPECT_EQ(srb->GetValue(0), 1u);
    EXPECT_EQ(srb->GetValue(8), 0xFFFFFFFFu);
    EXPECT_THROW(srb->GetValue(9), Util::XAssertion);

    SrbSpec shared;
    shared.mip.levels.clear();
    shared.mip.format = 1;
    shared.mip.sharedCmap = SixteenColourCmap();
    shared.mip.StandardLevels(2);
    SrbSpec own;
    own.mip.levels.clear();
    own.mip.format = 2;
    own.mip.StandardLevels(2, {}, SixteenColourCmap());
    for (const SrbSpec* each : {&spec, &shared, &own}) {
        const Bytes bytes = each->Build();
        EXPECT_EQ(WithoutMeanColour(Written(*ReadSrb(bytes)), kMipStart),
                  WithoutMeanColour(bytes, kMipStart));
    }
}

TEST(SrbFileGeometry, StoredValuesOfTheExample) {
    const Bytes written = Written(CreateSrb(64, MakeCorners(2, 1, 1, 0.5, 0.5, 0)));
    std::array<float, 6> stored;
    for (std::size_t i = 0; i < 6; ++i) {
        stored[i] = std::bit_cast<float>(Util::ReadU32(&written[24 + 4 * i]));
    }
    EXPECT_EQ(stored, (std::array<float, 6>{2, 1, 64, 32, 32, 32}));
    EXPECT_EQ(Bytes(written.begin() + 60, written.begin() + kMipStart), Bytes(36, 0));
}

TEST(SrbFileGeometry, CornersOfNewFilesSurviveWritingAndReading) {
    const Corners examples[] = {MakeCorners(2, 1, 1, 0.5, 0.5, 0),
                                MakeCorners(3, 2, 0.75, 0.5, 0.25, 0.5)};
    for (const Corners& corners : examples) {
        const GPLSrbFile srb = CreateSrb(32, corners);
        const auto back = ReadSrb(Written(srb));
        const GPLSrbFile* const files[] = {&srb, back.Get()};
        for (const GPLSrbFile* file : files) {
            for (std::uint32_t i = 0; i < 4; ++i) {
                ExpectPoint(file->GetCorner(i), corners.world[i].x, 0, corners.world[i].z);
                EXPECT_DOUBLE_EQ(file->GetTextureCorner(i).u, corners.texture[i].u);
                EXPECT_DOUBLE_EQ(file->GetTextureCorner(i).v, corners.texture[i].v);
            }
            // Numbers beyond 3 give corner 0.
            ExpectPoint(file->GetCorner(7), corners.world[0].x, 0, corners.world[0].z);
        }
    }
}

TEST(SrbFileCreate, RepeatsInNeitherDirectionAndUsesTheSrbFormats) {
    const GPLSrbFile srb(8, 8, 8, 8, 8, 8, 2, false, 0, false, 2,
                         MakeCorners(1, 1, 1, 1, 0.5, 0.5).world,
                         MakeCorners(1, 1, 1, 1, 0.5, 0.5).texture, 0, 6);
    EXPECT_EQ(srb.GetAlphaBits(), 4u); // format 5: the best of codes 0 to 5
    const Bytes written = Written(srb);
    EXPECT_EQ(written[kMipStart + kRepeatOffset], 0x03);
    EXPECT_EQ(ReadSrb(written)->GetBitmapCount(), 2u);

    EXPECT_EQ(MessageOf([] { GPLSrbFile(8, 12, 5, 6, 5, 0, 0, false, 0, false, 1, {}, {}, 0, 6); }),
              "Bitmap dimension not a power of 2");
}

// The levels are copied as a MIP file's are; the SRB's own fields must come along.
TEST(SrbFileCopy, CloneKeepsGeometryAndValues) {
    const auto srb = ReadSrb(SrbSpec().Build());
    EXPECT_EQ(Written(*srb->Clone()), Written(*srb));
}
