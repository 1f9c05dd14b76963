#include "Util/CountedPtr.h"

#include <gtest/gtest.h>

using Ostrel::Util::CountedPtr;

namespace {

struct Tracked {
    explicit Tracked(int* deaths) : deaths_(deaths) {}
    virtual ~Tracked() { ++*deaths_; }
    int* deaths_;
};

struct Derived : Tracked {
    using Tracked::Tracked;
};

} // namespace

// Owners of base and derived pointers share one count.
TEST(CountedPtr, DeletesTheObjectWhenTheLastOwnerGoes) {
    int deaths = 0;
    {
        CountedPtr<Derived> first(new Derived(&deaths));
        EXPECT_EQ(first.GetCount(), 1u);
        {
            CountedPtr<Tracked> base = first;
            EXPECT_EQ(first.GetCount(), 2u);
            CountedPtr<Derived> back = base.DynamicCast<Derived>();
            EXPECT_EQ(back.Get(), first.Get());
            EXPECT_EQ(base.GetCount(), 3u);
        }
        EXPECT_EQ(first.GetCount(), 1u);
        CountedPtr<Derived>& same = first;
        first = same; // assigning what it holds changes nothing
        EXPECT_EQ(deaths, 0);
        EXPECT_EQ(first.GetCount(), 1u);
        CountedPtr<Derived> other(new Derived(&deaths));
        other = first; // releases the object other held
        EXPECT_EQ(deaths, 1);
        other = nullptr;
        EXPECT_EQ(other.GetCount(), 0u);
        EXPECT_EQ(first.GetCount(), 1u);
    }
    EXPECT_EQ(deaths, 2);
}
