#include "Vellix/Gui/AboutDlg.h"

#include "Vellix/Gui/Icons.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtGlobal>

namespace Ostrel::Vellix::Gui {

namespace {
constexpr char kLicenceText[] = "Licence: MIT (the LICENSE file beside the program).";
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("About Vellix");
    auto* icon = new QLabel;
    icon->setPixmap(ApplicationIcon().pixmap(32));
    auto* details = new QLabel(QString("Version %1, built on %2 with Qt %3\n%4")
                                   .arg(VELLIX_VERSION_TEXT, __DATE__, qVersion(), kLicenceText));
    auto* texts = new QVBoxLayout;
    texts->addWidget(new QLabel("Vellix Version 2.0"));
    texts->addWidget(details);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    buttons->button(QDialogButtonBox::Ok)->setText("OK");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(icon, 0, Qt::AlignTop);
    layout->addLayout(texts, 1);
    layout->addWidget(buttons, 0, Qt::AlignTop);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

} // namespace Ostrel::Vellix::Gui
