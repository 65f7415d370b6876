#include "stick/ModelProfiles.h"

#include "StickBuilder.h"
#include "TempDir.h"
#include "app/CustomizationState.h"
#include "catalog/SoundCatalogs.h"
#include "platform/ByteStream.h"
#include "platform/Prompt.h"
#include "sounds/StockLibrary.h"
#include "stick/StickPreparation.h"

#include <gtest/gtest.h>
#include <variant>

namespace {

const std::string kMultipleModels = "This stick supports multiple AIBO models\n"
                                    "Please run that memory stick in your AIBO first,\n"
                                    "then press the chest pause button";
const std::string kNotSupported = "That memory stick is not supported by Tonewright";

// --- The table: where each robot software keeps its files on the stick ---

struct ExpectedRow {
    const char* name;
    uint8_t code; // the third byte; the others are 00 01 .. FF in every row
    int32_t model;
    const char* mwcPath;
    const char* dataFolder;
    const CatalogEntry* catalog;
    int32_t catalogCount;
    const StockSoundLibrary* library;
};

TEST(ProfileTableRows, HoldTheSevenProfilesInOrder) {
    const char* const conf = "OPEN-R\\MW\\CONF\\ERS-210.MWC";
    const char* const conf210 = "OPEN-R\\MW\\CONF\\ERS-210\\ERS-210.MWC";
    const char* const conf220 = "OPEN-R\\MW\\CONF\\ERS-220\\ERS-220.MWC";
    const char* const data = "OPEN-R\\MW\\DATA\\P";
    const char* const data210 = "OPEN-R\\MW\\DATA\\P\\ERS-210";
    const char* const data220 = "OPEN-R\\MW\\DATA\\P\\ERS-220";
    const ExpectedRow expected[ProfileCount] = {
        ExpectedRow("AiboLife 1", 0x02, 0, conf, data, AiboLife1Catalog, 51, &AiboLife1Library),
        ExpectedRow("AiboLife 310", 0x0B, 0, "OPEN-R\\MW\\CONF\\ERS-310.MWC", "OPEN-R\\MW\\DATA\\P\\ERS-31X",
                    Ers310Catalog, 22, &Ers310Library),
        ExpectedRow("AiboLife 2 (210)", 0x10, 210, conf210, data210, Ers210Catalog, 51, &Ers210Library),
        ExpectedRow("Explorer (210)", 0x11, 210, conf210, data210, Ers210Catalog, 51, &Ers210Library),
        ExpectedRow("AiboLife 2 (220)", 0x10, 220, conf220, data220, Ers220Catalog, 14, &Ers220Library),
        ExpectedRow("Explorer (220)", 0x11, 220, conf220, data220, Ers220Catalog, 14, &Ers220Library),
        ExpectedRow("Recognition (210)", 0x30, 0, conf, data, RecognitionCatalog, 174, nullptr),
    };
    for (int i = 0; i < ProfileCount; ++i) {
        SCOPED_TRACE(i);
        const ModelProfile& row = ProfileTable[i];
        EXPECT_STREQ(row.name, expected[i].name);
        EXPECT_EQ(row.softwareCode, (SoftwareCode{0x00, 0x01, expected[i].code, 0xFF}));
        EXPECT_EQ(row.model, expected[i].model);
        EXPECT_STREQ(row.mwcPath, expected[i].mwcPath);
        EXPECT_STREQ(row.dataFolder, expected[i].dataFolder);
        EXPECT_EQ(row.catalog, expected[i].catalog);
        EXPECT_EQ(row.catalogCount, expected[i].catalogCount);
        EXPECT_EQ(row.stockLibrary, expected[i].library);
    }
}

// The robot's model files are scrambled with this key; a changed byte leaves every model unread.
TEST(RhapsodyKeyBytes, FollowTheStepOfTwentyNine) {
    for (size_t i = 0; i < 96; ++i) {
        EXPECT_EQ(RhapsodyKey[i], static_cast<uint8_t>(0x5A + 29 * i)) << i;
    }
}

// --- The model file's contents ---

struct ModelText {
    const char* name;
    std::string text; // from offset 68 of the plain block
    int model;
    std::string marker = "ERS-"; // at offset 64
};

void PrintTo(const ModelText& value, std::ostream* out) {
    *out << value.name;
}

class RhapsodyModelText : public ::testing::TestWithParam<ModelText> {};

TEST_P(RhapsodyModelText, ReadsAsAtoiWithinTheBlock) {
    const std::vector<uint8_t> bytes = ScrambleRhapsody(MakeRhapsodyBlock(GetParam().text, GetParam().marker));
    MemorySource source(bytes.data(), bytes.size());
    EXPECT_EQ(ParseRobotModel(source), GetParam().model);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RhapsodyModelText,
    ::testing::Values(ModelText{"EndedByZero", std::string("220\0", 4), 220},
                      ModelText{"LeadingWhiteSpace", "\t\n\v\f\r 210", 210}, ModelText{"LetterAfter", "22x0", 22},
                      ModelText{"LetterBefore", "x220", 0}, ModelText{"MinusSign", "-210", -210},
                      ModelText{"Nothing", "", 0},
                      // 28 digits reach the last byte of the block; the number is cut there and saturates.
                      ModelText{"DigitsToTheEnd", std::string(28, '9'), 2147483647},
                      ModelText{"OtherMarker", "220", 0, "ERS_"}, ModelText{"LowerCaseMarker", "220", 0, "ers-"}),
    [](const ::testing::TestParamInfo<ModelText>& info) { return std::string(info.param.name); });

// --- Choosing the profile, over whole sticks ---

enum class ModelFile { Absent, Size96, Size98 };

struct Combination {
    const char* name;
    SoftwareCode code;
    std::variant<int, ModelFile> model;
    int expectedRow; // -1: refused with `message`
    std::string message;
    int assumedModel = 0; // --model
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

TEST_P(ProfileChoice, OpeningTheStickChoosesItsRowOrSaysWhyNot) {
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
    state.AssumedModel = c.assumedModel;
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
        Combination{"AiboLife2With210", {0x00, 0x01, 0x10, 0xFF}, 210, 2, ""},
        Combination{"AiboLife2With220PassesOverRow2", {0x00, 0x01, 0x10, 0xFF}, 220, 4, ""},
        Combination{"ExplorerWith210", {0x00, 0x01, 0x11, 0xFF}, 210, 3, ""},
        Combination{"ExplorerWith220FourthByteIgnored", {0x00, 0x01, 0x11, 0x00}, 220, 5, ""},
        Combination{"RecognitionWithoutModelFile", {0x00, 0x01, 0x30, 0xFF}, ModelFile::Absent, 6, ""},
        Combination{"AiboLife2WithoutModelFile", {0x00, 0x01, 0x10, 0xFF}, ModelFile::Absent, -1, kMultipleModels},
        Combination{"AiboLife2With96ByteModelFile", {0x00, 0x01, 0x10, 0xFF}, ModelFile::Size96, -1, kMultipleModels},
        Combination{"AiboLife2With98ByteModelFile", {0x00, 0x01, 0x10, 0xFF}, ModelFile::Size98, -1, kMultipleModels},
        Combination{"AiboLife2With310", {0x00, 0x01, 0x10, 0xFF}, 310, -1, kMultipleModels},
        Combination{"ExplorerWithoutModelFile", {0x00, 0x01, 0x11, 0xFF}, ModelFile::Absent, -1, kMultipleModels},
        // The model named on the command line counts only where the stick's cannot be read.
        Combination{"AiboLife2UnreadableModelAssumed220", {0x00, 0x01, 0x10, 0xFF}, ModelFile::Size96, 4, "", 220},
        Combination{"ExplorerWithoutModelFileAssumed210", {0x00, 0x01, 0x11, 0xFF}, ModelFile::Absent, 3, "", 210},
        Combination{"AiboLife2With210OverAssumed220", {0x00, 0x01, 0x10, 0xFF}, 210, 2, "", 220},
        Combination{"AiboLife2With310OverAssumed220", {0x00, 0x01, 0x10, 0xFF}, 310, -1, kMultipleModels, 220},
        Combination{"UnknownThirdByte", {0x00, 0x01, 0x20, 0xFF}, 210, -1, kNotSupported},
        Combination{"UnknownFirstByte", {0x01, 0x01, 0x02, 0xFF}, 210, -1, kNotSupported}),
    [](const ::testing::TestParamInfo<Combination>& info) { return std::string(info.param.name); });

} // namespace
