#pragma once

// Windows only: the system's wide calls take UTF-16, the program keeps UTF-8.

#include <string>

namespace Ostrel::Util {

std::wstring WideFromUtf8(const std::string& text);
std::string Utf8FromWide(const std::wstring& text);

} // namespace Ostrel::Util
