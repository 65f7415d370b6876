#include "catalog/KeyPatterns.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

// Test listings show the texts; keep them printable. Keys too long for a fixed work buffer are
// replayed from the KeyMatchFuzz seeds, whose matcher checks run under the sanitizers.
std::string Shown(const std::string& text) {
    std::string shown;
    for (unsigned char ch : text) {
        if (ch >= 0x20 && ch < 0x7F && ch != '"' && ch != '\\') {
            shown += static_cast<char>(ch);
        } else {
            shown += {'\\', 'x', "0123456789ABCDEF"[ch >> 4], "0123456789ABCDEF"[ch & 15]};
        }
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
