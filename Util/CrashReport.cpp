#include "Util/CrashReport.h"

#include "Util/BinaryFile.h"
#include "Util/Platform.h"
#include "Util/VersionInfo.h"

#include <sstream>

namespace Ostrel::Util {

namespace {

constexpr char kLogName[] = "Vellix.txt";
constexpr char kApplicationTitle[] = "Vellix";
// String 50004 of the program's string table.
constexpr char kTerminatedMessage[] =
    "Program has been terminated by an unexpected condition.\nAn error log has been written to "
    "%1. Please email this to the author along with a description of the problem.";

std::string ReportText(const Exception& exception) {
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
    std::uint16_t build = 0;
    std::uint16_t revision = 0;
    VersionInfo().GetFileVersion(major, minor, build, revision);
    std::ostringstream text;
    text << kApplicationTitle << " Version " << major << ',' << minor << ',' << build << ','
         << revision << " Error File\n"
         << exception.Message();
    return text.str();
}

} // namespace

std::string WriteCrashReport(const Exception& exception) {
    const std::string path = Platform::TempDirectory() + kLogName;
    const std::string text = ReportText(exception);
    CreateAlways(path)->Write(static_cast<std::uint32_t>(text.size()), text.data());
    return path;
}

std::string CrashReportMessage(const std::string& logPath) {
    std::string message = kTerminatedMessage;
    const std::size_t mark = message.find("%1");
    return message.replace(mark, 2, logPath);
}

std::string ReportAbort(const Exception& exception) {
    try {
        return CrashReportMessage(WriteCrashReport(exception));
    } catch (const Exception& failure) {
        return exception.Message() + failure.Message();
    }
}

} // namespace Ostrel::Util
