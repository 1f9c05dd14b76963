#include "Util/Exception.h"

#include <gtest/gtest.h>

using namespace Ostrel::Util;

namespace {
constexpr char kSourceUnit[] = "Foo";

std::string MessageOf(void (*raise)()) {
    try {
        raise();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "nothing thrown";
}
} // namespace

TEST(Exception, MessagesAreExact) {
    EXPECT_EQ(XUsage("Bitmap is transparent").Message(), "Bitmap is transparent");
    EXPECT_EQ(XFileOpen("/a/b.mip", "No such file or directory\n").Message(),
              "Couldn't open /a/b.mip\nNo such file or directory\n\n");
    EXPECT_EQ(XFileRead("/t.bmp").Message(), "Couldn't read from /t.bmp\n");
    EXPECT_EQ(XFileWrite("/t.bmp").Message(), "Couldn't write to /t.bmp\n");
    EXPECT_EQ(XFileSeek("/t.bmp").Message(), "Couldn't seek in /t.bmp\n");
    EXPECT_EQ(XFileFormat("D:\\t.bmp", "Palette size error").Message(),
              "A possible error was found in file D:\\t.bmp\nPalette size error\n");
    EXPECT_EQ(XAssertion("x > 0", "Foo", 12).Message(), "Assertion failure at Foo: 12\nx > 0\n");
}

TEST(Exception, AssertionCarriesUnitLineAndExpressionText) {
    const std::string message = MessageOf([] {
        const int x = 0;
        OSTREL_ASSERT(x > 0);
    });
    EXPECT_EQ(message, "Assertion failure at Foo: " + std::to_string(__LINE__ - 2) + "\nx > 0\n");
}
