#include "Util/Exception.h"

#include "Support/TestSupport.h"

#include <gtest/gtest.h>

using namespace Ostrel::Util;

namespace {
constexpr char kSourceUnit[] = "Foo";
} // namespace

// The messages of the other exceptions are checked where the library raises them.
TEST(Exception, AssertionCarriesUnitLineAndExpressionText) {
    const std::string message = Ostrel::Test::MessageOf([] {
        const int x = 0;
        OSTREL_ASSERT(x > 0);
    });
    EXPECT_EQ(message, "Assertion failure at Foo: " + std::to_string(__LINE__ - 2) + "\nx > 0\n");
}
