#pragma once

#include "Util/Exception.h"

#include <string>

namespace Ostrel::Util {

// The error log and the user's message that every front end's abort handler shares; the front end
// decides only how to show the message.

// Writes the log "Vellix.txt" into the temporary directory, replacing an older one: a header line
// with the program's version, then the exception's message. Returns the log's path. Throws
// XFileOpen or XFileWrite when the log cannot be written.
std::string WriteCrashReport(const Exception& exception);

// The message telling the user where the log is.
std::string CrashReportMessage(const std::string& logPath);

// Writes the log and returns the message for the user. When the log cannot be written the report
// itself must reach the user: then the exception's message and the reason it is not on disk.
std::string ReportAbort(const Exception& exception);

} // namespace Ostrel::Util
