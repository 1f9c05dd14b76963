#pragma once

// The list's five conversion commands and "&Thumbnails" as actions, kept enabled for the kinds
// of the selection, and the dispatch of a command to the options dialog of the selection's kind
// and on to the conversion batch.

#include "Vellix/BitmapFile.h"

#include <QAction>
#include <QObject>

#include <functional>
#include <map>
#include <vector>

class QWidget;

namespace Ostrel::Vellix {
class ConversionBatch;
class SettingsStore;
} // namespace Ostrel::Vellix

namespace Ostrel::Vellix::Gui {

class ConversionCommands final : public QObject {
    Q_OBJECT
public:
    // Fills a batch with the selected files; throws as ConversionBatch::Add does.
    using BatchFiller = std::function<void(ConversionBatch& batch)>;

    // Dialogs and messages open over window.
    ConversionCommands(SettingsStore& store, QWidget* window, BatchFiller fillBatch);

    QAction* Action(int commandId) const;
    void Update(const std::vector<BitmapKind>& selection);
    void Run(int commandId);

private:
    void Convert(int commandId, ConversionBatch& batch);
    template <typename DialogT> void ConvertWith(ConversionBatch& batch);

    SettingsStore& store_;
    QWidget* window_;
    BatchFiller fillBatch_;
    std::map<int, QAction*> actions_;
};

} // namespace Ostrel::Vellix::Gui
