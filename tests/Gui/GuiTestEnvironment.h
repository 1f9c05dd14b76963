#pragma once

// The QApplication of a GUI test program: made before the first test and destroyed after the
// last, while the rest of Qt still exists (a function-local static one would be destroyed among
// the exit handlers, after parts of Qt are gone, and crash the program at its end). Also the
// helpers the GUI tests share.

#include "Trova/DIB.h"
#include "Trova/GPLMipFile.h"
#include "Trova/GPLSrbFile.h"
#include "Util/BinaryFile.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QTreeWidgetItem>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

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

// Runs work on every modal window or popup menu of type T that opens while it lives.
template <typename T> class ModalAnswer {
public:
    explicit ModalAnswer(std::function<void(T&)> work) : work_(std::move(work)) {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QWidget* popup = QApplication::activePopupWidget();
            if (auto* window =
                    dynamic_cast<T*>(popup ? popup : QApplication::activeModalWidget())) {
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

// Answers every message box with the button of that text, or else OK, and keeps the last one's
// caption and text.
class MessageBoxAnswer : public ModalAnswer<QMessageBox> {
public:
    explicit MessageBoxAnswer(const QString& button = "")
        : ModalAnswer([this, button](QMessageBox& box) {
              caption = box.windowTitle().toStdString();
              text = box.text().toStdString();
              for (QAbstractButton* each : box.buttons()) {
                  if (each->text() == button) {
                      return each->click();
                  }
              }
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

inline const Trova::Colour kRed(1, 0, 0, 1);
inline const Trova::Colour kGreen(0, 1, 0, 1);
inline const Trova::Colour kBlue(0, 0, 1, 1);

// Paints the levels with the lists of texels in turn, each list repeated over its level, and
// writes the file.
inline void WriteLevels(Trova::GPLMipFile&& mip,
                        const std::vector<std::vector<Trova::Colour>>& lists,
                        const std::string& path) {
    for (std::uint32_t level = 0; level < mip.GetBitmapCount(); ++level) {
        const auto bitmap = mip.GetBitmap(level);
        const std::vector<Trova::Colour>& texels = lists[level % lists.size()];
        for (std::uint32_t texel = 0; texel < bitmap->GetWidth() * bitmap->GetHeight(); ++texel) {
            bitmap->SetPixel(texel / bitmap->GetWidth(), texel % bitmap->GetWidth(),
                             texels[texel % texels.size()]);
        }
    }
    mip.Write(Util::CreateNew(path));
}

// A sign of one level, size x size, that uses the upper half of its picture.
inline void WriteSrb(const std::string& path, std::uint32_t size) {
    Trova::GPLSrbFile srb(size, size, 5, 6, 5, 0, 0, false, 0, false, 1,
                          {{{-1, 0, 1}, {1, 0, 1}, {1, 0, 0}, {-1, 0, 0}}},
                          {{{0, 0}, {1, 0}, {1, 0.5}, {0, 0.5}}}, 0, 6);
    srb.Write(Util::CreateNew(path));
}

} // namespace Ostrel::Test
