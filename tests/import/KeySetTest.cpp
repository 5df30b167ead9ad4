// The set of keys that the check of the master data asks for every key sent.

#include "import/KeySet.h"

#include <gtest/gtest.h>

#include <string>

namespace pontrel::importing {
namespace {

TEST(KeySet, HoldsExactlyTheKeysAddedThroughItsGrowth) {
    KeySet set;
    EXPECT_FALSE(set.contains("1001")); // an empty set answers too
    // Enough keys to grow the slots many times; every fourth one is left out.
    for (int i = 0; i < 20000; ++i) {
        if (i % 4 != 0) {
            EXPECT_TRUE(set.insert("K" + std::to_string(i)));
        }
    }
    EXPECT_EQ(set.size(), 15000u);
    for (int i = 0; i < 20000; ++i)
        EXPECT_EQ(set.contains("K" + std::to_string(i)), i % 4 != 0) << i;
    EXPECT_FALSE(set.insert("K1")); // a key added again is the same key
    EXPECT_EQ(set.size(), 15000u);
}

TEST(KeySet, NumbersKeysInTheOrderAdded) {
    KeySet set;
    EXPECT_EQ(set.numberOf("a"), KeySet::npos);
    for (std::size_t i = 0; i < 100; ++i)
        EXPECT_EQ(set.add("n" + std::to_string(i)), i);
    EXPECT_EQ(set.add("n42"), 42u); // added again: its number, and nothing new
    EXPECT_EQ(set.size(), 100u);
    for (std::size_t i = 0; i < 100; ++i)
        EXPECT_EQ(set.numberOf("n" + std::to_string(i)), i);
    EXPECT_EQ(set.numberOf("n100"), KeySet::npos);
}

TEST(KeySet, KeysAreComparedByteForByte) {
    KeySet set;
    set.insert("LAB");
    set.insert(std::string("A\0B", 3));
    set.insert("");
    EXPECT_TRUE(set.contains("LAB"));
    EXPECT_FALSE(set.contains("lab"));  // letter case counts
    EXPECT_FALSE(set.contains("LAB ")); // so does a trailing blank
    EXPECT_FALSE(set.contains("LA"));   // and a key's start is not the key
    EXPECT_TRUE(set.contains(std::string("A\0B", 3)));
    EXPECT_FALSE(set.contains("A"));
    EXPECT_TRUE(set.contains(""));
    EXPECT_EQ(set.size(), 3u);
}

} // namespace
} // namespace pontrel::importing
