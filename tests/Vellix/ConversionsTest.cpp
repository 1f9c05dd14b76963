#include "Vellix/Conversions.h"
#include "Support/TestSupport.h"
#include "Trova/BitmapUtils.h"
#include "Trova/DIB.h"
#include "Trova/FileFactoryRegistry.h"
#include "Trova/GPLMipFile.h"
#include "Trova/GPLPbfFile.h"
#include "Trova/GPLSrbFile.h"
#include "Trova/Palette.h"
#include "Trova/PngFile.h"
#include "Util/BinaryFile.h"
#include "Util/Exception.h"
#include "Util/Platform.h"
#include "Vellix/ConversionBatch.h"
#include "Vellix/DatDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <numeric>
#include <variant>

using namespace Ostrel;
using namespace Ostrel::Vellix;
using Ostrel::Test::MessageOf;
using Ostrel::Test::ReadBytes;
using Ostrel::Test::TempDir;
using Trova::Colour;
using Util::CountedPtr;

namespace {

Colour Rgba(int red, int green, int blue, int alpha = 255) {
    return Colour(Trova::IntToChannel(red, 8), Trova::IntToChannel(green, 8),
                  Trova::IntToChannel(blue, 8), Trova::IntToChannel(alpha, 8));
}

// Level l's pixel: a colour ramp in which every third pixel is fully transparent.
Colour Pattern(std::uint32_t level, std::uint32_t row, std::uint32_t column) {
    const bool clear = (row * 7 + column) % 3 == 0;
    return Rgba((level * 60 + row * 20) % 256, (column * 30) % 256, 200, clear ? 0 : 255);
}

Colour Opaque(std::uint32_t level, std::uint32_t row, std::uint32_t column) {
    return Rgba((level * 60 + row * 20) % 256, (column * 30) % 256, 200);
}

Trova::BitmapSimple Filled(std::uint32_t height, std::uint32_t width,
                           const std::function<Colour(std::uint32_t, std::uint32_t)>& pixel) {
    Trova::BitmapSimple bitmap(height, width);
    for (std::uint32_t row = 0; row < height; ++row) {
        for (std::uint32_t column = 0; column < width; ++column) {
            bitmap.SetPixel(row, column, pixel(row, column));
        }
    }
    return bitmap;
}

using PixelFunction = Colour (*)(std::uint32_t, std::uint32_t, std::uint32_t);

// An 8 x 8 MIP of three levels with 8 bits per channel.
CountedPtr<Trova::MipFile> MakeMip(PixelFunction pixel) {
    CountedPtr<Trova::MipFile> mip(
        new Trova::GPLMipFile(8, 8, 8, 8, 8, 8, 2, false, 16, false, true, true, 3, 0, 8, 0));
    for (std::uint32_t level = 0; level < 3; ++level) {
        const auto ofLevel = [&](auto row, auto column) {
            return pixel(level, row, column);
        };
        Trova::CopyBitmap(Filled(8 >> level, 8 >> level, ofLevel), *mip->GetBitmap(level));
    }
    return mip;
}

template <typename FileT> void Save(const FileT& file, const std::string& path) {
    file.Write(Util::CreateAlways(path));
}

CountedPtr<Trova::MipFile> ReadMip(const std::string& path) {
    return CountedPtr<Trova::MipFile>(new Trova::GPLMipFile(Util::OpenForRead(path), 0));
}

void SaveBmp(const Trova::Bitmap& source, const std::string& path) {
    Trova::DIB picture(24);
    Trova::CopyBitmap(source, picture);
    picture.Save(path, true);
}

std::vector<Colour> PixelsOf(const Trova::Bitmap& bitmap) {
    std::vector<Colour> pixels;
    for (std::uint32_t row = 0; row < bitmap.GetHeight(); ++row) {
        for (std::uint32_t column = 0; column < bitmap.GetWidth(); ++column) {
            pixels.push_back(bitmap.GetPixel(row, column));
        }
    }
    return pixels;
}

std::map<std::string, std::vector<std::uint8_t>> Contents(const TempDir& dir) {
    std::map<std::string, std::vector<std::uint8_t>> files;
    for (const auto& entry : Util::Platform::ListDirectory(dir.Path())) {
        files[entry.name] = ReadBytes(dir / entry.name);
    }
    return files;
}

// Runs one command over paths and lists the files it wrote (their names only).
struct Runner {
    std::vector<std::string> written;
    BatchSettings settings;

    template <typename OptionsT>
    void operator()(const std::vector<std::string>& paths, const OptionsT& options) {
        ConversionBatch batch([this](const std::string& path) {
            written.push_back(Util::PathName(path).GetFileName());
        });
        batch.SetSettings(settings);
        for (const auto& path : paths) {
            batch.AddPath(path);
        }
        batch.Convert(options);
    }
};

MipBmpOptions ToBmp(const TransparencyOptions& transparency, bool allLevels, std::int32_t level = 1,
                    bool overwrite = false) {
    MipBmpOptions options;
    options.transparency = transparency;
    options.allLevels = allLevels;
    options.level = level;
    options.overwrite = overwrite;
    return options;
}

MipFromBmpOptions FromBmp(std::int32_t level, bool generate,
                          const TransparencyOptions& transparency = {kNoTransparency}) {
    MipFromBmpOptions options;
    options.transparency = transparency;
    options.level = level;
    options.generateSubLevels = generate;
    options.overwrite = true;
    return options;
}

// Writes a few bytes of the real file, then fails as a full disk would.
struct FailingMip : Trova::GPLMipFile {
    using GPLMipFile::GPLMipFile;
    void Write(const CountedPtr<Util::BinaryStream>& stream) const override {
        stream->Write(4, "PART");
        throw Util::XFileWrite(stream->GetName());
    }
};

} // namespace

// Paths are matched without regard to case: a BMP of the other case is replaced, not added to.
TEST(ConversionsToBmp, EachMethodWritesItsPictures) {
    TempDir dir;
    Save(*MakeMip(Pattern), dir / "car.mip");
    Save(*MakeMip(Opaque), dir / "PLAIN.MIP");
    SaveBmp(Filled(4, 4, [](auto, auto) { return Rgba(5, 5, 5); }), dir / "PLAIN_1.BMP");
    Save(*MakeMip(Pattern), dir / "holes.mip");
    Runner run;
    run({dir / "car.mip"}, ToBmp({kSeparateTransparency}, true));
    run({dir / "plain.mip"}, ToBmp({kNoTransparency}, false, 2, true));
    run({dir / "holes.mip"}, ToBmp({kSpecifiedColour, 0, 255, 0}, false));
    EXPECT_EQ(run.written,
              (std::vector<std::string>{"car.bmp", "car_ti.bmp", "car_1.bmp", "car_1_ti.bmp",
                                        "car_2.bmp", "car_2_ti.bmp", "PLAIN_1.BMP", "holes.bmp"}));
    EXPECT_EQ(Contents(dir).size(), 11u);
    const struct {
        const char* file;
        std::uint32_t row, column;
        Colour colour;
    } pixels[] = {
        {"car.bmp", 0, 0, Rgba(0, 0, 0)}, // transparent: black
        {"car_ti.bmp", 0, 0, Rgba(0, 0, 0)},
        {"car.bmp", 7, 7, Rgba(140, 210, 200)},
        {"car_ti.bmp", 7, 7, Rgba(255, 255, 255)},
        {"car_1.bmp", 0, 1, Rgba(60, 30, 200)},
        {"car_2.bmp", 1, 1, Rgba(140, 30, 200)},
        {"car_2_ti.bmp", 1, 1, Rgba(255, 255, 255)},
        {"PLAIN_1.BMP", 1, 1, Rgba(80, 30, 200)},
        {"holes.bmp", 0, 0, Rgba(0, 255, 0)}, // transparent: the key colour
        {"holes.bmp", 0, 1, Rgba(0, 30, 200)},
    };
    for (const auto& pixel : pixels) {
        EXPECT_EQ(Trova::DIB(dir / pixel.file).GetPixel(pixel.row, pixel.column), pixel.colour)
            << pixel.file;
    }
}

// Into an 8-bit MIP of three levels and into a palettised one of two levels with one palette.
TEST(ConversionsFromBmp, ReplacesALevelShrinksTheSmallerOnesAndMapsOntoASharedPalette) {
    TempDir dir;
    const auto original = MakeMip(Opaque);
    Save(*original, dir / "car.mip");
    const auto replacement = Filled(4, 4, [](std::uint32_t row, std::uint32_t column) {
        return Rgba(row * 60, column * 60, 255 - row * 10);
    });
    SaveBmp(replacement, dir / "CAR_1.BMP"); // found whatever its case
    Runner run;
    run({dir / "car.mip"}, FromBmp(2, false));
    EXPECT_EQ(run.written, (std::vector<std::string>{"car.mip"}));
    auto written = ReadMip(dir / "car.mip");
    EXPECT_EQ(PixelsOf(*written->GetBitmap(0)), PixelsOf(*original->GetBitmap(0)));
    EXPECT_EQ(PixelsOf(*written->GetBitmap(1)), PixelsOf(replacement));
    EXPECT_EQ(PixelsOf(*written->GetBitmap(2)), PixelsOf(*original->GetBitmap(2)));

    run({dir / "car.mip"}, FromBmp(2, true));
    written = ReadMip(dir / "car.mip");
    // Shrunk from the new level: the mean of its top left square of four.
    EXPECT_EQ(written->GetBitmap(2)->GetPixel(0, 0), Rgba(30, 30, 250));
    EXPECT_EQ(Contents(dir).size(), 2u); // car.mip and CAR_1.BMP

    Save(Trova::GPLMipFile(4, 4, 8, 8, 8, 8, 2, true, 16, false, true, true, 2, 0, 8, 0),
         dir / "pal.mip");
    const auto colours = [](auto row, auto column) {
        return (row + column) % 2 ? Rgba(255, 0, 0) : Rgba(0, 0, 255);
    };
    SaveBmp(Filled(4, 4, colours), dir / "pal.bmp");
    SaveBmp(Filled(4, 4, [](auto row, auto) { return row ? Rgba(255, 255, 255) : Rgba(0, 0, 0); }),
            dir / "pal_ti.bmp");
    run({dir / "pal.mip"}, FromBmp(1, true, {kSeparateTransparency}));
    written = ReadMip(dir / "pal.mip");
    ASSERT_TRUE(written->IsPalettised());
    EXPECT_FALSE(written->HasIndividualPalettes());
    EXPECT_EQ(written->GetBitmap(0)->GetPixel(0, 1), Colour(0, 0, 0, 0));
    EXPECT_EQ(written->GetBitmap(0)->GetPixel(1, 0), Rgba(255, 0, 0));
    EXPECT_EQ(written->GetBitmap(0)->GetPixel(1, 1), Rgba(0, 0, 255));
    EXPECT_EQ(written->GetPalette()->GetColour(3), Colour(0, 0, 0, 0)); // unused entries cleared
}

TEST(ConversionsFromBmp, AFailedWriteKeepsTheOriginalFile) {
    TempDir dir;
    Save(*MakeMip(Opaque), dir / "car.mip");
    SaveBmp(*MakeMip(Opaque)->GetBitmap(0), dir / "car.bmp");
    const auto before = Contents(dir);
    FailingMip failing(8, 8, 8, 8, 8, 8, 2, false, 16, false, true, true, 3, 0, 8, 0);
    const FromBmpSettings settings{.transparency = {kNoTransparency}, .overwrite = true};
    std::vector<std::string> written;
    const FileReporter record{
        false, nullptr, [&](const std::string& path, bool) { written.push_back(path); }, nullptr};
    EXPECT_NE(MessageOf([&] {
                  LevelsFromBmp(failing, dir / "car", "mip", settings, record);
              }).find("write to"),
              std::string::npos);
    EXPECT_TRUE(written.empty());
    EXPECT_EQ(Contents(dir), before); // no temporary file left behind either
}

// Several files at once write and report the same files in the same order as one at a time; what
// the desktop's progress dialog and the tool's --keep-going, --dry-run and --json rely on.
TEST(ConversionsBatch, TheFirstFailureEndsTheBatchUnlessItKeepsGoing) {
    for (const unsigned jobs : {1u, 2u, 4u}) {
        SCOPED_TRACE(jobs);
        TempDir dir;
        std::vector<std::string> paths;
        // c has holes, so that it fails to convert without a transparency method.
        for (const char* name : {"a", "b", "c", "d"}) {
            Save(*MakeMip(name[0] == 'c' ? Pattern : Opaque), dir / (name + std::string(".mip")));
            paths.push_back(dir / (name + std::string(".mip")));
        }
        Runner first;
        first.settings.jobs = jobs;
        EXPECT_EQ(MessageOf([&] { first(paths, ToBmp({kNoTransparency}, true)); }).find("c.mip"),
                  0u);
        EXPECT_EQ(first.written, (std::vector<std::string>{"a.bmp", "a_1.bmp", "a_2.bmp", "b.bmp",
                                                           "b_1.bmp", "b_2.bmp"}));
        for (const char* name : {"c.bmp", "d.bmp", "d_2.bmp"}) {
            EXPECT_FALSE(Util::FileExists(dir / name)) << name;
        }
        const auto run = [&](BatchSettings settings, int cancelAfter) {
            auto batch = std::make_unique<ConversionBatch>();
            int reports = 0;
            settings.jobs = jobs;
            batch->SetSettings(settings);
            batch->SetProgress([&](std::size_t, std::size_t, const std::string&) { ++reports; });
            batch->SetCancel([&] { return reports >= cancelAfter; });
            for (const auto& path : paths) {
                batch->AddPath(path);
            }
            batch->Convert(ToBmp({kNoTransparency}, false, 1, true));
            EXPECT_EQ(reports, std::min(cancelAfter, 4) + 1);
            return batch;
        };
        auto batch = run({"", "", false, true}, 9);
        const auto& done = batch->GetOutcomes();
        ASSERT_EQ(done.size(), 4u);
        EXPECT_EQ(done[0].written, std::vector<std::string>{dir / "a.bmp"});
        EXPECT_EQ(done[0].read, std::vector<std::string>{dir / "a.mip"});
        EXPECT_EQ(done[2].failure.find("c.mip level 1: Bitmap is transparent"), 0u);
        EXPECT_TRUE(done[2].written.empty());
        EXPECT_EQ(done[3].written, std::vector<std::string>{dir / "d.bmp"});
        EXPECT_TRUE(batch->HasFailures());

        ASSERT_TRUE(Util::Platform::RemoveFile(dir / "d.bmp"));
        const std::string out = dir / "out";
        batch = run({out, "", true, true}, 9);
        EXPECT_EQ(batch->GetOutcomes()[0].written,
                  std::vector<std::string>{out + Util::kPathSeparator + "a.bmp"});
        EXPECT_FALSE(Util::Platform::IsDirectory(out));
        EXPECT_FALSE(Util::FileExists(dir / "d.bmp"));

        batch = run({"", "", false, true}, 1);
        EXPECT_EQ(batch->GetOutcomes()[1].skipped, "Cancelled");
        EXPECT_FALSE(Util::FileExists(dir / "d.bmp"));
    }
}

// A hostile archive may name a member so that its BMP would land outside the game directory, or
// in a stream of another file; the names are refused as dat extract refuses them.
TEST(ConversionsBatch, ArchiveMembersConvertIntoTheGameDirectoryUnderUsableNamesOnly) {
    TempDir dir;
    const std::string game = dir / "cars";
    ASSERT_TRUE(Util::Platform::MakeDirectory(game));
    const std::string separator(1, Util::kPathSeparator);
    const std::string archive = game + separator + "cars.dat";
    Save(*MakeMip(Pattern), dir / "mip.bin");
    const auto mip = ReadBytes(dir / "mip.bin");
    Ostrel::Test::WriteBytes(archive, Ostrel::Test::ArchiveBytes({{"CAR1.MIP", mip}}));
    Runner run;
    run({archive + separator + "car1.mip"}, ToBmp({kSeparateTransparency}, false, 1));
    EXPECT_EQ(run.written, (std::vector<std::string>{"CAR1.bmp", "CAR1_ti.bmp"}));
    EXPECT_TRUE(Util::FileExists(game + separator + "CAR1_ti.bmp"));
    for (const std::string& base : {".." + separator + "EVIL", std::string("CAR:EVIL")}) {
        Trova::GetFactoryRegistry().Purge();
        Ostrel::Test::WriteBytes(archive, Ostrel::Test::ArchiveBytes({{base + ".MIP", mip}}));
        DatDirectory container(archive, "");
        ConversionBatch batch;
        batch.Add(container, 0);
        EXPECT_EQ(MessageOf([&] { batch.Convert(ToBmp({kNoTransparency}, true)); }),
                  "\"" + base + "\" is not a usable file name");
    }
    Trova::GetFactoryRegistry().Purge();
    EXPECT_FALSE(Util::FileExists(dir / "EVIL.bmp"));
}

// Every kind of new file from one picture: white above, green and then the key colour below.
TEST(ConversionsNewFile, EachKindTakesItsOptions) {
    TempDir dir;
    const auto sign = [](auto row, auto column) {
        return row < 4 ? Rgba(255, 255, 255) : column < 8 ? Rgba(0, 255, 0) : Rgba(255, 0, 255);
    };
    SaveBmp(Filled(8, 16, sign), dir / "sign.bmp");
    const Colour clear(0, 0, 0, 0);
    BmpMipOptions palettised;
    palettised.transparency = {kSpecifiedColour, 255, 0, 255};
    palettised.format.transparencyKind = kOpaqueTransparent;
    palettised.individualPalettes = true;
    Runner run;
    run({dir / "sign.bmp"}, palettised);
    auto mip = ReadMip(dir / "sign.mip");
    EXPECT_TRUE(mip->IsPalettised());
    EXPECT_TRUE(mip->HasIndividualPalettes());
    EXPECT_EQ(mip->GetTransparency(), 1u);
    ASSERT_EQ(mip->GetBitmapCount(), 2u); // automatic: down to 8 pixels across
    EXPECT_EQ(mip->GetBitmapPalette(0)->GetCount(), 16u);
    EXPECT_EQ(mip->GetBitmap(0)->GetPixel(0, 0), Rgba(255, 255, 255));
    EXPECT_EQ(mip->GetBitmap(0)->GetPixel(4, 0), Rgba(0, 255, 0));
    EXPECT_EQ(mip->GetBitmap(0)->GetPixel(7, 15), clear);
    EXPECT_EQ(mip->GetBitmap(1)->GetPixel(3, 7), clear);
    EXPECT_EQ(mip->GetBitmap(1)->GetPixel(0, 7), Rgba(255, 255, 255));

    BmpMipOptions direct;
    direct.transparency.method = kNoTransparency;
    direct.format = {5, 6, 5, 0, kOpaque, false, 16};
    direct.horizontalRepeat = true;
    direct.automaticLevelCount = false;
    direct.levelCount = 3;
    EXPECT_EQ(MessageOf([&] { run({dir / "sign.bmp"}, direct); }),
              "sign.mip: File exists (use --overwrite)");
    direct.overwrite = true;
    run({dir / "sign.bmp"}, direct);
    mip = ReadMip(dir / "sign.mip");
    EXPECT_FALSE(mip->IsPalettised());
    EXPECT_EQ(mip->GetRedBits(), 5u);
    EXPECT_EQ(mip->GetGreenBits(), 6u);
    EXPECT_EQ(mip->GetAlphaBits(), 0u);
    EXPECT_TRUE(mip->GetHorizontalRepeat());
    EXPECT_FALSE(mip->GetVerticalRepeat());
    EXPECT_EQ(mip->GetBitmapCount(), 3u);

    BmpPbfOptions keyed;
    keyed.transparency = palettised.transparency;
    keyed.format.transparencyKind = kOpaqueTransparent;
    run({dir / "sign.bmp"}, keyed);
    const Trova::GPLPbfFile pbf(Util::OpenForRead(dir / "sign.pbf"));
    EXPECT_TRUE(pbf.IsPalettised());
    EXPECT_EQ(pbf.GetHeight(), 8u);
    EXPECT_EQ(pbf.GetWidth(), 16u);
    EXPECT_EQ(pbf.GetBitmap()->GetPixel(7, 15), clear);
    EXPECT_EQ(pbf.GetBitmap()->GetPixel(4, 0), Rgba(0, 255, 0));

    BmpSrbOptions sprite;
    sprite.transparency.method = kNoTransparency;
    sprite.format.usePalette = false;
    sprite.geometry.width = 2;
    sprite.geometry.usedHeight = 0.5;
    sprite.geometry.verticalCentre = 0;
    run({dir / "sign.bmp"}, sprite);
    EXPECT_EQ(run.written,
              (std::vector<std::string>{"sign.mip", "sign.mip", "sign.pbf", "sign.srb"}));
    const Trova::GPLSrbFile srb(Util::OpenForRead(dir / "sign.srb"));
    EXPECT_EQ(srb.GetBitmapCount(), 2u);
    EXPECT_DOUBLE_EQ(srb.GetCorner(0).x, -1);
    EXPECT_DOUBLE_EQ(srb.GetCorner(0).z, 1);
    EXPECT_DOUBLE_EQ(srb.GetCorner(2).x, 1);
    EXPECT_DOUBLE_EQ(srb.GetCorner(2).z, 0);
    EXPECT_DOUBLE_EQ(srb.GetTextureCorner(2).u, 1);
    EXPECT_DOUBLE_EQ(srb.GetTextureCorner(2).v, 0.5);
    EXPECT_EQ(srb.GetBitmap(0)->GetPixel(4, 0), Rgba(0, 255, 0));
}

// The format alone decides the names, also of the separate grey picture.
TEST(ConversionsAlphaChannel, EveryLevelGoesOutAndBackWithItsAlpha) {
    for (const auto& [format, extension] : {std::pair{kPngPictures, std::string(".png")},
                                            std::pair{kBmpPictures, std::string(".bmp")}}) {
        SCOPED_TRACE(extension);
        TempDir dir;
        Save(*MakeMip(Pattern), dir / "car.mip");
        const auto original = ReadBytes(dir / "car.mip");
        const TransparencyOptions alpha{.method = kAlphaChannel, .pictureFormat = format};
        Runner run;
        run({dir / "car.mip"}, ToBmp(alpha, true));
        MipFromBmpOptions back = FromBmp(1, false, alpha);
        back.allLevels = true;
        run({dir / "car.mip"}, back);
        EXPECT_EQ(ReadBytes(dir / "car.mip"), original); // 8-8-8-8: byte for byte
        BmpPbfOptions decal; // a new file reads its picture by the operand's extension
        decal.transparency.method = kAlphaChannel;
        decal.format.usePalette = false;
        run({dir / ("car" + extension)}, decal);
        const Trova::GPLPbfFile pbf(Util::OpenForRead(dir / "car.pbf"));
        EXPECT_EQ(pbf.GetBitmap()->GetPixel(0, 0).GetAlpha(), 0.0f); // every third pixel is clear
        EXPECT_EQ(pbf.GetBitmap()->GetPixel(0, 1).GetAlpha(), 1.0f);
        const TransparencyOptions separate{.method = kSeparateTransparency,
                                           .pictureFormat = format};
        run({dir / "car.mip"}, ToBmp(separate, false, 3, true));
        EXPECT_EQ(run.written,
                  (std::vector<std::string>{"car" + extension, "car_1" + extension,
                                            "car_2" + extension, "car.mip", "car.pbf",
                                            "car_2" + extension, "car_2_ti" + extension}));
    }
}

// A palettised file whose picture is edited in one place: with the palette kept, only the edited
// pixels change; rebuilding the palette moves the colours of the others.
TEST(ConversionsFromBmp, AKeptPaletteLeavesUneditedPixelsAlone) {
    const auto changedPixels = [](bool keepPalette) {
        TempDir dir;
        Trova::GPLMipFile mip(16, 16, 8, 8, 8, 0, 0, true, 2, false, true, true, 1, 0, 8, 0);
        const auto level = mip.GetBitmap(0);
        const auto palette = mip.GetPalette();
        palette->SetColour(0, Rgba(26, 26, 102));
        palette->SetColour(1, Rgba(230, 230, 230));
        auto edited = Filled(16, 16, [&](std::uint32_t row, std::uint32_t column) {
            return palette->GetColour((row / 4 + column / 4) % 2);
        });
        Trova::CopyBitmap(edited, *level);
        Save(mip, dir / "car.mip");
        for (std::uint32_t place = 0; place < 16; ++place) { // the edit: a block of a new colour
            edited.SetPixel(place / 4, place % 4, Rgba(200, 40, 40));
        }
        SaveBmp(edited, dir / "car.bmp");
        MipFromBmpOptions options = FromBmp(1, false);
        options.keepPalette = keepPalette;
        Runner run;
        run({dir / "car.mip"}, options);
        const auto before = PixelsOf(*level);
        const auto after = PixelsOf(*ReadMip(dir / "car.mip")->GetBitmap(0));
        return std::inner_product(before.begin(), before.end(), after.begin(), 0, std::plus<>(),
                                  std::not_equal_to<>()); // the pixels that differ
    };
    // The edited block maps to the nearest colour of the palette, here the one it replaced.
    EXPECT_EQ(changedPixels(true), 0);
    EXPECT_GE(changedPixels(false), 16 + 112);
}

// A failure names the file it happened on and, where another option would have worked, that
// option as the front end names it; it writes nothing and leaves every file as it was.
TEST(ConversionsFailures, NameTheFileAndTheOptionThatWouldHaveWorked) {
    TempDir dir;
    Save(*MakeMip(Pattern), dir / "fence.mip");
    Save(*MakeMip(Opaque), dir / "CAR1.MIP");
    Save(*MakeMip(Opaque), dir / "decal.mip");
    Save(*MakeMip(Opaque), dir / "sign.mip");
    SaveBmp(Filled(4, 4, [](auto, auto) { return Rgba(1, 2, 3); }), dir / "CAR1.bmp");
    SaveBmp(Filled(8, 8, [](auto, auto) { return Rgba(1, 2, 3); }), dir / "decal.bmp");
    SaveBmp(Filled(8, 8, [](auto, auto) { return Rgba(1, 2, 3); }), dir / "sign.bmp");
    SaveBmp(Filled(4, 8, [](auto, auto) { return Rgba(9, 9, 9); }), dir / "sign_ti.bmp");
    const auto glass = Filled(8, 8, [](auto, auto) { return Rgba(1, 2, 3, 128); });
    Trova::PngFile::Save(glass, *Util::CreateAlways(dir / "glass.png"));
    const auto separate = FromBmp(1, true, {kSeparateTransparency});
    MipFromBmpOptions noOverwrite = FromBmp(1, true);
    noOverwrite.overwrite = false;
    BmpSrbOptions badMethod;
    badMethod.transparency.method = 7;
    BmpMipOptions opaque;
    opaque.transparency.method = kNoTransparency;
    const auto cli = OptionNaming::CommandLine;
    const auto dialog = OptionNaming::Dialog;
    const struct {
        const char* file;
        std::variant<MipBmpOptions, MipFromBmpOptions, BmpMipOptions, BmpSrbOptions> options;
        OptionNaming naming;
        const char* expected;
    } cases[] = {
        {"fence.mip", ToBmp({kNoTransparency}, false, 2), cli,
         "fence.mip level 2: Bitmap is transparent (choose --transparency separate, colour or "
         "alpha)"},
        {"fence.mip", ToBmp({kNoTransparency}, false, 2), dialog,
         "fence.mip level 2: Bitmap is transparent (choose \"Transparency in Separate Bitmap\", "
         "\"Transparency using Specified Colour\" or \"Alpha Channel\")"},
        {"decal.mip", separate, cli,
         "decal_ti.bmp: File not found (the separate method reads the alpha from it)"},
        {"decal.mip", FromBmp(2, true), cli, "decal_1.bmp: File not found"},
        {"CAR1.MIP", FromBmp(1, true), cli,
         "CAR1.bmp: Source bitmap incorrect size (8 x 8 expected, 4 x 4 found)"},
        {"sign.mip", separate, cli,
         "sign_ti.bmp: Size of transparency does not match (8 x 8 expected, 8 x 4 found)"},
        {"decal.mip", noOverwrite, dialog, "decal.mip: File exists (tick \"Overwrite\")"},
        {"CAR1.MIP", ToBmp({kNoTransparency}, false, 1), cli,
         "CAR1.bmp: File exists (use --overwrite)"},
        {"decal.mip", FromBmp(1, true, {kNoTransparency, 255, 0, 255, kPngPictures}), cli,
         "decal.png: File not found (choose --format bmp)"},
        {"glass.png", opaque, dialog,
         "glass.png: Bitmap is transparent (choose \"Alpha Channel\")"},
        // Levels and methods are checked before anything is read or written.
        {"decal.mip", ToBmp({kNoTransparency}, false, 4), cli,
         "Level 4 is not between 1 and 3 for decal.mip"},
        {"decal.mip", FromBmp(0, true), cli, "Level 0 is not between 1 and 3 for decal.mip"},
        {"decal.mip", FromBmp(1, true, {-1}), cli, "Unknown transparency method -1"},
        {"decal.bmp", badMethod, cli, "Unknown transparency method 7"},
        {"decal.bmp", ToBmp({kNoTransparency}, true), cli, "decal.bmp is not a MIP file"},
    };
    const auto before = Contents(dir);
    for (const auto& each : cases) {
        SCOPED_TRACE(each.expected);
        Runner run;
        run.settings.naming = each.naming;
        const auto convert = [&](const auto& options) {
            run({dir / each.file}, options);
        };
        EXPECT_EQ(MessageOf([&] { std::visit(convert, each.options); }), each.expected);
        EXPECT_TRUE(run.written.empty());
        EXPECT_EQ(Contents(dir), before); // no temporary file left behind either
    }
    EXPECT_NE(
        MessageOf([&] { Runner()({dir / "none.mip"}, FromBmp(1, true)); }).find("File not found"),
        std::string::npos);
}
