#include "DesignFacts.h"
#include "ProgramTexts.h"
#include "SampleSticks.h"
#include "SaveExpectations.h"
#include "StickFixture.h"

#include <filesystem>
#include <optional>
#include <tuple>

using Bytes = std::vector<uint8_t>;

static Bytes Model(const std::string& text, const std::string& marker = "ERS-", size_t size = 97) {
    return ScrambleRhapsody(MakeRhapsodyBlock(text, marker), size);
}

constexpr int kMultiple = -1;                     // the multiple-models message, then the question, cancelled
constexpr int kUnsupported = -2;                  // "That memory stick is not supported..."
constexpr int k210 = 0, k220 = 1, kNoAnswer = -1; // the answers to "Which AIBO ...?"

using Opening = StickFixture;

// The first row of the code that fits the model; the model file counts where it can be read, and
// --model only where it cannot. Where no row fits, the owner says which robot the stick is for.
TEST_F(Opening, TakesTheProfileOfTheCodeThatFitsTheModel) {
    // What, the VERSION code (first byte highest), the model file, --model, the answer to the
    // question, the row taken or why none, the prompts (F the file dialog, M a message, Q the
    // question). --model is the owner's answer given beforehand: then nothing is asked.
    const std::tuple<const char*, uint32_t, Bytes, int, int, int, const char*> cases[] = {
        {"AiboLife1", 0x000102FF, Model("220"), 0, kNoAnswer, 0, "F"},
        {"AiboLife310", 0x00010BFF, {}, 0, kNoAnswer, 1, "F"},
        {"AiboLife2 210", 0x000110FF, Model("210"), 220, kNoAnswer, 2, "F"},
        {"AiboLife2 220", 0x000110FF, Model("220"), 0, kNoAnswer, 4, "F"},
        {"Explorer 210", 0x000111FF, Model("210"), 0, kNoAnswer, 3, "F"},
        {"fourth byte ignored", 0x00011100, Model("220"), 0, kNoAnswer, 5, "F"},
        {"Recognition", 0x000130FF, {}, 0, kNoAnswer, 6, "F"},
        {"no model file, cancelled", 0x000110FF, {}, 0, kNoAnswer, kMultiple, "FMQ"},
        {"no model file, ERS-210", 0x000110FF, {}, 0, k210, 2, "FMQ"},
        {"no model file, ERS-220", 0x000111FF, {}, 0, k220, 5, "FMQ"},
        {"no model file, --model 210", 0x000111FF, {}, 210, k220, 3, "F"},
        {"310, ERS-220", 0x000110FF, Model("310"), 220, k220, 4, "FMQ"},
        {"not scrambled", 0x000110FF, ScrambleRhapsody(Model("220", "ERS-", 96)), 210, kNoAnswer, 2, "F"},
        {"lower-case marker", 0x000110FF, Model("220", "ers-"), 210, kNoAnswer, 2, "F"},
        {"white space first", 0x000110FF, Model("\t\n\v\f\r 220"), 210, kNoAnswer, 4, "F"},
        {"letter first", 0x000110FF, Model("x220"), 210, kNoAnswer, 2, "F"},
        {"letter after", 0x000110FF, Model("22x0"), 220, kNoAnswer, kMultiple, "FMQ"},
        {"negative", 0x000110FF, Model("-210"), 220, kNoAnswer, kMultiple, "FMQ"},
        {"digits to the end", 0x000110FF, Model(std::string(28, '9')), 220, kNoAnswer, kMultiple, "FMQ"},
        {"unknown third byte", 0x000120FF, Model("210"), 0, kNoAnswer, kUnsupported, "FM"},
        {"unknown first byte", 0x010102FF, Model("210"), 0, kNoAnswer, kUnsupported, "FM"},
    };
    for (const auto& [what, code, model, assumed, answer, row, prompts] : cases) {
        SCOPED_TRACE(what);
        StickBuilder stick(ProfileTable[std::max(row, 0)]);
        stick = WithCode(stick, {uint8_t(code >> 24), uint8_t(code >> 16), uint8_t(code >> 8), uint8_t(code)});
        model.empty() ? stick.NoRhapsody() : stick.RhapsodyBytes(model);
        const std::string root = Build(stick, what);
        const Snapshot before = TakeSnapshot(root);
        CustomizationState state;
        state.AssumedModel = assumed;
        PromptScript::Activate();
        if (answer != kNoAnswer) {
            PromptScript::SetNextChoice(answer);
        }
        EXPECT_EQ(Open(stick, root, state), row >= 0);
        EXPECT_EQ(state.ActiveProfile, row >= 0 ? &ProfileTable[row] : nullptr);
        ASSERT_EQ(Shown(), prompts);
        if (Shown() == "FMQ") {
            const ShownPrompt& question = PromptScript::Shown().back();
            EXPECT_EQ(question.text, Msg::WhichAibo);
            EXPECT_EQ(question.buttons, Msg::WhichAiboButtons);
            EXPECT_EQ(question.caption, "Tonewright");
            EXPECT_EQ(PromptScript::Shown()[1].text, Msg::MultipleModels);
        } else if (row == kUnsupported) {
            EXPECT_EQ(PromptScript::Shown().back().text, Msg::Unsupported);
        }
        // The question writes nothing: a stick that opens differs only by its new backup.
        Snapshot after = TakeSnapshot(root);
        if (row >= 0) {
            after.erase(
                std::filesystem::relative(stick.HostPath(root, MakeBackupPath(ProfileTable[row].mwcPath)), root));
        }
        EXPECT_EQ(after, before);
    }
}

class EveryProfile : public StickFixture, public ::testing::WithParamInterface<int> {};

// Each of the design's rows: a stick with the row's code and model and its files where the design
// puts them opens as that row in every field, with the row's empty assignments; one with its names
// in lower case is prepared exactly alike; the backup is made once and never again.
TEST_P(EveryProfile, OpensAsTheDesignsRowAndBacksItUpOnce) {
    const ModelProfile& profile = DesignProfile(GetParam());
    const StickBuilder original = StickBuilder(profile).MotionArchive({}).AudioArchive({});
    const StickBuilder lower = StickBuilder(original).HostNames(LowerAscii);
    const std::string originalRoot = Build(original, "original");
    const std::string root = Build(lower, "lower");
    for (const auto& [stick, at] : {std::pair{&original, originalRoot}, std::pair{&lower, root}}) {
        PromptScript::SetNextAnswer(true);
        CustomizationState state;
        ASSERT_TRUE(Open(*stick, at, state)) << ::testing::PrintToString(PromptScript::ShownTexts());
        const ModelProfile& taken = *state.ActiveProfile;
        const DesignProfileRow& row = kDesignProfiles[GetParam()];
        EXPECT_EQ(std::tie(taken.softwareCode, taken.model, taken.catalogCount),
                  std::tie(row.code, row.model, row.catalogCount));
        EXPECT_EQ(std::string(taken.name) + "|" + taken.mwcPath + "|" + taken.dataFolder + "|" +
                      (taken.stockLibrary ? "library" : ""),
                  std::string(row.name) + "|" + row.mwcPath + "|" + row.dataFolder + "|" +
                      (row.hasStockLibrary ? "library" : ""));
        EXPECT_EQ(state.Assignments, AssignmentTable(static_cast<size_t>(kDesignProfiles[GetParam()].catalogCount)));
        EXPECT_EQ(Shown(), "FQ");
    }
    EXPECT_EQ(TakeSnapshot(root, true), TakeSnapshot(originalRoot, true));
    // Whatever the configuration holds later, the backup stays as the first opening made it.
    const std::string mwc = original.HostPath(originalRoot, profile.mwcPath);
    const Bytes first = ReadFileBytes(mwc);
    ASSERT_TRUE(WriteFileBytes(mwc, {'n', 'e', 'w'}));
    CustomizationState state;
    ASSERT_TRUE(Open(original, originalRoot, state));
    EXPECT_EQ(Shown(), "F");
    EXPECT_EQ(ReadFileBytes(original.HostPath(originalRoot, MakeBackupPath(profile.mwcPath))), first);
}

INSTANTIATE_TEST_SUITE_P(Rows, EveryProfile, ::testing::Range(0, ProfileCount));

// MOTION.ODA or LED.ODA in the data folder (whatever it holds) is an older customization: Yes deletes them and
// AUDIO.ODA, No changes nothing. AUDIO.ODA alone is what our own saves leave, no reason to ask.
// The backup is what every save rebuilds from: one that exists is trusted without the
// configuration, and one that cannot be made whole is not made at all.
TEST_F(Opening, PreparesTheStickOrLeavesItAsItWas) {
    // What, the change to a valid stick, a folder made where a file should be, the answer, opened,
    // prompts shown, entries left in the data folder (-1: the stick as it was).
    const std::tuple<const char*, void (*)(StickBuilder&), const char*, bool, bool, const char*, int> cases[] = {
        {"motion, yes", [](StickBuilder& s) { s.MotionArchive({}).AudioArchive({}); }, "", true, true, "FQ", 0},
        {"motion, no", [](StickBuilder& s) { s.MotionArchive({}).AudioArchive({}); }, "", false, false, "FQ", -1},
        {"led", [](StickBuilder& s) { s.LedArchive({}).AudioArchive({}).HostNames(LowerAscii); }, "", true, true, "FQ",
         0},
        {"audio", [](StickBuilder& s) { s.AudioArchive({}); }, "", true, true, "F", 1},
        {"backup kept", [](StickBuilder& s) { s.NoMwc().Backup(SampleArchive("ORG")); }, "", true, true, "F", 0},
        {"no backup", [](StickBuilder& s) { s.NoMwc().MotionArchive({}).LedArchive({}); }, "", true, false, "FQM", 0},
        {"unreadable", [](StickBuilder& s) { s.NoMwc(); }, "OPEN-R/MW/CONF/ERS-210.MWC", true, false, "FM", -1},
    };
    for (const auto& [what, change, folder, yes, opens, shown, left] : cases) {
        SCOPED_TRACE(what);
        StickBuilder stick;
        change(stick);
        const std::string root = Build(stick, what);
        ASSERT_TRUE(MakeFolders(root + "/" + folder));
        const Snapshot before = TakeSnapshot(root);
        PromptScript::Activate();
        PromptScript::SetNextAnswer(yes);
        CustomizationState state;
        EXPECT_EQ(Open(stick, root, state), opens);
        EXPECT_EQ(state.Assignments.has_value(), opens);
        EXPECT_EQ(Shown(), shown);
        for (const ShownPrompt& prompt : PromptScript::Shown()) {
            if (prompt.kind != ShownPrompt::Kind::OpenFile) {
                const bool question = prompt.kind == ShownPrompt::Kind::Question;
                EXPECT_EQ(prompt.text, question ? Msg::OlderCustomization : Msg::BackupFailed);
                EXPECT_EQ(prompt.buttons, question ? Msg::YesNo : Msg::OK);
            }
        }
        if (left < 0) {
            EXPECT_EQ(TakeSnapshot(root), before);
        } else {
            EXPECT_EQ(ListFolder(stick.HostPath(root, ProfileTable[0].dataFolder)).size(), size_t(left));
        }
    }
}

// Root ignores file permissions: SaveDriver opens the stick (and tries to save) under a read-only
// bind mount.
TEST_F(Opening, WriteProtectedStickOpensOnlyWithItsBackup) {
    std::optional<std::vector<std::string>> wrapper = ReadOnlyMount();
    if (!wrapper || !SaveDriverPath()) {
        GTEST_SKIP() << "needs SaveDriver and a private mount namespace (root and unshare)";
    }
    const SaveWorld world(m_dir / "program");
    for (bool backup : {false, true}) {
        StickBuilder stick(ProfileTable[3]);
        stick.Options().backup = backup ? stick.Options().mwc : std::nullopt;
        const std::string root = Build(stick, backup ? "backup" : "none");
        const Snapshot before = TakeSnapshot(root);
        std::vector<std::string> command = *wrapper;
        command.push_back(root);
        const DriverReport report = RunSaveDriver(command, root, world, {}, m_dir / "driver.log");
        if (report.status == 90) {
            GTEST_SKIP() << "read-only bind mounts are not permitted here";
        }
        EXPECT_EQ(report.outcome, backup ? "KeepOpen" : "NotOpened") << ReadFileText(m_dir / "driver.log");
        EXPECT_EQ(TakeSnapshot(root), before);
    }
}
