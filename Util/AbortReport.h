#pragma once

// What the abort hooks of every platform share: composing the report within a time limit and
// handing it to the abort handler exactly once.

#include "Util/XProcessorException.h"

namespace Ostrel::Util {

// Hands the report to GetAbortHandler() and ends the process with exit code 1, whatever the
// handler does. A failure while reporting ends the process at once instead of reporting again.
[[noreturn]] void ReportFailure(const char* title, const ProcessorContext& context,
                                const ExceptionRecord* record);

// Each platform's: composing the report allocates and looks up symbols. Should the failed code
// hold a lock that needs, the time limit ends the process instead of hanging it.
void StartComposeTimeLimit();
void StopComposeTimeLimit();

} // namespace Ostrel::Util
