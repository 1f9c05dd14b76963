#pragma once

#include <QDialog>

namespace Ostrel::Vellix::Gui {

// "About Vellix": the program's icon, its name and version, the Qt version, the build date and
// the licence, and an OK button.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

} // namespace Ostrel::Vellix::Gui
