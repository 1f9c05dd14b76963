#pragma once

#include <locale>
#include <string>

namespace Ostrel::Util {

std::string ToLower(const std::string& text, const std::locale& locale = std::locale::classic());

// Difference of the first pair of lower-cased characters that differ (as signed 8-bit values),
// else the difference of the lengths: equal strings give 0 and a proper prefix sorts first.
int CompareNoCase(const std::string& a, const std::string& b,
                  const std::locale& locale = std::locale::classic());

// '*' matches any run of characters and '?' any one character, without regard to case.
bool WildcardMatch(const std::string& pattern, const std::string& name);
// The same for a list of '|'-separated patterns: true when any one matches.
bool MatchesAny(const std::string& patterns, const std::string& name);

} // namespace Ostrel::Util
