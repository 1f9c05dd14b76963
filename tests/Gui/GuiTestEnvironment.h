#pragma once

// The QApplication of a GUI test program: made before the first test and destroyed after the
// last, while the rest of Qt still exists (a function-local static one would be destroyed among
// the exit handlers, after parts of Qt are gone, and crash the program at its end).

#include <QApplication>

#include <gtest/gtest.h>

#include <memory>

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

} // namespace Ostrel::Test
