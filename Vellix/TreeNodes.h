#pragma once

// What the tree of places shows, without drawing it: which entries of a container are worth a
// tree node, the nodes made for them, and the places at the top of the tree.

#include "Vellix/PseudoDirectory.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Ostrel::Vellix {

// The pictures of the tree, by index into its strip.
inline constexpr int kTreeIconDisk = 0;
inline constexpr int kTreeIconFloppy = 1;
inline constexpr int kTreeIconDisc = 2;
inline constexpr int kTreeIconFolder = 3;
inline constexpr int kTreeIconOpenFolder = 4;
inline constexpr int kTreeIconArchive = 5;
inline constexpr int kTreeIconOpenArchive = 6;
inline constexpr int kTreeIconCount = 7;

// A subdirectory, or a file on disk ending in ".dat" that the factory registry opens as an
// archive. Failures while asking only hide the entry.
bool IsTreeWorthy(const PseudoDirectory& container, std::uint32_t index);
// Stops at the first tree-worthy entry.
bool HasTreeWorthyEntry(const PseudoDirectory& container);

struct TreeNode {
    std::unique_ptr<PseudoDirectory> directory;
    std::string text; // the last component of the node's path
    int image = kTreeIconFolder;
    int selectedImage = kTreeIconOpenFolder;
};

// The node for a tree-worthy entry: a directory inside the same archive, a disk directory, or an
// archive on disk.
TreeNode MakeChildNode(const PseudoDirectory& container, std::uint32_t index);

struct MountedVolume {
    std::string path;
    std::string fileSystemType;
};

struct TopLevelPlace {
    std::string path;
    int image = kTreeIconDisk;
};

// The user's home directory, the file-system root, then every mounted volume that holds a real
// file system, each place once. Compact discs get the disc picture.
std::vector<TopLevelPlace> TopLevelPlaces(const std::string& home, const std::string& root,
                                          const std::vector<MountedVolume>& volumes);

} // namespace Ostrel::Vellix
