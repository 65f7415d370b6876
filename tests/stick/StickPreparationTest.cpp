#include "stick/StickPreparation.h"

#include "SaveExpectations.h"
#include "StickBuilder.h"
#include "StickFixture.h"
#include "TempDir.h"
#include "app/CustomizationState.h"
#include "platform/FileOps.h"
#include "platform/Prompt.h"
#include "stick/ModelProfiles.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

const std::string kQuestion = "This stick contains existing customization\n"
                              "(probably from the AIBO Fun Pack)\n"
                              "Do you want to delete the old customizations ?";
const std::string kBackupFailed = "Failed to backup original .MWC file\nStick may be write protected";
const std::string kDialogTitle = "Open MEMSTICK.IND file at root of OpenR directory";

} // namespace

class StickPreparationTest : public StickFixture {
protected:
    // Opens the stick at `root` as the dialog does, the user picking its memstick.ind.
    bool Open(const StickBuilder& stick, const std::string& root, CustomizationState& state) {
        PromptScript::Clear();
        PromptScript::SetNextFileName(stick.HostPath(root, *stick.Options().memstickName));
        return OpenStick(state);
    }

    // The texts of every prompt after the open-file dialog.
    std::vector<std::string> LaterPrompts() const {
        std::vector<std::string> texts = PromptScript::ShownTexts();
        EXPECT_EQ(texts.empty() ? "" : texts.front(), kDialogTitle);
        return texts.empty() ? texts : std::vector<std::string>(texts.begin() + 1, texts.end());
    }
};

// --- Every profile, from a freshly built stick ---

class EveryProfile : public StickPreparationTest, public ::testing::WithParamInterface<int> {
protected:
    const ModelProfile& Profile() const { return ProfileTable[GetParam()]; }
};

TEST_P(EveryProfile, ValidStickOpensAtTheFirstAttemptAndIsBackedUpOnce) {
    StickBuilder stick(Profile());
    const std::string root = Build(stick);
    const std::string mwc = stick.HostPath(root, Profile().mwcPath);
    const std::vector<uint8_t> first = ReadFileBytes(mwc);
    {
        CustomizationState state;
        ASSERT_TRUE(Open(stick, root, state));
        EXPECT_EQ(fs::canonical(CurrentDirectory()), fs::canonical(root));
        EXPECT_EQ(state.ActiveProfile, &Profile());
        EXPECT_EQ(state.Assignments, AssignmentTable(static_cast<size_t>(Profile().catalogCount)));
        EXPECT_TRUE(LaterPrompts().empty());
    }
    // A later opening keeps the backup as the first one made it, whatever the configuration holds now.
    ASSERT_TRUE(WriteFileBytes(mwc, GzipBytes(BuildContainer(MwcContainer{}))));
    CustomizationState state;
    ASSERT_TRUE(Open(stick, root, state));
    EXPECT_EQ(ReadFileBytes(stick.HostPath(root, MakeBackupPath(Profile().mwcPath))), first);
    EXPECT_TRUE(LaterPrompts().empty());
}

TEST_P(EveryProfile, LowerCaseStickIsPreparedExactlyLikeTheOriginal) {
    StickBuilder original(Profile());
    original.MotionArchive().AudioArchive();
    StickBuilder lower = original;
    lower.LowerCaseNames();
    const std::string originalRoot = Build(original, "original");
    const std::string lowerRoot = Build(lower, "lower");

    for (const auto& [stick, root] : {std::pair{&original, originalRoot}, std::pair{&lower, lowerRoot}}) {
        PromptScript::SetNextAnswer(true);
        CustomizationState state;
        ASSERT_TRUE(Open(*stick, root, state));
        EXPECT_EQ(state.ActiveProfile, &Profile());
        EXPECT_EQ(LaterPrompts(), std::vector<std::string>{kQuestion});
    }
    // Same files, same contents: the backup lies beside the lower-case configuration.
    EXPECT_EQ(TakeSnapshot(lowerRoot, true), TakeSnapshot(originalRoot, true));
}

INSTANTIATE_TEST_SUITE_P(Rows, EveryProfile, ::testing::Range(0, ProfileCount),
                         [](const ::testing::TestParamInfo<int>& info) { return "Row" + std::to_string(info.param); });

// --- An older customization: MOTION.ODA or LED.ODA in the data folder ---

struct OldCustomization {
    const char* name;
    bool motion;
    bool led;
    bool lowerCase;
};

void PrintTo(const OldCustomization& value, std::ostream* out) {
    *out << value.name;
}

class OlderCustomization : public StickPreparationTest, public ::testing::WithParamInterface<OldCustomization> {
protected:
    StickBuilder Stick() const {
        StickBuilder stick(ProfileTable[2]);
        stick.AudioArchive().LowerCaseNames(GetParam().lowerCase);
        stick.Options().motionArchive = GetParam().motion ? std::optional(SampleArchive("MOTION")) : std::nullopt;
        stick.Options().ledArchive = GetParam().led ? std::optional(SampleArchive("LED")) : std::nullopt;
        return stick;
    }
};

TEST_P(OlderCustomization, RaisesTheQuestionWhoseYesDeletesTheThreeArchivesAndWhoseNoChangesNothing) {
    for (bool yes : {true, false}) {
        SCOPED_TRACE(yes ? "Yes" : "No");
        const StickBuilder stick = Stick();
        const std::string root = Build(stick, yes ? "yes" : "no");
        const Snapshot before = TakeSnapshot(root);
        PromptScript::SetNextAnswer(yes);

        CustomizationState state;
        EXPECT_EQ(Open(stick, root, state), yes);
        EXPECT_EQ(LaterPrompts(), std::vector<std::string>{kQuestion});
        EXPECT_EQ(PromptScript::Shown().back().buttons, "Yes|No");
        EXPECT_EQ(state.Assignments.has_value(), yes);
        if (yes) {
            EXPECT_EQ(ListFolder(stick.HostPath(root, ProfileTable[2].dataFolder)), std::vector<std::string>{});
        } else {
            EXPECT_EQ(TakeSnapshot(root), before);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Archives, OlderCustomization,
                         ::testing::Values(OldCustomization{"MotionOnly", true, false, false},
                                           OldCustomization{"LedOnly", false, true, false},
                                           OldCustomization{"LowerCaseMotionAndLed", true, true, true}),
                         [](const ::testing::TestParamInfo<OldCustomization>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(StickPreparationTest, AudioArchiveAloneRaisesNoQuestionAndStays) {
    StickBuilder stick(ProfileTable[1]);
    stick.AudioArchive();
    const std::string root = Build(stick);

    CustomizationState state;
    ASSERT_TRUE(Open(stick, root, state));
    EXPECT_TRUE(LaterPrompts().empty());
    EXPECT_EQ(ReadFileBytes(stick.HostPath(root, "OPEN-R\\MW\\DATA\\P\\ERS-31X\\AUDIO.ODA")), SampleArchive("AUDIO"));
}

// --- The backup ---

TEST_F(StickPreparationTest, ExistingBackupIsKeptAndTheConfigurationNotNeeded) {
    StickBuilder stick;
    stick.NoMwc().Backup({'o', 'l', 'd'});
    const std::string root = Build(stick);

    CustomizationState state;
    ASSERT_TRUE(Open(stick, root, state));
    EXPECT_TRUE(LaterPrompts().empty());
    EXPECT_EQ(ReadFileText(root + "/OPEN-R/MW/CONF/ERS-210.ORG"), "old");
    EXPECT_FALSE(PathExists(root + "/OPEN-R/MW/CONF/ERS-210.MWC"));
}

TEST_F(StickPreparationTest, NeitherConfigurationNorBackupGivesTheBackupMessage) {
    StickBuilder stick(ProfileTable[5]);
    stick.NoMwc();
    const std::string root = Build(stick);

    CustomizationState state;
    EXPECT_FALSE(Open(stick, root, state));
    EXPECT_EQ(LaterPrompts(), std::vector<std::string>{kBackupFailed});
    EXPECT_EQ(PromptScript::Shown().back().buttons, "OK");
    EXPECT_FALSE(state.Assignments.has_value());
    EXPECT_EQ(ListFolder(root + "/OPEN-R/MW/CONF/ERS-220"), std::vector<std::string>{});
}

TEST_F(StickPreparationTest, DeletionStandsWhenTheBackupThenFails) {
    StickBuilder stick;
    stick.NoMwc().MotionArchive().LedArchive();
    const std::string root = Build(stick);
    PromptScript::SetNextAnswer(true);

    CustomizationState state;
    EXPECT_FALSE(Open(stick, root, state));
    EXPECT_EQ(LaterPrompts(), (std::vector<std::string>{kQuestion, kBackupFailed}));
    EXPECT_EQ(ListFolder(root + "/OPEN-R/MW/DATA/P"), std::vector<std::string>{});
}

TEST_F(StickPreparationTest, HalfMadeBackupIsTakenBackSoTheNextOpeningCannotTrustIt) {
    // A configuration that can be opened but not read: the copy starts, then fails.
    StickBuilder stick;
    stick.NoMwc();
    const std::string root = Build(stick);
    ASSERT_TRUE(MakeFolders(root + "/OPEN-R/MW/CONF/ERS-210.MWC"));

    for (int attempt = 0; attempt < 2; ++attempt) {
        CustomizationState state;
        EXPECT_FALSE(Open(stick, root, state));
        EXPECT_EQ(LaterPrompts(), std::vector<std::string>{kBackupFailed});
        EXPECT_FALSE(PathExists(root + "/OPEN-R/MW/CONF/ERS-210.ORG"));
    }
}

TEST_F(StickPreparationTest, CancelledDialogOpensNothing) {
    CustomizationState state;
    EXPECT_FALSE(OpenStick(state));
    EXPECT_EQ(state.ActiveProfile, nullptr);
    EXPECT_FALSE(state.Assignments.has_value());
    EXPECT_TRUE(LaterPrompts().empty());
}

TEST(BackupPath, ReplacesTheLastFourCharacters) {
    EXPECT_EQ(MakeBackupPath("OPEN-R\\MW\\CONF\\ERS-210.MWC"), "OPEN-R\\MW\\CONF\\ERS-210.ORG");
    EXPECT_EQ(MakeBackupPath("a.mwc"), "a.ORG");
}

TEST(FileExistsCheck, CountsReadableFilesOnly) {
    TempDir dir;
    ASSERT_TRUE(WriteFileText(dir / "file", ""));
    ASSERT_TRUE(MakeFolders(dir / "folder"));
    EXPECT_TRUE(FileExists(dir / "file"));
    EXPECT_FALSE(FileExists(dir / "missing"));
    EXPECT_FALSE(FileExists(dir / "folder"));
}

// --- A write-protected stick: a read-only bind mount around SaveDriver, which opens it ---

class WriteProtectedStick : public StickPreparationTest, public ::testing::WithParamInterface<bool> {};

TEST_P(WriteProtectedStick, OpensOnlyWithItsBackup) {
    const bool withBackup = GetParam();
    StickBuilder stick(ProfileTable[3]);
    if (withBackup) {
        stick.Backup(*stick.Options().mwc);
    }
    const std::string root = Build(stick);
    const SaveWorld world(m_dir / "program");
    std::optional<std::vector<std::string>> wrapper = ReadOnlyMount();
    if (!wrapper || !SaveDriverPath()) {
        GTEST_SKIP() << "needs SaveDriver and a private mount namespace (root and unshare)";
    }
    wrapper->push_back(root);
    const Snapshot before = TakeSnapshot(root);

    const DriverReport report = RunSaveDriver(*wrapper, root, world, {}, m_dir / "driver.log");
    if (report.status == 90) {
        GTEST_SKIP() << "read-only bind mounts are not permitted here";
    }
    if (withBackup) {
        // Opened; the save that the driver then tries cannot write to the stick.
        EXPECT_EQ(report.outcome, "KeepOpen") << ReadFileText(m_dir / "driver.log");
        ASSERT_FALSE(report.prompts.empty());
        EXPECT_EQ(report.prompts.front(), kDialogTitle);
        EXPECT_EQ(std::count(report.prompts.begin(), report.prompts.end(), kBackupFailed), 0);
    } else {
        EXPECT_EQ(report.outcome, "NotOpened") << ReadFileText(m_dir / "driver.log");
        EXPECT_EQ(report.prompts, (std::vector<std::string>{kDialogTitle, kBackupFailed}));
    }
    EXPECT_EQ(TakeSnapshot(root), before);
}

INSTANTIATE_TEST_SUITE_P(Backup, WriteProtectedStick, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "WithBackup" : "WithoutBackup");
                         });
