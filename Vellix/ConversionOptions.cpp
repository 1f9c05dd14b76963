#include "Vellix/ConversionOptions.h"

#include "Vellix/BitmapFile.h"
#include "Vellix/Conversions.h"

#include <algorithm>
#include <cmath>

namespace Ostrel::Vellix {

namespace {

constexpr char kOverwriteBmpKey[] = "OverwriteBmp";
constexpr char kOverwriteOtherKey[] = "OverwriteOther";

// Rounds half up to whole thousandths. The clamp keeps the conversion defined for values that
// failed validation; valid ones lie far inside it.
std::int32_t ToThousandths(double value) {
    const double scaled = std::trunc(value * 1000.0 + 0.5);
    const double clamped = scaled >= 0.0 ? std::min(scaled, 4294967295.0) : 0.0;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(clamped));
}

// A key absent from the store leaves the default that the value was initialised with.
void Read(const SettingsStore& store, const std::string& key, std::int32_t& value) {
    value = store.GetInt(kSettingsSection, key, value);
}

void Read(const SettingsStore& store, const std::string& key, bool& value) {
    value = store.GetInt(kSettingsSection, key, value ? 1 : 0) != 0;
}

// The stored thousandths are taken as unsigned.
void ReadThousandths(const SettingsStore& store, const std::string& key, double& value) {
    const std::int32_t stored = store.GetInt(kSettingsSection, key, ToThousandths(value));
    value = static_cast<std::uint32_t>(stored) / 1000.0;
}

void Write(SettingsStore& store, const std::string& key, std::int32_t value) {
    store.WriteInt(kSettingsSection, key, value);
}

void Write(SettingsStore& store, const std::string& key, bool value) {
    Write(store, key, std::int32_t{value ? 1 : 0});
}

void WriteThousandths(SettingsStore& store, const std::string& key, double value) {
    Write(store, key, ToThousandths(value));
}

} // namespace

void DialogOptions::Show(DialogControls& controls) {
    FieldsToControls visitor(controls);
    VisitFields(visitor);
    ApplyEnabling(controls);
}

void DialogOptions::Accept(const DialogControls& controls) {
    FieldsFromControls visitor(controls);
    VisitFields(visitor);
}

void DialogOptions::Refresh(DialogControls& controls) {
    try {
        Accept(controls);
    } catch (const XInvalidField&) {
        ApplyEnabling(controls);
        throw;
    }
    ApplyEnabling(controls);
}

void DialogOptions::ApplyEnabling(DialogControls& controls) const {
    for (const Control edit :
         {Control::TransparencyRed, Control::TransparencyGreen, Control::TransparencyBlue}) {
        controls.SetEnabled(edit, transparency.UsesKeyColour());
    }
    EnableOwnControls(controls);
}

void DialogOptions::Validate() {
    FieldRangeCheck visitor;
    VisitFields(visitor);
}

void DialogOptions::Store(SettingsStore& store) const {
    StoreOwnKeys(store);
    Write(store, "PictureFormat", transparency.pictureFormat);
    Write(store, "TransparencyMethod", transparency.method);
    if (transparency.UsesKeyColour()) {
        Write(store, "TransparencyRed", transparency.red);
        Write(store, "TransparencyGreen", transparency.green);
        Write(store, "TransparencyBlue", transparency.blue);
    }
    Write(store, overwriteKey_, overwrite);
}

std::vector<Field> DialogOptions::GetFields() {
    FieldLister lister;
    VisitFields(lister);
    return lister.GetFields();
}

void DialogTargets::AddFile(const std::string& name, BitmapKind kind, std::uint32_t levelCount) {
    ++count_;
    const bool levelled = kind == BitmapKind::Mip || kind == BitmapKind::Srb;
    if (levelled && levelCount > 0 && (fewestLevels_ == 0 || levelCount < fewestLevels_)) {
        fewestLevels_ = levelCount;
        fewestLevelsFile_ = name;
    }
}

std::string DialogTargets::Text() const {
    if (count_ == 0) {
        return "";
    }
    return "Converts " + std::to_string(count_) + (count_ == 1 ? " file" : " files") + " in " +
           folder_;
}

void DialogTargets::CheckLevel(bool allLevels, std::int32_t level) const {
    if (fewestLevels_ == 0) {
        return;
    }
    try {
        ChooseLevels(allLevels, level, fewestLevels_, fewestLevelsFile_);
    } catch (const Util::XUsage& error) {
        throw XInvalidField(Control::Level, error.Message() + ".");
    }
}

void DialogOptions::Load(const SettingsStore& store) {
    Read(store, "PictureFormat", transparency.pictureFormat);
    transparency.method = DefaultMethodFor(transparency.pictureFormat);
    Read(store, "TransparencyMethod", transparency.method);
    Read(store, "TransparencyRed", transparency.red);
    Read(store, "TransparencyGreen", transparency.green);
    Read(store, "TransparencyBlue", transparency.blue);
    Read(store, overwriteKey_, overwrite);
    LoadOwnKeys(store);
}

void DialogOptions::VisitOverwrite(FieldVisitor& visitor) {
    visitor.Check(Control::Overwrite, overwrite);
}

void DialogOptions::VisitMethod(FieldVisitor& visitor) {
    visitor.Radio(Control::BmpPictures, transparency.pictureFormat);
    visitor.Radio(Control::NoTransparency, transparency.method);
}

void DialogOptions::VisitRedGreenBlue(FieldVisitor& visitor) {
    visitor.Integer(Control::TransparencyRed, transparency.red, kChannelRange);
    visitor.Integer(Control::TransparencyGreen, transparency.green, kChannelRange);
    visitor.Integer(Control::TransparencyBlue, transparency.blue, kChannelRange);
}

void DialogOptions::VisitRedBlueGreen(FieldVisitor& visitor) {
    visitor.Integer(Control::TransparencyRed, transparency.red, kChannelRange);
    visitor.Integer(Control::TransparencyBlue, transparency.blue, kChannelRange);
    visitor.Integer(Control::TransparencyGreen, transparency.green, kChannelRange);
}

LevelsToBmpOptions::LevelsToBmpOptions(std::string prefix)
    : DialogOptions(std::move(prefix), kOverwriteBmpKey) {}

void LevelsToBmpOptions::LoadOwnKeys(const SettingsStore& store) {
    Read(store, Key("AllLevels"), allLevels);
    Read(store, Key("Level"), level);
}

void LevelsToBmpOptions::StoreOwnKeys(SettingsStore& store) const {
    Write(store, Key("AllLevels"), allLevels);
    if (!allLevels) {
        Write(store, Key("Level"), level);
    }
}

void LevelsToBmpOptions::VisitFields(FieldVisitor& visitor) {
    visitor.Check(Control::AllLevels, allLevels);
    visitor.Integer(Control::Level, level, kLevelRange);
    VisitOverwrite(visitor);
    VisitRedGreenBlue(visitor);
    VisitMethod(visitor);
}

void LevelsToBmpOptions::EnableOwnControls(DialogControls& controls) const {
    controls.SetEnabled(Control::Level, IsLevelEnabled());
}

LevelsFromBmpOptions::LevelsFromBmpOptions(std::string prefix)
    : DialogOptions(std::move(prefix), kOverwriteOtherKey) {}

void LevelsFromBmpOptions::LoadOwnKeys(const SettingsStore& store) {
    Read(store, Key("AllLevels"), allLevels);
    Read(store, Key("Level"), level);
    Read(store, Key("GenerateSubLevels"), generateSubLevels);
    Read(store, Key("KeepPalette"), keepPalette);
}

void LevelsFromBmpOptions::StoreOwnKeys(SettingsStore& store) const {
    Write(store, Key("AllLevels"), allLevels);
    if (!allLevels) {
        Write(store, Key("Level"), level);
        Write(store, Key("GenerateSubLevels"), generateSubLevels);
    }
    Write(store, Key("KeepPalette"), keepPalette);
}

void LevelsFromBmpOptions::VisitFields(FieldVisitor& visitor) {
    visitor.Check(Control::AllLevels, allLevels);
    visitor.Check(Control::GenerateSubLevels, generateSubLevels);
    visitor.Integer(Control::Level, level, kAnyInteger);
    visitor.Check(Control::KeepPalette, keepPalette);
    VisitOverwrite(visitor);
    VisitMethod(visitor);
    VisitRedBlueGreen(visitor);
}

void LevelsFromBmpOptions::EnableOwnControls(DialogControls& controls) const {
    controls.SetEnabled(Control::Level, IsLevelEnabled());
    controls.SetEnabled(Control::GenerateSubLevels, IsGenerateSubLevelsEnabled());
}

void PictureOptions::VisitFields(FieldVisitor& visitor) {
    VisitOverwrite(visitor);
    VisitMethod(visitor);
    VisitRedGreenBlue(visitor);
}

PbfBmpOptions::PbfBmpOptions() : PictureOptions(kOverwriteBmpKey) {}

PbfFromBmpOptions::PbfFromBmpOptions() : PictureOptions(kOverwriteOtherKey) {}

NewFileOptions::NewFileOptions(std::string prefix)
    : DialogOptions(std::move(prefix), kOverwriteOtherKey) {}

void NewFileOptions::LoadOwnKeys(const SettingsStore& store) {
    Read(store, Key("RedBits"), format.redBits);
    Read(store, Key("GreenBits"), format.greenBits);
    Read(store, Key("BlueBits"), format.blueBits);
    Read(store, Key("AlphaBits"), format.alphaBits);
    Read(store, Key("Transparency"), format.transparencyKind);
    Read(store, Key("UsePalette"), format.usePalette);
    Read(store, Key("ColourCount"), format.colourCount);
}

void NewFileOptions::StoreOwnKeys(SettingsStore& store) const {
    Write(store, Key("RedBits"), format.redBits);
    Write(store, Key("GreenBits"), format.greenBits);
    Write(store, Key("BlueBits"), format.blueBits);
    Write(store, Key("AlphaBits"), format.alphaBits);
    Write(store, Key("Transparency"), format.transparencyKind);
    Write(store, Key("UsePalette"), format.usePalette);
    if (format.usePalette) {
        Write(store, Key("ColourCount"), format.colourCount);
    }
}

void NewFileOptions::EnableOwnControls(DialogControls& controls) const {
    controls.SetEnabled(Control::ColourCount, IsColourCountEnabled());
}

void NewFileOptions::VisitBlueAlphaGreenBits(FieldVisitor& visitor) {
    visitor.Integer(Control::BlueBits, format.blueBits, kColourBitsRange);
    visitor.Integer(Control::AlphaBits, format.alphaBits, kAlphaBitsRange);
    visitor.Integer(Control::GreenBits, format.greenBits, kColourBitsRange);
}

void NewFileOptions::VisitRedBits(FieldVisitor& visitor) {
    visitor.Integer(Control::RedBits, format.redBits, kColourBitsRange);
}

void NewFileOptions::VisitKindAndPalette(FieldVisitor& visitor) {
    visitor.Radio(Control::Opaque, format.transparencyKind);
    visitor.Check(Control::UsePalette, format.usePalette);
    visitor.Integer(Control::ColourCount, format.colourCount, kColourCountRange);
}

void BmpPbfOptions::VisitFields(FieldVisitor& visitor) {
    VisitBlueAlphaGreenBits(visitor);
    VisitOverwrite(visitor);
    VisitRedBits(visitor);
    VisitKindAndPalette(visitor);
    VisitMethod(visitor);
    VisitRedGreenBlue(visitor);
}

void NewLevelledFileOptions::LoadOwnKeys(const SettingsStore& store) {
    Read(store, Key("AutomaticLevelCount"), automaticLevelCount);
    Read(store, Key("LevelCount"), levelCount);
    NewFileOptions::LoadOwnKeys(store);
    Read(store, Key("IndividualPalettes"), individualPalettes);
}

void NewLevelledFileOptions::StoreOwnKeys(SettingsStore& store) const {
    Write(store, Key("AutomaticLevelCount"), automaticLevelCount);
    if (!automaticLevelCount) {
        Write(store, Key("LevelCount"), levelCount);
    }
    NewFileOptions::StoreOwnKeys(store);
    if (format.usePalette) {
        Write(store, Key("IndividualPalettes"), individualPalettes);
    }
}

void NewLevelledFileOptions::EnableOwnControls(DialogControls& controls) const {
    NewFileOptions::EnableOwnControls(controls);
    controls.SetEnabled(Control::IndividualPalettes, IsIndividualPalettesEnabled());
    controls.SetEnabled(Control::LevelCount, IsLevelCountEnabled());
}

void NewLevelledFileOptions::VisitLevelCount(FieldVisitor& visitor) {
    visitor.Integer(Control::LevelCount, levelCount, kLevelCountRange);
}

void BmpMipOptions::LoadOwnKeys(const SettingsStore& store) {
    NewLevelledFileOptions::LoadOwnKeys(store);
    Read(store, Key("HorizontalRepeat"), horizontalRepeat);
    Read(store, Key("VerticalRepeat"), verticalRepeat);
}

void BmpMipOptions::StoreOwnKeys(SettingsStore& store) const {
    NewLevelledFileOptions::StoreOwnKeys(store);
    Write(store, Key("HorizontalRepeat"), horizontalRepeat);
    Write(store, Key("VerticalRepeat"), verticalRepeat);
}

void BmpMipOptions::VisitFields(FieldVisitor& visitor) {
    VisitBlueAlphaGreenBits(visitor);
    visitor.Check(Control::HorizontalRepeat, horizontalRepeat);
    visitor.Check(Control::IndividualPalettes, individualPalettes);
    VisitLevelCount(visitor);
    VisitOverwrite(visitor);
    VisitRedBits(visitor);
    visitor.Check(Control::VerticalRepeat, verticalRepeat);
    visitor.Check(Control::AutomaticLevelCount, automaticLevelCount);
    VisitKindAndPalette(visitor);
    VisitRedBlueGreen(visitor);
    VisitMethod(visitor);
}

void BmpSrbOptions::LoadOwnKeys(const SettingsStore& store) {
    NewLevelledFileOptions::LoadOwnKeys(store);
    ReadThousandths(store, Key("Width"), geometry.width);
    ReadThousandths(store, Key("Height"), geometry.height);
    ReadThousandths(store, Key("UsedWidth"), geometry.usedWidth);
    ReadThousandths(store, Key("UsedHeight"), geometry.usedHeight);
    ReadThousandths(store, Key("HorizontalCentre"), geometry.horizontalCentre);
    ReadThousandths(store, Key("VerticalCentre"), geometry.verticalCentre);
}

void BmpSrbOptions::StoreOwnKeys(SettingsStore& store) const {
    NewLevelledFileOptions::StoreOwnKeys(store);
    WriteThousandths(store, Key("Width"), geometry.width);
    WriteThousandths(store, Key("Height"), geometry.height);
    WriteThousandths(store, Key("UsedWidth"), geometry.usedWidth);
    WriteThousandths(store, Key("UsedHeight"), geometry.usedHeight);
    WriteThousandths(store, Key("HorizontalCentre"), geometry.horizontalCentre);
    WriteThousandths(store, Key("VerticalCentre"), geometry.verticalCentre);
}

void BmpSrbOptions::VisitFields(FieldVisitor& visitor) {
    VisitBlueAlphaGreenBits(visitor);
    visitor.Check(Control::IndividualPalettes, individualPalettes);
    VisitLevelCount(visitor);
    VisitOverwrite(visitor);
    VisitRedBits(visitor);
    visitor.Check(Control::AutomaticLevelCount, automaticLevelCount);
    VisitKindAndPalette(visitor);
    VisitRedBlueGreen(visitor);
    VisitMethod(visitor);
    visitor.Number(Control::Width, geometry.width, kSrbSizeRange);
    visitor.Number(Control::Height, geometry.height, kSrbSizeRange);
    visitor.Number(Control::UsedWidth, geometry.usedWidth, kSrbUsedRange);
    visitor.Number(Control::UsedHeight, geometry.usedHeight, kSrbUsedRange);
    visitor.Number(Control::HorizontalCentre, geometry.horizontalCentre, kSrbFractionRange);
    visitor.Number(Control::VerticalCentre, geometry.verticalCentre, kSrbFractionRange);
}

} // namespace Ostrel::Vellix
