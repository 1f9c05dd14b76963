#include "Util/BinaryFile.h"
#include "Support/TestSupport.h"
#include "Util/Exception.h"
#include "Util/MemoryStream.h"
#include "Util/Platform.h"
#include "Util/ReadAheadStream.h"
#include "Util/SafeWrite.h"

#include <cerrno>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <numeric>

#ifdef _WIN32
#include <windows.h>
#endif

using namespace Ostrel::Util;
using namespace Ostrel::Test;

// The messages of the other exceptions are checked where the library raises them.
TEST(Exception, AssertionCarriesUnitLineAndExpressionText) {
    const std::string message = MessageOf([] {
        static constexpr char kSourceUnit[] = "Foo";
        const int x = 0;
        OSTREL_ASSERT(x > 0);
    });
    EXPECT_EQ(message, "Assertion failure at Foo: " + std::to_string(__LINE__ - 2) + "\nx > 0\n");
}

// The name in the message is made absolute and normalised.
TEST(BinaryFile, OpeningAMissingFileOrADirectoryFailsNamingTheAbsolutePathAndTheSystemReason) {
    TempDir dir;
    const std::string path = dir / "missing.mip";
#ifdef _WIN32
    SetLastError(ERROR_FILE_NOT_FOUND);
#else
    errno = ENOENT;
#endif
    const std::string reason = Platform::LastErrorText();
    EXPECT_EQ(MessageOf([&] { OpenForRead(dir.Path() + "/./sub/../missing.mip"); }),
              "Couldn't open " + path + "\n" + reason + "\n");
    EXPECT_FALSE(FileExists(path));
    EXPECT_FALSE(FileExists(dir.Path()));
    EXPECT_THROW(OpenForRead(dir.Path()), XFileOpen);
}

// A new file refuses an existing one's name; an overwriting one empties it. Short reads, and
// writes to a file opened for reading, fail naming the file.
TEST(BinaryFile, CreatesWritesReadsSeeksAndTruncatesAndFailsNamingTheFile) {
    TempDir dir;
    const std::string path = dir / "rw.bin";
    auto file = CreateNew(path);
    const std::uint8_t bytes[] = {10, 20, 30, 40, 50};
    file->Write(5, bytes);
    EXPECT_EQ(file->GetPosition(), 5u);
    EXPECT_EQ(file->GetSize(), 5u);
    file->SetPosition(1);
    std::uint8_t two[2];
    file->Read(2, two);
    EXPECT_THAT(two, testing::ElementsAre(20, 30));
    file->Truncate();
    EXPECT_TRUE(file->IsAtEnd());
    file = nullptr;
    EXPECT_TRUE(FileExists(path));
    EXPECT_THROW(CreateNew(path), XFileOpen);
    EXPECT_THROW(Create(path, false), XFileOpen);
    EXPECT_EQ(ReadBytes(path), (std::vector<std::uint8_t>{10, 20, 30}));
    file = OpenForRead(path);
    std::uint8_t header[54];
    EXPECT_EQ(MessageOf([&] { file->Read(54, header); }), "Couldn't read from " + path + "\n");
    EXPECT_EQ(MessageOf([&] { file->Write(1, header); }), "Couldn't write to " + path + "\n");
    file = nullptr;
    Create(path, true);
    EXPECT_TRUE(ReadBytes(path).empty());
}

TEST(MemoryStream, BehavesLikeAFileAtItsEnd) {
    MemoryStream stream("mem", {1, 2, 3});
    std::uint8_t four[4];
    EXPECT_THROW(stream.Read(4, four), XFileRead);
    stream.SetPosition(10);
    EXPECT_EQ(stream.GetRemaining(), 0u);
    EXPECT_THROW(stream.Read(1, four), XFileRead);
    stream.Write(1, four);
    EXPECT_EQ(stream.GetSize(), 11u);
    EXPECT_TRUE(stream.IsAtEnd());
}

// Reads within the window, across its edge, larger than it, at the end and past it give what the
// stream underneath gives.
TEST(ReadAheadStream, ReadsWhatTheStreamBeneathHolds) {
    std::vector<std::uint8_t> bytes(3 * ReadAheadStream::kWindowSize + 5);
    std::iota(bytes.begin(), bytes.end(), std::uint8_t{0});
    const auto size = static_cast<std::uint32_t>(bytes.size());
    const std::uint32_t window = ReadAheadStream::kWindowSize;
    const struct {
        std::uint32_t position, count;
    } reads[] = {{0, 12},       {12, 16},  {window - 4, 8}, {8, window + 1},
                 {size - 5, 5}, {size, 0}, {size - 4, 5},   {size + 1, 0}};
    MemoryStream plain("mem", bytes);
    ReadAheadStream ahead(CountedPtr<BinaryStream>(new MemoryStream("mem", bytes)));
    for (const auto& read : reads) {
        std::vector<std::uint8_t> expected(read.count), got(read.count);
        plain.SetPosition(read.position);
        ahead.SetPosition(read.position);
        EXPECT_EQ(MessageOf([&] { ahead.Read(read.count, got.data()); }),
                  MessageOf([&] { plain.Read(read.count, expected.data()); }))
            << read.position;
        EXPECT_EQ(got, expected) << read.position;
        EXPECT_EQ(ahead.GetPosition(), plain.GetPosition());
    }
    EXPECT_THROW(ahead.Write(1, bytes.data()), XFileWrite);
}

// Windows takes a path of more than 260 characters only in the long form, which the platform
// layer makes; every step from creating the directories to finding the file by case must work.
TEST(Platform, PathsLongerThanTheOldWindowsLimitWork) {
    TempDir dir;
    std::string directory = dir.Path();
    while (directory.size() < 300) {
        directory += kPathSeparator + std::string(30, 'd');
    }
    ASSERT_TRUE(Platform::CreateDirectories(directory));
    const std::string file = directory + kPathSeparator + "CAR1.MIP";
    WriteSafely(file, false, [](const auto& stream) { stream->Write(3, "abc"); });
    EXPECT_EQ(OpenForRead(file)->GetSize(), 3u);
    EXPECT_EQ(Platform::ListDirectory(directory).at(0).name, "CAR1.MIP");
    EXPECT_EQ(Platform::ResolveCase(directory + kPathSeparator + "Car1.mip"), file);
}

// ResolveCase finds the one entry that differs only in case; a missing name keeps its spelling.
// Under a case index a directory is read once; the program's own creations, renames and removals
// are seen at once all the same.
TEST(Platform, ListsAndResolvesNamesWithoutRegardToCaseAndTheCaseIndexFollowsOwnWrites) {
    TempDir dir;
    WriteBytes(dir / "TRACK.TRK", {});
    WriteBytes(dir / "car.3do", {});
    WriteBytes(dir / "readme.txt", {});
    ASSERT_TRUE(Platform::MakeDirectory(dir / "Cars"));
    WriteBytes(dir / "Cars/CARS.DAT", {});
    const std::string sep(1, kPathSeparator);
    EXPECT_EQ(Platform::ResolveCase(dir / ("cars" + sep + "cars.dat")),
              dir / ("Cars" + sep + "CARS.DAT"));
    EXPECT_EQ(Platform::ResolveCase(dir / "Cars"), dir / "Cars");
    EXPECT_EQ(Platform::ResolveCase(dir / ("cars" + sep + "car1.mip")),
              dir / ("Cars" + sep + "car1.mip"));
    const auto named = [](const char* name) {
        return testing::Field(&Platform::DirectoryEntry::name, name);
    };
    EXPECT_THAT(Platform::ListDirectory(dir.Path(), "*.3do|*.trk"),
                testing::UnorderedElementsAre(named("TRACK.TRK"), named("car.3do")));
    auto all = Platform::ListDirectory(dir.Path());
    EXPECT_EQ(all.size(), 4u);
    EXPECT_EQ(std::count_if(all.begin(), all.end(), [](auto& e) { return e.isDirectory; }), 1);
    const Platform::CaseIndexScope scope;
    EXPECT_EQ(Platform::ResolveCase(dir / "car1.bmp"), dir / "car1.bmp");
    CreateNew(dir / "CAR1.BMP");
    EXPECT_EQ(Platform::ResolveCase(dir / "car1.bmp"), dir / "CAR1.BMP");
    ASSERT_TRUE(Platform::RenameFile(dir / "CAR1.BMP", dir / "Car2.bmp", true));
    EXPECT_EQ(Platform::ResolveCase(dir / "car1.bmp"), dir / "car1.bmp");
    EXPECT_EQ(Platform::ResolveCase(dir / "CAR2.BMP"), dir / "Car2.bmp");
    ASSERT_TRUE(Platform::RemoveFile(dir / "Car2.bmp"));
    EXPECT_EQ(Platform::ResolveCase(dir / "car2.bmp"), dir / "car2.bmp");
}
