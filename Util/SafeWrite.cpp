#include "Util/SafeWrite.h"

#include "Util/BinaryFile.h"
#include "Util/Exception.h"
#include "Util/Platform.h"

namespace Ostrel::Util {

namespace {

thread_local CommitGate commitGate;

// A name beside the target that no file has yet.
std::string TemporaryNameFor(const std::string& target) {
    for (int attempt = 0;; ++attempt) {
        const std::string candidate = target + ".~" + std::to_string(attempt) + ".tmp";
        if (!Platform::IsFile(candidate) && !Platform::IsDirectory(candidate)) {
            return candidate;
        }
    }
}

} // namespace

std::string WriteSafely(const std::string& target, bool overwrite, const ContentWriter& write) {
    const std::string path = Platform::ResolveCase(target);
    // Without overwrite the target's name is claimed first, so an existing file fails with the
    // open error.
    if (!overwrite) {
        CreateNew(path);
    }
    const std::string temporary = TemporaryNameFor(path);
    try {
        write(CreateNew(temporary)); // the stream is closed when write returns
        PassCommitGate();
        if (!Platform::RenameFile(temporary, path)) {
            throw XFileWrite(path);
        }
    } catch (...) {
        Platform::RemoveFile(temporary);
        if (!overwrite) {
            Platform::RemoveFile(path);
        }
        throw;
    }
    return path;
}

void SetCommitGate(CommitGate gate) {
    commitGate = std::move(gate);
}

void PassCommitGate() {
    if (commitGate) {
        commitGate();
    }
}

} // namespace Ostrel::Util
