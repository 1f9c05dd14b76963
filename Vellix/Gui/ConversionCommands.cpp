#include "Vellix/Gui/ConversionCommands.h"

#include "Vellix/BitmapList.h"
#include "Vellix/ConversionBatch.h"
#include "Vellix/Gui/CommandGuard.h"
#include "Vellix/Gui/OptionDialogs.h"

#include <QWidget>

namespace Ostrel::Vellix::Gui {

ConversionCommands::ConversionCommands(SettingsStore& store, QWidget* window, BatchFiller fillBatch)
    : QObject(window), store_(store), window_(window), fillBatch_(std::move(fillBatch)) {
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
        action->setEnabled(IsCommandEnabled(command, selection));
    }
}

void ConversionCommands::Run(int commandId) {
    RunCommand(window_, [&] {
        ConversionBatch batch;
        fillBatch_(batch);
        Convert(commandId, batch);
    });
}

void ConversionCommands::Convert(int commandId, ConversionBatch& batch) {
    const BitmapKind kind = batch.GetKind();
    switch (commandId) {
    case kCommandToBmp:
        if (kind == BitmapKind::Mip) {
            ConvertWith<CMipBmpDlg>(batch);
        } else if (kind == BitmapKind::Srb) {
            ConvertWith<CSrbBmpDlg>(batch);
        } else if (kind == BitmapKind::Pbf) {
            ConvertWith<CPbfBmpDlg>(batch);
        }
        break;
    case kCommandFromBmp:
        if (kind == BitmapKind::Mip) {
            ConvertWith<CMipFromBmpDlg>(batch);
        } else if (kind == BitmapKind::Srb) {
            ConvertWith<CSrbFromBmpDlg>(batch);
        } else if (kind == BitmapKind::Pbf) {
            ConvertWith<CPbfFromBmpDlg>(batch);
        }
        break;
    case kCommandToMip:
        ConvertWith<CBmpMipDlg>(batch);
        break;
    case kCommandToPbf:
        ConvertWith<CBmpPbfDlg>(batch);
        break;
    case kCommandToSrb:
        ConvertWith<CBmpSrbDlg>(batch);
        break;
    default:
        break;
    }
}

template <typename DialogT> void ConversionCommands::ConvertWith(ConversionBatch& batch) {
    DialogT dialog(store_, window_);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const WaitCursor wait;
    batch.Convert(dialog.GetOptions());
}

} // namespace Ostrel::Vellix::Gui
