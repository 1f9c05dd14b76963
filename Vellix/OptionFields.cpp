#include "Vellix/OptionFields.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace Ostrel::Vellix {

namespace {
constexpr char kSourceUnit[] = "OptionFields";

struct ControlNames {
    Control control;
    const char* label;
    const char* option;
};

// clang-format off
constexpr std::array<ControlNames, 34> kControlNames{{
    {Control::AllLevels,            "All Levels",                          "all-levels"},
    {Control::Level,                "Level",                               "level"},
    {Control::Overwrite,            "Overwrite",                           "overwrite"},
    {Control::GenerateSubLevels,    "Generate Sub-Levels",                 "no-sub-levels"},
    {Control::RedBits,              "Red Bits",                            "bits"},
    {Control::GreenBits,            "Green Bits",                          "bits"},
    {Control::BlueBits,             "Blue Bits",                           "bits"},
    {Control::AlphaBits,            "Alpha Bits",                          "bits"},
    {Control::Opaque,               "Opaque",                              "class"},
    {Control::OpaqueTransparent,    "Opaque/Transparent",                  "class"},
    {Control::PartialTransparency,  "Partial Transparency",                "class"},
    {Control::IndividualPalettes,   "Individual Palettes",                 "individual-palettes"},
    {Control::HorizontalRepeat,     "Horizontal Repeat",                   "repeat"},
    {Control::VerticalRepeat,       "Vertical Repeat",                     "repeat"},
    {Control::LevelCount,           "Levels",                              "levels"},
    {Control::AutomaticLevelCount,  "Automatic Level Count",               "levels"},
    {Control::UsePalette,           "Use Palette",                         "no-palette"},
    {Control::ColourCount,          "",                                    "colours"},
    {Control::TransparencyRed,      "Red",                                 "key"},
    {Control::TransparencyGreen,    "Green",                               "key"},
    {Control::TransparencyBlue,     "Blue",                                "key"},
    {Control::SeparateTransparency, "Transparency in Separate Bitmap",     "transparency"},
    {Control::SpecifiedColour,      "Transparency using Specified Colour", "transparency"},
    {Control::NoTransparency,       "No Transparency",                     "transparency"},
    {Control::Width,                "Width",                               "width"},
    {Control::Height,               "Height",                              "height"},
    {Control::UsedWidth,            "Used Width",                          "used-width"},
    {Control::UsedHeight,           "Used Height",                         "used-height"},
    {Control::HorizontalCentre,     "Horizontal Centre",                   "centre-x"},
    {Control::VerticalCentre,       "Vertical Centre",                     "centre-y"},
    {Control::AlphaChannel,         "Alpha Channel",                       "transparency"},
    {Control::BmpPictures,          "BMP",                                 "format"},
    {Control::PngPictures,          "PNG",                                 "format"},
    {Control::KeepPalette,          "Keep the file's palette",             "keep-palette"},
}};
// clang-format on

const ControlNames& NamesOf(Control control) {
    const auto found =
        std::find_if(kControlNames.begin(), kControlNames.end(),
                     [&](const ControlNames& names) { return names.control == control; });
    OSTREL_ASSERT(found != kControlNames.end());
    return *found;
}

} // namespace

const char* ControlLabel(Control control) {
    return NamesOf(control).label;
}

const char* ControlOption(Control control) {
    return NamesOf(control).option;
}

const char* ControlChoice(Control control) {
    constexpr std::array<std::pair<Control, const char*>, 9> kChoices{{
        {Control::Opaque, "opaque"},
        {Control::OpaqueTransparent, "transparent"},
        {Control::PartialTransparency, "partial"},
        {Control::NoTransparency, "none"},
        {Control::SeparateTransparency, "separate"},
        {Control::SpecifiedColour, "colour"},
        {Control::AlphaChannel, "alpha"},
        {Control::BmpPictures, "bmp"},
        {Control::PngPictures, "png"},
    }};
    const auto found = std::find_if(kChoices.begin(), kChoices.end(),
                                    [&](const auto& choice) { return choice.first == control; });
    return found == kChoices.end() ? "" : found->second;
}

std::vector<std::string> ChoiceNames(Control group) {
    std::vector<std::string> names;
    for (Control button : RadioButtons(group)) {
        names.emplace_back(ControlChoice(button));
    }
    return names;
}

namespace {

std::string_view TrimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// from_chars takes a leading minus but not a plus; a plus before a digit or point is allowed.
std::string_view SkipPlus(std::string_view text) {
    if (text.size() > 1 && text[0] == '+' && text[1] != '-' && text[1] != '+') {
        text.remove_prefix(1);
    }
    return text;
}

template <class Value, class... Format>
std::optional<Value> ParseWhole(std::string_view text, Format... format) {
    text = SkipPlus(TrimBlanks(text));
    if (text.empty()) {
        return std::nullopt;
    }
    Value value{};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, format...);
    if (error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

std::string BetweenMessage(const char* noun, const std::string& min, const std::string& max) {
    return std::string("Please enter ") + noun + " between " + min + " and " + max + ".";
}

template <class Value, class Range> void RequireInRange(Control control, Value value, Range range) {
    if (!range.Contains(value)) {
        throw XInvalidField(control, OutOfRangeMessage(range));
    }
}

} // namespace

std::span<const Control> RadioButtons(Control group) {
    switch (group) {
    case Control::Opaque:
        return kTransparencyKindButtons;
    case Control::BmpPictures:
        return kPictureFormatButtons;
    default:
        return kTransparencyMethodButtons;
    }
}

IntRange RadioRange(Control group) {
    return {0, static_cast<std::int32_t>(RadioButtons(group).size()) - 1};
}

bool IsGoverningControl(Control control) {
    switch (control) {
    case Control::AllLevels:
    case Control::AutomaticLevelCount:
    case Control::UsePalette:
    case Control::NoTransparency:
    case Control::SeparateTransparency:
    case Control::SpecifiedColour:
    case Control::AlphaChannel:
        return true;
    default:
        return false;
    }
}

std::string OutOfRangeMessage(IntRange range) {
    return BetweenMessage("an integer", std::to_string(range.min), std::to_string(range.max));
}

std::string OutOfRangeMessage(NumberRange range) {
    if (range.excludesMin) {
        return "Please enter a number greater than " + FormatNumber(range.min) + " and at most " +
               FormatNumber(range.max) + ".";
    }
    return BetweenMessage("a number", FormatNumber(range.min), FormatNumber(range.max));
}

std::optional<std::int64_t> ParseInteger(std::string_view text) {
    return ParseWhole<std::int64_t>(text);
}

std::optional<double> ParseNumber(std::string_view text) {
    // "inf" and "nan" would pass from_chars; neither is a number a user can mean here.
    const auto value = ParseWhole<double>(text, std::chars_format::general);
    return value && std::isfinite(*value) ? value : std::nullopt;
}

std::string FormatNumber(double value) {
    char text[32];
    const auto result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::general, 15);
    return std::string(text, result.ptr);
}

void FieldsToControls::Check(Control control, bool& value) {
    controls_.SetChecked(control, value);
}

void FieldsToControls::Radio(Control group, std::int32_t& index) {
    controls_.SetRadioIndex(group, index);
}

void FieldsToControls::Integer(Control control, std::int32_t& value, IntRange) {
    controls_.SetText(control, std::to_string(value));
}

void FieldsToControls::Number(Control control, double& value, NumberRange) {
    controls_.SetText(control, FormatNumber(value));
}

void FieldsFromControls::Check(Control control, bool& value) {
    value = controls_.IsChecked(control);
}

void FieldsFromControls::Radio(Control group, std::int32_t& index) {
    index = controls_.GetRadioIndex(group);
}

void FieldsFromControls::Integer(Control control, std::int32_t& value, IntRange range) {
    const auto read = ParseInteger(controls_.GetText(control));
    if (!read) {
        throw XInvalidField(control, kNotAnInteger);
    }
    RequireInRange(control, *read, range);
    value = static_cast<std::int32_t>(*read);
}

void FieldsFromControls::Number(Control control, double& value, NumberRange range) {
    const auto read = ParseNumber(controls_.GetText(control));
    if (!read) {
        throw XInvalidField(control, kNotANumber);
    }
    RequireInRange(control, *read, range);
    value = *read;
}

void FieldRangeCheck::Check(Control, bool&) {}

void FieldRangeCheck::Radio(Control group, std::int32_t& index) {
    Integer(group, index, RadioRange(group));
}

void FieldRangeCheck::Integer(Control control, std::int32_t& value, IntRange range) {
    RequireInRange(control, value, range);
}

void FieldRangeCheck::Number(Control control, double& value, NumberRange range) {
    RequireInRange(control, value, range);
}

void FieldLister::Check(Control control, bool&) {
    fields_.push_back({control, FieldKind::Check});
}

void FieldLister::Radio(Control group, std::int32_t&) {
    fields_.push_back({group, FieldKind::Radio});
}

void FieldLister::Integer(Control control, std::int32_t&, IntRange range) {
    fields_.push_back({control, FieldKind::Integer, static_cast<double>(range.min),
                       static_cast<double>(range.max)});
}

void FieldLister::Number(Control control, double&, NumberRange range) {
    fields_.push_back({control, FieldKind::Number, range.min, range.max, range.excludesMin});
}

} // namespace Ostrel::Vellix
