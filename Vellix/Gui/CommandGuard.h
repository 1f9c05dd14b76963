#pragma once

// The outer edge of every user command: failures become a message box, and long work shows the
// wait cursor.

#include <QString>

#include <functional>

class QWidget;

namespace Ostrel::Vellix::Gui {

// The caption of every message box of the program.
inline constexpr char kApplicationTitle[] = "Vellix";

class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// A message box with the program's caption and an OK button.
void ShowMessage(QWidget* parent, const QString& text);

// Runs command; an exception of the system or of the standard library that escapes it is shown
// with its message. Returns whether the command completed.
bool RunCommand(QWidget* parent, const std::function<void()>& command);

} // namespace Ostrel::Vellix::Gui
