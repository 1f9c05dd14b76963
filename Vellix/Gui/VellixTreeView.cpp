#include "Vellix/Gui/VellixTreeView.h"

#include "Trova/FileFactoryRegistry.h"
#include "Util/Exception.h"
#include "Util/Platform.h"
#include "Util/Text.h"
#include "Vellix/Gui/CommandGuard.h"
#include "Vellix/Gui/Icons.h"
#include "Vellix/RealDirectory.h"
#include "Vellix/TreeNodes.h"

#include <QDir>
#include <QHeaderView>
#include <QSignalBlocker>
#include <QStorageInfo>

#include <memory>

namespace Ostrel::Vellix::Gui {

namespace {

// A node that owns its directory object; the placeholder is a plain item.
class DirectoryItem : public QTreeWidgetItem {
public:
    static constexpr int kType = QTreeWidgetItem::UserType + 1;

    explicit DirectoryItem(std::unique_ptr<PseudoDirectory> directory)
        : QTreeWidgetItem(kType), directory_(std::move(directory)) {}
    PseudoDirectory* Directory() const { return directory_.get(); }

private:
    std::unique_ptr<PseudoDirectory> directory_;
};

void SetImages(QTreeWidgetItem* item, int image, int selectedImage) {
    QIcon icon;
    icon.addPixmap(TreeIcon(image).pixmap(16), QIcon::Normal);
    icon.addPixmap(TreeIcon(selectedImage).pixmap(16), QIcon::Selected);
    item->setIcon(0, icon);
    item->setData(0, CVellixTreeView::kImageRole, image);
    item->setData(0, CVellixTreeView::kSelectedImageRole, selectedImage);
}

// The child that makes the parent show an expand button before its children are looked at.
void AddPlaceholder(QTreeWidgetItem* parent) {
    auto* placeholder = new QTreeWidgetItem(parent, QStringList(QString()));
    SetImages(placeholder, kTreeIconFolder, kTreeIconFolder);
}

bool HasOnlyPlaceholder(const QTreeWidgetItem* item) {
    return item->childCount() == 1 && !CVellixTreeView::DirectoryOf(item->child(0));
}

// Children are kept in order of their text, case ignored.
void InsertSorted(QTreeWidgetItem* parent, QTreeWidgetItem* child) {
    const std::string text = child->text(0).toStdString();
    int position = 0;
    while (position < parent->childCount() &&
           Util::CompareNoCase(parent->child(position)->text(0).toStdString(), text) <= 0) {
        ++position;
    }
    parent->insertChild(position, child);
}

QTreeWidgetItem* MakeItem(TreeNode node) {
    auto* item = new DirectoryItem(std::move(node.directory));
    item->setText(0, QString::fromStdString(node.text));
    SetImages(item, node.image, node.selectedImage);
    if (HasTreeWorthyEntry(*item->Directory())) {
        AddPlaceholder(item);
    }
    return item;
}

// A change report may not have reached a disk directory's node yet; the user expects what is on
// disk now.
PseudoDirectory& CurrentContents(PseudoDirectory& container) {
    container.Refresh();
    return container;
}

bool IsWithin(const std::string& path, const PseudoDirectory& directory) {
    const Util::PathName& name = directory.GetPathName();
    return path == name.GetFullName() || path.starts_with(name.GetAsDirectory());
}

std::vector<MountedVolume> MountedVolumes() {
    std::vector<MountedVolume> volumes;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && volume.isReady()) {
            volumes.push_back({QDir::toNativeSeparators(volume.rootPath()).toStdString(),
                               volume.fileSystemType().toStdString()});
        }
    }
    return volumes;
}

} // namespace

CVellixTreeView::CVellixTreeView(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(this, &QTreeWidget::itemExpanded, this, &CVellixTreeView::OnItemExpanded);
    connect(this, &QTreeWidget::itemCollapsed, this, &CVellixTreeView::OnItemCollapsed);
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { OnCurrentItemChanged(current); });
    AddMachinePlaces();
}

void CVellixTreeView::AddMachinePlaces() {
    const std::string home = QDir::toNativeSeparators(QDir::homePath()).toStdString();
    const std::string root = QDir::toNativeSeparators(QDir::rootPath()).toStdString();
    for (const TopLevelPlace& place : TopLevelPlaces(home, root, MountedVolumes())) {
        AddPlace(place.path, place.image);
    }
}

QTreeWidgetItem* CVellixTreeView::AddPlace(const std::string& path, int image) {
    std::unique_ptr<PseudoDirectory> directory;
    try {
        directory = std::make_unique<RealDirectory>(path);
    } catch (const Util::Exception&) {
        return nullptr; // a place the user may not list is left out
    }
    auto* item = new DirectoryItem(std::move(directory));
    item->setText(0, QString::fromStdString(path));
    SetImages(item, image, image);
    if (HasTreeWorthyEntry(*item->Directory())) {
        AddPlaceholder(item);
    }
    addTopLevelItem(item);
    return item;
}

PseudoDirectory* CVellixTreeView::DirectoryOf(const QTreeWidgetItem* item) {
    return item && item->type() == DirectoryItem::kType
               ? static_cast<const DirectoryItem*>(item)->Directory()
               : nullptr;
}

void CVellixTreeView::OnItemExpanded(QTreeWidgetItem* item) {
    PseudoDirectory* container = DirectoryOf(item);
    if (!container || !HasOnlyPlaceholder(item)) {
        return;
    }
    const WaitCursor wait;
    delete item->takeChild(0);
    RunCommand(this, [&] { AddChildren(item, *container); });
    if (item->childCount() == 0) {
        // Nothing to show any more: the button goes away and the node stays closed.
        const QSignalBlocker block(this);
        item->setExpanded(false);
    }
}

void CVellixTreeView::AddChildren(QTreeWidgetItem* item, PseudoDirectory& container) {
    CurrentContents(container);
    for (std::uint32_t index = 0; index < container.GetEntryCount(); ++index) {
        const bool hidden = container.GetEntryName(index).starts_with('.');
        if ((showHidden_ || !hidden) && IsTreeWorthy(container, index)) {
            InsertSorted(item, MakeItem(MakeChildNode(container, index)));
        }
    }
}

void CVellixTreeView::OnItemCollapsed(QTreeWidgetItem* item) {
    PseudoDirectory* container = DirectoryOf(item);
    if (!container) {
        return;
    }
    const WaitCursor wait;
    RunCommand(this, [&] {
        MoveCurrentOutOf(item);
        qDeleteAll(item->takeChildren());
        if (!item->parent() || HasTreeWorthyEntry(CurrentContents(*container))) {
            AddPlaceholder(item);
        }
        Trova::GetFactoryRegistry().Purge();
    });
}

// The list view shows the selected node's directory; it must not outlive that node.
void CVellixTreeView::MoveCurrentOutOf(QTreeWidgetItem* item) {
    for (QTreeWidgetItem* ancestor = currentItem(); ancestor; ancestor = ancestor->parent()) {
        if (ancestor->parent() == item) {
            setCurrentItem(item);
            return;
        }
    }
}

void CVellixTreeView::OnCurrentItemChanged(QTreeWidgetItem* current) {
    if (PseudoDirectory* container = DirectoryOf(current)) {
        emit ContainerSelected(container);
    }
}

QTreeWidgetItem* CVellixTreeView::ChildOnTheWayTo(QTreeWidgetItem* item, const std::string& path) {
    item->setExpanded(true);
    for (int index = 0; index < item->childCount(); ++index) {
        const PseudoDirectory* child = DirectoryOf(item->child(index));
        if (child && IsWithin(path, *child)) {
            return item->child(index);
        }
    }
    return nullptr;
}

bool CVellixTreeView::SelectPath(const std::string& path) {
    QTreeWidgetItem* item = nullptr;
    for (int index = 0; index < topLevelItemCount(); ++index) {
        const PseudoDirectory* place = DirectoryOf(topLevelItem(index));
        // The deepest place that holds the path is the shortest way down.
        if (place && IsWithin(path, *place) &&
            (!item || place->GetPathName().GetFullName().size() >
                          DirectoryOf(item)->GetPathName().GetFullName().size())) {
            item = topLevelItem(index);
        }
    }
    while (item && DirectoryOf(item)->GetPathName().GetFullName() != path) {
        item = ChildOnTheWayTo(item, path);
    }
    if (item) {
        setCurrentItem(item);
    }
    return item != nullptr;
}

} // namespace Ostrel::Vellix::Gui
