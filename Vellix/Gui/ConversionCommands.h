#pragma once

// The list's five conversion commands and "&Thumbnails" as actions, kept enabled for the kinds
// of the selection (a disabled command's prompt says what to select), and the dispatch of a
// command to the options dialog of the selection's kinds and on to a conversion batch. The
// batch runs on a worker thread under a progress dialog whose Cancel stops it after the current
// file; what was written is reported at the end, a failure in a message box.

#include "Vellix/BitmapFile.h"

#include <QAction>
#include <QObject>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

class QWidget;

namespace Ostrel::Vellix {
class ConversionBatch;
class DialogTargets;
class PseudoDirectory;
class SettingsStore;
} // namespace Ostrel::Vellix

namespace Ostrel::Vellix::Gui {

// The files a command would convert: entries of one container, with their kinds.
struct Selection {
    const PseudoDirectory* container = nullptr;
    std::vector<std::uint32_t> entries;
    std::vector<BitmapKind> kinds;
    // Each file's level count as listed; 0 for a file without levels or not summarised yet.
    std::vector<std::uint32_t> levelCounts;
};

// "Wrote 18 files to /games/track/cars", and that folder; without a file written, no folder.
struct ConversionReport {
    QString text;
    QString folder;
};

class ConversionCommands final : public QObject {
    Q_OBJECT
public:
    // Dialogs and messages open over window; selected tells what is selected when a command
    // runs (it may throw as ConversionBatch::Add does).
    ConversionCommands(SettingsStore& store, QWidget* window, std::function<Selection()> selected);

    QAction* Action(int commandId) const;
    void Update(const std::vector<BitmapKind>& selection);
    void Run(int commandId);
    // "Convert From Bmp" for the one selected game file, reading its pictures from the folder of
    // picture, which must be one of them (a picture dropped on the file).
    void PutBack(const std::string& picture);

signals:
    // While a batch runs on its worker, nothing else may use the shared file factory.
    void Running(bool running);
    void Reported(const Ostrel::Vellix::Gui::ConversionReport& report);

private:
    void Convert(int commandId, Selection selection);
    template <typename DialogT, typename StartT>
    void ConvertWith(Selection selection, const DialogTargets& targets, const char* newExtension,
                     const StartT& start);
    bool AskReplacing(Selection& selection, const char* extension, bool& replacing);
    void RunInBackground(ConversionBatch& batch, const std::function<void()>& work);

    SettingsStore& store_;
    QWidget* window_;
    std::function<Selection()> selected_;
    std::map<int, QAction*> actions_;
    // Where the running command reads pictures put back; empty for the BMP directory.
    std::string pictures_;
};

// What a finished (or stopped) batch wrote.
ConversionReport ReportOf(const ConversionBatch& batch, bool cancelled);

} // namespace Ostrel::Vellix::Gui
