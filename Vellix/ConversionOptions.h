#pragma once

// The options of the nine conversion dialogs: their values and defaults, how they are read from
// and written to the settings store, how they pass through a dialog's controls and which controls
// are enabled. A default-constructed options object holds the defaults, which is what the
// command-line tool uses for every option it is not given; the dialogs construct theirs from the
// store. The transparency method and key colour, and the two overwrite flags, are shared between
// dialogs through the store, so the next dialog starts with the last choice made in any of them.

#include "Vellix/OptionFields.h"
#include "Vellix/SettingsStore.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Ostrel::Vellix {

enum class BitmapKind;

// How the alpha channel travels through picture files (a radio index; -1 when none was chosen).
inline constexpr std::int32_t kNoTransparency = 0;
inline constexpr std::int32_t kSeparateTransparency = 1;
inline constexpr std::int32_t kSpecifiedColour = 2;
inline constexpr std::int32_t kAlphaChannel = 3;

// The kind of picture files written and read (a radio index).
inline constexpr std::int32_t kBmpPictures = 0;
inline constexpr std::int32_t kPngPictures = 1;

// The transparency class of a new game file (a radio index).
inline constexpr std::int32_t kOpaque = 0;
inline constexpr std::int32_t kOpaqueTransparent = 1;
inline constexpr std::int32_t kPartialTransparency = 2;

// The pictures that carry a game bitmap: their file format and how they hold its alpha.
struct TransparencyOptions {
    std::int32_t method = kSeparateTransparency;
    // The key colour, magenta by default.
    std::int32_t red = 255;
    std::int32_t green = 0;
    std::int32_t blue = 255;
    std::int32_t pictureFormat = kBmpPictures;

    // The colour edits are enabled, and the colour is remembered, only for this method.
    bool UsesKeyColour() const { return method == kSpecifiedColour; }
    // ".bmp" or ".png".
    const char* PictureExtension() const { return pictureFormat == kPngPictures ? ".png" : ".bmp"; }
};

// A PNG picture holds alpha itself; the other methods suit pictures without it.
inline std::int32_t DefaultMethodFor(std::int32_t pictureFormat) {
    return pictureFormat == kPngPictures ? kAlphaChannel : kSeparateTransparency;
}

// The bit depths, transparency class and palette of a new game file.
struct PixelFormatOptions {
    std::int32_t redBits = 8;
    std::int32_t greenBits = 8;
    std::int32_t blueBits = 8;
    std::int32_t alphaBits = 8;
    std::int32_t transparencyKind = kPartialTransparency;
    bool usePalette = true;
    std::int32_t colourCount = 16;
};

// Real numbers, remembered in thousandths.
struct SrbGeometry {
    double width = 1.0;
    double height = 1.0;
    double usedWidth = 1.0;
    double usedHeight = 1.0;
    double horizontalCentre = 0.5;
    double verticalCentre = 0.5;
};

// The files a dialog's command will convert, as the dialog tells the user and checks its level
// against them.
class DialogTargets {
public:
    // folder: where the command writes.
    explicit DialogTargets(std::string folder = "") : folder_(std::move(folder)) {}
    // name: the file's name; levelCount: its levels, 0 when they are not known yet. Only MIP
    // and SRB files have levels to choose from.
    void AddFile(const std::string& name, BitmapKind kind, std::uint32_t levelCount);
    // "Converts 3 files in /games/track/cars"; empty without files.
    std::string Text() const;
    // A level that a file with levels does not have fails as a dialog field, naming that file.
    void CheckLevel(bool allLevels, std::int32_t level) const;

private:
    std::string folder_;
    std::size_t count_ = 0;
    std::uint32_t fewestLevels_ = 0;
    std::string fewestLevelsFile_;
};

// What all nine dialogs have in common.
class DialogOptions {
public:
    virtual ~DialogOptions() = default;

    TransparencyOptions transparency;
    bool overwrite = false;

    // Fills the controls from the values and applies the enabling rules.
    void Show(DialogControls& controls);
    // Reads the controls back in field order, validating each; throws XInvalidField for the first
    // invalid field, whose predecessors then already hold their new values.
    void Accept(const DialogControls& controls);
    // A click on a governing control: reads the controls back as Accept does and applies the
    // enabling rules to the values as read, also when a field was invalid (which still throws).
    void Refresh(DialogControls& controls);
    void ApplyEnabling(DialogControls& controls) const;
    // Checks values that did not come from a dialog, with the dialog's messages.
    void Validate();
    // Checks the values against the files to convert; throws XInvalidField as Accept does.
    virtual void CheckTargets(const DialogTargets&) const {}
    // Writes the dialog's own keys, then the transparency method and colour, then the overwrite
    // flag, leaving out each value whose condition for being remembered does not hold.
    void Store(SettingsStore& store) const;
    // The dialog's fields in exchange order.
    std::vector<Field> GetFields();

protected:
    DialogOptions(std::string prefix, const char* overwriteKey)
        : prefix_(std::move(prefix)), overwriteKey_(overwriteKey) {}

    // Called by the constructors of the final types, once the object is complete.
    void Load(const SettingsStore& store);
    std::string Key(const char* name) const { return prefix_ + name; }

    virtual void LoadOwnKeys(const SettingsStore& store) = 0;
    virtual void StoreOwnKeys(SettingsStore& store) const = 0;
    virtual void VisitFields(FieldVisitor& visitor) = 0;
    virtual void EnableOwnControls(DialogControls& controls) const = 0;

    // The shared fields, in the orders the dialogs exchange them.
    void VisitOverwrite(FieldVisitor& visitor);
    void VisitMethod(FieldVisitor& visitor);
    void VisitRedGreenBlue(FieldVisitor& visitor);
    void VisitRedBlueGreen(FieldVisitor& visitor);

private:
    std::string prefix_;
    const char* overwriteKey_;
};

// Game file to BMP files, one per level: "Mip->Bmp Options" and "Srb->Bmp Options".
class LevelsToBmpOptions : public DialogOptions {
public:
    bool allLevels = false;
    std::int32_t level = 1; // 1-based

    bool IsLevelEnabled() const { return !allLevels; }
    void CheckTargets(const DialogTargets& targets) const override {
        targets.CheckLevel(allLevels, level);
    }

protected:
    explicit LevelsToBmpOptions(std::string prefix);
    void LoadOwnKeys(const SettingsStore& store) override;
    void StoreOwnKeys(SettingsStore& store) const override;
    void VisitFields(FieldVisitor& visitor) override;
    void EnableOwnControls(DialogControls& controls) const override;
};

class MipBmpOptions final : public LevelsToBmpOptions {
public:
    MipBmpOptions() : LevelsToBmpOptions("MipBmp") {}
    explicit MipBmpOptions(const SettingsStore& store) : MipBmpOptions() { Load(store); }
};

class SrbBmpOptions final : public LevelsToBmpOptions {
public:
    SrbBmpOptions() : LevelsToBmpOptions("SrbBmp") {}
    explicit SrbBmpOptions(const SettingsStore& store) : SrbBmpOptions() { Load(store); }
};

// BMP files back into the levels of a game file: "Mip From Bmp Options" and "Srb From Bmp
// Options". The level is not range-checked here; it is checked against the files to convert.
class LevelsFromBmpOptions : public DialogOptions {
public:
    bool allLevels = false;
    bool generateSubLevels = true;
    std::int32_t level = 1; // 1-based
    // Map the pictures onto the levels' palettes as they are instead of rebuilding them.
    bool keepPalette = false;

    bool IsLevelEnabled() const { return !allLevels; }
    bool IsGenerateSubLevelsEnabled() const { return !allLevels; }
    void CheckTargets(const DialogTargets& targets) const override {
        targets.CheckLevel(allLevels, level);
    }

protected:
    explicit LevelsFromBmpOptions(std::string prefix);
    void LoadOwnKeys(const SettingsStore& store) override;
    void StoreOwnKeys(SettingsStore& store) const override;
    void VisitFields(FieldVisitor& visitor) override;
    void EnableOwnControls(DialogControls& controls) const override;
};

class MipFromBmpOptions final : public LevelsFromBmpOptions {
public:
    MipFromBmpOptions() : LevelsFromBmpOptions("MipFromBmp") {}
    explicit MipFromBmpOptions(const SettingsStore& store) : MipFromBmpOptions() { Load(store); }
};

class SrbFromBmpOptions final : public LevelsFromBmpOptions {
public:
    SrbFromBmpOptions() : LevelsFromBmpOptions("SrbFromBmp") {}
    explicit SrbFromBmpOptions(const SettingsStore& store) : SrbFromBmpOptions() { Load(store); }
};

// One picture in either direction: "Pbf/Stp->Bmp Options" and "Pbf/Stp From Bmp Options".
class PictureOptions : public DialogOptions {
protected:
    explicit PictureOptions(const char* overwriteKey) : DialogOptions("", overwriteKey) {}
    void LoadOwnKeys(const SettingsStore&) override {}
    void StoreOwnKeys(SettingsStore&) const override {}
    void VisitFields(FieldVisitor& visitor) override;
    void EnableOwnControls(DialogControls&) const override {}
};

class PbfBmpOptions final : public PictureOptions {
public:
    PbfBmpOptions();
    explicit PbfBmpOptions(const SettingsStore& store) : PbfBmpOptions() { Load(store); }
};

class PbfFromBmpOptions final : public PictureOptions {
public:
    PbfFromBmpOptions();
    explicit PbfFromBmpOptions(const SettingsStore& store) : PbfFromBmpOptions() { Load(store); }
};

// A new game file from a BMP file; each file type remembers its own format under its own keys.
class NewFileOptions : public DialogOptions {
public:
    PixelFormatOptions format;

    bool IsColourCountEnabled() const { return format.usePalette; }

protected:
    explicit NewFileOptions(std::string prefix);
    void LoadOwnKeys(const SettingsStore& store) override;
    void StoreOwnKeys(SettingsStore& store) const override;
    void EnableOwnControls(DialogControls& controls) const override;

    // Fields that the three dialogs exchange alike, though at different places.
    void VisitBlueAlphaGreenBits(FieldVisitor& visitor);
    void VisitRedBits(FieldVisitor& visitor);
    void VisitKindAndPalette(FieldVisitor& visitor);
};

// "Bmp->Pbf/Stp Options".
class BmpPbfOptions final : public NewFileOptions {
public:
    BmpPbfOptions() : NewFileOptions("BmpPbf") {}
    explicit BmpPbfOptions(const SettingsStore& store) : BmpPbfOptions() { Load(store); }

protected:
    void VisitFields(FieldVisitor& visitor) override;
};

// A new file with levels and, when palettised, one palette per level or one for all.
class NewLevelledFileOptions : public NewFileOptions {
public:
    bool automaticLevelCount = true;
    std::int32_t levelCount = 1;
    bool individualPalettes = false;

    bool IsLevelCountEnabled() const { return !automaticLevelCount; }
    bool IsIndividualPalettesEnabled() const { return format.usePalette; }

protected:
    explicit NewLevelledFileOptions(std::string prefix) : NewFileOptions(std::move(prefix)) {}
    void LoadOwnKeys(const SettingsStore& store) override;
    void StoreOwnKeys(SettingsStore& store) const override;
    void EnableOwnControls(DialogControls& controls) const override;
    void VisitLevelCount(FieldVisitor& visitor);
};

// "Bmp->Mip Options".
class BmpMipOptions final : public NewLevelledFileOptions {
public:
    bool horizontalRepeat = false;
    bool verticalRepeat = false;

    BmpMipOptions() : NewLevelledFileOptions("BmpMip") {}
    explicit BmpMipOptions(const SettingsStore& store) : BmpMipOptions() { Load(store); }

protected:
    void LoadOwnKeys(const SettingsStore& store) override;
    void StoreOwnKeys(SettingsStore& store) const override;
    void VisitFields(FieldVisitor& visitor) override;
};

// "Bmp->Srb Options".
class BmpSrbOptions final : public NewLevelledFileOptions {
public:
    SrbGeometry geometry;

    BmpSrbOptions() : NewLevelledFileOptions("BmpSrb") {}
    explicit BmpSrbOptions(const SettingsStore& store) : BmpSrbOptions() { Load(store); }

protected:
    void LoadOwnKeys(const SettingsStore& store) override;
    void StoreOwnKeys(SettingsStore& store) const override;
    void VisitFields(FieldVisitor& visitor) override;
};

} // namespace Ostrel::Vellix
