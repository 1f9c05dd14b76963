#pragma once

// The fields of the option dialogs without any user-interface toolkit: control ids, value ranges,
// the text of the edits and the validation messages. A dialog's widgets are reached through
// DialogControls, so the same exchange serves every front end and the tests.

#include "Util/Exception.h"

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Ostrel::Vellix {

// The option dialogs share one set of control ids. Radio groups are named by their first button.
enum class Control : int {
    AllLevels = 1000,
    Level = 1001,
    Overwrite = 1002,
    GenerateSubLevels = 1003,
    RedBits = 1006,
    GreenBits = 1007,
    BlueBits = 1008,
    AlphaBits = 1009,
    Opaque = 1010,
    OpaqueTransparent = 1011,
    PartialTransparency = 1012,
    IndividualPalettes = 1013,
    HorizontalRepeat = 1014,
    VerticalRepeat = 1015,
    LevelCount = 1016,
    AutomaticLevelCount = 1017,
    UsePalette = 1018,
    ColourCount = 1019,
    TransparencyRed = 1020,
    TransparencyGreen = 1021,
    TransparencyBlue = 1022,
    SeparateTransparency = 1023,
    SpecifiedColour = 1024,
    NoTransparency = 1025,
    Width = 1026,
    Height = 1027,
    UsedWidth = 1028,
    UsedHeight = 1029,
    HorizontalCentre = 1030,
    VerticalCentre = 1031,
    AlphaChannel = 1032,
    BmpPictures = 1033,
    PngPictures = 1034,
    KeepPalette = 1035,
};

// The buttons of each radio group by index; the group is named by its first button.
inline constexpr std::array<Control, 3> kTransparencyKindButtons{
    Control::Opaque, Control::OpaqueTransparent, Control::PartialTransparency};
inline constexpr std::array<Control, 4> kTransparencyMethodButtons{
    Control::NoTransparency, Control::SeparateTransparency, Control::SpecifiedColour,
    Control::AlphaChannel};
inline constexpr std::array<Control, 2> kPictureFormatButtons{Control::BmpPictures,
                                                              Control::PngPictures};
// The buttons of the group named by its first button.
std::span<const Control> RadioButtons(Control group);

// What a control is called: its label in the dialogs ("" for one labelled by its neighbour, like
// the colour count beside "Use Palette") and the command-line option that sets it (without the
// leading dashes).
const char* ControlLabel(Control control);
const char* ControlOption(Control control);
// The command-line value that picks a radio button ("separate" for --transparency); "" for any
// other control.
const char* ControlChoice(Control control);
// The values of the group's buttons, in the order of their indices.
std::vector<std::string> ChoiceNames(Control group);

// A click on one of these re-reads the dialog and re-applies its enabling rules.
bool IsGoverningControl(Control control);

// Inclusive bounds of an integer field.
struct IntRange {
    std::int32_t min;
    std::int32_t max;
    bool Contains(std::int64_t value) const { return min <= value && value <= max; }
};

// Inclusive bounds of a decimal field; not-a-number lies in no range.
struct NumberRange {
    double min;
    double max;
    bool excludesMin = false; // a size of 0 would divide by zero
    bool Contains(double value) const {
        return (excludesMin ? min < value : min <= value) && value <= max;
    }
};

inline constexpr IntRange kLevelRange{1, 12};
inline constexpr IntRange kLevelCountRange{1, 12};
inline constexpr IntRange kColourBitsRange{1, 8};
inline constexpr IntRange kAlphaBitsRange{0, 8};
inline constexpr IntRange kColourCountRange{1, 256};
inline constexpr IntRange kChannelRange{0, 255};
// A field without a range of its own still has to fit the store's 32-bit integers.
inline constexpr IntRange kAnyInteger{std::numeric_limits<std::int32_t>::min(),
                                      std::numeric_limits<std::int32_t>::max()};
// A radio index given outside a dialog must name one of the group's buttons (a dialog reads -1
// when no button is checked).
IntRange RadioRange(Control group);
inline constexpr NumberRange kSrbSizeRange{0.0, 5000.0, true};
inline constexpr NumberRange kSrbUsedRange{0.0, 1.0, true};
inline constexpr NumberRange kSrbFractionRange{0.0, 1.0};

inline constexpr char kNotAnInteger[] = "Please enter an integer.";
inline constexpr char kNotANumber[] = "Please enter a number.";
// "Please enter an integer between 1 and 12." and the like.
std::string OutOfRangeMessage(IntRange range);
std::string OutOfRangeMessage(NumberRange range);

// An integer edit's text: optional blanks, an optional sign, decimal digits, optional blanks.
std::optional<std::int64_t> ParseInteger(std::string_view text);
// A decimal edit's text with '.' as the decimal point whatever the locale; only finite numbers.
std::optional<double> ParseNumber(std::string_view text);
// Up to 15 significant digits in the shortest form: 1 for 1.0, 0.5 for 0.5.
std::string FormatNumber(double value);

// A field that failed validation: the message for the user and the control to focus.
class XInvalidField : public Util::XUsage {
public:
    XInvalidField(Control control, std::string message)
        : XUsage(std::move(message)), control_(control) {}
    Control GetControl() const { return control_; }

private:
    Control control_;
};

// The widgets of one open dialog as the exchange sees them.
class DialogControls {
public:
    virtual ~DialogControls() = default;
    virtual bool IsChecked(Control control) const = 0;
    virtual void SetChecked(Control control, bool checked) = 0;
    // The index of the checked button of the group, -1 when none is checked.
    virtual std::int32_t GetRadioIndex(Control group) const = 0;
    // An index outside the group leaves no button of it checked.
    virtual void SetRadioIndex(Control group, std::int32_t index) = 0;
    virtual std::string GetText(Control control) const = 0;
    virtual void SetText(Control control, const std::string& text) = 0;
    virtual void SetEnabled(Control control, bool enabled) = 0;
};

enum class FieldKind { Check, Radio, Integer, Number };

// A field of a dialog; a number field with the bounds of its values.
struct Field {
    Control control;
    FieldKind kind;
    double min = 0.0;
    double max = 0.0;
    bool excludesMin = false;
    bool operator==(const Field&) const = default;
};

// Walks an options type's fields in the order in which its dialog exchanges and validates them.
class FieldVisitor {
public:
    virtual void Check(Control control, bool& value) = 0;
    virtual void Radio(Control group, std::int32_t& index) = 0;
    virtual void Integer(Control control, std::int32_t& value, IntRange range) = 0;
    virtual void Number(Control control, double& value, NumberRange range) = 0;

protected:
    ~FieldVisitor() = default;
};

// Puts the values into the controls.
class FieldsToControls final : public FieldVisitor {
public:
    explicit FieldsToControls(DialogControls& controls) : controls_(controls) {}
    void Check(Control control, bool& value) override;
    void Radio(Control group, std::int32_t& index) override;
    void Integer(Control control, std::int32_t& value, IntRange range) override;
    void Number(Control control, double& value, NumberRange range) override;

private:
    DialogControls& controls_;
};

// Reads the controls back into the values, validating each field as it is read; the first
// invalid field throws XInvalidField, and the fields before it keep what was read.
class FieldsFromControls final : public FieldVisitor {
public:
    explicit FieldsFromControls(const DialogControls& controls) : controls_(controls) {}
    void Check(Control control, bool& value) override;
    void Radio(Control group, std::int32_t& index) override;
    void Integer(Control control, std::int32_t& value, IntRange range) override;
    void Number(Control control, double& value, NumberRange range) override;

private:
    const DialogControls& controls_;
};

// Checks values that did not come through a dialog, with the dialog's messages.
class FieldRangeCheck final : public FieldVisitor {
public:
    void Check(Control control, bool& value) override;
    void Radio(Control group, std::int32_t& index) override;
    void Integer(Control control, std::int32_t& value, IntRange range) override;
    void Number(Control control, double& value, NumberRange range) override;
};

// Lists the fields, so that a front end knows which widgets a dialog holds.
class FieldLister final : public FieldVisitor {
public:
    void Check(Control control, bool& value) override;
    void Radio(Control group, std::int32_t& index) override;
    void Integer(Control control, std::int32_t& value, IntRange range) override;
    void Number(Control control, double& value, NumberRange range) override;
    const std::vector<Field>& GetFields() const { return fields_; }

private:
    std::vector<Field> fields_;
};

} // namespace Ostrel::Vellix
