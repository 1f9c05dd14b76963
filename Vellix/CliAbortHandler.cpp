#include "Vellix/CliAbortHandler.h"

#include "Util/CrashReport.h"

#include <cstdio>
#include <cstdlib>

namespace Ostrel::Vellix {

void CliAbortHandler::HandleAbort(const Util::Exception& exception) {
    std::string text;
    try {
        text = Util::CrashReportMessage(Util::WriteCrashReport(exception));
    } catch (const Util::Exception& failure) {
        // Without a log the report itself must reach the user, with the reason it is not on disk.
        text = exception.Message() + failure.Message();
    }
    text += '\n';
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
    std::_Exit(1);
}

} // namespace Ostrel::Vellix
