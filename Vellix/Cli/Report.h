#pragma once

// What a command reports, built once as a small tree and printed either for people (indented
// "key: value" lines) or as JSON, so that both forms always say the same.

#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace Ostrel::Vellix::Cli {

class Report {
public:
    enum class Kind { Null, Bool, Integer, Number, Text, Object, Array };

    Report() = default; // null
    static Report Bool(bool value);
    static Report Integer(std::int64_t value);
    static Report Number(double value);
    static Report Text(std::string value);
    static Report Object();
    static Report Array();

    // Adds a member to an object; returns the object for chaining.
    Report& Add(std::string key, Report value);
    // Adds an element to an array.
    Report& Append(Report value);

    Kind GetKind() const { return kind_; }
    const std::vector<std::pair<std::string, Report>>& Members() const { return members_; }

    void WriteJson(std::ostream& out) const;
    void WriteText(std::ostream& out, int indent = 0) const;

private:
    explicit Report(Kind kind) : kind_(kind) {}
    std::string Scalar() const;
    bool IsScalar() const { return kind_ != Kind::Object && kind_ != Kind::Array; }
    bool IsFlat() const;
    std::string FlatText() const;

    Kind kind_ = Kind::Null;
    bool flag_ = false;
    std::int64_t integer_ = 0;
    double number_ = 0;
    std::string text_;
    std::vector<std::pair<std::string, Report>> members_; // array elements have empty keys
};

} // namespace Ostrel::Vellix::Cli
