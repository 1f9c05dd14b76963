#include "Vellix/Gui/OptionDialogs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

namespace Ostrel::Vellix::Gui {

namespace {

// The order in which the controls appear, whatever the order of their exchange: levels, pixel
// format, transparency, geometry, and the overwrite flag last. The colour count sits beside
// "Use Palette" and is placed with it.
constexpr std::array kDisplayOrder{
    Control::AllLevels,
    Control::Level,
    Control::GenerateSubLevels,
    Control::KeepPalette,
    Control::AutomaticLevelCount,
    Control::LevelCount,
    Control::RedBits,
    Control::GreenBits,
    Control::BlueBits,
    Control::AlphaBits,
    Control::Opaque,
    Control::UsePalette,
    Control::IndividualPalettes,
    Control::HorizontalRepeat,
    Control::VerticalRepeat,
    Control::BmpPictures,
    Control::NoTransparency,
    Control::TransparencyRed,
    Control::TransparencyGreen,
    Control::TransparencyBlue,
    Control::Width,
    Control::Height,
    Control::UsedWidth,
    Control::UsedHeight,
    Control::HorizontalCentre,
    Control::VerticalCentre,
    Control::Overwrite,
};

} // namespace

COptionsDlg::COptionsDlg(std::unique_ptr<DialogOptions> options, SettingsStore& store,
                         const char* title, QWidget* parent)
    : QDialog(parent), options_(std::move(options)), store_(store) {
    setWindowTitle(title);
    Build();
    options_->Show(*this);
}

void COptionsDlg::Build() {
    const std::vector<Field> fields = options_->GetFields();
    auto* form = new QFormLayout;
    for (Control control : kDisplayOrder) {
        const auto field = std::find_if(fields.begin(), fields.end(),
                                        [&](const Field& each) { return each.control == control; });
        if (field == fields.end()) {
            continue;
        }
        QWidget* widget = MakeFieldWidget(*field);
        if (field->kind == FieldKind::Integer || field->kind == FieldKind::Number) {
            form->addRow(ControlLabel(control), widget);
        } else {
            form->addRow(widget);
        }
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &COptionsDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &COptionsDlg::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

QWidget* COptionsDlg::MakeFieldWidget(const Field& field) {
    if (field.kind == FieldKind::Radio) {
        return MakeRadioGroup(field.control);
    }
    if (field.kind == FieldKind::Integer || field.kind == FieldKind::Number) {
        auto* edit = new QLineEdit;
        widgets_[field.control] = edit;
        return edit;
    }
    auto* box = new QCheckBox(ControlLabel(field.control));
    widgets_[field.control] = box;
    if (IsGoverningControl(field.control)) {
        connect(box, &QCheckBox::clicked, this, &COptionsDlg::OnGoverningClick);
    }
    if (field.control != Control::UsePalette) {
        return box;
    }
    // The colour count has no label of its own: it stands beside "Use Palette".
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(box);
    layout->addWidget(MakeFieldWidget({Control::ColourCount, FieldKind::Integer}));
    return row;
}

QWidget* COptionsDlg::MakeRadioGroup(Control group) {
    auto* box = new QGroupBox;
    auto* layout = new QVBoxLayout(box);
    auto* buttons = new QButtonGroup(box);
    groups_[group] = buttons;
    const std::span<const Control> controls = RadioButtons(group);
    if (group == Control::BmpPictures) {
        box->setTitle("Picture format");
    }
    for (std::size_t index = 0; index < controls.size(); ++index) {
        auto* button = new QRadioButton(ControlLabel(controls[index]));
        buttons->addButton(button, static_cast<int>(index));
        layout->addWidget(button);
        widgets_[controls[index]] = button;
        if (IsGoverningControl(controls[index])) {
            connect(button, &QRadioButton::clicked, this, &COptionsDlg::OnGoverningClick);
        }
    }
    return box;
}

QWidget* COptionsDlg::ControlWidget(Control control) const {
    const auto found = widgets_.find(control);
    return found == widgets_.end() ? nullptr : found->second;
}

void COptionsDlg::accept() {
    try {
        options_->Accept(*this);
    } catch (const XInvalidField& error) {
        ReportInvalidField(error);
        return;
    }
    options_->Store(store_);
    QDialog::accept();
}

void COptionsDlg::OnGoverningClick() {
    try {
        options_->Refresh(*this);
    } catch (const XInvalidField& error) {
        ReportInvalidField(error);
    }
}

void COptionsDlg::ReportInvalidField(const XInvalidField& error) {
    QMessageBox::warning(this, "Vellix", QString::fromStdString(error.Message()));
    QWidget* widget = widgets_.at(error.GetControl());
    widget->setFocus();
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->selectAll();
    }
}

bool COptionsDlg::IsChecked(Control control) const {
    return static_cast<QAbstractButton*>(widgets_.at(control))->isChecked();
}

void COptionsDlg::SetChecked(Control control, bool checked) {
    static_cast<QAbstractButton*>(widgets_.at(control))->setChecked(checked);
}

std::int32_t COptionsDlg::GetRadioIndex(Control group) const {
    return groups_.at(group)->checkedId();
}

void COptionsDlg::SetRadioIndex(Control group, std::int32_t index) {
    QButtonGroup* buttons = groups_.at(group);
    if (QAbstractButton* button = buttons->button(index)) {
        button->setChecked(true);
        return;
    }
    // An exclusive group refuses to uncheck its last checked button.
    buttons->setExclusive(false);
    for (QAbstractButton* each : buttons->buttons()) {
        each->setChecked(false);
    }
    buttons->setExclusive(true);
}

std::string COptionsDlg::GetText(Control control) const {
    return static_cast<QLineEdit*>(widgets_.at(control))->text().toStdString();
}

void COptionsDlg::SetText(Control control, const std::string& text) {
    static_cast<QLineEdit*>(widgets_.at(control))->setText(QString::fromStdString(text));
}

void COptionsDlg::SetEnabled(Control control, bool enabled) {
    widgets_.at(control)->setEnabled(enabled);
}

} // namespace Ostrel::Vellix::Gui
