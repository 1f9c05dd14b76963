#include "Vellix/DetachedPicture.h"

#include "Support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

using namespace Ostrel;
using namespace Ostrel::Test;

// A member's picture comes from the archive as it is: the archive is opened, never created anew.
TEST(DetachedPicture, AMembersPictureIsReadFromItsArchive) {
    TempDir dir;
    const std::string archive = dir / "CARS.DAT";
    const auto mip = ReadBytes(VELLIX_SOURCE_DIR "/fuzz/corpus/MipFileFuzz/gpl-format3-4x4.mip");
    WriteBytes(archive, ArchiveBytes({{"CAR.MIP", mip}}));
    Vellix::DetachedPictureReader reader;
    const auto picture = reader.Picture({Vellix::BitmapKind::Mip, "", archive, "CAR.MIP"}, 0);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->GetWidth(), 4u);
    EXPECT_EQ(ReadBytes(archive), ArchiveBytes({{"CAR.MIP", mip}}));
}

} // namespace
