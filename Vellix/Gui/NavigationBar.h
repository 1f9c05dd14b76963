#pragma once

// The bar above the list: Back, Forward and Up through the places shown, a path field (type or
// paste a folder, an archive or an archive member; folders complete as they are typed) and a
// filter field that narrows the list by name.

#include <QToolBar>

#include <functional>
#include <string>
#include <vector>

class QLineEdit;

namespace Ostrel::Vellix::Gui {

class NavigationBar final : public QToolBar {
    Q_OBJECT
public:
    // Goes to a path; false when there is no such place.
    using Navigator = std::function<bool(const std::string& path)>;

    NavigationBar(Navigator navigate, QWidget* parent = nullptr);

    // The place now shown, whichever way it was chosen; it enters the history unless the
    // history itself chose it.
    void ShowPlace(const std::string& path);

    QAction* BackAction() const { return back_; }
    QAction* ForwardAction() const { return forward_; }
    QAction* UpAction() const { return up_; }
    QLineEdit* PathField() const { return path_; }
    QLineEdit* FilterField() const { return filter_; }

signals:
    void FilterChanged(const QString& text);

private:
    void Step(int step);
    void GoUp();
    void OnPathEntered();
    void UpdateActions();

    Navigator navigate_;
    std::vector<std::string> history_;
    std::size_t current_ = 0;
    bool stepping_ = false;
    QAction* back_;
    QAction* forward_;
    QAction* up_;
    QLineEdit* path_;
    QLineEdit* filter_;
};

} // namespace Ostrel::Vellix::Gui
