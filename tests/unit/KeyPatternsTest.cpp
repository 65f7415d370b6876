#include "catalog/KeyPatterns.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

// Test listings show the texts; keep them printable and short.
std::string Shown(const std::string& text) {
    const bool abridged = text.size() > 40;
    std::string shown;
    for (unsigned char ch : abridged ? text.substr(0, 6) + "~" + text.substr(text.size() - 6) : text) {
        if (ch >= 0x20 && ch < 0x7F && ch != '"' && ch != '\\') {
            shown += static_cast<char>(ch);
        } else {
            shown += {'\\', 'x', "0123456789ABCDEF"[ch >> 4], "0123456789ABCDEF"[ch & 15]};
        }
    }
    return abridged ? shown + "(" + std::to_string(text.size()) + " characters)" : shown;
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
    Examples, SoundKeyMatching,
    testing::Values(MatchCase{"up1_joy1_x?s", "up1_joy1_x1s", true}, MatchCase{"up1_joy1_x?s", "up1_joy1_x2s", true},
                    MatchCase{"up1_joy1_x?s", "up1_joy1_x#s", true}, MatchCase{"up1_joy1_x?s", "up1_joy1_x12s", false},
                    MatchCase{"up1_joy1_x?s", "up1_joy1_x1t", false}, MatchCase{"up1_joy1_x?s", "UP1_joy1_x1s", false},
                    // Only the first "?" is a wildcard; with both characters the "*" is an ordinary one.
                    MatchCase{"ab?d?f", "abXd?f", true}, MatchCase{"ab?d?f", "abXdYf", false},
                    MatchCase{"ab*?", "ab*x", true}, MatchCase{"ab*?", "abcx", false}, MatchCase{"wake*", "wake", true},
                    MatchCase{"wake*", "wake1", true}, MatchCase{"wake*", "wakeup_nxs", true},
                    MatchCase{"wake*", "wak", false}, MatchCase{"wake*", "Wake", false},
                    // Whatever follows the first "*" is not looked at.
                    MatchCase{"wa*ke", "wall", true}, MatchCase{"*", "", true},
                    MatchCase{"hakken_ball", "hakken_ball", true}, MatchCase{"hakken_ball", "hakken_ball2", false},
                    MatchCase{"hakken_ball", "Hakken_ball", false}, MatchCase{"hakken_ball", "hakken_bal", false}));

// The wildcard form was once patched into a fixed work buffer; long keys must still be compared,
// not copied past its end.
std::vector<MatchCase> LongWildcardKeys() {
    std::vector<MatchCase> cases;
    for (size_t length : {128u, 300u}) {
        std::string key(length, 'k');
        key[length - 2] = '?';
        std::string name = key;
        name[length - 2] = '7';
        cases.push_back({key, name, true});
        cases.push_back({key, name + "k", false});
        name[length - 1] = 'x';
        cases.push_back({key, name, false});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(LongKeys, SoundKeyMatching, testing::ValuesIn(LongWildcardKeys()));

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
        // Nothing is written on failure.
        EXPECT_EQ(customName, c.made ? c.customName : "untouched");
        EXPECT_EQ(isMidi, c.made ? c.midi : flagBefore);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Examples, CustomSoundNames,
    testing::Values(CustomNameCase{"Bark.WAV", true, "u_bark", false}, CustomNameCase{"Tune.MID", true, "u_tune", true},
                    CustomNameCase{"my.song.wav", true, "u_my", false},
                    // The type follows the last extension, while the name stops at the first dot.
                    CustomNameCase{"drum.mix.wav", true, "u_drum", false},
                    CustomNameCase{"song.wav.mid", true, "u_song", true}, CustomNameCase{".wav", true, "u_", false},
                    CustomNameCase{"Sample.Wav", true, "u_sample", false},
                    CustomNameCase{"SAMPLE.MID", true, "u_sample", true}, CustomNameCase{"(default)", false, "", false},
                    CustomNameCase{"README", false, "", false},
                    CustomNameCase{"abcdefghijklmnopqrstuvwxyz12.wav", true, "u_abcdefghijklmnopqrstuvwxyz12", false},
                    CustomNameCase{"abcdefghijklmnopqrstuvwxyz123.wav", false, "", false},
                    // Letters of a national code page are not ASCII letters and pass through unchanged.
                    CustomNameCase{"\xC9T\xC9.MID", true, "u_\xC9t\xC9", true}));

} // namespace
