#pragma once

#include "Util/AbortHandler.h"

namespace Ostrel::Vellix {

// The command-line tool's abort handler: writes the error log, tells the user on standard error
// where it is, and ends the process with exit code 1. Installed with Util::SetAbortHandler.
class CliAbortHandler : public Util::AbortHandler {
public:
    void HandleAbort(const Util::Exception& exception) override;
};

} // namespace Ostrel::Vellix
