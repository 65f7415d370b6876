// The checks a save makes before it writes anything, on their own: which choices could not reach
// the robot as made. Whole refused saves are in SaveFaultTest and CustomizeDlgTest.
#include "writer/SaveChecks.h"

#include "SaveExpectations.h"
#include "TempDir.h"
#include "app/CustomizationState.h"
#include "stick/ModelProfiles.h"

#include <gtest/gtest.h>

namespace {

struct ChoiceCase {
    const char* name;
    std::vector<std::string> chosen; // for the first stock sounds, in order
    std::vector<std::string> named;  // what the message must name; nothing when the save may go on
};

void PrintTo(const ChoiceCase& c, std::ostream* os) {
    *os << c.name;
}

class ReplacementCheck : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(ReplacementCheck, NamesEveryChoiceThatCouldNotReachTheRobot) {
    TempDir sounds;
    const std::string name32(28, 'a');
    for (const std::string& file :
         std::vector<std::string>{"bark.wav", "my.song.wav", "my.wav", name32 + ".wav", name32 + "b.wav"}) {
        ASSERT_TRUE(WriteFileBytes(sounds / file, RobotWave(10, 1)));
    }
    ASSERT_TRUE(MakeFolders(sounds / "folder.wav"));
    CustomizationState state;
    state.ActiveProfile = &ProfileTable[0];
    state.Assignments = AssignmentTable(static_cast<size_t>(ProfileTable[0].catalogCount));
    size_t slot = 1;
    for (const std::string& file : GetParam().chosen) {
        (*state.Assignments)[slot++] = file == "32" ? name32 + ".wav" : file == "33" ? name32 + "b.wav" : file;
    }

    const std::optional<std::string> message = CheckReplacements(state, sounds.Path());
    if (GetParam().named.empty()) {
        EXPECT_FALSE(message.has_value()) << *message;
        return;
    }
    ASSERT_TRUE(message.has_value());
    for (const std::string& name : GetParam().named) {
        EXPECT_NE(message->find(name), std::string::npos) << *message << "\nlacks " << name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Choices, ReplacementCheck,
    ::testing::Values(ChoiceCase{"OneFileForSeveralSoundsInAnySpelling", {"bark.wav", "BARK.WAV", "bark.wav"}, {}},
                      ChoiceCase{"NameOf32Characters", {"32"}, {}},
                      ChoiceCase{"NameOf33Characters", {"33"}, {"'" + std::string(28, 'a') + "b.wav'"}},
                      ChoiceCase{"TwoFilesUnderTheFirstDot",
                                 {"my.song.wav", "bark.wav", "my.wav"},
                                 {"'my.song.wav' and 'my.wav'", "u_my"}},
                      ChoiceCase{"FolderInsteadOfAFile", {"folder.wav"}, {"'folder.wav'"}},
                      ChoiceCase{"NameWithASlash", {"sub/bark.wav"}, {"'sub/bark.wav'"}}),
    [](const ::testing::TestParamInfo<ChoiceCase>& info) { return std::string(info.param.name); });

TEST(SaveChecks, SizesAreRoundedTheCautiousWay) {
    // What is free never looks larger, and what is needed never smaller, than it is.
    EXPECT_EQ(FormatSize(1'250'000, false), "1.2 MB");
    EXPECT_EQ(FormatSize(1'200'001, true), "1.3 MB");
    EXPECT_EQ(FormatSize(999'001, true), "1000 KB");
    EXPECT_EQ(FormatSize(1'999, false), "1 KB");
}

} // namespace
