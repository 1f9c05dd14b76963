#include "Util/Text.h"

#include <cstdint>

namespace Ostrel::Util {

std::string ToLower(const std::string& text, const std::locale& locale) {
    const auto& facet = std::use_facet<std::ctype<char>>(locale);
    std::string lower = text;
    for (char& c : lower) {
        c = facet.tolower(c);
    }
    return lower;
}

int CompareNoCase(const std::string& a, const std::string& b, const std::locale& locale) {
    const auto& facet = std::use_facet<std::ctype<char>>(locale);
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        const auto left = static_cast<std::int8_t>(facet.tolower(a[i]));
        const auto right = static_cast<std::int8_t>(facet.tolower(b[i]));
        if (left != right) {
            return left - right;
        }
    }
    return static_cast<int>(a.size()) - static_cast<int>(b.size());
}

bool WildcardMatch(const std::string& pattern, const std::string& name) {
    const auto& facet = std::use_facet<std::ctype<char>>(std::locale::classic());
    std::size_t p = 0, n = 0, star = std::string::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() &&
            (pattern[p] == '?' || facet.tolower(pattern[p]) == facet.tolower(name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (star != std::string::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

bool MatchesAny(const std::string& patterns, const std::string& name) {
    std::size_t start = 0;
    while (true) {
        const std::size_t bar = patterns.find('|', start);
        if (WildcardMatch(patterns.substr(start, bar - start), name)) {
            return true;
        }
        if (bar == std::string::npos) {
            return false;
        }
        start = bar + 1;
    }
}

} // namespace Ostrel::Util
