#pragma once

// The one way a user's file is written: the complete content goes to a temporary file beside the
// target, is forced to the disk, and only then takes the target's name in one step, so a failure
// or an interruption part-way never damages a file that was there before, and never leaves a
// partial file under the target's name.

#include "Util/BinaryStream.h"
#include "Util/CountedPtr.h"

#include <functional>
#include <string>

namespace Ostrel::Util {

// Writes a file's complete content to the stream it is given.
using ContentWriter = std::function<void(const CountedPtr<BinaryStream>& stream)>;

// Writes target with the content write produces and returns the path written (an existing file
// whose name differs from target only in case is the one replaced). Without overwrite anything
// existing under the name fails with the open error ("File exists") and is left alone, even when
// it appears while the content is written. A replaced file keeps its permission bits; one the user
// may not write (marked read-only) is refused with the open error. A failure removes the
// temporary file and the exception propagates.
std::string WriteSafely(const std::string& target, bool overwrite, const ContentWriter& write);

// From then on, interrupting the process (Ctrl+C, SIGINT, SIGTERM) removes the temporary files of
// the writes under way before it ends with 130 or 143: every target stays old or complete.
void RemoveTemporaryFilesOnInterruption();

// Called on the writing thread when a file's complete content is ready, before it is put in
// place. Work spread over several threads uses it to put files in place in the order the work
// was given: it may wait, or throw to leave the file unwritten. Set for the calling thread only;
// empty for none.
using CommitGate = std::function<void()>;
void SetCommitGate(CommitGate gate);
// Calls the calling thread's gate, if it has one: for steps that must come in the same order.
void PassCommitGate();

} // namespace Ostrel::Util
