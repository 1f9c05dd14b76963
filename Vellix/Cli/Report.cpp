#include "Vellix/Cli/Report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace Ostrel::Vellix::Cli {

namespace {

// The length of the well-formed UTF-8 sequence at text[at], or 0 when the bytes there are none
// (a stray continuation byte, a cut sequence, an overlong form, a surrogate, beyond U+10FFFF).
std::size_t Utf8SequenceLength(const std::string& text, std::size_t at) {
    const auto byte = [&](std::size_t i) {
        return static_cast<unsigned char>(text[at + i]);
    };
    const unsigned char lead = byte(0);
    const std::size_t length = lead < 0x80   ? 1
                               : lead < 0xC2 ? 0
                               : lead < 0xE0 ? 2
                               : lead < 0xF0 ? 3
                               : lead < 0xF5 ? 4
                                             : 0;
    if (length == 0 || at + length > text.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return 0;
        }
    }
    // The second byte's range that rules out overlong forms, surrogates and values too large.
    const bool badSecond = (lead == 0xE0 && byte(1) < 0xA0) || (lead == 0xED && byte(1) > 0x9F) ||
                           (lead == 0xF0 && byte(1) < 0x90) || (lead == 0xF4 && byte(1) > 0x8F);
    return badSecond ? 0 : length;
}

// File and member names are bytes from the file system or an archive, in whatever code page made
// them; JSON must be UTF-8, so each byte that is not part of a valid sequence becomes U+FFFD.
void WriteQuoted(std::ostream& out, const std::string& text) {
    out << '"';
    for (std::size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        const std::size_t length = Utf8SequenceLength(text, at);
        if (length == 0) {
            out << "\\ufffd";
            ++at;
            continue;
        }
        if (byte == '"' || byte == '\\') {
            out << '\\' << text[at];
        } else if (byte < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            out << escape;
        } else {
            out.write(text.data() + at, static_cast<std::streamsize>(length));
        }
        at += length;
    }
    out << '"';
}

} // namespace

Report Report::Bool(bool value) {
    Report report(Kind::Bool);
    report.flag_ = value;
    return report;
}

Report Report::Integer(std::int64_t value) {
    Report report(Kind::Integer);
    report.integer_ = value;
    return report;
}

Report Report::Number(double value) {
    if (!std::isfinite(value)) {
        return Report(); // JSON has no infinities
    }
    Report report(Kind::Number);
    report.number_ = value + 0.0; // no "-0"
    return report;
}

Report Report::Text(std::string value) {
    Report report(Kind::Text);
    report.text_ = std::move(value);
    return report;
}

Report Report::Object() {
    return Report(Kind::Object);
}

Report Report::Array() {
    return Report(Kind::Array);
}

Report& Report::Add(std::string key, Report value) {
    members_.emplace_back(std::move(key), std::move(value));
    return *this;
}

Report& Report::Append(Report value) {
    return Add("", std::move(value));
}

std::string Report::Scalar() const {
    switch (kind_) {
    case Kind::Bool:
        return flag_ ? "true" : "false";
    case Kind::Integer:
        return std::to_string(integer_);
    case Kind::Number: {
        char text[32];
        std::snprintf(text, sizeof text, "%.9g", number_);
        return text;
    }
    case Kind::Text:
        return text_;
    default:
        return "null";
    }
}

void Report::WriteJson(std::ostream& out) const {
    if (IsScalar()) {
        if (kind_ == Kind::Text) {
            WriteQuoted(out, text_);
        } else {
            out << Scalar();
        }
        return;
    }
    out << (kind_ == Kind::Object ? '{' : '[');
    for (std::size_t i = 0; i < members_.size(); ++i) {
        if (i > 0) {
            out << ',';
        }
        if (kind_ == Kind::Object) {
            WriteQuoted(out, members_[i].first);
            out << ':';
        }
        members_[i].second.WriteJson(out);
    }
    out << (kind_ == Kind::Object ? '}' : ']');
}

bool Report::IsFlat() const {
    return std::all_of(members_.begin(), members_.end(),
                       [](const auto& member) { return member.second.IsScalar(); });
}

// "a: 1, b: 2" for an object, "1, 2" for an array.
std::string Report::FlatText() const {
    std::string text;
    for (const auto& [key, value] : members_) {
        text += (text.empty() ? "" : ", ") + (key.empty() ? "" : key + ": ") + value.Scalar();
    }
    return text;
}

// Objects become "key: value" lines, nested containers indented below their key; a container of
// scalars inside an array, and an array of scalars, fit on one line.
void Report::WriteText(std::ostream& out, int indent) const {
    const std::string margin(static_cast<std::size_t>(indent), ' ');
    for (const auto& [key, value] : members_) {
        const std::string label = kind_ == Kind::Object ? key + ":" : "-";
        if (value.IsScalar()) {
            out << margin << label << ' ' << (value.kind_ == Kind::Null ? "" : value.Scalar())
                << '\n';
        } else if (value.IsFlat() && (kind_ == Kind::Array || value.kind_ == Kind::Array)) {
            out << margin << label << ' ' << value.FlatText() << '\n';
        } else {
            out << margin << label << '\n';
            value.WriteText(out, indent + 2);
        }
    }
}

} // namespace Ostrel::Vellix::Cli
