#pragma once

// The one way a user's file is written: the complete content goes to a temporary file beside the
// target, which is renamed into place only when complete, so a failure part-way never damages a
// file that was there before.

#include "Util/BinaryStream.h"
#include "Util/CountedPtr.h"

#include <functional>
#include <string>

namespace Ostrel::Util {

// Writes a file's complete content to the stream it is given.
using ContentWriter = std::function<void(const CountedPtr<BinaryStream>& stream)>;

// Writes target with the content write produces and returns the path written (an existing file
// whose name differs from target only in case is the one replaced). Without overwrite an existing
// file fails with the open error and is left alone; whatever fails later removes only what this
// call made, and the exception propagates.
std::string WriteSafely(const std::string& target, bool overwrite, const ContentWriter& write);

// Called on the writing thread when a file's complete content is ready, before it is put in
// place. Work spread over several threads uses it to put files in place in the order the work
// was given: it may wait, or throw to leave the file unwritten. Set for the calling thread only;
// empty for none.
using CommitGate = std::function<void()>;
void SetCommitGate(CommitGate gate);
// Calls the calling thread's gate, if it has one: for steps that must come in the same order.
void PassCommitGate();

} // namespace Ostrel::Util
