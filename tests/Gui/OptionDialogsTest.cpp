#include "Vellix/Gui/OptionDialogs.h"
#include "Gui/GuiTestEnvironment.h"
#include "Vellix/BitmapFile.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include <gtest/gtest.h>

using namespace Ostrel::Vellix;
using namespace Ostrel::Vellix::Gui;
using Ostrel::Test::MessageBoxAnswer;

namespace {

// The text field of a spin box, which takes any text, as a paste does before validation.
QLineEdit* Edit(const COptionsDlg& dialog, Control control) {
    return dialog.ControlWidget(control)->findChild<QLineEdit*>();
}

QAbstractButton* Button(const COptionsDlg& dialog, Control control) {
    return qobject_cast<QAbstractButton*>(dialog.ControlWidget(control));
}

void PressOk(COptionsDlg& dialog) {
    dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
}

// Whether the three colour edits are enabled.
void ExpectKeyColourEnabled(const COptionsDlg& dialog, bool enabled) {
    for (Control control :
         {Control::TransparencyRed, Control::TransparencyGreen, Control::TransparencyBlue}) {
        EXPECT_EQ(Edit(dialog, control)->isEnabled(), enabled) << static_cast<int>(control);
    }
}

} // namespace

// Every dialog lays out the fields of its own options under its own title, writing nothing.
TEST(OptionDialogs, EveryDialogOpensUnderItsTitle) {
    MemorySettingsStore store;
    EXPECT_EQ(CMipBmpDlg(store).windowTitle(), "Mip->Bmp Options");
    EXPECT_EQ(CBmpMipDlg(store).windowTitle(), "Bmp->Mip Options");
    EXPECT_EQ(CMipFromBmpDlg(store).windowTitle(), "Mip From Bmp Options");
    EXPECT_EQ(CBmpPbfDlg(store).windowTitle(), "Bmp->Pbf/Stp Options");
    EXPECT_EQ(CPbfBmpDlg(store).windowTitle(), "Pbf/Stp->Bmp Options");
    EXPECT_EQ(CPbfFromBmpDlg(store).windowTitle(), "Pbf/Stp From Bmp Options");
    EXPECT_EQ(CSrbBmpDlg(store).windowTitle(), "Srb->Bmp Options");
    EXPECT_EQ(CSrbFromBmpDlg(store).windowTitle(), "Srb From Bmp Options");
    EXPECT_EQ(CBmpSrbDlg(store).windowTitle(), "Bmp->Srb Options");
    EXPECT_TRUE(store.GetWrites().empty());
}

// The widgets show what the options read from the store, each kind through its own setter; a
// stored method outside the group checks no button and is read back as none.
TEST(OptionDialogs, WidgetsShowTheStoredValuesAndOnlyTheDialogsOwnControls) {
    MemorySettingsStore store;
    store.WriteInt(kSettingsSection, "BmpSrbWidth", 2500);
    store.WriteInt(kSettingsSection, "TransparencyMethod", 7);
    CBmpSrbDlg srb(store);
    EXPECT_TRUE(Button(srb, Control::AutomaticLevelCount)->isChecked());
    EXPECT_TRUE(Button(srb, Control::PartialTransparency)->isChecked());
    EXPECT_EQ(Edit(srb, Control::Width)->text(), "2.5");
    EXPECT_FALSE(Button(srb, Control::Overwrite)->isChecked());
    EXPECT_EQ(Edit(srb, Control::TransparencyRed)->text(), "255");
    ExpectKeyColourEnabled(srb, false);
    EXPECT_EQ(Button(srb, Control::SeparateTransparency)->text(),
              "Transparency in Separate Bitmap");
    for (Control button :
         {Control::NoTransparency, Control::SeparateTransparency, Control::SpecifiedColour}) {
        EXPECT_FALSE(Button(srb, button)->isChecked());
    }
    PressOk(srb);
    EXPECT_EQ(srb.result(), QDialog::Accepted);
    EXPECT_EQ(srb.GetOptions().transparency.method, -1);
    // PBF files have no levels: their dialog has no such control.
    EXPECT_EQ(CBmpPbfDlg(store).ControlWidget(Control::LevelCount), nullptr);
}

TEST(OptionDialogs, ClicksOnGoverningControlsSwitchTheirControlsAndCancelWritesNothing) {
    MemorySettingsStore store;
    CMipBmpDlg toBmp(store);
    Button(toBmp, Control::AllLevels)->click();
    EXPECT_FALSE(Edit(toBmp, Control::Level)->isEnabled());
    Button(toBmp, Control::SpecifiedColour)->click();
    ExpectKeyColourEnabled(toBmp, true);
    Button(toBmp, Control::NoTransparency)->click();
    ExpectKeyColourEnabled(toBmp, false);

    CBmpSrbDlg srb(store);
    Button(srb, Control::AutomaticLevelCount)->click();
    EXPECT_TRUE(Edit(srb, Control::LevelCount)->isEnabled());
    Button(srb, Control::UsePalette)->click();
    EXPECT_FALSE(Edit(srb, Control::ColourCount)->isEnabled());
    // Neither the clicks nor Cancel after an edit write anything.
    Edit(srb, Control::RedBits)->setText("5");
    srb.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
    EXPECT_TRUE(store.GetWrites().empty());
}

// The spin boxes span their fields' ranges, yet a typed value outside reaches the check as typed,
// never rounded into the range. The first invalid field, on Ok or on a governing click, is
// reported and the dialog stays open with nothing written.
TEST(OptionDialogs, AnInvalidFieldKeepsTheDialogOpenWithNothingWritten) {
    MessageBoxAnswer answer;
    MemorySettingsStore store;
    CBmpSrbDlg dialog(store);
    const auto* colours = qobject_cast<QSpinBox*>(dialog.ControlWidget(Control::ColourCount));
    ASSERT_NE(colours, nullptr);
    EXPECT_EQ(colours->maximum(), 256);
    const auto* width = qobject_cast<QDoubleSpinBox*>(dialog.ControlWidget(Control::Width));
    ASSERT_NE(width, nullptr);
    EXPECT_DOUBLE_EQ(width->minimum(), 0.001); // a width of 0 is refused
    EXPECT_EQ(width->toolTip(), "From 0.001 to 5000");
    dialog.show();
    Edit(dialog, Control::ColourCount)->setText("257");
    PressOk(dialog);
    EXPECT_EQ(answer.caption, "Vellix");
    EXPECT_EQ(answer.text, "Please enter an integer between 1 and 256.");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.focusWidget(), dialog.ControlWidget(Control::ColourCount));
    Edit(dialog, Control::ColourCount)->setText("256");
    Edit(dialog, Control::Width)->setText("5000.0004");
    PressOk(dialog);
    EXPECT_EQ(answer.text, "Please enter a number greater than 0 and at most 5000.");
    Edit(dialog, Control::Width)->setText("5000");
    Edit(dialog, Control::TransparencyGreen)->setText("300");
    Button(dialog, Control::SpecifiedColour)->click();
    EXPECT_EQ(answer.text, "Please enter an integer between 0 and 255.");
    EXPECT_TRUE(store.GetWrites().empty());

    Edit(dialog, Control::TransparencyGreen)->setText("0");
    PressOk(dialog);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(store.GetInt(kSettingsSection, "BmpSrbColourCount", 0), 256);
    EXPECT_EQ(store.GetInt(kSettingsSection, "BmpSrbWidth", 0), 5000000);
}

// A level that one selected file lacks is refused before the dialog closes, naming that file.
TEST(OptionDialogs, TheLevelIsCheckedAgainstTheFilesToConvert) {
    MessageBoxAnswer answer;
    MemorySettingsStore store;
    CMipBmpDlg dialog(store);
    DialogTargets targets("/games/cars");
    targets.AddFile("car1.mip", BitmapKind::Mip, 5);
    targets.AddFile("road.pbf", BitmapKind::Pbf, 1); // has no levels to choose from
    targets.AddFile("car2.mip", BitmapKind::Mip, 3);
    dialog.SetTargets(targets);
    EXPECT_EQ(dialog.findChild<QLabel*>()->text(), "Converts 3 files in /games/cars");
    Edit(dialog, Control::Level)->setText("4");
    PressOk(dialog);
    EXPECT_EQ(answer.text, "Level 4 is not between 1 and 3 for car2.mip.");
    EXPECT_TRUE(store.GetWrites().empty());
    Button(dialog, Control::AllLevels)->click();
    PressOk(dialog);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}
