#pragma once

#include "Util/Exception.h"

#include <memory>

namespace Ostrel::Util {

// Receives the report of a condition the program cannot recover from (see AbortHooks). An
// implementation tells the user and ends the process; should HandleAbort return or throw, the
// hooks end the process with exit code 1 all the same.
class AbortHandler {
public:
    virtual ~AbortHandler() = default;
    virtual void HandleAbort(const Exception& exception) = 0;
};

// The process's one abort handler. The library cannot know the application, so the application
// installs its own with SetAbortHandler at start-up; until then this is a plain handler that writes
// the message to standard error and ends the process with exit code 1.
AbortHandler& GetAbortHandler();

// Makes handler the process's abort handler. It is kept for the life of the process and never
// destroyed, because a report may run while the program exits. The handler it replaces is
// destroyed, so replace it only while no report can be running (at start-up).
void SetAbortHandler(std::unique_ptr<AbortHandler> handler);

} // namespace Ostrel::Util
