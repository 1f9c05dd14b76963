#include "Util/Exception.h"

#include <sstream>

namespace Ostrel::Util {

std::string XUsage::Message() const {
    return message_;
}

std::string XFileOpen::Message() const {
    std::ostringstream text;
    text << "Couldn't open " << pathName_ << '\n' << reason_ << '\n';
    return text.str();
}

std::string XFileAccess::Message() const {
    std::ostringstream text;
    text << "Couldn't " << verb_ << ' ' << pathName_ << '\n';
    return text.str();
}

std::string XFileFormat::Message() const {
    std::ostringstream text;
    text << "A possible error was found in file " << pathName_ << '\n' << detail_ << '\n';
    return text.str();
}

std::string XAssertion::Message() const {
    std::ostringstream text;
    text << "Assertion failure at " << file_ << ": " << line_ << '\n' << expression_ << '\n';
    return text.str();
}

void AssertionFailed(const char* expression, const char* file, std::uint32_t line) {
    throw XAssertion(expression, file, line);
}

} // namespace Ostrel::Util
