#include "Util/PathName.h"
#include "Util/Exception.h"
#include "Util/Platform.h"
#include "Util/Text.h"

#include "Support/TestSupport.h"

#include <gtest/gtest.h>

using namespace Ostrel::Util;

namespace {
const std::string S(1, kPathSeparator);
const std::string Root = Ostrel::Test::RootDirectory();
} // namespace

TEST(PathName, SplitsAFileIntoItsParts) {
    const PathName path(Root + "a" + S + "b.txt");
    EXPECT_EQ(path.GetFullName(), Root + "a" + S + "b.txt");
    EXPECT_EQ(path.GetAsDirectory(), Root + "a" + S + "b.txt" + S);
    EXPECT_EQ(path.GetBaseName(), "b");
    EXPECT_EQ(path.GetExtension(), "txt");
    EXPECT_EQ(path.GetParentDirectory(), Root + "a" + S);
    EXPECT_EQ(path.GetFileName(), "b.txt");
    EXPECT_EQ(path.GetPathWithoutExtension(), Root + "a" + S + "b");
    EXPECT_FALSE(path.IsRoot());
}

TEST(PathName, TheRootIsItsOwnNameAndHasNoParent) {
    const PathName root(Root);
    EXPECT_TRUE(root.IsRoot());
    EXPECT_EQ(root.GetFullName(), Root);
    EXPECT_EQ(root.GetAsDirectory(), Root);
    EXPECT_EQ(root.GetBaseName(), Root);
    EXPECT_EQ(root.GetFileName(), Root);
    EXPECT_EQ(root.GetExtension(), "");
    EXPECT_EQ(root.GetParentDirectory(), "");
}

TEST(PathName, ATrailingSeparatorNamesTheSameDirectory) {
    const PathName withSeparator(Root + "a" + S);
    const PathName without(Root + "a");
    EXPECT_EQ(withSeparator.GetFullName(), without.GetFullName());
    EXPECT_EQ(withSeparator.GetFileName(), "a");
    EXPECT_EQ(withSeparator.GetParentDirectory(), Root);
}

TEST(PathName, ExtensionIsTheTextAfterTheLastDot) {
    EXPECT_EQ(PathName(Root + "a" + S + "b").GetExtension(), "");
    EXPECT_EQ(PathName(Root + "a" + S + "b").GetBaseName(), "b");
    const PathName archive(Root + "a" + S + "b.tar.gz");
    EXPECT_EQ(archive.GetBaseName(), "b.tar");
    EXPECT_EQ(archive.GetExtension(), "gz");
}

TEST(PathName, BuildsAChildFromDirectoryNameAndExtension) {
    const PathName directory(Root + "a");
    EXPECT_EQ(PathName(directory, "m", "bmp").GetFullName(), Root + "a" + S + "m.bmp");
    EXPECT_EQ(PathName(directory, "m", "").GetFullName(), Root + "a" + S + "m");
}

TEST(PathName, EmptyPathHasNoParts) {
    const PathName empty;
    EXPECT_EQ(empty.GetFullName(), "");
    EXPECT_EQ(empty.GetAsDirectory(), "");
    EXPECT_EQ(empty.GetFileName(), "");
    EXPECT_FALSE(empty.IsRoot());
}

TEST(PathName, DotDotIsResolvedAsText) {
    EXPECT_EQ(PathName(Root + "a" + S + "b" + S + ".." + S + "c").GetFullName(),
              Root + "a" + S + "c");
    EXPECT_EQ(PathName(Root + "..").GetFullName(), Root);
}

TEST(Text, CompareNoCaseOrdersLikeTheGamesNames) {
    EXPECT_LT(CompareNoCase("ABC", "abd"), 0);
    EXPECT_EQ(CompareNoCase("abc", "ABC"), 0);
    EXPECT_EQ(CompareNoCase("ab", "abc"), -1);
    EXPECT_EQ(ToLower("CAR1.MIP"), "car1.mip");
    // Bytes above 127 compare as signed values.
    EXPECT_LT(CompareNoCase("\xe9", "a"), 0);
}

TEST(Text, WildcardsMatchWithoutRegardToCase) {
    EXPECT_TRUE(WildcardMatch("*.trk", "TRACK.TRK"));
    EXPECT_TRUE(WildcardMatch("setup.??1", "SETUP.CO1"));
    EXPECT_FALSE(WildcardMatch("*.trk", "track.trk2"));
    EXPECT_TRUE(WildcardMatch("*", ""));
    EXPECT_TRUE(MatchesAny("*.3do|*.rpy", "x.RPY"));
    EXPECT_FALSE(MatchesAny("*.3do|*.rpy", "x.lyt"));
}

TEST(PathName, FileNamesThatWindowsCannotHoldAreUnusable) {
    for (const char* name : {"CAR1.MIP", "a", ".hidden", "con1.mip", "nul_x.bmp", "über.bmp"}) {
        EXPECT_TRUE(IsUsableFileName(name)) << name;
    }
    for (const char* name : {"", ".", "..", "a/b", "a\\b", "CAR1.MIP:stream", "a*", "a?b", "a|b",
                             "a\tb", "CAR1.", "CAR1 ", "CON", "nul.mip", "Com1.bmp", "lpt9"}) {
        EXPECT_FALSE(IsUsableFileName(name)) << name;
    }
}
