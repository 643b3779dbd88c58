// The set of keys already handled: found again whatever the letter case, and left exactly as it
// was when a batch of lines is undone, however much it grew meanwhile.

#include "base/keyed_set.hpp"

#include <quorvel/error.hpp>

#include <gtest/gtest.h>

#include <random>
#include <set>

using quorvel::base::KeyedSet;

TEST(KeyedSet, KeysMatchWithoutRegardToCaseAndAreAddedOnce) {
    KeyedSet set;
    set.Add("fra5110750012850001");
    EXPECT_TRUE(set.Contains("FRA5110750012850001"));
    EXPECT_FALSE(set.Contains("FRA511075001285000"));
    EXPECT_FALSE(set.Contains("Fra5110750012850002"));
    EXPECT_FALSE(set.Contains("fra5110750012850001 "));
    set.Add("été");
    EXPECT_TRUE(set.Contains("éTé"));
    EXPECT_FALSE(set.Contains("ÉTÉ")) << "only a-z fold";
    try {
        set.Add("FRA5110750012850001");
        FAIL() << "a key added twice";
    } catch (const quorvel::Error& e) {
        EXPECT_EQ(e.number(), quorvel::errnum::kDuplicateKey);
    }
    set.Clear();
    EXPECT_FALSE(set.Contains("fra5110750012850001"));
}

TEST(KeyedSet, RewindTakesOutExactlyTheKeysAddedSinceTheMark) {
    // Random keys over a small alphabet collide in the table; batches grow it past several
    // doublings before they are undone.
    std::mt19937 random(7);
    auto key = [&] {
        std::string k(1 + random() % 4, ' ');
        for (char& c : k)
            c = "aAbB"[random() % 4];
        return k + std::to_string(random() % 3000);
    };
    auto folded = [](std::string k) {
        for (char& c : k)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return k;
    };
    KeyedSet set;
    std::set<std::string> kept;
    for (int batch = 0; batch < 60; ++batch) {
        set.Mark();
        std::set<std::string> added = kept;
        for (int n = random() % 700; n > 0; --n) {
            std::string k = key();
            if (added.insert(folded(k)).second) set.Add(k);
        }
        if (batch % 3 == 0)
            set.Rewind();
        else
            kept = added;
        for (int n = 0; n < 400; ++n) {
            std::string k = key();
            ASSERT_EQ(set.Contains(k), kept.count(folded(k)) == 1) << k << " after batch " << batch;
        }
    }
    for (const auto& k : kept)
        ASSERT_TRUE(set.Contains(k));
}
