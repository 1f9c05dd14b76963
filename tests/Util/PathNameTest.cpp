#include "Util/PathName.h"
#include "Util/Platform.h"
#include "Util/Text.h"

#include "Support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace Ostrel::Util;

namespace {

// The path with "R/" at its start read as the root directory and every other '/' as the
// platform's separator.
std::string Local(std::string path) {
    std::replace(path.begin(), path.end(), '/', kPathSeparator);
    return path.starts_with("R") ? Ostrel::Test::RootDirectory() + path.substr(2) : path;
}

} // namespace

TEST(PathName, SplitsPathsIntoTheirPartsAndBuildsThemFromParts) {
    const struct {
        const char* cause;
        const char* path;
        const char* full;
        const char* asDirectory;
        const char* parent;
        const char* fileName;
        const char* baseName;
        const char* extension;
        bool isRoot;
    } cases[] = {
        {"file", "R/a/b.txt", "R/a/b.txt", "R/a/b.txt/", "R/a/", "b.txt", "b", "txt", false},
        {"no extension", "R/a/b", "R/a/b", "R/a/b/", "R/a/", "b", "b", "", false},
        {"two dots", "R/a/b.tar.gz", "R/a/b.tar.gz", "R/a/b.tar.gz/", "R/a/", "b.tar.gz", "b.tar",
         "gz", false},
        {"trailing separator", "R/a/", "R/a", "R/a/", "R/", "a", "a", "", false},
        {"dot dot", "R/a/b/../c", "R/a/c", "R/a/c/", "R/a/", "c", "c", "", false},
        {"dot dot at the root", "R/..", "R/", "R/", "", "R/", "R/", "", true},
        {"root", "R/", "R/", "R/", "", "R/", "R/", "", true},
        {"empty", "", "", "", "", "", "", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cause);
        const PathName path(Local(c.path));
        EXPECT_EQ(path.GetFullName(), Local(c.full));
        EXPECT_EQ(path.GetAsDirectory(), Local(c.asDirectory));
        EXPECT_EQ(path.GetParentDirectory(), Local(c.parent));
        EXPECT_EQ(path.GetFileName(), Local(c.fileName));
        EXPECT_EQ(path.GetBaseName(), Local(c.baseName));
        EXPECT_EQ(path.GetExtension(), c.extension);
        EXPECT_EQ(path.IsRoot(), c.isRoot);
    }
    EXPECT_EQ(PathName(Local("R/a/b.txt")).GetPathWithoutExtension(), Local("R/a/b"));
    // A child is built from its directory, name and extension.
    const PathName directory(Local("R/a"));
    EXPECT_EQ(PathName(directory, "m", "bmp").GetFullName(), Local("R/a/m.bmp"));
    EXPECT_EQ(PathName(directory, "m", "").GetFullName(), Local("R/a/m"));
}

TEST(Text, ComparesLikeTheGamesNamesAndMatchesWildcardsWithoutRegardToCase) {
    EXPECT_LT(CompareNoCase("ABC", "abd"), 0);
    EXPECT_EQ(CompareNoCase("abc", "ABC"), 0);
    EXPECT_EQ(CompareNoCase("ab", "abc"), -1);
    // Bytes above 127 compare as signed values.
    EXPECT_LT(CompareNoCase("\xe9", "a"), 0);
    // Lists of patterns are tested through the directory listing that takes them.
    EXPECT_TRUE(WildcardMatch("*.trk", "TRACK.TRK"));
    EXPECT_TRUE(WildcardMatch("setup.??1", "SETUP.CO1"));
    EXPECT_FALSE(WildcardMatch("*.trk", "track.trk2"));
    EXPECT_TRUE(WildcardMatch("*", ""));
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
