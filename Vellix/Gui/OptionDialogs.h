#pragma once

// The nine option dialogs of the conversion commands. Their values, ranges, messages and enabling
// rules are those of the options types; a dialog only lays out one widget per field, passes the
// widgets to the options' exchange, and remembers the values when OK accepts them.

#include "Vellix/ConversionOptions.h"

#include <QDialog>

#include <map>
#include <memory>
#include <vector>

class QButtonGroup;
class QLabel;

namespace Ostrel::Vellix::Gui {

class COptionsDlg : public QDialog, private DialogControls {
    Q_OBJECT
public:
    // Validates the fields in their exchange order; the first invalid one is reported and gets
    // the focus, and the dialog stays open with nothing written. Otherwise writes the values to
    // the settings store and closes.
    void accept() override;
    // The widget of a control: a spin box, a check box or one radio button.
    QWidget* ControlWidget(Control control) const;
    // The files the command will convert: said above the fields, and the level is checked
    // against them when OK is pressed.
    void SetTargets(const DialogTargets& targets);

protected:
    COptionsDlg(std::unique_ptr<DialogOptions> options, SettingsStore& store, const char* title,
                QWidget* parent);
    const DialogOptions& Options() const { return *options_; }

private:
    bool IsChecked(Control control) const override;
    void SetChecked(Control control, bool checked) override;
    std::int32_t GetRadioIndex(Control group) const override;
    void SetRadioIndex(Control group, std::int32_t index) override;
    std::string GetText(Control control) const override;
    void SetText(Control control, const std::string& text) override;
    void SetEnabled(Control control, bool enabled) override;

    void Build();
    QWidget* MakeFieldWidget(const Field& field);
    QWidget* MakeSpinBox(const Field& field);
    QWidget* MakeRadioGroup(Control group);
    void OnGoverningClick();
    void ReportInvalidField(const XInvalidField& error);

    std::unique_ptr<DialogOptions> options_;
    SettingsStore& store_;
    std::vector<Field> fields_;
    DialogTargets targets_;
    QLabel* targetsLabel_ = nullptr;
    std::map<Control, QWidget*> widgets_;
    std::map<Control, QButtonGroup*> groups_;
};

// A dialog over one options type; the command reads GetOptions() after OK.
template <typename OptionsT> class COptionsDlgOf : public COptionsDlg {
public:
    const OptionsT& GetOptions() const { return static_cast<const OptionsT&>(Options()); }

protected:
    COptionsDlgOf(SettingsStore& store, const char* title, QWidget* parent)
        : COptionsDlg(std::make_unique<OptionsT>(store), store, title, parent) {}
};

class CMipBmpDlg final : public COptionsDlgOf<MipBmpOptions> {
public:
    explicit CMipBmpDlg(SettingsStore& store, QWidget* parent = nullptr)
        : COptionsDlgOf(store, "Mip->Bmp Options", parent) {}
};

class CBmpMipDlg final : public COptionsDlgOf<BmpMipOptions> {
public:
    explicit CBmpMipDlg(SettingsStore& store, QWidget* parent = nullptr)
        : COptionsDlgOf(store, "Bmp->Mip Options", parent) {}
};

class CMipFromBmpDlg final : public COptionsDlgOf<MipFromBmpOptions> {
public:
    explicit CMipFromBmpDlg(SettingsStore& store, QWidget* parent = nullptr)
        : COptionsDlgOf(store, "Mip From Bmp Options", parent) {}
};

class CBmpPbfDlg final : public COptionsDlgOf<BmpPbfOptions> {
public:
    explicit CBmpPbfDlg(SettingsStore& store, QWidget* parent = nullptr)
        : COptionsDlgOf(store, "Bmp->Pbf/Stp Options", parent) {}
};

class CPbfBmpDlg final : public COptionsDlgOf<PbfBmpOptions> {
public:
    explicit CPbfBmpDlg(SettingsStore& store, QWidget* parent = nullptr)
        : COptionsDlgOf(store, "Pbf/Stp->Bmp Options", parent) {}
};

class CPbfFromBmpDlg final : public COptionsDlgOf<PbfFromBmpOptions> {
public:
    explicit CPbfFromBmpDlg(SettingsStore& store, QWidget* parent = nullptr)
        : COptionsDlgOf(store, "Pbf/Stp From Bmp Options", parent) {}
};

class CSrbBmpDlg final : public COptionsDlgOf<SrbBmpOptions> {
public:
    explicit CSrbBmpDlg(SettingsStore& store, QWidget* parent = nullptr)
        : COptionsDlgOf(store, "Srb->Bmp Options", parent) {}
};

class CSrbFromBmpDlg final : public COptionsDlgOf<SrbFromBmpOptions> {
public:
    explicit CSrbFromBmpDlg(SettingsStore& store, QWidget* parent = nullptr)
        : COptionsDlgOf(store, "Srb From Bmp Options", parent) {}
};

class CBmpSrbDlg final : public COptionsDlgOf<BmpSrbOptions> {
public:
    explicit CBmpSrbDlg(SettingsStore& store, QWidget* parent = nullptr)
        : COptionsDlgOf(store, "Bmp->Srb Options", parent) {}
};

} // namespace Ostrel::Vellix::Gui
