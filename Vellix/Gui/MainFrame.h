#pragma once

// The main window: the navigation bar above the tree of places and the bitmap list side by
// side, the menus and the status bar with the commands' prompts and the number of files. It
// remembers its place: the last folder, its size and position and the splitter.

#include "Util/CountedPtr.h"
#include "Vellix/TexturePicture.h"

#include <QMainWindow>

#include <map>
#include <optional>

class QDockWidget;
class QLabel;
class QMenu;
class QSplitter;
class QTimer;

namespace Ostrel::Vellix {
class BitmapFile;
class SettingsStore;
} // namespace Ostrel::Vellix

namespace Ostrel::Vellix::Gui {

class CPreviewPane;
class CVellixListView;
class CVellixTreeView;
class NavigationBar;

// The frame's own commands.
inline constexpr int kCommandSmallIcons = 59408;
inline constexpr int kCommandLargeIcons = 59409;
inline constexpr int kCommandList = 59410;
inline constexpr int kCommandDetails = 59411;
inline constexpr int kCommandArrange = 59412;
inline constexpr int kCommandStatusBar = 59393;
inline constexpr int kCommandAbout = 57664;
inline constexpr int kCommandExit = 57665;
inline constexpr int kCommandNextPane = 57680;
inline constexpr int kCommandPreviousPane = 57681;
inline constexpr int kCommandRefresh = 32790;
inline constexpr int kCommandShowHidden = 32791;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    // Opens at the remembered folder, size and position.
    explicit CMainFrame(SettingsStore& settings, QWidget* parent = nullptr);
    // Remembers them.
    ~CMainFrame() override;

    CVellixTreeView* TreeView() const { return tree_; }
    CVellixListView* ListView() const { return list_; }
    NavigationBar* Navigation() const { return navigation_; }
    QSplitter* Splitter() const { return splitter_; }
    // Shows a folder or an archive; for a file, the place that holds it with the file selected.
    // False when there is no such place.
    bool NavigateTo(const std::string& path);
    // The action of a command, the frame's own or the list view's; null for an unknown id.
    QAction* Action(int commandId) const;
    // Moves the focus to the next pane (step 1) or the previous one (step -1).
    void SwitchPane(int step);
    // Shows the about box modally.
    void ShowAbout();
    // Sets the list's style (kStyleIcon...) and moves the radio mark.
    void SetViewStyle(int style);

    // The preview of the selected file, in a dock that the View menu shows and hides.
    CPreviewPane* PreviewPane() const { return preview_; }
    QDockWidget* PreviewDock() const { return previewDock_; }
    // Opens the selected file in a preview window of its own; null when not one file is selected.
    CPreviewPane* OpenPreviewWindow();

private:
    QAction* AddAction(int commandId, const QString& text, const QString& prompt);
    void CreateViewActions();
    void CreateMenus();
    void CreateStatusBar();
    // The radio mark on the current style; arranging only where icons lie on a grid.
    void UpdateViewActions();
    void UpdateCounts();
    void RestorePlace();
    void RememberPlace();
    void CreatePreview();
    QMenu* MakeThumbnailSizeMenu();
    // The entry of the one selected file; none for none or several.
    std::optional<std::uint32_t> SelectedEntry() const;
    void PreviewSelection();

    SettingsStore& settings_;
    CVellixTreeView* tree_ = nullptr;
    CVellixListView* list_ = nullptr;
    QSplitter* splitter_ = nullptr;
    NavigationBar* navigation_ = nullptr;
    QLabel* counts_ = nullptr;
    std::map<int, QAction*> actions_;
    PreviewSettings previewSettings_;
    CPreviewPane* preview_ = nullptr;
    QDockWidget* previewDock_ = nullptr;
    QTimer* previewTimer_ = nullptr;
};

} // namespace Ostrel::Vellix::Gui
