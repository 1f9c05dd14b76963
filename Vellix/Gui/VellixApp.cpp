#include "Vellix/Gui/VellixApp.h"

#include "Util/AbortHooks.h"
#include "Util/CrashReport.h"
#include "Vellix/Gui/CommandGuard.h"
#include "Vellix/Gui/MainFrame.h"
#include "Vellix/Gui/QtSettingsStore.h"
#include "Vellix/Gui/VellixListView.h"
#include "Vellix/Gui/VellixTreeView.h"

#include <QMessageBox>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace Ostrel::Vellix::Gui {

namespace {

// Time for the window to lay itself out and fill its thumbnails before it is pictured.
constexpr int kScreenshotDelayMs = 1500;

QString Environment(const char* name) {
    return qEnvironmentVariable(name);
}

} // namespace

std::unique_ptr<QMessageBox> MakeAbortMessageBox(const std::string& text) {
    return std::make_unique<QMessageBox>(QMessageBox::Critical, kApplicationTitle,
                                         QString::fromStdString(text), QMessageBox::Ok);
}

void AbortHandlerGui::HandleAbort(const Util::Exception& exception) {
    const std::string text = Util::ReportAbort(exception);
    if (QApplication::instance()) {
        MakeAbortMessageBox(text)->exec();
    } else {
        std::fputs((text + '\n').c_str(), stderr);
    }
    std::_Exit(1);
}

CVellixApp::CVellixApp(int& argc, char** argv) : QApplication(argc, argv) {
    setOrganizationName("Ostrel");
    setApplicationName(kApplicationTitle);
    Util::SetAbortHandler(std::make_unique<AbortHandlerGui>());
}

CVellixApp::~CVellixApp() = default;

bool CVellixApp::InitInstance() {
    const Util::AbortHooks hooks;
    return RunCommand(nullptr, [this] {
        settings_ = std::make_unique<QtSettingsStore>();
        frame_ = std::make_unique<CMainFrame>(*settings_);
        frame_->show();
        ApplyStartEnvironment();
    });
}

int CVellixApp::Run() {
    const Util::AbortHooks hooks;
    return exec();
}

void CVellixApp::ApplyStartEnvironment() {
    bool isStyle = false;
    const int style = Environment("VELLIX_VIEW_STYLE").toInt(&isStyle);
    if (isStyle) {
        frame_->SetViewStyle(style);
    }
    const QString start = Environment("VELLIX_START_PATH");
    if (!start.isEmpty() && frame_->TreeView()->SelectPath(start.toStdString())) {
        frame_->TreeView()->currentItem()->setExpanded(true);
        frame_->ListView()->SelectEntry(Environment("VELLIX_SELECT_FILE"));
    }
    const QString screenshot = Environment("VELLIX_SCREENSHOT");
    if (!screenshot.isEmpty()) {
        QTimer::singleShot(kScreenshotDelayMs, this, [this, screenshot] {
            const bool saved = frame_->grab().save(screenshot, "PNG");
            exit(saved ? 0 : 1);
        });
    }
}

} // namespace Ostrel::Vellix::Gui
