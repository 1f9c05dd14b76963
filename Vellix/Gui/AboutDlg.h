#pragma once

#include <QDialog>

namespace Ostrel::Vellix::Gui {

// "About Vellix": the program's icon, its name and version, and an OK button.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

} // namespace Ostrel::Vellix::Gui
