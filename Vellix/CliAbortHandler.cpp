#include "Vellix/CliAbortHandler.h"

#include "Util/CrashReport.h"

#include <cstdio>
#include <cstdlib>

namespace Ostrel::Vellix {

void CliAbortHandler::HandleAbort(const Util::Exception& exception) {
    std::string text = Util::ReportAbort(exception);
    text += '\n';
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
    std::_Exit(1);
}

} // namespace Ostrel::Vellix
