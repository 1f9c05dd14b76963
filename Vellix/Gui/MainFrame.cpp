#include "Vellix/Gui/MainFrame.h"

#include "Vellix/BitmapFile.h"
#include "Vellix/BitmapList.h"
#include "Vellix/Gui/AboutDlg.h"
#include "Vellix/Gui/CommandGuard.h"
#include "Vellix/Gui/ConversionCommands.h"
#include "Vellix/Gui/FileListModel.h"
#include "Vellix/Gui/Icons.h"
#include "Vellix/Gui/NavigationBar.h"
#include "Vellix/Gui/PreviewPane.h"
#include "Vellix/Gui/VellixListView.h"
#include "Vellix/Gui/VellixTreeView.h"
#include "Vellix/PseudoDirectory.h"
#include "Vellix/SettingsStore.h"

#include <QAbstractItemView>
#include <QActionGroup>
#include <QByteArray>
#include <QDockWidget>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

#include <array>

namespace Ostrel::Vellix::Gui {

namespace {

struct StyleCommand {
    int commandId;
    int style;
    const char* text;
    const char* prompt;
};

constexpr std::array<StyleCommand, 4> kStyleCommands = {{
    {kCommandLargeIcons, kStyleIcon, "Large &Icons", "Display bitmaps by using large icons."},
    {kCommandSmallIcons, kStyleSmallIcon, "&Small Icons", "Display bitmaps by using small icons."},
    {kCommandList, kStyleList, "&List", "Displays bitmap in a list."},
    {kCommandDetails, kStyleReport, "&Details", "Displays detailed bitmap information."},
}};

constexpr std::array<int, 5> kConversionCommands = {kCommandToBmp, kCommandFromBmp, kCommandToMip,
                                                    kCommandToPbf, kCommandToSrb};

constexpr char kThumbnailsPrompt[] = "Displays individual thumbnail for each bitmap.";

constexpr char kLastFolderKey[] = "LastFolder";
constexpr char kWindowGeometryKey[] = "WindowGeometry";
constexpr char kSplitterKey[] = "Splitter";
constexpr char kShowHiddenKey[] = "ShowHiddenFolders";

QString ReportText(const ConversionReport& report) {
    if (report.folder.isEmpty()) {
        return report.text.toHtmlEscaped();
    }
    const QString link = QString("<a href=\"%1\">%2</a>")
                             .arg(QUrl::fromLocalFile(report.folder).toString(QUrl::FullyEncoded),
                                  report.folder.toHtmlEscaped());
    return report.text.toHtmlEscaped().replace(report.folder.toHtmlEscaped(), link);
}

QByteArray ReadLayout(const SettingsStore& settings, const char* key) {
    return QByteArray::fromBase64(
        QByteArray::fromStdString(settings.GetString(kSettingsSection, key, "")));
}

void WriteLayout(SettingsStore& settings, const char* key, const QByteArray& layout) {
    settings.WriteString(kSettingsSection, key, layout.toBase64().toStdString());
}

} // namespace

CMainFrame::CMainFrame(SettingsStore& settings, QWidget* parent)
    : QMainWindow(parent), settings_(settings), previewSettings_(PreviewSettings::Read(settings)) {
    setWindowTitle(kApplicationTitle);
    setWindowIcon(ApplicationIcon());
    splitter_ = new QSplitter(Qt::Horizontal, this);
    tree_ = new CVellixTreeView(splitter_);
    tree_->SetShowHidden(settings.GetInt(kSettingsSection, kShowHiddenKey, 0) > 0);
    list_ = new CVellixListView(settings, splitter_);
    splitter_->setSizes({300, 500});
    splitter_->setChildrenCollapsible(false);
    setCentralWidget(splitter_);
    navigation_ = new NavigationBar([this](const std::string& path) { return NavigateTo(path); });
    addToolBar(navigation_);
    connect(tree_, &CVellixTreeView::ContainerSelected, list_, &CVellixListView::ShowContainer);
    connect(tree_, &CVellixTreeView::ContainerSelected, this, [this](PseudoDirectory* container) {
        navigation_->ShowPlace(container->GetPathName().GetFullName());
    });
    connect(navigation_, &NavigationBar::FilterChanged, list_, &CVellixListView::SetNameFilter);

    CreatePreview();
    CreateViewActions();
    CreateMenus();
    CreateStatusBar();
    UpdateViewActions();
    RestorePlace();
}

CMainFrame::~CMainFrame() {
    // The dock hides as it goes; that is no choice of the user's.
    disconnect(previewDock_->toggleViewAction(), nullptr, this, nullptr);
    disconnect(preview_, nullptr, this, nullptr);
    RememberPlace();
    preview_->StoreChoices(previewSettings_);
    previewSettings_.Write(settings_);
    // The tree's nodes own the directory the list shows; the list lets go of it first.
    list_->ShowContainer(nullptr);
}

void CMainFrame::RestorePlace() {
    if (!restoreGeometry(ReadLayout(settings_, kWindowGeometryKey))) {
        resize(1150, 640);
    }
    splitter_->restoreState(ReadLayout(settings_, kSplitterKey));
    const std::string folder = settings_.GetString(kSettingsSection, kLastFolderKey, "");
    if (!folder.empty() && tree_->SelectPath(folder)) {
        tree_->currentItem()->setExpanded(true);
    }
}

void CMainFrame::RememberPlace() {
    WriteLayout(settings_, kWindowGeometryKey, saveGeometry());
    WriteLayout(settings_, kSplitterKey, splitter_->saveState());
    if (const PseudoDirectory* shown = list_->Container()) {
        settings_.WriteString(kSettingsSection, kLastFolderKey, shown->GetPathName().GetFullName());
    }
    settings_.WriteInt(kSettingsSection, kShowHiddenKey,
                       Action(kCommandShowHidden)->isChecked() ? 1 : 0);
}

bool CMainFrame::NavigateTo(const std::string& path) {
    if (tree_->SelectPath(path)) {
        return true;
    }
    const Util::PathName file(path);
    return !file.IsRoot() &&
           tree_->SelectPath(Util::PathName(file.GetParentDirectory()).GetFullName()) &&
           list_->SelectEntry(QString::fromStdString(file.GetFileName()));
}

QAction* CMainFrame::AddAction(int commandId, const QString& text, const QString& prompt) {
    auto* action = new QAction(text, this);
    action->setStatusTip(prompt);
    actions_[commandId] = action;
    return action;
}

void CMainFrame::CreateViewActions() {
    auto* styles = new QActionGroup(this);
    for (const StyleCommand& command : kStyleCommands) {
        QAction* action = AddAction(command.commandId, command.text, command.prompt);
        action->setCheckable(true);
        styles->addAction(action);
        connect(action, &QAction::triggered, this,
                [this, style = command.style] { SetViewStyle(style); });
    }
    connect(AddAction(kCommandArrange, "&Arrange Icons", "Arranges the icons in a grid."),
            &QAction::triggered, list_, &CVellixListView::Arrange);

    QAction* statusBarAction =
        AddAction(kCommandStatusBar, "Status &Bar", "Show or hide the status bar");
    statusBarAction->setCheckable(true);
    statusBarAction->setChecked(true);
    connect(statusBarAction, &QAction::toggled, this,
            [this](bool visible) { statusBar()->setVisible(visible); });

    connect(AddAction(kCommandExit, "E&xit", "Quit the application"), &QAction::triggered, this,
            &QWidget::close);
    connect(AddAction(kCommandAbout, "&About Vellix...",
                      "Display program information, version number and copyright"),
            &QAction::triggered, this, &CMainFrame::ShowAbout);

    QAction* refresh = AddAction(kCommandRefresh, "&Refresh", "Lists the shown folder again.");
    refresh->setShortcut(Qt::Key_F5);
    connect(refresh, &QAction::triggered, list_, &CVellixListView::Refresh);
    QAction* hidden = AddAction(kCommandShowHidden, "Show &Hidden Folders",
                                "Shows the folders whose names begin with a dot.");
    hidden->setCheckable(true);
    hidden->setChecked(tree_->ShowsHidden());
    connect(hidden, &QAction::toggled, tree_, &CVellixTreeView::SetShowHidden);

    QAction* next = AddAction(kCommandNextPane, "Next Pane", "Switch to the next window pane");
    next->setShortcut(Qt::Key_F6);
    connect(next, &QAction::triggered, this, [this] { SwitchPane(1); });
    QAction* previous =
        AddAction(kCommandPreviousPane, "Previous Pane", "Switch back to the previous window pane");
    previous->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6));
    connect(previous, &QAction::triggered, this, [this] { SwitchPane(-1); });
    addAction(next);
    addAction(previous);

    QAction* thumbnails = list_->Action(kCommandThumbnails);
    if (thumbnails && thumbnails->statusTip().isEmpty()) {
        thumbnails->setStatusTip(kThumbnailsPrompt);
    }
}

void CMainFrame::CreateMenus() {
    QMenu* file = menuBar()->addMenu("&File");
    for (int command : kConversionCommands) {
        file->addAction(list_->Action(command));
    }
    file->addSeparator();
    file->addAction(Action(kCommandExit));

    QMenu* view = menuBar()->addMenu("&View");
    for (const StyleCommand& command : kStyleCommands) {
        view->addAction(Action(command.commandId));
    }
    view->addAction(Action(kCommandArrange));
    view->addSeparator();
    view->addAction(list_->Action(kCommandThumbnails));
    view->addMenu(MakeThumbnailSizeMenu());
    view->addAction(Action(kCommandShowHidden));
    view->addAction(Action(kCommandRefresh));
    view->addSeparator();
    view->addAction(previewDock_->toggleViewAction());
    view->addAction(Action(kCommandStatusBar));
    // The list may have changed its style since the menu was last shown.
    connect(view, &QMenu::aboutToShow, this, &CMainFrame::UpdateViewActions);

    QMenu* help = menuBar()->addMenu("&Help");
    help->addAction(Action(kCommandAbout));
}

void CMainFrame::CreatePreview() {
    preview_ = new CPreviewPane(previewSettings_, RememberedKeyColour(settings_));
    previewDock_ = new QDockWidget("Preview", this);
    previewDock_->setObjectName("PreviewDock");
    previewDock_->setWidget(preview_);
    addDockWidget(Qt::RightDockWidgetArea, previewDock_);
    previewDock_->setVisible(previewSettings_.paneShown);
    QAction* toggle = previewDock_->toggleViewAction();
    toggle->setText("&Preview");
    toggle->setStatusTip("Show or hide the preview of the selected file");
    connect(toggle, &QAction::toggled, this, [this](bool shown) {
        previewSettings_.paneShown = shown;
        PreviewSelection();
    });
    connect(preview_, &CPreviewPane::Inspected, this, [this](const QString& text) {
        if (text.isEmpty()) {
            statusBar()->clearMessage();
        } else {
            statusBar()->showMessage(text);
        }
    });
    // The preview follows the selection once the list has drawn it; a read still pending for the
    // selection before is dropped at once.
    previewTimer_ = new QTimer(this);
    previewTimer_->setSingleShot(true);
    previewTimer_->setInterval(0);
    connect(previewTimer_, &QTimer::timeout, this, &CMainFrame::PreviewSelection);
    connect(list_, &CVellixListView::SelectionChanged, this, [this] {
        preview_->DropPendingRead();
        previewTimer_->start();
    });
    for (auto* view : list_->findChildren<QAbstractItemView*>()) {
        if (!qobject_cast<QHeaderView*>(view)) {
            connect(view, &QAbstractItemView::activated, this, &CMainFrame::OpenPreviewWindow);
        }
    }
}

QMenu* CMainFrame::MakeThumbnailSizeMenu() {
    auto* menu = new QMenu("Thumbnail &Size", this);
    auto* sizes = new QActionGroup(menu);
    for (std::uint32_t side : kThumbnailSizes) {
        QAction* action = menu->addAction(QString("%1 × %1").arg(side));
        action->setCheckable(true);
        action->setChecked(side == previewSettings_.thumbnailSize);
        action->setStatusTip("Sets the size of the large icons and their thumbnails.");
        sizes->addAction(action);
        connect(action, &QAction::triggered, this, [this, side] {
            previewSettings_.thumbnailSize = side;
            list_->SetThumbnailSize(static_cast<int>(side));
        });
    }
    list_->SetThumbnailSize(static_cast<int>(previewSettings_.thumbnailSize));
    return menu;
}

std::optional<std::uint32_t> CMainFrame::SelectedEntry() const {
    const auto selection = list_->GetSelection();
    if (selection.size() != 1 || !list_->Container()) {
        return std::nullopt;
    }
    return list_->Files().Rows().at(selection.front()).summary.entryIndex;
}

void CMainFrame::PreviewSelection() {
    if (previewDock_->isHidden()) {
        return;
    }
    preview_->SetKeyColour(RememberedKeyColour(settings_));
    if (const auto entry = SelectedEntry()) {
        preview_->ShowEntry(*list_->Container(), *entry);
    } else {
        preview_->ShowFile({});
    }
}

CPreviewPane* CMainFrame::OpenPreviewWindow() {
    const auto entry = SelectedEntry();
    OpenedTexture opened = entry ? OpenTexture(*list_->Container(), *entry) : OpenedTexture{};
    const auto file = opened.file;
    if (!file) {
        return nullptr;
    }
    PreviewSettings settings = previewSettings_;
    preview_->StoreChoices(settings);
    // A window of its own, closed with the main window.
    auto* window = new CPreviewPane(settings, RememberedKeyColour(settings_), this);
    window->setWindowFlag(Qt::Window);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(
        QString::fromStdString(file->GetBaseName() + "." + file->GetExtension()) + " - " +
        kApplicationTitle);
    window->resize(900, 700);
    window->ShowOpened(std::move(opened));
    window->show();
    return window;
}

void CMainFrame::CreateStatusBar() {
    // A prompt hides the idle text while it is shown; after a conversion it tells what was
    // written, with a link to the folder.
    auto* idle = new QLabel("Ready");
    idle->setOpenExternalLinks(true);
    statusBar()->addWidget(idle, 1);
    connect(list_, &CVellixListView::ConversionReported, idle,
            [idle](const ConversionReport& report) { idle->setText(ReportText(report)); });
    counts_ = new QLabel;
    statusBar()->addPermanentWidget(counts_);
    connect(list_, &CVellixListView::SelectionChanged, this, &CMainFrame::UpdateCounts);
    UpdateCounts();
}

void CMainFrame::UpdateCounts() {
    const auto shown = list_->GetListOrder().size();
    const auto selected = list_->GetSelection().size();
    QString text = QString("%1 %2").arg(shown).arg(shown == 1 ? "file" : "files");
    if (selected > 0) {
        text += QString(", %1 selected").arg(selected);
    }
    counts_->setText(text);
}

QAction* CMainFrame::Action(int commandId) const {
    if (const auto found = actions_.find(commandId); found != actions_.end()) {
        return found->second;
    }
    return list_->Action(commandId);
}

void CMainFrame::SetViewStyle(int style) {
    list_->SetViewStyle(style);
    UpdateViewActions();
}

void CMainFrame::UpdateViewActions() {
    const int style = list_->GetViewStyle();
    for (const StyleCommand& command : kStyleCommands) {
        Action(command.commandId)->setChecked(command.style == style);
    }
    Action(kCommandArrange)->setEnabled(style == kStyleIcon || style == kStyleSmallIcon);
}

void CMainFrame::SwitchPane(int step) {
    const std::array<QWidget*, 2> panes = {tree_, list_};
    const QWidget* focus = focusWidget();
    int current = -1;
    for (int index = 0; index < static_cast<int>(panes.size()); ++index) {
        if (focus && (focus == panes[index] || panes[index]->isAncestorOf(focus))) {
            current = index;
        }
    }
    const int count = static_cast<int>(panes.size());
    const int next = current < 0 ? 0 : (current + step % count + count) % count;
    QWidget* target = next == 0 ? static_cast<QWidget*>(tree_) : list_->CurrentItemView();
    target->setFocus(Qt::OtherFocusReason);
}

void CMainFrame::ShowAbout() {
    CAboutDlg about(this);
    about.exec();
}

} // namespace Ostrel::Vellix::Gui
