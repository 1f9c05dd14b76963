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

TEST(CountedPtr, DeletesTheObjectWhenTheLastOwnerGoes) {
    int deaths = 0;
    {
        CountedPtr<Tracked> first(new Tracked(&deaths));
        EXPECT_EQ(first.GetCount(), 1u);
        {
            CountedPtr<Tracked> second = first;
            EXPECT_EQ(first.GetCount(), 2u);
        }
        EXPECT_EQ(first.GetCount(), 1u);
        CountedPtr<Tracked>& same = first;
        first = same; // assigning what it holds changes nothing
        EXPECT_EQ(deaths, 0);
        EXPECT_EQ(first.GetCount(), 1u);
        CountedPtr<Tracked> other(new Tracked(&deaths));
        other = first; // releases the object other held
        EXPECT_EQ(deaths, 1);
        other = nullptr;
        EXPECT_EQ(other.GetCount(), 0u);
        EXPECT_EQ(first.GetCount(), 1u);
    }
    EXPECT_EQ(deaths, 2);
}

TEST(CountedPtr, SharesOneCountAcrossBaseAndDerivedPointers) {
    int deaths = 0;
    CountedPtr<Derived> derived(new Derived(&deaths));
    CountedPtr<Tracked> base = derived;
    EXPECT_EQ(derived.GetCount(), 2u);
    CountedPtr<Derived> back = base.DynamicCast<Derived>();
    EXPECT_EQ(back.Get(), derived.Get());
    EXPECT_EQ(base.GetCount(), 3u);
    derived = nullptr;
    back = nullptr;
    EXPECT_EQ(deaths, 0);
    base = nullptr;
    EXPECT_EQ(deaths, 1);
}
