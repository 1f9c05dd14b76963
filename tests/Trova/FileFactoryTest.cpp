#include "Trova/FileFactory.h"
#include "GPLFileBytes.h"
#include "Support/TestSupport.h"
#include "Trova/DatFile.h"
#include "Trova/FileFactoryRegistry.h"
#include "Trova/GPLFileFactoryRecognizer.h"
#include "Trova/MipFile.h"
#include "Util/Platform.h"

#include <gtest/gtest.h>

using namespace Ostrel::Trova;
using namespace Ostrel::Util;
using Ostrel::Test::ArchiveBytes;
using Ostrel::Test::MessageOf;
using Ostrel::Test::TempDir;
using Ostrel::Test::WriteBytes;

namespace {

// A picture of side 2^log2Side, one level.
std::vector<std::uint8_t> MipBytes(std::uint32_t log2Side) {
    Ostrel::Test::MipSpec spec;
    spec.log2Width = log2Side;
    spec.log2Height = log2Side;
    return spec.StandardLevels(1).Build();
}

} // namespace

// A game directory holding a loose CAR1.MIP and an archive CARS.DAT with its own CAR1.MIP (4 × 4
// instead of 8 × 8) and SEAT.MIP. Loose files are found whatever their case and cached; a purge
// drops only what nobody else holds.
TEST(FileFactory, MakesCachesAndPurgesFiles) {
    TempDir root;
    Platform::MakeDirectory(root / "cars");
    const std::string cars = root / "cars" + kPathSeparator;
    WriteBytes(cars + "CAR1.MIP", MipBytes(3));
    WriteBytes(cars + "CARS.DAT",
               ArchiveBytes({{"CAR1.MIP", MipBytes(2)}, {"SEAT.MIP", MipBytes(2)}}));
    auto factory = GetFactoryRegistry().GetFactory(cars, false);
    ASSERT_TRUE(factory);
    auto make = factory->GetFacet<MakeMip>();
    auto loose = make->Make("CAR1", "", false);
    EXPECT_EQ(loose->GetWidth(), 8u);
    EXPECT_EQ(make->Make("car1.mip", "", false).Get(), loose.Get());
    auto member = make->Make("car1", "mip", true);
    EXPECT_EQ(member->GetWidth(), 4u);
    const auto held = make->Make("Seat", "", false);
    EXPECT_EQ(held->GetWidth(), 4u);
    // An empty name is the directory's own name.
    EXPECT_EQ(MessageOf([&] { make->Make("", "", false); }),
              "Couldn't open " + cars + "cars.mip" + "\nFile not found\n");

    // The file changes on disk; the cache still answers the object it read.
    WriteBytes(cars + "CAR1.MIP", MipBytes(4));
    EXPECT_EQ(make->Make("car1", "", false)->GetWidth(), 8u);
    loose = nullptr;
    member = nullptr;
    factory->GetFacet<PurgeFactory>()->Purge();
    EXPECT_EQ(make->Make("seat", "", false).Get(), held.Get());
    EXPECT_EQ(make->Make("car1", "", false)->GetWidth(), 16u); // read anew
    // A missing facet is a broken invariant naming the factory.
    const std::string message = MessageOf([&] { factory->GetFacet<MakePcx>(); });
    EXPECT_EQ(message.rfind("Assertion failure at FileFactory: ", 0), 0u) << message;
    EXPECT_NE(message.find("\nHasFacet<FacetT>()\n"), std::string::npos) << message;
}

TEST(FileFactory, LevelCountFollowsWidthAndTheSmallerSide) {
    EXPECT_EQ(LevelCount(256, 64, true, 0), 4u);
    EXPECT_EQ(LevelCount(8, 8, false, 10), 4u);
    EXPECT_EQ(LevelCount(2, 2, true, 0), 2u); // the automatic count wraps, the size bound decides
    EXPECT_EQ(LevelCount(4, 4, true, 0), 1u); // never a texture without a picture
}

// One factory per directory, whatever path names it, until one that may update is asked for; a
// purge drops only the factories nobody holds.
TEST(FileFactoryRegistry, FactoriesAreSharedReplacedForUpdatingAndPurged) {
    TempDir root;
    Platform::MakeDirectory(root / "cars");
    const std::string cars = root / "cars";
    WriteBytes(cars + kPathSeparator + "CARS.DAT", ArchiveBytes({{"CAR1.MIP", MipBytes(2)}}));
    auto& registry = GetFactoryRegistry();
    auto directory = registry.GetFactory(cars, false);
    EXPECT_EQ(registry.GetFactory(cars + kPathSeparator, false).Get(), directory.Get());
    EXPECT_EQ(registry.GetFactory(cars + kPathSeparator + "CARS.DAT", false).Get(),
              directory.Get());
    EXPECT_TRUE(directory->GetFacet<GetDat>()->GetDatFile());

    auto update = registry.GetFactory(cars, true);
    EXPECT_NE(update.Get(), directory.Get());
    EXPECT_EQ(registry.GetFactory(cars, false).Get(), update.Get());

    directory = nullptr;
    registry.Purge();
    EXPECT_EQ(registry.GetFactory(cars, false).Get(), update.Get());
    update = nullptr;
    registry.Purge();
    EXPECT_TRUE(registry.GetFactory(cars, false));
}

// Probes turn every failure into "no"; a directory is recognised by the first file, in the order of
// the patterns, that says anything.
TEST(GPLFileFactoryRecognizer, RecognisesArchivesAndDirectoriesAndTurnsFailuresIntoNo) {
    TempDir dir;
    GPLFileFactoryRecognizer probe(false);
    WriteBytes(dir / "short.dat", {1, 0, 5});
    EXPECT_FALSE(probe.IsDat(dir / "short.dat"));
    WriteBytes(dir / "zero.dat", {0, 0, 5, 0});
    EXPECT_FALSE(probe.IsDat(dir / "zero.dat"));
    EXPECT_FALSE(probe.IsDat(dir / "missing.dat"));
    EXPECT_FALSE(probe.IsDat(dir.Path()));
    // An archive cut short inside its directory is no archive of ours.
    WriteBytes(dir / "cut.dat", {2, 0, 5, 0, 1});
    EXPECT_TRUE(probe.IsDat(dir / "cut.dat"));
    EXPECT_FALSE(probe.IsOwnDat(dir / "cut.dat"));
    WriteBytes(dir / "game.dat", ArchiveBytes({{"CAR.3DO", {'4', 'O', 'D', '3'}}}));
    EXPECT_TRUE(probe.IsOwnDat(dir / "game.dat"));
    WriteBytes(dir / "lyt.dat", ArchiveBytes({{"A.LYT", {6, 0, 0, 0, 0x29, 3, 0, 0}}}));
    EXPECT_TRUE(probe.IsOwnDat(dir / "lyt.dat"));

    // A .3do that is a directory, and one that is empty, say nothing.
    Platform::MakeDirectory(dir / "odd.3do");
    WriteBytes(dir / "empty.3do", {});
    const TrovaDirectory directory(dir.Path());
    EXPECT_FALSE(probe.IsOwnDirectory(directory));
    // Replays decide by their version.
    WriteBytes(dir / "race.RPY", {'Y', 'L', 'P', 'R', 2, 0, 0, 0});
    EXPECT_TRUE(probe.IsOwnDirectory(directory));
    WriteBytes(dir / "race.RPY", {'Y', 'L', 'P', 'R', 3, 0, 0, 0});
    EXPECT_FALSE(probe.IsOwnDirectory(directory));
    WriteBytes(dir / "TRACK.TRK", {'K', 'A', 'R', 'T', 0xB8, 0x0B, 0, 0});
    EXPECT_TRUE(probe.IsOwnDirectory(directory)); // a .trk decides before any .rpy
    WriteBytes(dir / "car.3DO", {'X', 'X', 'X', 'X'});
    EXPECT_FALSE(probe.IsOwnDirectory(directory)); // a .3do decides before any .trk
    WriteBytes(dir / "car.3DO", {'4', 'O', 'D', '3'});
    EXPECT_TRUE(probe.IsOwnDirectory(directory));
}
