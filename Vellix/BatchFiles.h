#pragma once

// The files a batch takes from what the user names: a file, an archive member, a wildcard over a
// directory's or an archive's entries (cars.dat/*.MIP), or a whole directory tree with the
// members of the archives found in it. Each file comes with its place relative to what named it,
// which is where an output directory receives its results.

#include "Vellix/BitmapFile.h"

#include <string>
#include <vector>

namespace Ostrel::Vellix {

struct BatchSearch {
    std::vector<BitmapKind> kinds; // the kinds a wildcard or a tree contributes
    bool recursive = false;        // directories (and archives) are searched
    bool archives = true;          // a search goes into the archives it meets
    bool archivesOnly = false;     // the archives themselves are the files found
};

struct BatchFile {
    std::string path;     // as ConversionBatch::AddPath takes it
    std::string relative; // without extension; archive members below a folder of the archive's name
};

struct SkippedFile {
    std::string path;
    std::string reason;
};

struct BatchFiles {
    std::vector<BatchFile> files;
    std::vector<SkippedFile> skipped; // archives met that could not be read
};

// Adds what name stands for, in name order within each directory. A name that is neither a file
// nor a directory, nor a wildcard, is passed on as it is (the batch reports what is missing).
void FindBatchFiles(const std::string& name, const BatchSearch& search, BatchFiles& found);

// The archives a name stands for: itself when it is a file, or every archive below it when it is
// a directory; each archive's relative place ends in its own name.
void FindArchiveFiles(const std::string& name, BatchFiles& found);

// Whether the name is a wildcard: '*' or '?' in its last component.
bool IsWildcard(const std::string& name);

} // namespace Ostrel::Vellix
