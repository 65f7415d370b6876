#include "catalog/KeyPatterns.h"
#include "catalog/SoundCatalogs.h"
#include "stick/ModelProfiles.h"

#include <cctype>
#include <gtest/gtest.h>
#include <set>

// KeyMatchFuzz replays every catalog key against a name it stands for and a near miss, and checks
// the custom names its seed files give against their properties. Here is what its checks cannot
// tell: which wildcard counts, letter case, and which names are made at all, and how.
TEST(SoundKeys, OnlyTheFirstWildcardCountsAndCaseMatters) {
    EXPECT_FALSE(MatchSoundKey("ab?d?f", "abXdYf") || MatchSoundKey("ab?d?f", "XbXd?f"));
    EXPECT_FALSE(MatchSoundKey("ab*?", "abcx"));
    EXPECT_TRUE(MatchSoundKey("wa*ke", "wall")); // nothing after the "*" is looked at
    EXPECT_FALSE(MatchSoundKey("wake*", "Wake") || MatchSoundKey("wake*", "wak"));
    EXPECT_FALSE(MatchSoundKey(nullptr, "wake")); // a header row names no sound
}

TEST(CustomSoundNames, StopAtTheFirstDotAndTakeTheTypeFromTheLast) {
    const std::tuple<std::string, const char*, bool> cases[] = {
        // file, name (null: none), MIDI
        {"ZEBRA.WAV", "u_zebra", false},
        {"song.wav.mid", "u_song", true},
        {"drum.mix.wav", "u_drum", false},
        {"\xC9T\xC9.MID", "u_\xC9t\xC9", true}, // national letters are not ASCII ones
        {"abcdefghijklmnopqrstuvwxyz12.wav", "u_abcdefghijklmnopqrstuvwxyz12", false}, // 32 characters at most
        {"abcdefghijklmnopqrstuvwxyz123.wav", nullptr, true},
        {"(default)", nullptr, true},
        {std::string("a\0b.wav", 7), nullptr, true}, // no file name holds a zero byte
    };
    for (const auto& [file, made, midi] : cases) {
        std::string name = "untouched";
        bool isMidi = !midi;
        EXPECT_EQ(MakeCustomSoundName(file, name, isMidi), made != nullptr) << file;
        EXPECT_EQ(name, made ? made : "untouched") << file;
        EXPECT_EQ(isMidi, made ? midi : !midi) << file;
    }
}

class Catalog : public ::testing::TestWithParam<int> {};

// What the tree, the record and the configuration rewrite rely on, over each profile's catalog.
TEST_P(Catalog, OpensWithAGroupAndHasUniqueWellFormedKeys) {
    const ModelProfile& profile = ProfileTable[GetParam()];
    EXPECT_FALSE(IsStockSound(profile.catalog[0]));
    std::set<std::string> keys;
    for (int i = 0; i < profile.catalogCount; ++i) {
        const std::string label = profile.catalog[i].label;
        EXPECT_TRUE(!label.empty() && label.size() <= 52) << i;
        if (!IsStockSound(profile.catalog[i])) {
            continue;
        }
        // Unique, so a record line names one row; the rewrite compares the first four characters
        // literally; one wildcard at most: "?" next-to-last, or "*" last.
        const std::string key = profile.catalog[i].key;
        EXPECT_TRUE(keys.insert(key).second) << key;
        EXPECT_TRUE(key.size() >= 5 && key.size() <= 25) << key;
        const size_t wild = key.find_first_of("?*");
        EXPECT_TRUE(wild == std::string::npos || (wild >= 4 && wild + (key[wild] == '?' ? 2 : 1) == key.size())) << key;
        for (size_t p = 0; p < key.size(); ++p) {
            EXPECT_TRUE(p == wild || std::isalnum(static_cast<unsigned char>(key[p])) || key[p] == '_') << key;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Profiles, Catalog, ::testing::Range(0, ProfileCount));
