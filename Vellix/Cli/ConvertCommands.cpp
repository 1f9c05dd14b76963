// The five conversion commands: each turns its options into the options of the matching dialog
// (starting from the dialog's defaults, never from stored settings) and runs a conversion batch.

#include "Vellix/Cli/Commands.h"
#include "Vellix/ConversionBatch.h"
#include "Vellix/ConversionOptions.h"

#include <initializer_list>
#include <limits>

namespace Ostrel::Vellix::Cli {

namespace {

// The dialog's own range checks, reported against the option that set the value.
void Validate(DialogOptions& options) {
    try {
        options.Validate();
    } catch (const XInvalidField& error) {
        throw XCommandLine(std::string("--") + ControlOption(error.GetControl()) + ": " +
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

void SetInt(const Arguments& arguments, Control control, std::int32_t& field) {
    const std::string option = ControlOption(control);
    if (const auto value = arguments.Integer(option)) {
        field = ToInt32(arguments, option, *value);
    }
}

void SetNumber(const Arguments& arguments, Control control, double& field) {
    const std::string option = ControlOption(control);
    if (const auto value = arguments.Number(option)) {
        field = *value;
    }
}

// A comma-separated option that sets several fields at once ("--bits 5,6,5,0").
void SetInts(const Arguments& arguments, Control control,
             std::initializer_list<std::int32_t*> fields) {
    const std::string option = ControlOption(control);
    if (const auto values = arguments.Integers(option, fields.size())) {
        auto value = values->begin();
        for (std::int32_t* field : fields) {
            *field = ToInt32(arguments, option, *value++);
        }
    }
}

bool Given(const Arguments& arguments, Control control) {
    return arguments.Has(ControlOption(control));
}

void RejectTogether(const Arguments& arguments, Control a, Control b) {
    if (Given(arguments, a) && Given(arguments, b)) {
        throw XCommandLine(std::string("options --") + ControlOption(a) + " and --" +
                           ControlOption(b) + " exclude each other");
    }
}

// The index of the button of a radio group that the option's value names.
std::optional<std::int32_t> RadioChoice(const Arguments& arguments, Control group) {
    return arguments.Choice(ControlOption(group), ChoiceNames(group));
}

void ApplyShared(const Arguments& arguments, DialogOptions& options) {
    TransparencyOptions& transparency = options.transparency;
    transparency.pictureFormat =
        RadioChoice(arguments, Control::BmpPictures).value_or(kBmpPictures);
    transparency.method = RadioChoice(arguments, Control::NoTransparency)
                              .value_or(DefaultMethodFor(transparency.pictureFormat));
    SetInts(arguments, Control::TransparencyRed,
            {&options.transparency.red, &options.transparency.green, &options.transparency.blue});
    options.overwrite = Given(arguments, Control::Overwrite);
}

template <typename OptionsT> void ApplyLevelChoice(const Arguments& arguments, OptionsT& options) {
    RejectTogether(arguments, Control::AllLevels, Control::Level);
    options.allLevels = Given(arguments, Control::AllLevels);
    SetInt(arguments, Control::Level, options.level);
}

// Every option is checked before the first file is looked at, so a usage error is reported as
// one whatever the files are.
template <typename OptionsT> void Prepare(const Arguments& arguments, OptionsT& options) {
    ApplyShared(arguments, options);
    Validate(options);
}

void ApplyFormat(const Arguments& arguments, NewFileOptions& options) {
    PixelFormatOptions& format = options.format;
    SetInts(arguments, Control::RedBits,
            {&format.redBits, &format.greenBits, &format.blueBits, &format.alphaBits});
    if (const auto kind = RadioChoice(arguments, Control::Opaque)) {
        format.transparencyKind = *kind;
    }
    RejectTogether(arguments, Control::ColourCount, Control::UsePalette);
    format.usePalette = !Given(arguments, Control::UsePalette);
    SetInt(arguments, Control::ColourCount, format.colourCount);
}

void ApplyLevelled(const Arguments& arguments, NewLevelledFileOptions& options) {
    ApplyFormat(arguments, options);
    RejectTogether(arguments, Control::IndividualPalettes, Control::UsePalette);
    options.individualPalettes = Given(arguments, Control::IndividualPalettes);
    options.automaticLevelCount = !Given(arguments, Control::LevelCount);
    SetInt(arguments, Control::LevelCount, options.levelCount);
}

template <typename OptionsT> int ConvertNew(const Arguments& arguments, OptionsT& options) {
    Prepare(arguments, options);
    return RunBatch(arguments, {BitmapKind::Bmp, BitmapKind::Png},
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
    options.generateSubLevels = !Given(arguments, Control::GenerateSubLevels);
    options.keepPalette = Given(arguments, Control::KeepPalette);
    Prepare(arguments, options);
    const FromBmpSettings settings{options.allLevels,         options.level,
                                   options.generateSubLevels, options.transparency,
                                   options.overwrite,         options.keepPalette};
    return RunBatch(arguments, kGameKinds,
                    [&](ConversionBatch& batch) { batch.ConvertFromBmp(settings); });
}

int RunToMip(const Arguments& arguments) {
    BmpMipOptions options;
    ApplyLevelled(arguments, options);
    const std::int32_t repeat = arguments
                                    .Choice(ControlOption(Control::HorizontalRepeat),
                                            {"none", "horizontal", "vertical", "both"})
                                    .value_or(0);
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
    SetNumber(arguments, Control::Width, geometry.width);
    SetNumber(arguments, Control::Height, geometry.height);
    SetNumber(arguments, Control::UsedWidth, geometry.usedWidth);
    SetNumber(arguments, Control::UsedHeight, geometry.usedHeight);
    SetNumber(arguments, Control::HorizontalCentre, geometry.horizontalCentre);
    SetNumber(arguments, Control::VerticalCentre, geometry.verticalCentre);
    return ConvertNew(arguments, options);
}

} // namespace Ostrel::Vellix::Cli
