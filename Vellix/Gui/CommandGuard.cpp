#include "Vellix/Gui/CommandGuard.h"

#include "Util/Exception.h"

#include <QApplication>
#include <QMessageBox>

#include <exception>

namespace Ostrel::Vellix::Gui {

WaitCursor::WaitCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

WaitCursor::~WaitCursor() {
    QApplication::restoreOverrideCursor();
}

void ShowMessage(QWidget* parent, const QString& text) {
    QMessageBox::warning(parent, kApplicationTitle, text, QMessageBox::Ok);
}

bool RunCommand(QWidget* parent, const std::function<void()>& command) {
    try {
        command();
        return true;
    } catch (const Util::Exception& exception) {
        ShowMessage(parent, QString::fromStdString(exception.Message()));
    } catch (const std::exception& exception) {
        ShowMessage(parent, QString::fromLocal8Bit(exception.what()));
    }
    return false;
}

} // namespace Ostrel::Vellix::Gui
