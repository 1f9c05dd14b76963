#include "Vellix/Gui/NavigationBar.h"

#include "Util/PathName.h"
#include "Vellix/Gui/CommandGuard.h"

#include <QCompleter>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QStyle>

namespace Ostrel::Vellix::Gui {

NavigationBar::NavigationBar(Navigator navigate, QWidget* parent)
    : QToolBar("Navigation", parent), navigate_(std::move(navigate)),
      back_(addAction(style()->standardIcon(QStyle::SP_ArrowBack), "Back")),
      forward_(addAction(style()->standardIcon(QStyle::SP_ArrowForward), "Forward")),
      up_(addAction(style()->standardIcon(QStyle::SP_ArrowUp), "Up")), path_(new QLineEdit),
      filter_(new QLineEdit) {
    setObjectName("NavigationBar");
    setMovable(false);
    back_->setShortcut(QKeySequence::Back);
    forward_->setShortcut(QKeySequence::Forward);
    up_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Up));
    back_->setStatusTip("Go back to the place shown before.");
    forward_->setStatusTip("Go forward again.");
    up_->setStatusTip("Go to the folder that holds this one.");
    connect(back_, &QAction::triggered, this, [this] { Step(-1); });
    connect(forward_, &QAction::triggered, this, [this] { Step(1); });
    connect(up_, &QAction::triggered, this, &NavigationBar::GoUp);

    auto* folders = new QFileSystemModel(this);
    folders->setFilter(QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot);
    folders->setRootPath(QString());
    path_->setCompleter(new QCompleter(folders, path_));
    path_->setPlaceholderText("Folder or archive");
    path_->setClearButtonEnabled(true);
    connect(path_, &QLineEdit::returnPressed, this, &NavigationBar::OnPathEntered);
    addWidget(path_);

    filter_->setPlaceholderText("Filter by name");
    filter_->setClearButtonEnabled(true);
    filter_->setMaximumWidth(200);
    connect(filter_, &QLineEdit::textChanged, this, &NavigationBar::FilterChanged);
    addWidget(filter_);
    UpdateActions();
}

void NavigationBar::ShowPlace(const std::string& path) {
    path_->setText(QString::fromStdString(path));
    if (!stepping_ && (history_.empty() || history_[current_] != path)) {
        if (!history_.empty()) {
            history_.resize(current_ + 1);
        }
        history_.push_back(path);
        current_ = history_.size() - 1;
    }
    UpdateActions();
}

void NavigationBar::Step(int step) {
    const auto target = static_cast<std::ptrdiff_t>(current_) + step;
    if (target < 0 || target >= static_cast<std::ptrdiff_t>(history_.size())) {
        return;
    }
    stepping_ = true;
    if (navigate_(history_[static_cast<std::size_t>(target)])) {
        current_ = static_cast<std::size_t>(target);
    }
    stepping_ = false;
    UpdateActions();
}

void NavigationBar::GoUp() {
    if (history_.empty()) {
        return;
    }
    const Util::PathName place(history_[current_]);
    if (!place.IsRoot()) {
        navigate_(Util::PathName(place.GetParentDirectory()).GetFullName());
    }
}

void NavigationBar::OnPathEntered() {
    const std::string path = path_->text().trimmed().toStdString();
    if (!path.empty() && !navigate_(path)) {
        ShowMessage(this, QString("Cannot find \"%1\".").arg(QString::fromStdString(path)));
    }
}

void NavigationBar::UpdateActions() {
    back_->setEnabled(current_ > 0);
    forward_->setEnabled(current_ + 1 < history_.size());
    up_->setEnabled(!history_.empty() && !Util::PathName(history_[current_]).IsRoot());
}

} // namespace Ostrel::Vellix::Gui
