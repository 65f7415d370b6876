#include "stick/ModelProfiles.h"

#include "Resource.h"
#include "StickBuilder.h"
#include "TempDir.h"
#include "app/CustomizationState.h"
#include "catalog/SoundCatalogs.h"
#include "platform/ByteStream.h"
#include "platform/Dialog.h"
#include "platform/FileOps.h"
#include "platform/Prompt.h"
#include "sounds/StockLibrary.h"
#include "stick/StickPreparation.h"

#include <QApplication>
#include <QLabel>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <variant>

namespace {

const std::string kMultipleModels = "This stick supports multiple AIBO models\n"
                                    "Please run that memory stick in your AIBO first,\n"
                                    "then press the chest pause button";
const std::string kNotSupported = "That memory stick is not supported by Tonewright";

int Parse(const std::vector<uint8_t>& bytes) {
    MemorySource source(bytes.data(), bytes.size());
    return ParseRobotModel(source);
}

} // namespace

// --- The table ---

struct ExpectedRow {
    const char* name;
    SoftwareCode code;
    int32_t model;
    const char* mwcPath;
    const char* dataFolder;
    const CatalogEntry* catalog;
    int32_t catalogCount;
    const StockSoundLibrary* library;
};

TEST(ProfileTableRows, HoldTheSevenProfilesInOrder) {
    const ExpectedRow expected[ProfileCount] = {
        {"AiboLife 1",
         {0x00, 0x01, 0x02, 0xFF},
         0,
         "OPEN-R\\MW\\CONF\\ERS-210.MWC",
         "OPEN-R\\MW\\DATA\\P",
         AiboLife1Catalog,
         51,
         &AiboLife1Library},
        {"AiboLife 310",
         {0x00, 0x01, 0x0B, 0xFF},
         0,
         "OPEN-R\\MW\\CONF\\ERS-310.MWC",
         "OPEN-R\\MW\\DATA\\P\\ERS-31X",
         Ers310Catalog,
         22,
         &Ers310Library},
        {"AiboLife 2 (210)",
         {0x00, 0x01, 0x10, 0xFF},
         210,
         "OPEN-R\\MW\\CONF\\ERS-210\\ERS-210.MWC",
         "OPEN-R\\MW\\DATA\\P\\ERS-210",
         Ers210Catalog,
         51,
         &Ers210Library},
        {"Explorer (210)",
         {0x00, 0x01, 0x11, 0xFF},
         210,
         "OPEN-R\\MW\\CONF\\ERS-210\\ERS-210.MWC",
         "OPEN-R\\MW\\DATA\\P\\ERS-210",
         Ers210Catalog,
         51,
         &Ers210Library},
        {"AiboLife 2 (220)",
         {0x00, 0x01, 0x10, 0xFF},
         220,
         "OPEN-R\\MW\\CONF\\ERS-220\\ERS-220.MWC",
         "OPEN-R\\MW\\DATA\\P\\ERS-220",
         Ers220Catalog,
         14,
         &Ers220Library},
        {"Explorer (220)",
         {0x00, 0x01, 0x11, 0xFF},
         220,
         "OPEN-R\\MW\\CONF\\ERS-220\\ERS-220.MWC",
         "OPEN-R\\MW\\DATA\\P\\ERS-220",
         Ers220Catalog,
         14,
         &Ers220Library},
        {"Recognition (210)",
         {0x00, 0x01, 0x30, 0xFF},
         0,
         "OPEN-R\\MW\\CONF\\ERS-210.MWC",
         "OPEN-R\\MW\\DATA\\P",
         RecognitionCatalog,
         174,
         nullptr},
    };
    for (int i = 0; i < ProfileCount; ++i) {
        SCOPED_TRACE(i);
        const ModelProfile& row = ProfileTable[i];
        EXPECT_STREQ(row.name, expected[i].name);
        EXPECT_EQ(row.softwareCode, expected[i].code);
        EXPECT_EQ(row.model, expected[i].model);
        EXPECT_STREQ(row.mwcPath, expected[i].mwcPath);
        EXPECT_STREQ(row.dataFolder, expected[i].dataFolder);
        EXPECT_EQ(row.catalog, expected[i].catalog);
        EXPECT_EQ(row.catalogCount, expected[i].catalogCount);
        EXPECT_EQ(row.stockLibrary, expected[i].library);
    }
}

TEST(ProfileTableRows, CountsMatchTheCatalogs) {
    EXPECT_EQ(ProfileTable[0].catalogCount, AiboLife1CatalogCount);
    EXPECT_EQ(ProfileTable[1].catalogCount, Ers310CatalogCount);
    EXPECT_EQ(ProfileTable[2].catalogCount, Ers210CatalogCount);
    EXPECT_EQ(ProfileTable[4].catalogCount, Ers220CatalogCount);
    EXPECT_EQ(ProfileTable[6].catalogCount, RecognitionCatalogCount);
}

TEST(RhapsodyKeyBytes, FollowTheStepOfTwentyNine) {
    EXPECT_EQ(RhapsodyKey[0], 0x5A);
    EXPECT_EQ(RhapsodyKey[1], 0x77);
    EXPECT_EQ(RhapsodyKey[2], 0x94);
    EXPECT_EQ(RhapsodyKey[9], 0x5F); // 0x5A + 261 wraps past 256
    EXPECT_EQ(RhapsodyKey[64], 0x9A);
    EXPECT_EQ(RhapsodyKey[95], 0x1D);
}

// --- The model file's contents ---

struct ModelText {
    const char* name;
    std::string text; // from offset 68 of the plain block
    int model;
};

void PrintTo(const ModelText& value, std::ostream* out) {
    *out << value.name;
}

class RhapsodyModelText : public ::testing::TestWithParam<ModelText> {};

TEST_P(RhapsodyModelText, ReadsAsAtoiWithinTheBlock) {
    EXPECT_EQ(Parse(ScrambleRhapsody(MakeRhapsodyBlock(GetParam().text))), GetParam().model);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RhapsodyModelText,
    ::testing::Values(ModelText{"EndedByZero", std::string("220\0", 4), 220}, ModelText{"Model210", "210", 210},
                      ModelText{"LeadingSpace", " 220", 220}, ModelText{"LeadingWhiteSpace", "\t\n\v\f\r 210", 210},
                      ModelText{"LetterAfter", "22x0", 22}, ModelText{"LetterBefore", "x220", 0},
                      ModelText{"PlusSign", "+210", 210}, ModelText{"MinusSign", "-210", -210},
                      ModelText{"SignAlone", "-", 0}, ModelText{"Nothing", "", 0}, ModelText{"Model310", "310", 310},
                      // 28 digits reach the last byte of the block; the number is cut there and saturates.
                      ModelText{"DigitsToTheEnd", std::string(28, '9'), 2147483647},
                      ModelText{"NegativeToTheEnd", "-" + std::string(27, '9'), -2147483647 - 1},
                      ModelText{"DigitsAtTheLastByte", std::string(27, ' ') + "7", 7}),
    [](const ::testing::TestParamInfo<ModelText>& info) { return std::string(info.param.name); });

TEST(RhapsodyFile, OnlyTheErsMarkerOpensTheNumber) {
    EXPECT_EQ(Parse(ScrambleRhapsody(MakeRhapsodyBlock("220", "ERS-"))), 220);
    EXPECT_EQ(Parse(ScrambleRhapsody(MakeRhapsodyBlock("220", "ERS_"))), 0);
    EXPECT_EQ(Parse(ScrambleRhapsody(MakeRhapsodyBlock("220", "ers-"))), 0);
    // Unscrambled bytes are not a valid file: the key is part of the format.
    EXPECT_EQ(Parse([] {
                  std::vector<uint8_t> plain = MakeRhapsodyBlock("220");
                  plain.push_back(0);
                  return plain;
              }()),
              0);
}

TEST(RhapsodyFile, MustBeExactly97BytesLong) {
    const std::vector<uint8_t> block = MakeRhapsodyBlock("220");
    EXPECT_EQ(Parse(ScrambleRhapsody(block, 97)), 220);
    EXPECT_EQ(Parse(ScrambleRhapsody(block, 96)), 0);
    EXPECT_EQ(Parse(ScrambleRhapsody(block, 98)), 0);
    EXPECT_EQ(Parse(ScrambleRhapsody(block, 0)), 0);
    EXPECT_EQ(Parse(ScrambleRhapsody(block, 4096)), 0);
}

TEST(RhapsodyFile, LastByteIsNeverRead) {
    std::vector<uint8_t> bytes = RhapsodyForModel(210);
    for (int last : {0x00, 0x0A, 0xFF}) {
        bytes[96] = static_cast<uint8_t>(last);
        EXPECT_EQ(Parse(bytes), 210);
    }
}

class RobotModelOnStick : public ::testing::Test {
protected:
    int ReadFrom(const StickBuilder& stick) {
        const std::string root = m_dir / "stick";
        EXPECT_TRUE(stick.Build(root));
        EXPECT_TRUE(ChangeDirectory(root));
        return ReadRobotModel();
    }
    TempDir m_dir;
};

TEST_F(RobotModelOnStick, ScrambledModelIsRead) {
    StickBuilder stick;
    stick.Model(220);
    EXPECT_EQ(ReadFrom(stick), 220);
}

TEST_F(RobotModelOnStick, LowerCaseNamesAreFound) {
    StickBuilder stick;
    stick.Model(220).LowerCaseNames();
    EXPECT_EQ(ReadFrom(stick), 220);
}

TEST_F(RobotModelOnStick, MissingFileGivesZero) {
    StickBuilder stick;
    stick.NoRhapsody();
    EXPECT_EQ(ReadFrom(stick), 0);
}

TEST_F(RobotModelOnStick, FolderInPlaceOfTheFileGivesZero) {
    StickBuilder stick;
    stick.NoRhapsody();
    ASSERT_TRUE(MakeFolders(m_dir / "stick/OPEN-R/APP/DATA/P/RHAPSODY"));
    EXPECT_EQ(ReadFrom(stick), 0);
}

// --- Choosing the profile, over whole sticks ---

enum class ModelFile { Absent, Size96, Size98 };

struct Combination {
    const char* name;
    SoftwareCode code;
    std::variant<int, ModelFile> model;
    int expectedRow; // -1: refused
    std::string message;
};

void PrintTo(const Combination& value, std::ostream* out) {
    *out << value.name;
}

class ProfileChoice : public ::testing::TestWithParam<Combination> {
protected:
    void SetUp() override { PromptScript::Activate(); }
    void TearDown() override { PromptScript::Deactivate(); }
    TempDir m_dir;
};

TEST_P(ProfileChoice, OpeningTheStickChoosesTheDesignedRow) {
    const Combination& c = GetParam();
    StickBuilder stick(ProfileTable[c.expectedRow >= 0 ? c.expectedRow : 0]);
    stick.Code(c.code);
    if (const int* model = std::get_if<int>(&c.model)) {
        stick.Model(*model);
    } else if (std::get<ModelFile>(c.model) == ModelFile::Absent) {
        stick.NoRhapsody();
    } else {
        size_t size = std::get<ModelFile>(c.model) == ModelFile::Size96 ? 96 : 98;
        stick.RhapsodyBytes(ScrambleRhapsody(MakeRhapsodyBlock("220"), size));
    }
    const std::string root = m_dir / "stick";
    ASSERT_TRUE(stick.Build(root));
    PromptScript::SetNextFileName(root + "/MEMSTICK.IND");

    CustomizationState state;
    const bool opened = OpenStick(state);
    if (c.expectedRow >= 0) {
        EXPECT_TRUE(opened);
        EXPECT_EQ(state.ActiveProfile, &ProfileTable[c.expectedRow]);
        EXPECT_EQ(PromptScript::Shown().size(), 1u) << "only the open-file dialog";
    } else {
        EXPECT_FALSE(opened);
        EXPECT_EQ(state.ActiveProfile, nullptr);
        EXPECT_FALSE(state.Assignments.has_value());
        ASSERT_EQ(PromptScript::Shown().size(), 2u);
        EXPECT_EQ(PromptScript::Shown()[1].kind, ShownPrompt::Kind::Message);
        EXPECT_EQ(PromptScript::Shown()[1].buttons, "OK");
        EXPECT_EQ(PromptScript::Shown()[1].text, c.message);
        // A refused stick is not touched: no backup.
        EXPECT_FALSE(PathExists(root + "/OPEN-R/MW/CONF/ERS-210.ORG"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    CodesAndModels, ProfileChoice,
    ::testing::Values(
        Combination{"AiboLife1WithModel220", {0x00, 0x01, 0x02, 0xFF}, 220, 0, ""},
        Combination{"AiboLife1WithoutModelFile", {0x00, 0x01, 0x02, 0xFF}, ModelFile::Absent, 0, ""},
        Combination{"AiboLife1FourthByteIgnored", {0x00, 0x01, 0x02, 0x00}, 210, 0, ""},
        Combination{"AiboLife310WithoutModelFile", {0x00, 0x01, 0x0B, 0xFF}, ModelFile::Absent, 1, ""},
        Combination{"AiboLife310WithModel310", {0x00, 0x01, 0x0B, 0x07}, 310, 1, ""},
        Combination{"AiboLife2With210", {0x00, 0x01, 0x10, 0xFF}, 210, 2, ""},
        Combination{"AiboLife2With220PassesOverRow2", {0x00, 0x01, 0x10, 0xFF}, 220, 4, ""},
        Combination{"ExplorerWith210", {0x00, 0x01, 0x11, 0xFF}, 210, 3, ""},
        Combination{"ExplorerWith220", {0x00, 0x01, 0x11, 0xFF}, 220, 5, ""},
        Combination{"ExplorerFourthByteIgnored", {0x00, 0x01, 0x11, 0x00}, 220, 5, ""},
        Combination{"RecognitionWithoutModelFile", {0x00, 0x01, 0x30, 0xFF}, ModelFile::Absent, 6, ""},
        Combination{"RecognitionWithModel220", {0x00, 0x01, 0x30, 0xFF}, 220, 6, ""},
        Combination{"AiboLife2WithoutModelFile", {0x00, 0x01, 0x10, 0xFF}, ModelFile::Absent, -1, kMultipleModels},
        Combination{"AiboLife2With96ByteModelFile", {0x00, 0x01, 0x10, 0xFF}, ModelFile::Size96, -1, kMultipleModels},
        Combination{"AiboLife2With98ByteModelFile", {0x00, 0x01, 0x10, 0xFF}, ModelFile::Size98, -1, kMultipleModels},
        Combination{"AiboLife2With310", {0x00, 0x01, 0x10, 0xFF}, 310, -1, kMultipleModels},
        Combination{"ExplorerWithoutModelFile", {0x00, 0x01, 0x11, 0xFF}, ModelFile::Absent, -1, kMultipleModels},
        Combination{"ExplorerWith310", {0x00, 0x01, 0x11, 0xFF}, 310, -1, kMultipleModels},
        Combination{"UnknownThirdByte", {0x00, 0x01, 0x20, 0xFF}, 210, -1, kNotSupported},
        Combination{"UnknownFirstByte", {0x01, 0x01, 0x02, 0xFF}, 210, -1, kNotSupported},
        Combination{"UnknownSecondByte", {0x00, 0x00, 0x10, 0xFF}, 220, -1, kNotSupported}),
    [](const ::testing::TestParamInfo<Combination>& info) { return std::string(info.param.name); });

TEST(SelectProfileDirect, WorksWithoutAWindowAndKeepsFailuresUnset) {
    PromptScript::Activate();
    CustomizationState state;
    EXPECT_TRUE(SelectProfile(state, {0x00, 0x01, 0x11, 0x00}, 210));
    EXPECT_EQ(state.ActiveProfile, &ProfileTable[3]);

    CustomizationState refused;
    EXPECT_FALSE(SelectProfile(refused, {0x00, 0x01, 0x11, 0xFF}, 0));
    EXPECT_EQ(refused.ActiveProfile, nullptr);
    EXPECT_EQ(PromptScript::ShownTexts(), std::vector<std::string>{kMultipleModels});
    PromptScript::Deactivate();
}

TEST(SelectProfileDirect, ShowsTheChosenNameInTheDialog) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    int argc = 1;
    char name[] = "ModelProfilesTest";
    char* argv[] = {name, nullptr};
    std::unique_ptr<QApplication> app;
    if (QApplication::instance() == nullptr) {
        app = std::make_unique<QApplication>(argc, argv);
    }
    PromptScript::Activate();
    {
        CDialog dialog;
        auto* label = new QLabel("Static", &dialog);
        dialog.SetControlId(label, IDC_PROFILE_NAME);
        SetMainWindow(&dialog);

        CustomizationState refused;
        EXPECT_FALSE(SelectProfile(refused, {0x00, 0x01, 0x20, 0xFF}, 210));
        EXPECT_EQ(dialog.GetDlgItemText(IDC_PROFILE_NAME), "Static");

        CustomizationState state;
        EXPECT_TRUE(SelectProfile(state, {0x00, 0x01, 0x10, 0xFF}, 220));
        EXPECT_EQ(dialog.GetDlgItemText(IDC_PROFILE_NAME), "AiboLife 2 (220)");
        SetMainWindow(nullptr);
    }
    PromptScript::Deactivate();
}
