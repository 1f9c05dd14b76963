// A listing reads only the headers of game files; what it shows must still be what the whole file
// read through its factory answers, or the same failure.

#include "Support/TestSupport.h"
#include "Trova/FileFactoryRegistry.h"
#include "Vellix/BitmapList.h"
#include "Vellix/DatDirectory.h"
#include "Vellix/DetachedPicture.h"
#include "Vellix/RealDirectory.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace Ostrel;
using namespace Ostrel::Vellix;
namespace support = Ostrel::Test;

namespace {

using Bytes = std::vector<std::uint8_t>;

const std::filesystem::path kCorpus = VELLIX_SOURCE_DIR "/fuzz/corpus";

FileSummary WholeFileSummary(const PseudoDirectory& container, std::uint32_t index) {
    FileSummary summary;
    summary.error =
        support::MessageOf([&] { summary = SummariseFile(*MakeBitmapFile(container, index)); });
    if (summary.error == "nothing thrown") {
        summary.error.clear();
    }
    NameEntry(summary, container, index); // their texts are checked by the listing's tests
    return summary;
}

// Every entry is listed, a file that cannot be read with its message among the others.
void ExpectHeadersTellAll(const PseudoDirectory& container) {
    const std::vector<FileSummary> listed = ListSummaries(container);
    ASSERT_EQ(listed.size(), container.GetEntryCount());
    std::uint32_t readable = 0;
    for (const FileSummary& fromHeaders : listed) {
        FileSummary whole = WholeFileSummary(container, fromHeaders.entryIndex);
        whole.bitsPerPixel = fromHeaders.bitsPerPixel; // a picture's adapter does not tell it
        EXPECT_TRUE(fromHeaders == whole) << fromHeaders.entryName << ": " << fromHeaders.error;
        readable += fromHeaders.error.empty() && fromHeaders.LevelCount() != 0;
    }
    EXPECT_GT(readable, 10u); // the comparison met readable files, not only failures
}

// A header read cannot meet a fault in compressed picture data; only a whole read does.
const char* const kFaultInCompressedData = "first-image-data-chunk-empty.png";

// The sample files of the formats, and (with a step) damaged copies of each.
support::ArchiveMembers Samples(const std::vector<const char*>& formats, std::size_t damageStep) {
    support::ArchiveMembers samples;
    for (const char* format : formats) {
        for (const auto& sample : std::filesystem::directory_iterator(kCorpus / format)) {
            if (sample.path().filename() == kFaultInCompressedData) {
                continue;
            }
            const auto bytes = support::ReadBytes(sample.path().string());
            const auto copies =
                damageStep ? support::DamagedCopies(bytes, damageStep) : std::vector<Bytes>{bytes};
            for (const auto& copy : copies) {
                const std::string name = "T" + std::to_string(samples.size());
                samples.push_back({name + sample.path().extension().string(), copy});
            }
        }
    }
    return samples;
}

} // namespace

TEST(FileSummary, LooseFilesTellWhatTheirWholeFilesTell) {
    support::TempDir dir;
    for (const auto& [name, bytes] : Samples({"MipFileFuzz", "PbfFileFuzz", "SrbFileFuzz"}, 8)) {
        support::WriteBytes(dir / name, bytes);
    }
    ExpectHeadersTellAll(RealDirectory(dir.Path()));
}

TEST(FileSummary, ArchiveMembersTellWhatTheirWholeFilesTell) {
    support::TempDir dir;
    const auto members =
        Samples({"MipFileFuzz", "PbfFileFuzz", "SrbFileFuzz", "DIBFuzz", "PngFileFuzz"}, 0);
    support::WriteBytes(dir / "cars.dat", support::ArchiveBytes(members));
    ExpectHeadersTellAll(DatDirectory(dir / "cars.dat", ""));
    Trova::GetFactoryRegistry().Purge();
}

// A member's picture comes from the archive as it is: the archive is opened, never created anew.
TEST(DetachedPicture, AMembersPictureIsReadFromItsArchive) {
    support::TempDir dir;
    const std::string archive = dir / "CARS.DAT";
    const auto mip = support::ReadBytes((kCorpus / "MipFileFuzz/gpl-format3-4x4.mip").string());
    support::WriteBytes(archive, support::ArchiveBytes({{"CAR.MIP", mip}}));
    DetachedPictureReader reader;
    const auto picture = reader.Picture({BitmapKind::Mip, "", archive, "CAR.MIP"}, 0);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->GetWidth(), 4u);
    EXPECT_EQ(support::ReadBytes(archive), support::ArchiveBytes({{"CAR.MIP", mip}}));
}
