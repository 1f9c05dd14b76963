#include "Vellix/Gui/OptionDialogs.h"

#include "Util/Exception.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

namespace Ostrel::Vellix::Gui {

namespace {

constexpr char kSourceUnit[] = "OptionDialogs";

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

// Decimals are remembered in thousandths.
constexpr int kDecimals = 3;
constexpr double kDecimalStep = 0.001;

// Shows its value as the options write it ("2.5", not "2.500"), with '.' whatever the locale.
class DecimalSpinBox final : public QDoubleSpinBox {
public:
    DecimalSpinBox() {
        setLocale(QLocale::c());
        setDecimals(kDecimals);
    }
    QString textFromValue(double value) const override {
        return QString::fromStdString(FormatNumber(value));
    }
};

const Field& FindField(const std::vector<Field>& fields, Control control) {
    const auto found = std::find_if(fields.begin(), fields.end(),
                                    [&](const Field& each) { return each.control == control; });
    OSTREL_ASSERT(found != fields.end());
    return *found;
}

} // namespace

COptionsDlg::COptionsDlg(std::unique_ptr<DialogOptions> options, SettingsStore& store,
                         const char* title, QWidget* parent)
    : QDialog(parent), options_(std::move(options)), store_(store) {
    setWindowTitle(title);
    Build();
    options_->Show(*this);
}

void COptionsDlg::Build() {
    fields_ = options_->GetFields();
    auto* form = new QFormLayout;
    for (Control control : kDisplayOrder) {
        const auto field = std::find_if(fields_.begin(), fields_.end(),
                                        [&](const Field& each) { return each.control == control; });
        if (field == fields_.end()) {
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
    targetsLabel_ = new QLabel;
    targetsLabel_->setVisible(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(targetsLabel_);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

QWidget* COptionsDlg::MakeFieldWidget(const Field& field) {
    if (field.kind == FieldKind::Radio) {
        return MakeRadioGroup(field.control);
    }
    if (field.kind == FieldKind::Integer || field.kind == FieldKind::Number) {
        return MakeSpinBox(field);
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
    layout->addWidget(MakeFieldWidget(FindField(fields_, Control::ColourCount)));
    return row;
}

// The spin box takes only values in the field's range; an emptied one still reaches the
// options' validation.
QWidget* COptionsDlg::MakeSpinBox(const Field& field) {
    QAbstractSpinBox* box = nullptr;
    if (field.kind == FieldKind::Integer) {
        auto* integer = new QSpinBox;
        integer->setRange(static_cast<int>(field.min), static_cast<int>(field.max));
        box = integer;
    } else {
        auto* decimal = new DecimalSpinBox;
        decimal->setRange(field.excludesMin ? field.min + kDecimalStep : field.min, field.max);
        decimal->setSingleStep(field.max > 1.0 ? 1.0 : 0.1);
        box = decimal;
    }
    box->setToolTip(
        QString("From %1 to %2")
            .arg(box->property("minimum").toString(), box->property("maximum").toString()));
    widgets_[field.control] = box;
    return box;
}

void COptionsDlg::SetTargets(const DialogTargets& targets) {
    targets_ = targets;
    targetsLabel_->setText(QString::fromStdString(targets.Text()));
    targetsLabel_->setVisible(!targetsLabel_->text().isEmpty());
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
        options_->CheckTargets(targets_);
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
    if (auto* box = qobject_cast<QAbstractSpinBox*>(widget)) {
        box->selectAll();
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
    return static_cast<QAbstractSpinBox*>(widgets_.at(control))->text().toStdString();
}

void COptionsDlg::SetText(Control control, const std::string& text) {
    const QString value = QString::fromStdString(text);
    QWidget* widget = widgets_.at(control);
    if (auto* integer = qobject_cast<QSpinBox*>(widget)) {
        integer->setValue(value.toInt());
    } else {
        static_cast<QDoubleSpinBox*>(widget)->setValue(value.toDouble());
    }
}

void COptionsDlg::SetEnabled(Control control, bool enabled) {
    widgets_.at(control)->setEnabled(enabled);
}

} // namespace Ostrel::Vellix::Gui
