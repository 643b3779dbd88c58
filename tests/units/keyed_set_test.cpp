// The sets of keys already handled, found again whatever the letter case of a-z: the set of keys
// is left exactly as it was when a batch of lines is undone, however much it grew meanwhile.

#include "base/key_hashes.hpp"
#include "base/keyed_set.hpp"

#include <quorvel/error.hpp>

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

TEST(KeyedSet, KeysMatchWithoutRegardToCaseAndRewindTakesOutExactlyTheKeysAddedSinceTheMark) {
    quorvel::base::KeyedSet set;
    set.Add("fra5110750012850001");
    set.Add("été");
    EXPECT_TRUE(set.Contains("FRA5110750012850001") && set.Contains("éTé"));
    EXPECT_FALSE(set.Contains("FRA511075001285000") || set.Contains("ÉTÉ"));
    EXPECT_THROW(set.Add("FRA5110750012850001"), quorvel::Error);
    set.Clear();
    EXPECT_FALSE(set.Contains("fra5110750012850001"));

    // Random keys over a small alphabet collide in the table; batches grow it past several
    // doublings before every third one is undone.
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
    std::set<std::string> kept;
    for (int batch = 0; batch < 60; ++batch) {
        set.Mark();
        std::set<std::string> added = kept;
        for (int n = random() % 700; n > 0; --n)
            if (std::string k = key(); added.insert(folded(k)).second) set.Add(k);
        if (batch % 3 == 0)
            set.Rewind();
        else
            kept = added;
        for (int n = 0; n < 400; ++n) {
            std::string k = key();
            ASSERT_EQ(set.Contains(k), kept.count(folded(k)) == 1) << k << " after batch " << batch;
        }
    }
}

TEST(KeyHashes, EveryKeyAddedIsFoundWhateverItsCaseAndOthersAlmostNever) {
    quorvel::base::KeyHashes hashes;
    EXPECT_FALSE(hashes.MaybeContains("", ""));
    std::vector<std::pair<std::string, std::string>> keys;
    for (int i = 0; i < 20000; ++i) // past several doublings of the table
        keys.emplace_back("fra" + std::to_string(5110750012 + i % 97), std::to_string(850000 + i));
    for (const auto& [club, licence] : keys)
        hashes.Add(club, licence);
    long missing = 0, strangers = 0;
    for (const auto& [club, licence] : keys) {
        missing += !hashes.MaybeContains("FRA" + club.substr(3), licence);
        strangers +=
            hashes.MaybeContains(club, licence + "0") + hashes.MaybeContains(club + "8", licence.substr(1));
    }
    EXPECT_EQ(missing, 0);
    EXPECT_EQ(strangers, 0) << "another key, or the same letters cut elsewhere";
    hashes.Clear();
    EXPECT_FALSE(hashes.MaybeContains(keys[0].first, keys[0].second));
}
