#pragma once

// The containers and entries the tool's operands name: a directory on disk, a DAT archive, and a
// file that is either loose or an archive member written as the archive's path followed by the
// member's name.

#include "Util/CountedPtr.h"
#include "Vellix/PseudoDirectory.h"

#include <cstdint>
#include <string>

namespace Ostrel::Vellix::Cli {

// A directory, or an archive (its top level). XFileOpen "File not found" when neither exists.
Util::CountedPtr<PseudoDirectory> OpenContainer(const std::string& path);

struct Entry {
    Util::CountedPtr<PseudoDirectory> container;
    std::uint32_t index = 0;
};

// The entry a file operand names, matched without regard to case. XFileOpen "File not found"
// when there is none.
Entry FindEntry(const std::string& path);

} // namespace Ostrel::Vellix::Cli
