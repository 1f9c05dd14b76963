// The five conversion commands: each turns its options into the options of the matching dialog
// (starting from the dialog's defaults, never from stored settings) and runs a conversion batch.

#include "Vellix/Cli/Commands.h"
#include "Vellix/ConversionBatch.h"
#include "Vellix/ConversionOptions.h"

#include <limits>

namespace Ostrel::Vellix::Cli {

namespace {

// The option that sets each dialog field, for messages about values out of range.
const char* OptionOfControl(Control control) {
    switch (control) {
    case Control::Level:
        return "level";
    case Control::RedBits:
    case Control::GreenBits:
    case Control::BlueBits:
    case Control::AlphaBits:
        return "bits";
    case Control::Opaque:
        return "class";
    case Control::LevelCount:
        return "levels";
    case Control::ColourCount:
        return "colours";
    case Control::TransparencyRed:
    case Control::TransparencyGreen:
    case Control::TransparencyBlue:
        return "key";
    case Control::NoTransparency:
        return "transparency";
    case Control::Width:
        return "width";
    case Control::Height:
        return "height";
    case Control::UsedWidth:
        return "used-width";
    case Control::UsedHeight:
        return "used-height";
    case Control::HorizontalCentre:
        return "centre-x";
    case Control::VerticalCentre:
        return "centre-y";
    default:
        return "options";
    }
}

// The dialog's own range checks, reported against the option that set the value.
void Validate(DialogOptions& options) {
    try {
        options.Validate();
    } catch (const XInvalidField& error) {
        throw XCommandLine(std::string("--") + OptionOfControl(error.GetControl()) + ": " +
                           error.Message());
    }
}

std::int32_t ToInt32(const Arguments& arguments, const std::string& option, std::int64_t value) {
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max()) {
        throw XCommandLine("option --" + option + " is out of range: " + *arguments.Value(option));
    }
    return static_cast<std::int32_t>(value);
}

void SetInt(const Arguments& arguments, const std::string& option, std::int32_t& field) {
    if (const auto value = arguments.Integer(option)) {
        field = ToInt32(arguments, option, *value);
    }
}

void SetNumber(const Arguments& arguments, const std::string& option, double& field) {
    if (const auto value = arguments.Number(option)) {
        field = *value;
    }
}

void RejectTogether(const Arguments& arguments, const std::string& a, const std::string& b) {
    if (arguments.Has(a) && arguments.Has(b)) {
        throw XCommandLine("options --" + a + " and --" + b + " exclude each other");
    }
}

void ApplyShared(const Arguments& arguments, DialogOptions& options) {
    if (const auto method = arguments.Choice("transparency", {"none", "separate", "colour"})) {
        options.transparency.method = *method;
    }
    if (const auto key = arguments.Integers("key", 3)) {
        options.transparency.red = ToInt32(arguments, "key", (*key)[0]);
        options.transparency.green = ToInt32(arguments, "key", (*key)[1]);
        options.transparency.blue = ToInt32(arguments, "key", (*key)[2]);
    }
    options.overwrite = arguments.Has("overwrite");
}

template <typename OptionsT> void ApplyLevelChoice(const Arguments& arguments, OptionsT& options) {
    RejectTogether(arguments, "all-levels", "level");
    options.allLevels = arguments.Has("all-levels");
    SetInt(arguments, "level", options.level);
}

// Every option is checked before the first file is looked at, so a usage error is reported as
// one whatever the files are.
template <typename OptionsT> void Prepare(const Arguments& arguments, OptionsT& options) {
    ApplyShared(arguments, options);
    Validate(options);
}

void ApplyFormat(const Arguments& arguments, NewFileOptions& options) {
    PixelFormatOptions& format = options.format;
    if (const auto bits = arguments.Integers("bits", 4)) {
        format.redBits = ToInt32(arguments, "bits", (*bits)[0]);
        format.greenBits = ToInt32(arguments, "bits", (*bits)[1]);
        format.blueBits = ToInt32(arguments, "bits", (*bits)[2]);
        format.alphaBits = ToInt32(arguments, "bits", (*bits)[3]);
    }
    if (const auto kind = arguments.Choice("class", {"opaque", "transparent", "partial"})) {
        format.transparencyKind = *kind;
    }
    RejectTogether(arguments, "colours", "no-palette");
    format.usePalette = !arguments.Has("no-palette");
    SetInt(arguments, "colours", format.colourCount);
}

void ApplyLevelled(const Arguments& arguments, NewLevelledFileOptions& options) {
    ApplyFormat(arguments, options);
    RejectTogether(arguments, "individual-palettes", "no-palette");
    options.individualPalettes = arguments.Has("individual-palettes");
    options.automaticLevelCount = !arguments.Has("levels");
    SetInt(arguments, "levels", options.levelCount);
}

template <typename OptionsT> int ConvertNew(const Arguments& arguments, OptionsT& options) {
    Prepare(arguments, options);
    return RunBatch(arguments, {BitmapKind::Bmp},
                    [&](ConversionBatch& batch) { batch.Convert(options); });
}

const std::vector<BitmapKind> kGameKinds = {BitmapKind::Mip, BitmapKind::Pbf, BitmapKind::Srb};

} // namespace

// The level options are checked as the MIP dialogs check them; the batch applies them to every
// file with levels.
int RunToBmp(const Arguments& arguments) {
    MipBmpOptions options;
    ApplyLevelChoice(arguments, options);
    Prepare(arguments, options);
    const ToBmpSettings settings{options.allLevels, options.level, options.transparency,
                                 options.overwrite};
    return RunBatch(arguments, kGameKinds,
                    [&](ConversionBatch& batch) { batch.ConvertToBmp(settings); });
}

int RunFromBmp(const Arguments& arguments) {
    MipFromBmpOptions options;
    ApplyLevelChoice(arguments, options);
    options.generateSubLevels = !arguments.Has("no-sub-levels");
    Prepare(arguments, options);
    const FromBmpSettings settings{options.allLevels, options.level, options.generateSubLevels,
                                   options.transparency, options.overwrite};
    return RunBatch(arguments, kGameKinds,
                    [&](ConversionBatch& batch) { batch.ConvertFromBmp(settings); });
}

int RunToMip(const Arguments& arguments) {
    BmpMipOptions options;
    ApplyLevelled(arguments, options);
    const std::int32_t repeat =
        arguments.Choice("repeat", {"none", "horizontal", "vertical", "both"}).value_or(0);
    options.horizontalRepeat = (repeat & 1) != 0;
    options.verticalRepeat = (repeat & 2) != 0;
    return ConvertNew(arguments, options);
}

int RunToPbf(const Arguments& arguments) {
    BmpPbfOptions options;
    ApplyFormat(arguments, options);
    return ConvertNew(arguments, options);
}

int RunToSrb(const Arguments& arguments) {
    BmpSrbOptions options;
    ApplyLevelled(arguments, options);
    SrbGeometry& geometry = options.geometry;
    SetNumber(arguments, "width", geometry.width);
    SetNumber(arguments, "height", geometry.height);
    SetNumber(arguments, "used-width", geometry.usedWidth);
    SetNumber(arguments, "used-height", geometry.usedHeight);
    SetNumber(arguments, "centre-x", geometry.horizontalCentre);
    SetNumber(arguments, "centre-y", geometry.verticalCentre);
    return ConvertNew(arguments, options);
}

} // namespace Ostrel::Vellix::Cli
