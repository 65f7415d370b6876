#include "stick/StickPreparation.h"

#include "StickBuilder.h"
#include "TempDir.h"
#include "app/CustomizationState.h"
#include "catalog/KeyPatterns.h"
#include "catalog/SoundCatalogs.h"
#include "platform/FileOps.h"
#include "platform/Prompt.h"
#include "platform/StickPath.h"
#include "stick/ModelProfiles.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>

namespace fs = std::filesystem;

namespace {

const std::string kQuestion = "This stick contains existing customization\n"
                              "(probably from the AIBO Fun Pack)\n"
                              "Do you want to delete the old customizations ?";
const std::string kBackupFailed = "Failed to backup original .MWC file\nStick may be write protected";
const std::string kDialogTitle = "Open MEMSTICK.IND file at root of OpenR directory";

// Every folder and file under a root with its contents; folders end in "/". With `foldCase`
// the names are lowered, so sticks that differ only in letter case compare equal.
using Snapshot = std::map<std::string, std::vector<uint8_t>>;

Snapshot TakeSnapshot(const std::string& root, bool foldCase = false) {
    Snapshot snapshot;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        std::string name = fs::relative(entry.path(), root).string();
        if (foldCase) {
            name = LowerAscii(name);
        }
        if (entry.is_directory()) {
            snapshot[name + "/"] = {};
        } else {
            snapshot[name] = ReadFileBytes(entry.path().string());
        }
    }
    return snapshot;
}

std::string Canonical(const std::string& path) {
    std::error_code ec;
    return fs::canonical(path, ec).string();
}

std::string BaseName(const std::string& stickPath) {
    return stickPath.substr(stickPath.find_last_of('\\') + 1);
}

std::string Quoted(const std::string& path) {
    return "'" + path + "'";
}

} // namespace

class StickPreparationTest : public ::testing::Test {
protected:
    void SetUp() override { PromptScript::Activate(); }
    void TearDown() override { PromptScript::Deactivate(); }

    std::string Build(const StickBuilder& stick, const std::string& name = "stick") {
        std::string root = m_dir / name;
        EXPECT_TRUE(stick.Build(root));
        return root;
    }

    // Opens the stick at `root` as the dialog does, the user picking its memstick.ind.
    bool Open(const StickBuilder& stick, const std::string& root, CustomizationState& state) {
        PromptScript::SetNextFileName(stick.HostPath(root, *stick.Options().memstickName));
        return OpenStick(state);
    }

    // The texts of every prompt after the open-file dialog.
    std::vector<std::string> LaterPrompts() const {
        std::vector<std::string> texts = PromptScript::ShownTexts();
        EXPECT_FALSE(texts.empty());
        if (!texts.empty()) {
            EXPECT_EQ(texts.front(), kDialogTitle);
            texts.erase(texts.begin());
        }
        return texts;
    }

    TempDir m_dir;
};

// --- Every profile, from a freshly built stick ---

class EveryProfile : public StickPreparationTest, public ::testing::WithParamInterface<int> {
protected:
    const ModelProfile& Profile() const { return ProfileTable[GetParam()]; }
};

TEST_P(EveryProfile, ValidStickOpensAtTheFirstAttemptAndIsPrepared) {
    StickBuilder stick(Profile());
    const std::string root = Build(stick);

    CustomizationState state;
    ASSERT_TRUE(Open(stick, root, state));
    EXPECT_EQ(Canonical(CurrentDirectory()), Canonical(root));
    EXPECT_EQ(state.ActiveProfile, &Profile());
    ASSERT_TRUE(state.Assignments.has_value());
    EXPECT_EQ(state.Assignments->size(), static_cast<size_t>(Profile().catalogCount));
    for (const auto& slot : *state.Assignments) {
        EXPECT_FALSE(slot.has_value());
    }
    EXPECT_TRUE(LaterPrompts().empty());
    EXPECT_EQ(ReadFileBytes(stick.HostPath(root, MakeBackupPath(Profile().mwcPath))),
              ReadFileBytes(stick.HostPath(root, Profile().mwcPath)));
}

TEST_P(EveryProfile, LowerCaseStickIsPreparedExactlyLikeTheOriginal) {
    StickBuilder original(Profile());
    original.MotionArchive().AudioArchive();
    StickBuilder lower = original;
    lower.LowerCaseNames();
    const std::string originalRoot = Build(original, "original");
    const std::string lowerRoot = Build(lower, "lower");

    for (const auto& [stick, root] : {std::pair{&original, originalRoot}, std::pair{&lower, lowerRoot}}) {
        PromptScript::Activate();
        PromptScript::SetNextAnswer(true);
        CustomizationState state;
        ASSERT_TRUE(Open(*stick, root, state));
        EXPECT_EQ(state.ActiveProfile, &Profile());
        ASSERT_TRUE(state.Assignments.has_value());
        EXPECT_EQ(state.Assignments->size(), static_cast<size_t>(Profile().catalogCount));
        EXPECT_EQ(LaterPrompts(), std::vector<std::string>{kQuestion});
    }
    EXPECT_EQ(TakeSnapshot(lowerRoot, true), TakeSnapshot(originalRoot, true));

    // The backup lies beside the lower-case configuration, under the name the format uses.
    const std::string mwc = lower.HostPath(lowerRoot, Profile().mwcPath);
    const std::string backup = mwc.substr(0, mwc.rfind('/') + 1) + BaseName(MakeBackupPath(Profile().mwcPath));
    ASSERT_TRUE(PathExists(backup)) << backup;
    EXPECT_EQ(ReadFileBytes(backup), ReadFileBytes(mwc));
}

TEST_P(EveryProfile, SecondOpeningKeepsTheFirstBackup) {
    StickBuilder stick(Profile());
    const std::string root = Build(stick);
    const std::string mwc = stick.HostPath(root, Profile().mwcPath);
    const std::vector<uint8_t> first = ReadFileBytes(mwc);
    {
        CustomizationState state;
        ASSERT_TRUE(Open(stick, root, state));
    }
    ASSERT_TRUE(WriteFileBytes(mwc, GzipBytes(BuildContainer(MwcContainer{}))));
    PromptScript::Activate();
    CustomizationState state;
    ASSERT_TRUE(Open(stick, root, state));
    EXPECT_EQ(ReadFileBytes(stick.HostPath(root, MakeBackupPath(Profile().mwcPath))), first);
    EXPECT_TRUE(LaterPrompts().empty());
}

TEST_P(EveryProfile, BuiltConfigurationNamesEveryStockSound) {
    StickBuilder stick(Profile());
    const std::optional<std::vector<uint8_t>> plain = GunzipBytes(*stick.Options().mwc);
    ASSERT_TRUE(plain.has_value());
    const MwcContainer container = TypicalContainer(Profile());
    EXPECT_EQ(*plain, BuildContainer(container));
    for (int i = 0; i < Profile().catalogCount; ++i) {
        const char* key = Profile().catalog[i].key;
        if (key == nullptr) {
            continue;
        }
        int named = 0;
        for (const MwcBlock& block : container.blocks) {
            for (const MwcRecord& record : block.records) {
                EXPECT_GE(record.text.size(), 2u);
                EXPECT_LE(record.text.size(), 99u);
                named += record.kind == SoundRecordKind && MatchSoundKey(key, record.text.c_str()) ? 1 : 0;
            }
        }
        EXPECT_GE(named, 1) << key;
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, EveryProfile, ::testing::Range(0, ProfileCount),
                         [](const ::testing::TestParamInfo<int>& info) { return "Row" + std::to_string(info.param); });

// --- An older customization ---

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
        if (GetParam().motion) {
            stick.MotionArchive();
        }
        if (GetParam().led) {
            stick.LedArchive();
        }
        return stick;
    }
};

TEST_P(OlderCustomization, YesDeletesTheThreeArchivesAndGoesOn) {
    const StickBuilder stick = Stick();
    const std::string root = Build(stick);
    PromptScript::SetNextAnswer(true);

    CustomizationState state;
    ASSERT_TRUE(Open(stick, root, state));
    EXPECT_EQ(LaterPrompts(), std::vector<std::string>{kQuestion});
    EXPECT_EQ(PromptScript::Shown().back().buttons, "Yes|No");
    const std::string data = stick.HostPath(root, ProfileTable[2].dataFolder);
    EXPECT_EQ(ListFolder(data), std::vector<std::string>{});
    EXPECT_TRUE(state.Assignments.has_value());
    EXPECT_TRUE(PathExists(stick.HostPath(root, "OPEN-R\\MW\\CONF\\ERS-210") + "/ERS-210.ORG"));
}

TEST_P(OlderCustomization, NoChangesNothingOnTheStick) {
    const StickBuilder stick = Stick();
    const std::string root = Build(stick);
    const Snapshot before = TakeSnapshot(root);
    PromptScript::SetNextAnswer(false);

    CustomizationState state;
    EXPECT_FALSE(Open(stick, root, state));
    EXPECT_EQ(LaterPrompts(), std::vector<std::string>{kQuestion});
    EXPECT_FALSE(state.Assignments.has_value());
    EXPECT_EQ(TakeSnapshot(root), before);
}

INSTANTIATE_TEST_SUITE_P(Archives, OlderCustomization,
                         ::testing::Values(OldCustomization{"MotionOnly", true, false, false},
                                           OldCustomization{"LedOnly", false, true, false},
                                           OldCustomization{"MotionAndLed", true, true, false},
                                           OldCustomization{"LowerCaseMotionOnly", true, false, true},
                                           OldCustomization{"LowerCaseLedOnly", false, true, true}),
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

TEST_F(StickPreparationTest, ArchiveFoldersAreNotAnOlderCustomization) {
    StickBuilder stick;
    const std::string root = Build(stick);
    ASSERT_TRUE(MakeFolders(root + "/OPEN-R/MW/DATA/P/MOTION.ODA"));

    CustomizationState state;
    ASSERT_TRUE(Open(stick, root, state));
    EXPECT_TRUE(LaterPrompts().empty());
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

TEST_F(StickPreparationTest, ProfilesSharingAConfigurationShareItsBackup) {
    StickBuilder first(ProfileTable[0]);
    const std::string root = Build(first);
    {
        CustomizationState state;
        ASSERT_TRUE(Open(first, root, state));
    }
    const std::vector<uint8_t> backup = ReadFileBytes(root + "/OPEN-R/MW/CONF/ERS-210.ORG");
    StickBuilder second(ProfileTable[6]);
    second.MwcBytes({'n', 'e', 'w'});
    ASSERT_TRUE(second.Build(root));

    PromptScript::Activate();
    CustomizationState state;
    ASSERT_TRUE(Open(second, root, state));
    EXPECT_EQ(state.ActiveProfile, &ProfileTable[6]);
    EXPECT_EQ(ReadFileBytes(root + "/OPEN-R/MW/CONF/ERS-210.ORG"), backup);
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
        SCOPED_TRACE(attempt);
        PromptScript::Activate();
        CustomizationState state;
        EXPECT_FALSE(Open(stick, root, state));
        EXPECT_EQ(LaterPrompts(), std::vector<std::string>{kBackupFailed});
        EXPECT_FALSE(PathExists(root + "/OPEN-R/MW/CONF/ERS-210.ORG"));
    }
}

TEST_F(StickPreparationTest, BackupNameTakenByAFolderIsLeftAlone) {
    StickBuilder stick;
    const std::string root = Build(stick);
    ASSERT_TRUE(MakeFolders(root + "/OPEN-R/MW/CONF/ERS-210.ORG/keep"));

    CustomizationState state;
    EXPECT_FALSE(Open(stick, root, state));
    EXPECT_EQ(LaterPrompts(), std::vector<std::string>{kBackupFailed});
    EXPECT_TRUE(PathExists(root + "/OPEN-R/MW/CONF/ERS-210.ORG/keep"));
}

TEST_F(StickPreparationTest, CancelledDialogOpensNothing) {
    CustomizationState state;
    EXPECT_FALSE(OpenStick(state));
    EXPECT_EQ(state.ActiveProfile, nullptr);
    EXPECT_FALSE(state.Assignments.has_value());
    EXPECT_TRUE(LaterPrompts().empty());
}

TEST_F(StickPreparationTest, PrepareWithoutAProfileRefuses) {
    CustomizationState state;
    EXPECT_FALSE(PrepareStick(state));
    EXPECT_FALSE(state.Assignments.has_value());
}

// --- Helpers ---

TEST(BackupPath, ReplacesTheLastFourCharacters) {
    EXPECT_EQ(MakeBackupPath("OPEN-R\\MW\\CONF\\ERS-210.MWC"), "OPEN-R\\MW\\CONF\\ERS-210.ORG");
    EXPECT_EQ(MakeBackupPath("OPEN-R\\MW\\CONF\\ERS-220\\ERS-220.MWC"), "OPEN-R\\MW\\CONF\\ERS-220\\ERS-220.ORG");
    EXPECT_EQ(MakeBackupPath("a.mwc"), "a.ORG");
    EXPECT_EQ(MakeBackupPath("abc"), ".ORG");
    for (const ModelProfile& row : ProfileTable) {
        std::string backup = MakeBackupPath(row.mwcPath);
        EXPECT_EQ(backup.substr(0, backup.size() - 4), std::string(row.mwcPath).substr(0, backup.size() - 4));
    }
}

TEST(FileExistsCheck, CountsReadableFilesOnly) {
    TempDir dir;
    ASSERT_TRUE(WriteFileText(dir / "file", ""));
    ASSERT_TRUE(MakeFolders(dir / "folder"));
    EXPECT_TRUE(FileExists(dir / "file"));
    EXPECT_FALSE(FileExists(dir / "missing"));
    EXPECT_FALSE(FileExists(dir / "folder"));
    EXPECT_FALSE(FileExists(""));
}

// --- A write-protected stick ---
//
// Root ignores file permissions, so protection is the immutable attribute, or failing that a
// read-only bind mount inside a private mount namespace in which this test runs again.

namespace {

const char* const kInsideReadOnlyMount = "TW_TEST_INSIDE_READONLY_MOUNT";

// Runs a shell command quietly; true when it succeeded.
bool Shell(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

bool CanCreateIn(const std::string& folder) {
    const std::string probe = folder + "/.probe";
    FILE* f = std::fopen(probe.c_str(), "wb");
    if (f == nullptr) {
        return false;
    }
    std::fclose(f);
    std::remove(probe.c_str());
    return true;
}

std::string MountNamespace() {
    std::error_code ec;
    return fs::read_symlink("/proc/self/ns/mnt", ec).string();
}

// Marks a tree immutable for its lifetime; the mark is always taken off again.
class ImmutableTree {
public:
    explicit ImmutableTree(std::string root) : m_root(std::move(root)) {
        m_applied = Shell("chattr -R +i " + Quoted(m_root));
    }
    ~ImmutableTree() { Shell("chattr -R -i " + Quoted(m_root)); }
    ImmutableTree(const ImmutableTree&) = delete;
    ImmutableTree& operator=(const ImmutableTree&) = delete;

    bool Effective() const { return m_applied && !CanCreateIn(m_root); }

private:
    std::string m_root;
    bool m_applied = false;
};

} // namespace

class WriteProtectedStick : public ::testing::Test {
protected:
    void SetUp() override { m_startFolder = CurrentDirectory(); }

    // Builds the stick somewhere it can be write-protected and runs `check` on it; false when
    // no way of protecting it works here.
    bool RunProtected(const StickBuilder& stick, const std::function<void(const std::string&)>& check) {
        if (const char* parentNamespace = std::getenv(kInsideReadOnlyMount)) {
            // Only inside the private namespace made for us may a mount be made.
            return parentNamespace != MountNamespace() && RunInsideMount(stick, check);
        }
        for (const std::string& parent : {m_dir.Path(), std::string("/var/tmp"), m_startFolder}) {
            std::string pattern = parent + "/tonewright-ro-XXXXXX";
            if (parent.empty() || mkdtemp(pattern.data()) == nullptr) {
                continue;
            }
            const std::string root = pattern + "/stick";
            bool ran = false;
            if (stick.Build(root)) {
                ImmutableTree guard(root);
                if (guard.Effective()) {
                    check(root);
                    ran = true;
                }
            }
            ChangeDirectory(m_startFolder);
            std::error_code ec;
            fs::remove_all(pattern, ec);
            if (ran) {
                return true;
            }
        }
        return RunInChildMountNamespace();
    }

private:
    bool RunInsideMount(const StickBuilder& stick, const std::function<void(const std::string&)>& check) {
        const std::string root = m_dir / "stick";
        if (!stick.Build(root) || !Shell("mount --bind -o ro " + Quoted(root) + " " + Quoted(root))) {
            return false;
        }
        const bool protectedNow = !CanCreateIn(root);
        if (protectedNow) {
            check(root);
        }
        ChangeDirectory(m_startFolder);
        Shell("umount " + Quoted(root));
        return protectedNow;
    }

    bool RunInChildMountNamespace() {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::string filter = std::string(test->test_suite_name()) + "." + test->name();
        const std::string command = std::string(kInsideReadOnlyMount) + "=" + Quoted(MountNamespace()) +
                                    " unshare -m --propagation private " + Quoted(ExecutablePath()) +
                                    " --gtest_filter=" + filter + " 2>&1";
        FILE* pipe = popen(command.c_str(), "r");
        if (pipe == nullptr) {
            return false;
        }
        std::string output;
        char buffer[4096];
        while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) {
            output.append(buffer, n);
        }
        const int status = pclose(pipe);
        if (output.find("[==========]") == std::string::npos || output.find("[  SKIPPED ]") != std::string::npos) {
            return false; // unshare or mount is not available
        }
        EXPECT_EQ(status, 0) << output;
        return true;
    }

    TempDir m_dir;
    std::string m_startFolder;
};

TEST_F(WriteProtectedStick, WithoutBackupGetsTheBackupFailureMessage) {
    const bool ran = RunProtected(StickBuilder(ProfileTable[3]), [](const std::string& root) {
        PromptScript::Activate();
        PromptScript::SetNextFileName(root + "/MEMSTICK.IND");
        const Snapshot before = TakeSnapshot(root);
        CustomizationState state;
        EXPECT_FALSE(OpenStick(state));
        EXPECT_EQ(PromptScript::ShownTexts(), (std::vector<std::string>{kDialogTitle, kBackupFailed}));
        EXPECT_FALSE(state.Assignments.has_value());
        EXPECT_EQ(TakeSnapshot(root), before);
        PromptScript::Deactivate();
    });
    if (!ran) {
        GTEST_SKIP() << "no way to write-protect a folder here";
    }
}

TEST_F(WriteProtectedStick, WithBackupOpensNormally) {
    StickBuilder stick(ProfileTable[3]);
    stick.Backup(*stick.Options().mwc);
    const bool ran = RunProtected(stick, [](const std::string& root) {
        PromptScript::Activate();
        PromptScript::SetNextFileName(root + "/MEMSTICK.IND");
        CustomizationState state;
        EXPECT_TRUE(OpenStick(state));
        EXPECT_EQ(PromptScript::ShownTexts(), std::vector<std::string>{kDialogTitle});
        EXPECT_EQ(state.ActiveProfile, &ProfileTable[3]);
        ASSERT_TRUE(state.Assignments.has_value());
        EXPECT_EQ(state.Assignments->size(), 51u);
        PromptScript::Deactivate();
    });
    if (!ran) {
        GTEST_SKIP() << "no way to write-protect a folder here";
    }
}
