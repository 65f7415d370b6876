// Whole saves on freshly built sticks of every profile, with the real compressor: what lands on the
// stick is checked against archives, containers and records worked out in the test from the file
// formats, and a later save must apply exactly its own choices, never stacking on the earlier one.
#include "writer/SavePipeline.h"

#include "DemoStick.h"
#include "SaveExpectations.h"
#include "StickBuilder.h"
#include "TempDir.h"
#include "app/CustomizationState.h"
#include "catalog/SoundCatalogs.h"
#include "platform/FileOps.h"
#include "platform/Prompt.h"
#include "platform/StickPath.h"
#include "stick/ModelProfiles.h"
#include "stick/StickPreparation.h"
#include "writer/CustomizationRecord.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <tuple>
#include <unistd.h>

namespace {

std::string ArchivePathOf(const ModelProfile& profile) {
    return std::string(profile.dataFolder) + "\\AUDIO.ODA";
}

// A first customization that uses what the formats make interesting: one WAV for a "?" key and a
// "*" key (packed once), a MIDI file, a name with two dots (packed from that very file, not from
// the one its custom name would point at) and names in upper case.
AssignmentTable FirstChoices(const ModelProfile& profile) {
    AssignmentTable slots(static_cast<size_t>(profile.catalogCount));
    std::vector<size_t> anyChar, anyRest, exact;
    for (int i = 0; i < profile.catalogCount; ++i) {
        const char* key = profile.catalog[i].key;
        if (key == nullptr) {
            continue;
        }
        std::string text = key;
        (text.find('?') != std::string::npos   ? anyChar
         : text.find('*') != std::string::npos ? anyRest
                                               : exact)
            .push_back(static_cast<size_t>(i));
    }
    std::vector<std::string> files = {"tune.mid", "my.song.wav", "Sample.wav", "Hello.WAV"};
    size_t next = 0;
    // Without wildcard keys in the catalog the shared file goes to exact keys instead.
    for (const std::vector<size_t>* group : {&anyChar, &anyRest}) {
        if (!group->empty()) {
            slots[group->front()] = "bark.wav";
        } else if (next < exact.size()) {
            slots[exact[exact.size() - 1 - next++]] = "bark.wav";
        }
    }
    for (size_t k = 0; k < files.size() && k < exact.size() - next; ++k) {
        slots[exact[k]] = files[k];
    }
    return slots;
}

// A later customization with one choice only, on the last stock sound.
AssignmentTable SecondChoices(const ModelProfile& profile) {
    AssignmentTable slots(static_cast<size_t>(profile.catalogCount));
    for (int i = profile.catalogCount - 1; i >= 0; --i) {
        if (profile.catalog[i].key != nullptr) {
            slots[static_cast<size_t>(i)] = "Hello.WAV";
            break;
        }
    }
    return slots;
}

} // namespace

class SaveTest : public ::testing::Test {
protected:
    void SetUp() override {
        PromptScript::Activate();
        AddStandardSounds(m_world);
        if (!m_world.HasCompressor() || !FindProgram("gzip")) {
            GTEST_SKIP() << "needs the build's Crushkit (TW_PROGRAM_DIR) and Debian's gzip";
        }
    }
    void TearDown() override { PromptScript::Deactivate(); }

    std::string Host(const std::string& stickPath) const { return m_stick.HostPath(m_root, stickPath); }

    // The configuration the stick was built with, which every save starts from.
    MwcContainer StockContainer() const {
        return m_stockContainer ? *m_stockContainer : TypicalContainer(*m_stick.Options().profile);
    }

    // Opens the stick as the dialog does and puts the choices in, as the user would.
    void Open(CustomizationState& state, const AssignmentTable& slots, bool modified = true) {
        PromptScript::SetNextFileName(Host(*m_stick.Options().memstickName));
        ASSERT_TRUE(OpenStick(state));
        ASSERT_EQ(state.Assignments->size(), slots.size());
        state.Assignments = slots;
        state.Modified = modified;
        PromptScript::Clear();
    }

    // Saves with these choices on the stick as it stands and checks every file the save leaves.
    void SaveAndCheck(const AssignmentTable& slots) {
        ASSERT_NO_FATAL_FAILURE(Save(slots));
        ASSERT_NO_FATAL_FAILURE(Check(slots));
    }

    void Save(const AssignmentTable& slots) {
        const ModelProfile& profile = *m_stick.Options().profile;
        CustomizationState state;
        ASSERT_NO_FATAL_FAILURE(Open(state, slots));
        m_backup = ReadFileBytes(Host(MakeBackupPath(profile.mwcPath)));
        ASSERT_EQ(SaveCustomization(state), SaveOutcome::Saved) << ::testing::PrintToString(PromptScript::ShownTexts());
        EXPECT_EQ(*state.Assignments, slots);
        EXPECT_TRUE(m_world.WorkLeftovers().empty()) << ::testing::PrintToString(m_world.WorkLeftovers());
    }

    // Every file on the stick as these choices make it, the summary included.
    void Check(const AssignmentTable& slots) {
        const ModelProfile& profile = *m_stick.Options().profile;
        int replaced = 0;
        const MwcContainer expected = ExpectedRewrite(StockContainer(), profile, slots, replaced);
        const int sounds = DistinctSounds(slots);
        EXPECT_EQ(PromptScript::ShownTexts(), std::vector<std::string>{ExpectedSummary(sounds, replaced, profile)});

        const std::string archive = Host(ArchivePathOf(profile));
        if (sounds == 0) {
            EXPECT_FALSE(PathExists(archive));
        } else {
            EXPECT_EQ(ReadFileBytes(archive), ExpectedArchive(profile, slots, m_world.Sounds()));
        }

        const std::string mwc = Host(profile.mwcPath);
        std::optional<std::vector<uint8_t>> plain = GunzipBytes(ReadFileBytes(mwc));
        ASSERT_TRUE(plain.has_value()) << "the configuration on the stick is no gzip stream";
        EXPECT_EQ(*plain, BuildContainer(expected));
        std::optional<bool> accepted = GzipAccepts(mwc);
        if (accepted.has_value()) {
            EXPECT_TRUE(*accepted) << "gzip -t refuses the configuration";
        }

        EXPECT_EQ(ReadFileText(Host(MakeRecordPath(profile.mwcPath))), ExpectedRecord(profile, slots));
        EXPECT_EQ(ReadFileBytes(Host(MakeBackupPath(profile.mwcPath))), m_backup);
        EXPECT_EQ(ReadFileBytes(Host(MakeBackupPath(profile.mwcPath))), *m_stick.Options().mwc);
        EXPECT_TRUE(HiddenEntries(m_root).empty()) << ::testing::PrintToString(HiddenEntries(m_root));
        m_lastReplaced = replaced;
    }

    TempDir m_dir;
    SaveWorld m_world{m_dir.Path()};
    std::string m_root = m_dir / "stick";
    StickBuilder m_stick;
    std::optional<MwcContainer> m_stockContainer;
    std::vector<uint8_t> m_backup;
    int m_lastReplaced = 0;
};

// --- Every profile, on a built stick and on the demo stick that `make run` opens: a first save,
// a later one with other choices, and one that clears them all ---

class EveryProfileSave : public SaveTest, public ::testing::WithParamInterface<std::tuple<int, bool>> {
protected:
    const ModelProfile& Profile() const { return ProfileTable[std::get<0>(GetParam())]; }
};

TEST_P(EveryProfileSave, EachSaveAppliesExactlyItsOwnChoicesToTheStockConfiguration) {
    if (std::get<1>(GetParam())) {
        m_stick = DemoStick(Profile());
        m_stockContainer = DemoContainer(Profile());
    } else {
        m_stick = StickBuilder(Profile());
    }
    ASSERT_TRUE(m_stick.Build(m_root));

    const AssignmentTable first = FirstChoices(Profile());
    ASSERT_NO_FATAL_FAILURE(SaveAndCheck(first));
    // Every assigned key is named by at least one record of the configuration.
    const auto assigned = std::count_if(first.begin(), first.end(), [](const auto& slot) { return slot.has_value(); });
    EXPECT_GE(m_lastReplaced, assigned);
    EXPECT_GE(assigned, 3);

    // A new run: the stick is opened again and the user makes other choices.
    ASSERT_NO_FATAL_FAILURE(SaveAndCheck(SecondChoices(Profile())));
    EXPECT_GE(m_lastReplaced, 1);

    // Everything set back to the stock sounds: no archive, the stock configuration, an empty record.
    ASSERT_NO_FATAL_FAILURE(SaveAndCheck(AssignmentTable(static_cast<size_t>(Profile().catalogCount))));
    EXPECT_EQ(m_lastReplaced, 0);
    EXPECT_EQ(GunzipBytes(ReadFileBytes(Host(Profile().mwcPath))), BuildContainer(StockContainer()));
    EXPECT_EQ(ReadFileText(Host(MakeRecordPath(Profile().mwcPath))), "");
}

INSTANTIATE_TEST_SUITE_P(Profiles, EveryProfileSave,
                         ::testing::Combine(::testing::Range(0, ProfileCount), ::testing::Bool()),
                         [](const auto& info) {
                             return "Row" + std::to_string(std::get<0>(info.param)) +
                                    (std::get<1>(info.param) ? "Demo" : "");
                         });

// --- Sticks as they are met after earlier runs ---

TEST_F(SaveTest, NothingChangedTouchesNeitherTheStickNorTheWorkFolder) {
    m_stick = StickBuilder(ProfileTable[2]).AudioArchive();
    ASSERT_TRUE(m_stick.Build(m_root));
    CustomizationState state;
    // Choices reloaded from a record do not count as a change.
    ASSERT_NO_FATAL_FAILURE(Open(state, FirstChoices(ProfileTable[2]), false));
    const Snapshot stick = TakeSnapshot(m_root);
    const Snapshot program = TakeSnapshot(m_world.Program());

    EXPECT_EQ(SaveCustomization(state), SaveOutcome::NothingChanged);
    EXPECT_EQ(PromptScript::ShownTexts(), std::vector<std::string>{"Nothing changed, nothing saved"});
    EXPECT_EQ(TakeSnapshot(m_root), stick);
    EXPECT_EQ(TakeSnapshot(m_world.Program()), program);
    EXPECT_FALSE(state.Modified);
}

TEST_F(SaveTest, ALowerCaseStickIsSavedUnderItsOwnNames) {
    const ModelProfile& profile = ProfileTable[4];
    m_stick = StickBuilder(profile).LowerCaseNames().AudioArchive().Record("old=line.wav\r\n");
    m_stick.Backup(*m_stick.Options().mwc);
    ASSERT_TRUE(m_stick.Build(m_root));
    ASSERT_NO_FATAL_FAILURE(SaveAndCheck(FirstChoices(profile)));
    // Each file was replaced where it was; no second spelling appeared beside it.
    for (const auto& [name, bytes] : TakeSnapshot(m_root)) {
        EXPECT_EQ(name, LowerAscii(name));
    }
}

// --- The file system of the robot's own sticks: FAT, through FUSE ---

TEST_F(SaveTest, ASaveOnAFatStickLeavesItCleanAndReadsBackAsExpected) {
    std::map<std::string, std::string> tools;
    for (const char* tool : {"mkfs.vfat", "fusefat", "fusermount", "fsck.fat"}) {
        std::optional<std::string> path = FindProgram(tool);
        if (!path) {
            GTEST_SKIP() << "needs " << tool << " (packages dosfstools, fusefat)";
        }
        tools[tool] = *path;
    }
    if (access("/dev/fuse", R_OK | W_OK) != 0) {
        GTEST_SKIP() << "needs FUSE (/dev/fuse)";
    }
    const std::string image = m_dir / "stick.img";
    ASSERT_EQ(RunProgram({tools["mkfs.vfat"], "-F", "16", "-C", image, "16384"}), 0);
    ASSERT_TRUE(MakeFolders(m_root));
    const auto mount = [&](bool writable) {
        return RunProgram({tools["fusefat"], "-o", writable ? "rw+" : "ro", image, m_root}) == 0;
    };
    // Opening the stick made it the current folder, which would keep it busy.
    const auto unmount = [&] {
        return ChangeDirectory(m_dir.Path()) && RunProgram({tools["fusermount"], "-u", m_root}) == 0;
    };
    ASSERT_TRUE(mount(true));
    struct Unmount {
        std::function<bool()> unmount;
        ~Unmount() { unmount(); }
    } guard{unmount};

    // Opening the stick makes the one-time backup; FUSE cannot rename without replacing
    // atomically, so this takes the way that looks first.
    const ModelProfile& profile = ProfileTable[2];
    m_stick = StickBuilder(profile);
    ASSERT_TRUE(m_stick.Build(m_root));
    const AssignmentTable slots = FirstChoices(profile);
    ASSERT_NO_FATAL_FAILURE(Save(slots));
    ASSERT_TRUE(unmount());

    const std::string fsck = m_dir / "fsck.log";
    EXPECT_EQ(RunProgram({tools["fsck.fat"], "-n", image}, fsck), 0) << ReadFileText(fsck);
    ASSERT_TRUE(mount(false));
    Check(slots);
}
