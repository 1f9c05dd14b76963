#pragma once

// The application object: starts the program inside the abort handling, owns the settings store
// and the main window, and runs the event loop.

#include "Util/AbortHandler.h"

#include <QApplication>

#include <memory>
#include <string>

class QMessageBox;

namespace Ostrel::Vellix {
class SettingsStore;
} // namespace Ostrel::Vellix

namespace Ostrel::Vellix::Gui {

class CMainFrame;

// The desktop program's abort handler: writes the error log, tells the user in a message box
// where it is, and ends the process with exit code 1.
class AbortHandlerGui : public Util::AbortHandler {
public:
    void HandleAbort(const Util::Exception& exception) override;
};

// The stop box that shows that text.
std::unique_ptr<QMessageBox> MakeAbortMessageBox(const std::string& text);

class CVellixApp : public QApplication {
    Q_OBJECT
public:
    // Installs the desktop abort handler.
    CVellixApp(int& argc, char** argv);
    ~CVellixApp() override;

    // Creates the settings store and the main window and shows it; false on failure.
    bool InitInstance();
    // The event loop; returns the exit code.
    int Run();
    CMainFrame* MainFrame() const { return frame_.get(); }

private:
    // For pictures of the program: VELLIX_START_PATH opens the tree at a place and expands it,
    // VELLIX_SELECT_FILE selects a file there, VELLIX_VIEW_STYLE (0 to 3) sets the list's style,
    // and VELLIX_SCREENSHOT saves the window as a PNG file there and quits.
    void ApplyStartEnvironment();

    std::unique_ptr<SettingsStore> settings_;
    std::unique_ptr<CMainFrame> frame_;
};

} // namespace Ostrel::Vellix::Gui
