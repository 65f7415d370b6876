#include "catalog/KeyPatterns.h"
#include "catalog/SoundCatalogs.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace {

// Test names show the texts; keep them printable and short so test listings stay readable.
std::string Shown(const std::string& text) {
    static const char digits[] = "0123456789ABCDEF";
    std::string shown;
    const bool abridged = text.size() > 40;
    for (unsigned char ch : abridged ? text.substr(0, 6) + "~" + text.substr(text.size() - 6) : text) {
        if (ch >= 0x20 && ch < 0x7F && ch != '"' && ch != '\\') {
            shown += static_cast<char>(ch);
        } else {
            shown += "\\x";
            shown += digits[ch >> 4];
            shown += digits[ch & 15];
        }
    }
    if (abridged) {
        shown += "(" + std::to_string(text.size()) + " characters)";
    }
    return shown;
}

struct MatchCase {
    std::string key;
    std::string name;
    bool matches;
};

std::ostream& operator<<(std::ostream& out, const MatchCase& c) {
    return out << "key \"" << Shown(c.key) << "\" name \"" << Shown(c.name) << "\"";
}

class SoundKeyMatching : public testing::TestWithParam<MatchCase> {};

TEST_P(SoundKeyMatching, DecidesAsThePatternSays) {
    const MatchCase& c = GetParam();
    EXPECT_EQ(MatchSoundKey(c.key.c_str(), c.name.c_str()), c.matches);
}

INSTANTIATE_TEST_SUITE_P(
    OneCharacterWildcard, SoundKeyMatching,
    testing::Values(MatchCase{"up1_joy1_x?s", "up1_joy1_x1s", true}, MatchCase{"up1_joy1_x?s", "up1_joy1_x2s", true},
                    MatchCase{"up1_joy1_x?s", "up1_joy1_x#s", true}, MatchCase{"up1_joy1_x?s", "up1_joy1_x?s", true},
                    MatchCase{"up1_joy1_x?s", "up1_joy1_x12s", false}, MatchCase{"up1_joy1_x?s", "up1_joy1_xs", false},
                    MatchCase{"up1_joy1_x?s", "up1_joy1_x1t", false}, MatchCase{"up1_joy1_x?s", "UP1_joy1_x1s", false},
                    MatchCase{"up1_joy1_x?s", "up1_joy2_x1s", false},
                    MatchCase{"sit_happy_joy3_t?s", "sit_happy_joy3_t5s", true},
                    // Only the first "?" is a wildcard; later ones are literal.
                    MatchCase{"ab?d?f", "abXd?f", true}, MatchCase{"ab?d?f", "abXdYf", false},
                    // With both characters the key is in the "?" form, and its
                    // "*" is an ordinary character.
                    MatchCase{"ab*?", "ab*x", true}, MatchCase{"ab*?", "abcx", false},
                    MatchCase{"ab*?", "ab*xyz", false}, MatchCase{"ab?*", "abX*", true},
                    MatchCase{"ab?*", "abXYZ", false}, MatchCase{"?", "z", true}, MatchCase{"?", "", false}));

INSTANTIATE_TEST_SUITE_P(Prefix, SoundKeyMatching,
                         testing::Values(MatchCase{"wake*", "wake", true}, MatchCase{"wake*", "wake1", true},
                                         MatchCase{"wake*", "wakeup_nxs", true}, MatchCase{"wake*", "wak", false},
                                         MatchCase{"wake*", "Wake", false}, MatchCase{"wake*", "", false},
                                         MatchCase{"wake*", "awake", false},
                                         MatchCase{"so1_wake*", "so1_wakeup_x1d", true},
                                         MatchCase{"so1_wake*", "so2_wakeup_x1d", false},
                                         // Whatever follows the first "*" is not looked at.
                                         MatchCase{"wa*ke", "wall", true}, MatchCase{"wa*ke", "w", false},
                                         MatchCase{"*", "anything", true}, MatchCase{"*", "", true},
                                         MatchCase{"*abc", "xyz", true}));

INSTANTIATE_TEST_SUITE_P(
    Exact, SoundKeyMatching,
    testing::Values(MatchCase{"hakken_ball", "hakken_ball", true}, MatchCase{"hakken_ball", "hakken_ball2", false},
                    MatchCase{"hakken_ball", "Hakken_ball", false}, MatchCase{"hakken_ball", "hakken_bal", false},
                    MatchCase{"hakken_ball", "", false}, MatchCase{"so9_voice001W_x1w", "so9_voice001W_x1w", true},
                    MatchCase{"so9_voice001W_x1w", "so9_voice001w_x1w", false}));

// The wildcard form was once patched into a fixed work buffer; long keys must still be compared,
// not copied past its end.
std::vector<MatchCase> LongWildcardKeys() {
    std::vector<MatchCase> cases;
    for (size_t length : {127u, 128u, 129u, 300u}) {
        std::string key(length, 'k');
        key[length - 2] = '?';
        std::string name = key;
        name[length - 2] = '7';
        cases.push_back({key, name, true});
        std::string otherEnd = name;
        otherEnd[length - 1] = 'x';
        cases.push_back({key, otherEnd, false});
        cases.push_back({key, name + "k", false});
        std::string early = key;
        early[0] = '?';
        std::string earlyName = key;
        earlyName[0] = 'e';
        earlyName[length - 2] = '?';
        cases.push_back({early, earlyName, true});
        earlyName[length - 2] = 'q';
        cases.push_back({early, earlyName, false});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(LongKeys, SoundKeyMatching, testing::ValuesIn(LongWildcardKeys()));

TEST(SoundKeyMatching, NullTextsMatchNothing) {
    EXPECT_FALSE(MatchSoundKey(nullptr, "wake"));
    EXPECT_FALSE(MatchSoundKey("wake*", nullptr));
    EXPECT_FALSE(MatchSoundKey(nullptr, nullptr));
}

// The rewrite meets concrete sound names; each catalog key must catch the names it stands for
// and nothing that differs outside its wildcard.
TEST(SoundKeyMatching, EveryCatalogKeyMatchesTheNamesItStandsFor) {
    const std::pair<const CatalogEntry*, int> catalogs[] = {
        {AiboLife1Catalog, AiboLife1CatalogCount},
        {Ers310Catalog, Ers310CatalogCount},
        {Ers220Catalog, Ers220CatalogCount},
        {RecognitionCatalog, RecognitionCatalogCount},
    };
    for (const auto& [rows, count] : catalogs) {
        for (int i = 0; i < count; ++i) {
            if (!IsStockSound(rows[i])) {
                continue;
            }
            const std::string key = rows[i].key;
            SCOPED_TRACE(key);
            std::string concrete = key;
            if (size_t at = concrete.find('?'); at != std::string::npos) {
                concrete[at] = '1';
                EXPECT_TRUE(MatchSoundKey(key.c_str(), concrete.c_str()));
                concrete[at] = '9';
                EXPECT_TRUE(MatchSoundKey(key.c_str(), concrete.c_str()));
            } else if (size_t star = concrete.find('*'); star != std::string::npos) {
                concrete.erase(star);
                EXPECT_TRUE(MatchSoundKey(key.c_str(), concrete.c_str()));
                EXPECT_TRUE(MatchSoundKey(key.c_str(), (concrete + "up_x1d").c_str()));
                EXPECT_FALSE(MatchSoundKey(key.c_str(), concrete.substr(0, concrete.size() - 1).c_str()));
            } else {
                EXPECT_TRUE(MatchSoundKey(key.c_str(), concrete.c_str()));
                EXPECT_FALSE(MatchSoundKey(key.c_str(), (concrete + "2").c_str()));
            }
            std::string shouted = concrete;
            shouted[0] = static_cast<char>(shouted[0] - 'a' + 'A');
            EXPECT_FALSE(MatchSoundKey(key.c_str(), shouted.c_str())) << "case counts";
        }
    }
}

struct CustomNameCase {
    std::string fileName;
    bool made;
    std::string customName;
    bool midi;
};

std::ostream& operator<<(std::ostream& out, const CustomNameCase& c) {
    return out << "file \"" << Shown(c.fileName) << "\"";
}

class CustomSoundNames : public testing::TestWithParam<CustomNameCase> {};

TEST_P(CustomSoundNames, AreMadeFromTheFileName) {
    const CustomNameCase& c = GetParam();
    for (bool flagBefore : {false, true}) {
        std::string customName = "untouched";
        bool isMidi = flagBefore;
        ASSERT_EQ(MakeCustomSoundName(c.fileName, customName, isMidi), c.made);
        if (c.made) {
            EXPECT_EQ(customName, c.customName);
            EXPECT_EQ(isMidi, c.midi);
            EXPECT_LE(customName.size(), 2 + MaxReplacementFileName);
        } else {
            EXPECT_EQ(customName, "untouched");
            EXPECT_EQ(isMidi, flagBefore);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Extensions, CustomSoundNames,
    testing::Values(CustomNameCase{"Bark.WAV", true, "u_bark", false}, CustomNameCase{"Tune.MID", true, "u_tune", true},
                    CustomNameCase{"Tune.mid", true, "u_tune", true},
                    CustomNameCase{"my.song.wav", true, "u_my", false},
                    // The type follows the last extension, while the name stops at the first dot.
                    CustomNameCase{"drum.mix.wav", true, "u_drum", false},
                    CustomNameCase{"song.wav.mid", true, "u_song", true},
                    CustomNameCase{"Sample.Wav", true, "u_sample", false},
                    CustomNameCase{"SAMPLE.MID", true, "u_sample", true}, CustomNameCase{".wav", true, "u_", false},
                    CustomNameCase{"a.m", true, "u_a", true}, CustomNameCase{"a.", true, "u_a", false},
                    CustomNameCase{"a..", true, "u_a", false}, CustomNameCase{"x.Midi", true, "u_x", true}));

INSTANTIATE_TEST_SUITE_P(Refused, CustomSoundNames,
                         testing::Values(CustomNameCase{"(default)", false, "", false},
                                         CustomNameCase{"README", false, "", false},
                                         CustomNameCase{"", false, "", false},
                                         CustomNameCase{std::string("bark\0.wav", 9), false, "", false}));

INSTANTIATE_TEST_SUITE_P(Lengths, CustomSoundNames,
                         testing::Values(CustomNameCase{"abcdefghijklmnopqrstuvwxyz12.wav", true,
                                                        "u_abcdefghijklmnopqrstuvwxyz12", false},
                                         CustomNameCase{"abcdefghijklmnopqrstuvwxyz123.wav", false, "", false},
                                         CustomNameCase{"ABCDEFGHIJKLMNOPQRSTUVWXYZABCDE.", true,
                                                        "u_abcdefghijklmnopqrstuvwxyzabcde", false},
                                         CustomNameCase{"Abcdefghijklmnopqrstuvwxyzabcdef.MID", false, "", false}));

// Letters of a national code page are not ASCII letters and pass through unchanged.
INSTANTIATE_TEST_SUITE_P(HighBytes, CustomSoundNames,
                         testing::Values(CustomNameCase{"\xC4pfel.wav", true, "u_\xC4pfel", false},
                                         CustomNameCase{"\xC9T\xC9.MID", true, "u_\xC9t\xC9", true},
                                         CustomNameCase{"x.\xCD", true, "u_x", false},
                                         CustomNameCase{"Z\xFF[]@.wav", true, "u_z\xFF[]@", false}));

TEST(CustomSoundNames, ExactlyTheMaximumLengthIsAccepted) {
    std::string customName;
    bool isMidi = false;
    EXPECT_TRUE(MakeCustomSoundName(std::string(MaxReplacementFileName - 4, 'q') + ".wav", customName, isMidi));
    EXPECT_FALSE(MakeCustomSoundName(std::string(MaxReplacementFileName - 3, 'q') + ".wav", customName, isMidi));
}

} // namespace
