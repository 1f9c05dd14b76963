#include "Vellix/ConversionOptions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <memory>

using namespace Ostrel::Vellix;

namespace {

// The widgets of a dialog as plain values. A text never set reads as "x", which is no number.
class FakeControls : public DialogControls {
public:
    bool IsChecked(Control control) const override {
        return checked.contains(control) && checked.at(control);
    }
    void SetChecked(Control control, bool value) override { checked[control] = value; }
    std::int32_t GetRadioIndex(Control group) const override {
        return radio.contains(group) ? radio.at(group) : -1;
    }
    void SetRadioIndex(Control group, std::int32_t index) override {
        radio[group] = RadioRange(group).Contains(index) ? index : -1;
    }
    std::string GetText(Control control) const override {
        return text.contains(control) ? text.at(control) : "x";
    }
    void SetText(Control control, const std::string& value) override { text[control] = value; }
    void SetEnabled(Control control, bool value) override { enabled[control] = value; }

    std::map<Control, bool> checked;
    std::map<Control, std::int32_t> radio;
    std::map<Control, std::string> text;
    std::map<Control, bool> enabled;
};

using Keys = std::vector<std::string>;

using Maker = std::unique_ptr<DialogOptions> (*)(const SettingsStore&);

struct Dialog {
    const char* name;
    Maker make;
    Keys keys;
};

template <class Options> std::unique_ptr<DialogOptions> Make(const SettingsStore& store) {
    return std::make_unique<Options>(store);
}

// A dialog's own keys followed by those every dialog writes.
Keys Then(Keys own, const char* overwriteKey) {
    own.insert(own.end(), {"PictureFormat", "TransparencyMethod", "TransparencyRed",
                           "TransparencyGreen", "TransparencyBlue", overwriteKey});
    return own;
}

// Every key, in write order, when every stored-when condition holds.
std::vector<Dialog> AllDialogs() {
    return {
        {"MipBmp", Make<MipBmpOptions>, Then({"MipBmpAllLevels", "MipBmpLevel"}, "OverwriteBmp")},
        {"SrbBmp", Make<SrbBmpOptions>, Then({"SrbBmpAllLevels", "SrbBmpLevel"}, "OverwriteBmp")},
        {"MipFromBmp", Make<MipFromBmpOptions>,
         Then({"MipFromBmpAllLevels", "MipFromBmpLevel", "MipFromBmpGenerateSubLevels",
               "MipFromBmpKeepPalette"},
              "OverwriteOther")},
        {"SrbFromBmp", Make<SrbFromBmpOptions>,
         Then({"SrbFromBmpAllLevels", "SrbFromBmpLevel", "SrbFromBmpGenerateSubLevels",
               "SrbFromBmpKeepPalette"},
              "OverwriteOther")},
        {"PbfBmp", Make<PbfBmpOptions>, Then({}, "OverwriteBmp")},
        {"PbfFromBmp", Make<PbfFromBmpOptions>, Then({}, "OverwriteOther")},
        {"BmpMip", Make<BmpMipOptions>,
         Then({"BmpMipAutomaticLevelCount", "BmpMipLevelCount", "BmpMipRedBits", "BmpMipGreenBits",
               "BmpMipBlueBits", "BmpMipAlphaBits", "BmpMipTransparency", "BmpMipUsePalette",
               "BmpMipColourCount", "BmpMipIndividualPalettes", "BmpMipHorizontalRepeat",
               "BmpMipVerticalRepeat"},
              "OverwriteOther")},
        {"BmpPbf", Make<BmpPbfOptions>,
         Then({"BmpPbfRedBits", "BmpPbfGreenBits", "BmpPbfBlueBits", "BmpPbfAlphaBits",
               "BmpPbfTransparency", "BmpPbfUsePalette", "BmpPbfColourCount"},
              "OverwriteOther")},
        {"BmpSrb", Make<BmpSrbOptions>,
         Then({"BmpSrbAutomaticLevelCount", "BmpSrbLevelCount", "BmpSrbRedBits", "BmpSrbGreenBits",
               "BmpSrbBlueBits", "BmpSrbAlphaBits", "BmpSrbTransparency", "BmpSrbUsePalette",
               "BmpSrbColourCount", "BmpSrbIndividualPalettes", "BmpSrbWidth", "BmpSrbHeight",
               "BmpSrbUsedWidth", "BmpSrbUsedHeight", "BmpSrbHorizontalCentre",
               "BmpSrbVerticalCentre"},
              "OverwriteOther")},
    };
}

bool IsFlagKey(const std::string& key) {
    return std::ranges::any_of(std::array{"AllLevels", "GenerateSubLevels", "AutomaticLevelCount",
                                          "UsePalette", "IndividualPalettes", "Repeat", "Bmp",
                                          "Other", "KeepPalette"},
                               [&](const char* end) { return key.ends_with(end); });
}

void Put(SettingsStore& store, const std::string& key, std::int32_t value) {
    store.WriteInt(kSettingsSection, key, value);
}

std::int32_t Get(const SettingsStore& store, const std::string& key) {
    return store.GetInt(kSettingsSection, key, -12345);
}

} // namespace

TEST(ConversionOptions, EveryKeyIsReadBackAndWrittenInOrderWhenItsConditionHolds) {
    for (const Dialog& dialog : AllDialogs()) {
        SCOPED_TRACE(dialog.name);
        MemorySettingsStore before;
        for (std::size_t i = 0; i < dialog.keys.size(); ++i) {
            const std::string& key = dialog.keys[i];
            // Every key is written with a level or count chosen and the key colour used.
            const bool chooses = key.ends_with("AllLevels") || key.ends_with("AutomaticLevelCount");
            Put(before, key,
                chooses                       ? 0
                : key == "TransparencyMethod" ? kSpecifiedColour
                                              : static_cast<std::int32_t>(i) + 2);
        }
        MemorySettingsStore after;
        dialog.make(before)->Store(after);
        EXPECT_EQ(after.GetWrittenKeys(), dialog.keys);
        for (const std::string& key : dialog.keys) {
            const std::int32_t stored = Get(before, key);
            EXPECT_EQ(Get(after, key), IsFlagKey(key) ? (stored != 0) : stored) << key;
        }
    }
}

TEST(ConversionOptions, CommandLineDefaultsAreTheEmptyStoresAndAreValid) {
    const MemorySettingsStore empty;
    for (const Dialog& dialog : AllDialogs()) {
        SCOPED_TRACE(dialog.name);
        auto options = dialog.make(empty);
        EXPECT_NO_THROW(options->Validate());
        EXPECT_EQ(options->transparency.method, kSeparateTransparency);
        EXPECT_EQ(options->transparency.red, 255);
        EXPECT_EQ(options->transparency.green, 0);
        EXPECT_EQ(options->transparency.blue, 255);
        EXPECT_FALSE(options->overwrite);
    }
    const MipFromBmpOptions fromBmp(empty);
    EXPECT_FALSE(fromBmp.allLevels);
    EXPECT_TRUE(fromBmp.generateSubLevels);
    EXPECT_EQ(fromBmp.level, 1);
    const SrbBmpOptions toBmp(empty);
    EXPECT_FALSE(toBmp.allLevels);
    EXPECT_EQ(toBmp.level, 1);
}

TEST(ConversionOptions, NewMipDialogOpensWithItsDefaults) {
    BmpMipOptions options{MemorySettingsStore()};
    FakeControls controls;
    options.Show(controls);
    EXPECT_TRUE(controls.checked[Control::AutomaticLevelCount]);
    EXPECT_FALSE(controls.enabled[Control::LevelCount]);
    EXPECT_EQ(controls.text[Control::LevelCount], "1");
    for (Control bits :
         {Control::RedBits, Control::GreenBits, Control::BlueBits, Control::AlphaBits}) {
        EXPECT_EQ(controls.text[bits], "8");
    }
    EXPECT_EQ(controls.radio[Control::Opaque], kPartialTransparency);
    EXPECT_TRUE(controls.checked[Control::UsePalette]);
    EXPECT_EQ(controls.text[Control::ColourCount], "16");
    EXPECT_TRUE(controls.enabled[Control::ColourCount]);
    EXPECT_FALSE(controls.checked[Control::IndividualPalettes]);
    EXPECT_FALSE(controls.checked[Control::HorizontalRepeat]);
    EXPECT_FALSE(controls.checked[Control::VerticalRepeat]);
    EXPECT_FALSE(controls.enabled[Control::TransparencyGreen]);
}

TEST(ConversionOptions, KeyColourChosenInOneDialogOpensTheNext) {
    MemorySettingsStore store;
    MipBmpOptions first(store);
    first.transparency = {kSpecifiedColour, 10, 20, 30};
    first.Store(store);

    BmpSrbOptions next(store);
    FakeControls shown;
    next.Show(shown);
    EXPECT_EQ(shown.radio[Control::NoTransparency], kSpecifiedColour);
    EXPECT_EQ(shown.text[Control::TransparencyRed], "10");
    EXPECT_EQ(shown.text[Control::TransparencyGreen], "20");
    EXPECT_EQ(shown.text[Control::TransparencyBlue], "30");
}

TEST(ConversionOptions, ConditionalKeysKeepTheirStoredValues) {
    MemorySettingsStore store;
    Put(store, "MipBmpLevel", 5);
    Put(store, "SrbFromBmpGenerateSubLevels", 0);
    Put(store, "BmpSrbColourCount", 200);
    MipBmpOptions mip(store);
    mip.allLevels = true;
    mip.level = 9;
    mip.Store(store);
    SrbFromBmpOptions srb(store);
    srb.allLevels = true;
    srb.generateSubLevels = true;
    srb.Store(store);
    BmpSrbOptions bmpSrb(store);
    bmpSrb.format.usePalette = false;
    bmpSrb.format.colourCount = 4;
    bmpSrb.individualPalettes = true;
    bmpSrb.Store(store);

    EXPECT_EQ(Get(store, "MipBmpLevel"), 5);
    EXPECT_EQ(Get(store, "SrbFromBmpGenerateSubLevels"), 0);
    EXPECT_EQ(Get(store, "BmpSrbColourCount"), 200);
    EXPECT_FALSE(store.Contains(kSettingsSection, "SrbFromBmpLevel"));
    EXPECT_FALSE(store.Contains(kSettingsSection, "BmpSrbIndividualPalettes"));
    EXPECT_FALSE(store.Contains(kSettingsSection, "BmpSrbLevelCount"));
    EXPECT_FALSE(store.Contains(kSettingsSection, "TransparencyGreen")); // no key colour chosen
}

TEST(ConversionOptions, AFailingFieldLeavesTheFieldsAfterItUnread) {
    BmpMipOptions options;
    FakeControls controls;
    options.Show(controls);
    controls.checked[Control::HorizontalRepeat] = true;
    controls.checked[Control::Overwrite] = true;
    controls.text[Control::LevelCount] = "0";
    EXPECT_THROW(options.Accept(controls), XInvalidField);
    EXPECT_TRUE(options.horizontalRepeat);
    EXPECT_FALSE(options.overwrite);
}

TEST(ConversionOptions, FieldsAreCheckedAgainstTheirBounds) {
    BmpMipOptions mip;
    MipBmpOptions toBmp;
    MipFromBmpOptions fromBmp;
    BmpSrbOptions srb;
    const std::string sizeRange = "Please enter a number greater than 0 and at most 5000.";
    const struct {
        DialogOptions& options;
        Control control;
        const char* text;
        std::string failure;
    } cases[] = {
        {mip, Control::ColourCount, "257", "Please enter an integer between 1 and 256."},
        {mip, Control::ColourCount, "256", "accepted"},
        {mip, Control::AlphaBits, "0", "accepted"},
        {mip, Control::RedBits, "0", "Please enter an integer between 1 and 8."},
        {mip, Control::TransparencyGreen, "256", "Please enter an integer between 0 and 255."},
        {mip, Control::BlueBits, "eight", "Please enter an integer."},
        {mip, Control::LevelCount, "0", "Please enter an integer between 1 and 12."}, // disabled
        {toBmp, Control::Level, "13", "Please enter an integer between 1 and 12."},
        {fromBmp, Control::Level, "2147483648",
         "Please enter an integer between -2147483648 and 2147483647."},
        {fromBmp, Control::Level, "99", "accepted"},
        {srb, Control::Width, "5000.0004", sizeRange},
        {srb, Control::Height, "0", sizeRange},
        {srb, Control::UsedHeight, "0", "Please enter a number greater than 0 and at most 1."},
        {srb, Control::VerticalCentre, "-0.001", "Please enter a number between 0 and 1."},
        {srb, Control::VerticalCentre, "half", "Please enter a number."},
        {srb, Control::Width, "5000", "accepted"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        FakeControls controls;
        c.options.Show(controls);
        controls.text[c.control] = c.text;
        try {
            c.options.Accept(controls);
            EXPECT_EQ("accepted", c.failure);
        } catch (const XInvalidField& e) {
            EXPECT_EQ(e.GetControl(), c.control);
            EXPECT_EQ(e.Message(), c.failure);
        }
    }
    EXPECT_EQ(fromBmp.level, 99);
}

TEST(ConversionOptions, FieldsAreValidatedInTheDialogsOrder) {
    using C = Control;
    const std::vector<std::pair<Maker, std::vector<C>>> cases = {
        {Make<SrbBmpOptions>,
         {C::Level, C::TransparencyRed, C::TransparencyGreen, C::TransparencyBlue}},
        {Make<SrbFromBmpOptions>,
         {C::Level, C::TransparencyRed, C::TransparencyBlue, C::TransparencyGreen}},
        {Make<PbfFromBmpOptions>, {C::TransparencyRed, C::TransparencyGreen, C::TransparencyBlue}},
        {Make<BmpMipOptions>,
         {C::BlueBits, C::AlphaBits, C::GreenBits, C::LevelCount, C::RedBits, C::ColourCount,
          C::TransparencyRed, C::TransparencyBlue, C::TransparencyGreen}},
        {Make<BmpPbfOptions>,
         {C::BlueBits, C::AlphaBits, C::GreenBits, C::RedBits, C::ColourCount, C::TransparencyRed,
          C::TransparencyGreen, C::TransparencyBlue}},
        {Make<BmpSrbOptions>,
         {C::BlueBits, C::AlphaBits, C::GreenBits, C::LevelCount, C::RedBits, C::ColourCount,
          C::TransparencyRed, C::TransparencyBlue, C::TransparencyGreen, C::Width, C::Height,
          C::UsedWidth, C::UsedHeight, C::HorizontalCentre, C::VerticalCentre}},
    };
    for (const auto& [make, expected] : cases) {
        auto options = make(MemorySettingsStore());
        FakeControls controls; // every text reads "x" until corrected
        std::vector<C> failed;
        for (;;) {
            try {
                options->Accept(controls);
                break;
            } catch (const XInvalidField& e) {
                failed.push_back(e.GetControl());
                controls.text[e.GetControl()] = "1";
            }
        }
        EXPECT_EQ(failed, expected);
    }
}

TEST(ConversionOptions, SrbGeometryIsRememberedInThousandths) {
    MemorySettingsStore store;
    Put(store, "BmpSrbWidth", 2500);
    Put(store, "BmpSrbHeight", -1); // taken as unsigned
    BmpSrbOptions options(store);
    FakeControls controls;
    options.Show(controls);
    EXPECT_EQ(controls.text[Control::Width], "2.5");
    EXPECT_EQ(controls.text[Control::Height], "4294967.295");
    EXPECT_EQ(controls.text[Control::HorizontalCentre], "0.5");
    EXPECT_EQ(controls.text[Control::UsedWidth], "1");
    EXPECT_THROW(options.Validate(), XInvalidField);

    options.geometry = {5000.0, 0.0, 0.2506, 0.2504, 0.5, 0.0005};
    options.Store(store);
    EXPECT_EQ(Get(store, "BmpSrbWidth"), 5000000);
    EXPECT_EQ(Get(store, "BmpSrbHeight"), 0);
    EXPECT_EQ(Get(store, "BmpSrbUsedWidth"), 251);
    EXPECT_EQ(Get(store, "BmpSrbUsedHeight"), 250);
    EXPECT_EQ(Get(store, "BmpSrbHorizontalCentre"), 500);
    EXPECT_EQ(Get(store, "BmpSrbVerticalCentre"), 1);
}

TEST(ConversionOptions, StoredMethodOutsideTheGroupIsReadBackAsNone) {
    MemorySettingsStore store;
    Put(store, "TransparencyMethod", 7);
    PbfBmpOptions options(store);
    FakeControls controls;
    options.Show(controls);
    EXPECT_FALSE(controls.enabled[Control::TransparencyRed]);
    options.Accept(controls);
    EXPECT_EQ(options.transparency.method, -1);
    options.Store(store);
    EXPECT_EQ(Get(store, "TransparencyMethod"), -1); // the last value written wins
    // Values that did not come through a dialog must name a method.
    EXPECT_THROW(options.Validate(), XInvalidField);
}

TEST(ConversionOptions, ClicksReapplyTheEnablingRules) {
    MipFromBmpOptions fromBmp;
    FakeControls controls;
    fromBmp.Show(controls);
    EXPECT_TRUE(controls.enabled[Control::GenerateSubLevels]);
    controls.checked[Control::AllLevels] = true;
    controls.radio[Control::NoTransparency] = kSpecifiedColour;
    fromBmp.Refresh(controls);
    EXPECT_FALSE(controls.enabled[Control::Level]);
    EXPECT_FALSE(controls.enabled[Control::GenerateSubLevels]);
    EXPECT_TRUE(controls.enabled[Control::TransparencyGreen]);

    // An invalid field still reports, and the rules follow what was read before it.
    BmpSrbOptions srb;
    srb.Show(controls);
    controls.checked[Control::UsePalette] = false;
    controls.checked[Control::AutomaticLevelCount] = false;
    controls.radio[Control::Opaque] = kOpaque; // the transparency class enables nothing
    controls.text[Control::TransparencyRed] = "300";
    EXPECT_THROW(srb.Refresh(controls), XInvalidField);
    EXPECT_FALSE(controls.enabled[Control::ColourCount]);
    EXPECT_FALSE(controls.enabled[Control::IndividualPalettes]);
    EXPECT_TRUE(controls.enabled[Control::LevelCount]);
}

TEST(OptionFields, IntegerTextAcceptsBlanksAndSignOnly) {
    EXPECT_EQ(ParseInteger(" 12\t"), 12);
    EXPECT_EQ(ParseInteger("+5"), 5);
    EXPECT_EQ(ParseInteger("-3"), -3);
    for (const char* text : {"", "  ", "1.5", "12a", "a12", "1 2", "+", "-", "++1", "+-1", "0x10",
                             "99999999999999999999"}) {
        EXPECT_EQ(ParseInteger(text), std::nullopt) << text;
    }
}

TEST(OptionFields, NumberTextUsesThePointFifteenDigitsAndOnlyFiniteValues) {
    EXPECT_EQ(ParseNumber("0.5"), 0.5);
    EXPECT_EQ(ParseNumber(" .25 "), 0.25);
    EXPECT_EQ(ParseNumber("+1e3"), 1000.0);
    EXPECT_EQ(ParseNumber("5000.0004"), 5000.0004);
    for (const char* text : {"", "1,5", "x", "nan", "inf", "-infinity", "1e999", "1.5.2"}) {
        EXPECT_EQ(ParseNumber(text), std::nullopt) << text;
    }
    EXPECT_FALSE(kSrbFractionRange.Contains(std::nan("")));  // values set outside a dialog
    EXPECT_EQ(FormatNumber(1.0 / 3.0), "0.333333333333333"); // fifteen digits read back alike
}
