#pragma once

// The QApplication of a GUI test program: made before the first test and destroyed after the
// last, while the rest of Qt still exists (a function-local static one would be destroyed among
// the exit handlers, after parts of Qt are gone, and crash the program at its end). Also the
// helpers that answer the modal windows a command opens, a picture writer and a tree reader.

#include "Trova/DIB.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QTreeWidgetItem>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

namespace Ostrel::Test {

class GuiTestEnvironment : public ::testing::Environment {
public:
    void SetUp() override { app_ = std::make_unique<QApplication>(argc_, argv_); }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[9] = "GuiTests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

inline ::testing::Environment* const guiTestEnvironment =
    ::testing::AddGlobalTestEnvironment(new GuiTestEnvironment);

// Runs work on every modal window of type T that opens while it lives.
template <typename T> class ModalAnswer {
public:
    explicit ModalAnswer(std::function<void(T&)> work) : work_(std::move(work)) {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto* window = dynamic_cast<T*>(QApplication::activeModalWidget())) {
                ++count;
                work_(*window);
            }
        });
        timer_.start();
    }
    int count = 0;

private:
    std::function<void(T&)> work_;
    QTimer timer_;
};

// Answers every message box with OK and keeps the last one's caption and text.
class MessageBoxAnswer : public ModalAnswer<QMessageBox> {
public:
    MessageBoxAnswer()
        : ModalAnswer([this](QMessageBox& box) {
              caption = box.windowTitle().toStdString();
              text = box.text().toStdString();
              box.accept();
          }) {}
    std::string caption;
    std::string text;
};

// The texts of a tree node's children in order.
inline QStringList ChildTexts(const QTreeWidgetItem* item) {
    QStringList texts;
    for (int index = 0; index < item->childCount(); ++index) {
        texts << item->child(index)->text(0);
    }
    return texts;
}

// A square 24-bit picture; written again while a watch waits for it, so it overwrites.
inline void WriteBmp(const std::string& path, std::uint32_t size) {
    Trova::DIB dib(24);
    dib.SetSize(size, size);
    dib.Save(path, true);
}

} // namespace Ostrel::Test
