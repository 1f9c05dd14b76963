#pragma once

// The tree of places on the left of the main window: the machine's top-level places, their
// directories, the archives among their files and the directories inside those archives. Each
// node owns its directory object for exactly its own lifetime.

#include "Vellix/PseudoDirectory.h"

#include <QTreeWidget>

#include <string>

namespace Ostrel::Vellix::Gui {

class CVellixTreeView : public QTreeWidget {
    Q_OBJECT
public:
    // The item data roles holding a node's picture indices (into TreeIcon).
    static constexpr int kImageRole = Qt::UserRole;
    static constexpr int kSelectedImageRole = Qt::UserRole + 1;

    // Fills the top level with the machine's places.
    explicit CVellixTreeView(QWidget* parent = nullptr);

    // Adds a disk directory at the top level; null when it cannot be listed.
    QTreeWidgetItem* AddPlace(const std::string& path, int image);
    // The container of a node; null for the placeholder that stands for unseen children.
    static PseudoDirectory* DirectoryOf(const QTreeWidgetItem* item);
    // Opens the nodes down to path (a directory or archive under a top-level place) and selects
    // the last one. False when path is not reachable.
    bool SelectPath(const std::string& path);
    // Whether folders whose names begin with a dot are shown; from the next expansion on.
    void SetShowHidden(bool show) { showHidden_ = show; }
    bool ShowsHidden() const { return showHidden_; }

signals:
    // The container of the newly selected node, for the list view.
    void ContainerSelected(Ostrel::Vellix::PseudoDirectory* container);

private:
    void AddMachinePlaces();
    void OnItemExpanded(QTreeWidgetItem* item);
    void OnItemCollapsed(QTreeWidgetItem* item);
    void OnCurrentItemChanged(QTreeWidgetItem* current);
    void AddChildren(QTreeWidgetItem* item, PseudoDirectory& container);
    void MoveCurrentOutOf(QTreeWidgetItem* item);
    QTreeWidgetItem* ChildOnTheWayTo(QTreeWidgetItem* item, const std::string& path);

    bool showHidden_ = false;
};

} // namespace Ostrel::Vellix::Gui
