#include "Vellix/Gui/ConversionCommands.h"

#include "Util/PathName.h"
#include "Util/Platform.h"
#include "Vellix/BitmapList.h"
#include "Vellix/ConversionBatch.h"
#include "Vellix/Conversions.h"
#include "Vellix/Gui/CommandGuard.h"
#include "Vellix/Gui/OptionDialogs.h"
#include "Vellix/PseudoDirectory.h"

#include <QEventLoop>
#include <QFutureWatcher>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QScopeGuard>
#include <QThreadPool>
#include <QWidget>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <atomic>
#include <exception>

namespace Ostrel::Vellix::Gui {

namespace {

bool AllOf(const std::vector<BitmapKind>& kinds, BitmapKind kind) {
    return std::all_of(kinds.begin(), kinds.end(), [&](BitmapKind each) { return each == kind; });
}

ToBmpSettings MixedToBmpSettings(const MipBmpOptions& options) {
    return {options.allLevels, options.level, options.transparency, options.overwrite};
}

// Pictures put back go into the game files where they are; everything else is written in the
// BMP directory.
DialogTargets TargetsOf(const Selection& selection, int commandId) {
    const PseudoDirectory& container = *selection.container;
    DialogTargets targets(commandId == kCommandFromBmp ? container.GetPathName().GetFullName()
                                                       : BmpDirectory(container));
    for (std::size_t file = 0; file < selection.entries.size(); ++file) {
        targets.AddFile(container.GetEntryName(selection.entries[file]), selection.kinds[file],
                        file < selection.levelCounts.size() ? selection.levelCounts[file] : 0);
    }
    return targets;
}

} // namespace

ConversionReport ReportOf(const ConversionBatch& batch, bool cancelled) {
    std::size_t count = 0;
    std::string first;
    for (const FileOutcome& outcome : batch.GetOutcomes()) {
        count += outcome.written.size();
        if (first.empty() && !outcome.written.empty()) {
            first = outcome.written.front();
        }
    }
    ConversionReport report;
    if (count == 0) {
        report.text = "Wrote no files";
    } else {
        report.folder = QString::fromStdString(
            Util::PathName(Util::PathName(first).GetParentDirectory()).GetFullName());
        report.text = QString("Wrote %1 %2 to %3")
                          .arg(count)
                          .arg(count == 1 ? "file" : "files")
                          .arg(report.folder);
    }
    if (cancelled) {
        report.text += "; cancelled";
    }
    return report;
}

ConversionCommands::ConversionCommands(SettingsStore& store, QWidget* window,
                                       std::function<Selection()> selected)
    : QObject(window), store_(store), window_(window), selected_(std::move(selected)) {
    for (int command : {kCommandToBmp, kCommandFromBmp, kCommandToMip, kCommandToPbf, kCommandToSrb,
                        kCommandThumbnails}) {
        auto* action = new QAction(CommandText(command), this);
        actions_[command] = action;
        if (command != kCommandThumbnails) {
            connect(action, &QAction::triggered, this, [this, command] { Run(command); });
        }
    }
    actions_[kCommandThumbnails]->setCheckable(true);
}

QAction* ConversionCommands::Action(int commandId) const {
    const auto found = actions_.find(commandId);
    return found == actions_.end() ? nullptr : found->second;
}

void ConversionCommands::Update(const std::vector<BitmapKind>& selection) {
    for (const auto& [command, action] : actions_) {
        if (command == kCommandThumbnails) {
            continue;
        }
        const std::string blocker = CommandBlocker(command, selection);
        action->setEnabled(blocker.empty());
        action->setStatusTip(QString::fromStdString(blocker));
    }
}

void ConversionCommands::Run(int commandId) {
    RunCommand(window_, [&] { Convert(commandId, selected_()); });
}

void ConversionCommands::PutBack(const std::string& picture) {
    RunCommand(window_, [&] {
        Selection selection = selected_();
        if (selection.entries.size() != 1) {
            return;
        }
        CheckPictureOf(picture, selection.container->GetEntryName(selection.entries.front()));
        pictures_ = Util::PathName(picture).GetParentDirectory();
        const auto reset = qScopeGuard([this] { pictures_.clear(); });
        Convert(kCommandFromBmp, std::move(selection));
    });
}

void ConversionCommands::Convert(int commandId, Selection selection) {
    if (!selection.container || !IsCommandEnabled(commandId, selection.kinds)) {
        return;
    }
    const auto& kinds = selection.kinds;
    const DialogTargets targets = TargetsOf(selection, commandId);
    const auto convert = [](ConversionBatch& batch, const auto& options) {
        batch.Convert(options);
    };
    switch (commandId) {
    case kCommandToBmp:
        if (AllOf(kinds, BitmapKind::Srb)) {
            ConvertWith<CSrbBmpDlg>(std::move(selection), targets, nullptr, convert);
        } else if (AllOf(kinds, BitmapKind::Pbf)) {
            ConvertWith<CPbfBmpDlg>(std::move(selection), targets, nullptr, convert);
        } else {
            // MIP files, or any mix: the level options apply to the files with levels.
            ConvertWith<CMipBmpDlg>(std::move(selection), targets, nullptr,
                                    [](ConversionBatch& batch, const auto& options) {
                                        batch.ConvertToBmp(MixedToBmpSettings(options));
                                    });
        }
        break;
    case kCommandFromBmp:
        if (kinds.front() == BitmapKind::Mip) {
            ConvertWith<CMipFromBmpDlg>(std::move(selection), targets, nullptr, convert);
        } else if (kinds.front() == BitmapKind::Srb) {
            ConvertWith<CSrbFromBmpDlg>(std::move(selection), targets, nullptr, convert);
        } else {
            ConvertWith<CPbfFromBmpDlg>(std::move(selection), targets, nullptr, convert);
        }
        break;
    case kCommandToMip:
        ConvertWith<CBmpMipDlg>(std::move(selection), targets, "mip", convert);
        break;
    case kCommandToPbf:
        ConvertWith<CBmpPbfDlg>(std::move(selection), targets, "pbf", convert);
        break;
    case kCommandToSrb:
        ConvertWith<CBmpSrbDlg>(std::move(selection), targets, "srb", convert);
        break;
    default:
        break;
    }
}

// newExtension: the extension of the game files a "Convert to" command makes; before one
// replaces an existing file the user is asked, whatever the overwrite setting says.
template <typename DialogT, typename StartT>
void ConversionCommands::ConvertWith(Selection selection, const DialogTargets& targets,
                                     const char* newExtension, const StartT& start) {
    DialogT dialog(store_, window_);
    dialog.SetTargets(targets);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    auto options = dialog.GetOptions();
    bool replacing = false;
    if (newExtension) {
        if (!AskReplacing(selection, newExtension, replacing)) {
            return;
        }
        options.overwrite = replacing;
    }
    ConversionBatch batch;
    BatchSettings settings;
    settings.jobs = DefaultJobs();
    settings.pictures = pictures_;
    settings.naming = OptionNaming::Dialog; // a failure names the option by its label
    batch.SetSettings(settings);
    for (std::uint32_t entry : selection.entries) {
        batch.Add(*selection.container, entry);
    }
    RunInBackground(batch, [&] { start(batch, options); });
}

bool ConversionCommands::AskReplacing(Selection& selection, const char* extension,
                                      bool& replacing) {
    bool replaceAll = false;
    std::vector<std::uint32_t> kept;
    const std::string directory = BmpDirectory(*selection.container);
    for (std::uint32_t entry : selection.entries) {
        const std::string target = Util::Platform::ResolveCase(
            directory + selection.container->GetEntryBaseName(entry) + "." + extension);
        if (Util::Platform::IsFile(target) && !replaceAll) {
            QMessageBox box(QMessageBox::Question, kApplicationTitle,
                            QString("%1 exists already. Replace it with a new file?")
                                .arg(QString::fromStdString(target)),
                            QMessageBox::NoButton, window_);
            QAbstractButton* replace = box.addButton("&Replace", QMessageBox::YesRole);
            QAbstractButton* skip = box.addButton("&Skip", QMessageBox::NoRole);
            QAbstractButton* all = box.addButton("Replace &All", QMessageBox::YesRole);
            box.addButton(QMessageBox::Cancel);
            box.exec();
            if (box.clickedButton() == skip) {
                continue;
            }
            if (box.clickedButton() != replace && box.clickedButton() != all) {
                return false;
            }
            replaceAll = box.clickedButton() == all;
        }
        replacing = replacing || Util::Platform::IsFile(target);
        kept.push_back(entry);
    }
    selection.entries = std::move(kept);
    return true;
}

void ConversionCommands::RunInBackground(ConversionBatch& batch,
                                         const std::function<void()>& work) {
    QProgressDialog progress("Converting...", "Cancel", 0, static_cast<int>(batch.GetCount()),
                             window_);
    progress.setWindowTitle(kApplicationTitle);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    std::atomic<bool> cancelled = false;
    connect(&progress, &QProgressDialog::canceled, this, [&cancelled] { cancelled = true; });
    batch.SetCancel([&cancelled] { return cancelled.load(); });
    // On the worker: the dialog hears of each file through its own thread's queue.
    batch.SetProgress([&progress](std::size_t done, std::size_t total, const std::string& file) {
        QMetaObject::invokeMethod(
            &progress,
            [&progress, done, total, name = QString::fromStdString(file)] {
                progress.setValue(static_cast<int>(done));
                if (done < total) {
                    progress.setLabelText(
                        QString("Converting %1 of %2: %3").arg(done + 1).arg(total).arg(name));
                }
            },
            Qt::QueuedConnection);
    });
    std::exception_ptr failure;
    QEventLoop loop;
    QFutureWatcher<void> watcher;
    connect(&watcher, &QFutureWatcher<void>::finished, &loop, &QEventLoop::quit);
    emit Running(true);
    // Not the global pool, with which the raster paint engine draws the progress.
    QThreadPool pool;
    watcher.setFuture(QtConcurrent::run(&pool, [&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
    }));
    loop.exec();
    emit Running(false);
    const bool stopped = cancelled;
    progress.disconnect(this); // closing the dialog counts as Cancel
    progress.close();
    emit Reported(ReportOf(batch, stopped));
    if (failure) {
        std::rethrow_exception(failure);
    }
}

} // namespace Ostrel::Vellix::Gui
