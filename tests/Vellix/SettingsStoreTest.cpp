#include "Vellix/SettingsStore.h"

#include <gtest/gtest.h>

using namespace Ostrel::Vellix;

TEST(MemorySettingsStore, AbsentKeyYieldsTheDefaultAndSectionsAreSeparate) {
    MemorySettingsStore store;
    EXPECT_EQ(store.GetInt("Settings", "Level", 7), 7);
    store.WriteInt("Other", "Level", 3);
    EXPECT_EQ(store.GetInt("Settings", "Level", 7), 7);
    EXPECT_EQ(store.GetInt("Other", "Level", 7), 3);
    EXPECT_FALSE(store.Contains("Settings", "Level"));
}

TEST(MemorySettingsStore, KeepsTheLastValueAndEveryWriteInOrder) {
    MemorySettingsStore store;
    store.WriteInt("Settings", "B", -1);
    store.WriteInt("Settings", "A", 2);
    store.WriteInt("Settings", "B", 5);
    EXPECT_EQ(store.GetInt("Settings", "B", 0), 5);
    EXPECT_EQ(store.GetInt("Settings", "A", 0), 2);
    EXPECT_EQ(store.GetWrittenKeys(), (std::vector<std::string>{"B", "A", "B"}));
    EXPECT_EQ(store.GetWrites()[0].value, -1);
    store.ForgetWrites();
    EXPECT_TRUE(store.GetWrites().empty());
    EXPECT_TRUE(store.Contains("Settings", "A"));
}
