#include "writer/MwcRewriter.h"

#include "ContainerBuilder.h"
#include "FailSink.h"
#include "TempDir.h"
#include "app/CustomizationState.h"
#include "catalog/SoundCatalogs.h"
#include "stick/ModelProfiles.h"

#include <climits>
#include <cstring>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

struct SeenText {
    uint32_t blockId;
    uint32_t kind;
    std::string text;
    bool operator==(const SeenText&) const = default;
};

// A callback that records what it is given and replaces the texts found in `replacements`.
struct Recorder {
    std::vector<SeenText> seen;
    std::vector<std::pair<std::string, std::string>> replacements;

    MwcTextCallback Callback() {
        return [this](uint32_t blockId, uint32_t kind, char* text) {
            seen.push_back({blockId, kind, text});
            for (const auto& [from, to] : replacements) {
                if (from == text) {
                    std::memcpy(text, to.c_str(), to.size() + 1);
                    break;
                }
            }
        };
    }
};

const MwcTextCallback LeaveAlone = [](uint32_t, uint32_t, char*) {};

int RewriteInMemory(const std::vector<uint8_t>& input, std::vector<uint8_t>& output, const MwcTextCallback& callback) {
    MemorySource source(input.data(), input.size());
    MemorySink sink;
    int result = RewriteMwcEntries(source, &sink, callback);
    output = sink.Bytes();
    return result;
}

MwcContainer OneRecord(const std::string& text, uint32_t kind = SoundRecordKind) {
    MwcContainer container;
    container.blocks.push_back({7, {{kind, text, {}, std::nullopt}}, std::nullopt});
    return container;
}

// Several blocks, kinds and text lengths; nothing in it is malformed.
MwcContainer SampleContainer() {
    MwcContainer container;
    container.reserved = 0xA1B2C3D4;
    MwcRecord sound{SoundRecordKind, "up1_joy1_x2s", {}, std::nullopt};
    sound.details = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    container.blocks.push_back({0x100, {sound, {0x3000, "motion_sit", {}, std::nullopt}}, std::nullopt});
    container.blocks.push_back({0x200, {}, std::nullopt});
    container.blocks.push_back({0x300,
                                {{SoundRecordKind, "wakeup_nxs", {}, std::nullopt},
                                 {SoundRecordKind, std::string(99, 'w'), {}, std::nullopt},
                                 {SoundRecordKind, "ab", {}, std::nullopt}},
                                std::nullopt});
    return container;
}

TEST(MwcRewrite, AReplacedTextChangesOnlyTheLengthByteAndTheText) {
    // One block with one record whose text has 7 bytes: 16 + 12 + 24 + 1 + 7 = 60 bytes.
    const std::vector<uint8_t> input = {
        'M',  'W',  'C', 'M',                                           // file magic
        1,    0,    0,   0,                                             // format 1
        1,    0,    0,   0,                                             // blockCount 1
        0,    0,    0,   0,                                             // reserved
        'M',  'C',  'I', 'D',                                           // block magic
        7,    0,    0,   0,                                             // blockId 7
        1,    0,    0,   0,                                             // recordCount 1
        'C',  'M',  'A', 'C',                                           // record magic
        0x10, 0x20, 0,   0,                                             // kind 0x2010
        0,    0,    0,   0,   0,   0,   0,   0, 0, 0, 0, 0, 0, 0, 0, 0, // details
        7,                                                              // textLength 7
        'b',  'a',  'r', 'k', '_', 'h', 'i',                            // text
    };
    ASSERT_EQ(input.size(), 60u);
    ASSERT_EQ(BuildContainer(OneRecord("bark_hi")), input);

    Recorder recorder;
    recorder.replacements = {{"bark_hi", "u_bark"}};
    std::vector<uint8_t> output;
    ASSERT_EQ(RewriteInMemory(input, output, recorder.Callback()), 0);

    std::vector<uint8_t> expected(input.begin(), input.begin() + 52); // every header unchanged
    expected.push_back(6);                                            // textLength 6
    for (char c : std::string("u_bark")) {                            // the new text
        expected.push_back(static_cast<uint8_t>(c));
    }
    EXPECT_EQ(output.size(), 59u);
    EXPECT_EQ(output, expected);
    EXPECT_EQ(recorder.seen, (std::vector<SeenText>{{7, 0x2010, "bark_hi"}}));
}

TEST(MwcRewrite, ACallbackThatChangesNothingGivesAnIdenticalCopy) {
    std::vector<uint8_t> input = BuildContainer(SampleContainer());
    std::vector<uint8_t> output;
    ASSERT_EQ(RewriteInMemory(input, output, LeaveAlone), 0);
    EXPECT_EQ(output, input);
}

TEST(MwcRewrite, EveryRecordReachesTheCallbackInOrderWithItsBlockAndKind) {
    Recorder recorder;
    std::vector<uint8_t> output;
    ASSERT_EQ(RewriteInMemory(BuildContainer(SampleContainer()), output, recorder.Callback()), 0);
    EXPECT_EQ(recorder.seen, (std::vector<SeenText>{{0x100, 0x2010, "up1_joy1_x2s"},
                                                    {0x100, 0x3000, "motion_sit"},
                                                    {0x300, 0x2010, "wakeup_nxs"},
                                                    {0x300, 0x2010, std::string(99, 'w')},
                                                    {0x300, 0x2010, "ab"}}));
}

TEST(MwcRewrite, BytesAfterTheLastCountedRecordAreNotCopied) {
    MwcContainer container = SampleContainer();
    std::vector<uint8_t> exact = BuildContainer(container);
    container.trailing = {'C', 'M', 'A', 'C', 0xFF, 0x00};
    std::vector<uint8_t> output;
    ASSERT_EQ(RewriteInMemory(BuildContainer(container), output, LeaveAlone), 0);
    EXPECT_EQ(output, exact);
}

TEST(MwcRewrite, ATextCutByAZeroByteIsWrittenUpToIt) {
    std::vector<uint8_t> output;
    ASSERT_EQ(RewriteInMemory(BuildContainer(OneRecord(std::string("ab\0cd", 5))), output, LeaveAlone), 0);
    EXPECT_EQ(output, BuildContainer(OneRecord("ab")));
}

TEST(MwcRewrite, ATextCutToFewerThanTwoBytesFails) {
    std::vector<uint8_t> output;
    EXPECT_EQ(RewriteInMemory(BuildContainer(OneRecord(std::string("\0bc", 3))), output, LeaveAlone), -1);
    // A length byte of 1 would make a container that no reader accepts.
    EXPECT_EQ(RewriteInMemory(BuildContainer(OneRecord(std::string("a\0c", 3))), output, LeaveAlone), -1);
    auto oneCharacter = [](uint32_t, uint32_t, char* text) { std::strcpy(text, "x"); };
    EXPECT_EQ(RewriteInMemory(BuildContainer(OneRecord("bark_hi")), output, oneCharacter), -1);
    // A read-only pass writes nothing and so has nothing to fail at.
    std::vector<uint8_t> input = BuildContainer(OneRecord(std::string("\0bc", 3)));
    MemorySource source(input.data(), input.size());
    EXPECT_EQ(RewriteMwcEntries(source, nullptr, LeaveAlone), 0);
}

TEST(MwcRewrite, ACallbackThatEmptiesOrOverfillsTheTextFails) {
    std::vector<uint8_t> input = BuildContainer(OneRecord("bark_hi"));
    std::vector<uint8_t> output;
    EXPECT_EQ(RewriteInMemory(input, output, [](uint32_t, uint32_t, char* text) { text[0] = '\0'; }), -1);
    auto overfill = [](uint32_t, uint32_t, char* text) {
        std::memset(text, 'x', 100);
        text[100] = '\0';
    };
    EXPECT_EQ(RewriteInMemory(input, output, overfill), -1);
    auto longest = [](uint32_t, uint32_t, char* text) {
        std::memset(text, 'x', 99);
        text[99] = '\0';
    };
    ASSERT_EQ(RewriteInMemory(input, output, longest), 0);
    EXPECT_EQ(output, BuildContainer(OneRecord(std::string(99, 'x'))));
}

TEST(MwcRewrite, ACallbackThatThrowsFailsTheRewrite) {
    std::vector<uint8_t> input = BuildContainer(OneRecord("bark_hi"));
    std::vector<uint8_t> output;
    auto thrower = [](uint32_t, uint32_t, char*) { throw std::runtime_error("callback"); };
    EXPECT_EQ(RewriteInMemory(input, output, thrower), -1);
}

TEST(MwcRewrite, InputEndingBeforeTheCountsAreMetFailsAtEveryLength) {
    std::vector<uint8_t> input = BuildContainer(SampleContainer());
    for (size_t length = 0; length < input.size(); ++length) {
        SCOPED_TRACE(length);
        std::vector<uint8_t> cut(input.begin(), input.begin() + static_cast<long>(length));
        std::vector<uint8_t> output;
        EXPECT_EQ(RewriteInMemory(cut, output, LeaveAlone), -1);
        MemorySource source(cut.data(), cut.size());
        EXPECT_EQ(RewriteMwcEntries(source, nullptr, LeaveAlone), -1);
    }
}

TEST(MwcRewrite, AWriteFailingAtAnyOffsetFailsTheRewrite) {
    std::vector<uint8_t> input = BuildContainer(SampleContainer());
    for (size_t capacity = 0; capacity < input.size(); ++capacity) {
        SCOPED_TRACE(capacity);
        MemorySource source(input.data(), input.size());
        FailSink sink(capacity);
        EXPECT_EQ(RewriteMwcEntries(source, &sink, LeaveAlone), -1);
        EXPECT_TRUE(sink.Failed());
    }
}

TEST(MwcRewrite, AReadOnlyPassSeesWhatAWritingPassSees) {
    std::vector<uint8_t> input = BuildContainer(SampleContainer());
    Recorder reading;
    Recorder writing;
    MemorySource source(input.data(), input.size());
    EXPECT_EQ(RewriteMwcEntries(source, nullptr, reading.Callback()), 0);
    std::vector<uint8_t> output;
    EXPECT_EQ(RewriteInMemory(input, output, writing.Callback()), 0);
    EXPECT_EQ(reading.seen, writing.seen);
}

// A container whose counts say there is nothing is its header alone.
struct EmptyCountCase {
    int32_t blockCount;
    int32_t recordCount;
};

class EmptyCounts : public ::testing::TestWithParam<EmptyCountCase> {};

TEST_P(EmptyCounts, CopyOnlyTheHeadersThatAreCounted) {
    MwcContainer container = OneRecord("bark_hi");
    container.blockCountOverride = GetParam().blockCount;
    container.blocks[0].recordCountOverride = GetParam().recordCount;
    std::vector<uint8_t> input = BuildContainer(container);
    size_t expectedSize = GetParam().blockCount > 0 ? 28 : 16;
    Recorder recorder;
    std::vector<uint8_t> output;
    ASSERT_EQ(RewriteInMemory(input, output, recorder.Callback()), 0);
    EXPECT_EQ(output, std::vector<uint8_t>(input.begin(), input.begin() + static_cast<long>(expectedSize)));
    EXPECT_TRUE(recorder.seen.empty());
}

INSTANTIATE_TEST_SUITE_P(MwcRewrite, EmptyCounts,
                         ::testing::Values(EmptyCountCase{0, 1}, EmptyCountCase{-1, 1}, EmptyCountCase{INT32_MIN, 1},
                                           EmptyCountCase{1, 0}, EmptyCountCase{1, -5}, EmptyCountCase{1, INT32_MIN}));

// Damage at one offset of a well-formed container.
struct DamageCase {
    const char* what;
    size_t offset;
    uint8_t value;
};

class Damaged : public ::testing::TestWithParam<DamageCase> {};

TEST_P(Damaged, FailsTheRewrite) {
    std::vector<uint8_t> input = BuildContainer(OneRecord("bark_hi"));
    input[GetParam().offset] = GetParam().value;
    std::vector<uint8_t> output;
    EXPECT_EQ(RewriteInMemory(input, output, LeaveAlone), -1);
}

INSTANTIATE_TEST_SUITE_P(MwcRewrite, Damaged,
                         ::testing::Values(DamageCase{"FileMagic", 0, 'm'}, DamageCase{"Format2", 4, 2},
                                           DamageCase{"Format0", 4, 0}, DamageCase{"BlockMagic", 19, 'd'},
                                           DamageCase{"RecordMagic", 28, 'X'}),
                         [](const auto& info) { return std::string(info.param.what); });

// The length byte decides how much text follows; only 2 to 99 is a well-formed record.
struct LengthCase {
    int length;
    int expected;
};

class TextLength : public ::testing::TestWithParam<LengthCase> {};

TEST_P(TextLength, IsAcceptedOnlyFrom2To99) {
    const int length = GetParam().length;
    MwcContainer container = OneRecord(std::string(static_cast<size_t>(length), 'k'));
    std::vector<uint8_t> input = BuildContainer(container);
    std::vector<uint8_t> output;
    EXPECT_EQ(RewriteInMemory(input, output, LeaveAlone), GetParam().expected);
    if (GetParam().expected == 0) {
        EXPECT_EQ(output, input);
    }
}

INSTANTIATE_TEST_SUITE_P(MwcRewrite, TextLength,
                         ::testing::Values(LengthCase{0, -1}, LengthCase{1, -1}, LengthCase{2, 0}, LengthCase{50, 0},
                                           LengthCase{99, 0}, LengthCase{100, -1}, LengthCase{255, -1}),
                         [](const auto& info) { return "Length" + std::to_string(info.param.length); });

class MwcRewriteFiles : public ::testing::Test {
protected:
    TempDir m_dir;
    std::string m_input = m_dir / "$TMP$.MWC";
    std::string m_output = m_dir / "$TMP$.ODA";
};

TEST_F(MwcRewriteFiles, CopiesTheFileWithTheCallbacksTexts) {
    ASSERT_TRUE(WriteFileBytes(m_input, BuildContainer(SampleContainer())));
    Recorder recorder;
    recorder.replacements = {{"wakeup_nxs", "u_wake"}};
    ASSERT_EQ(RewriteMwcEntries(m_input, m_output, recorder.Callback()), 0);

    MwcContainer expected = SampleContainer();
    expected.blocks[2].records[0].text = "u_wake";
    EXPECT_EQ(ReadFileBytes(m_output), BuildContainer(expected));
    EXPECT_EQ(ReadFileBytes(m_input), BuildContainer(SampleContainer()));
}

TEST_F(MwcRewriteFiles, ReplacesAnExistingOutput) {
    ASSERT_TRUE(WriteFileBytes(m_input, BuildContainer(OneRecord("bark_hi"))));
    ASSERT_TRUE(WriteFileText(m_output, std::string(500, 'o')));
    ASSERT_EQ(RewriteMwcEntries(m_input, m_output, LeaveAlone), 0);
    EXPECT_EQ(ReadFileBytes(m_output), BuildContainer(OneRecord("bark_hi")));
}

TEST_F(MwcRewriteFiles, WithoutAnOutputNothingIsWritten) {
    ASSERT_TRUE(WriteFileBytes(m_input, BuildContainer(SampleContainer())));
    Recorder recorder;
    EXPECT_EQ(RewriteMwcEntries(m_input, std::nullopt, recorder.Callback()), 0);
    EXPECT_EQ(recorder.seen.size(), 5u);
    EXPECT_EQ(ListFolder(m_dir.Path()), std::vector<std::string>{"$TMP$.MWC"});
}

TEST_F(MwcRewriteFiles, AMissingInputCreatesNoOutput) {
    EXPECT_EQ(RewriteMwcEntries(m_input, m_output, LeaveAlone), -1);
    EXPECT_FALSE(PathExists(m_output));
}

TEST_F(MwcRewriteFiles, AnOutputThatCannotBeCreatedFails) {
    ASSERT_TRUE(WriteFileBytes(m_input, BuildContainer(OneRecord("bark_hi"))));
    EXPECT_EQ(RewriteMwcEntries(m_input, m_dir / "missing/$TMP$.ODA", LeaveAlone), -1);
}

TEST_F(MwcRewriteFiles, AFailedRewriteLeavesThePartialOutput) {
    MwcContainer container = OneRecord("bark_hi");
    container.blocks[0].records[0].lengthOverride = 100;
    ASSERT_TRUE(WriteFileBytes(m_input, BuildContainer(container)));
    EXPECT_EQ(RewriteMwcEntries(m_input, m_output, LeaveAlone), -1);
    // The headers up to the damaged length byte made it out; removing them is the caller's call.
    EXPECT_EQ(ReadFileBytes(m_output).size(), 16u + 12u + 24u);
}

TEST_F(MwcRewriteFiles, DataThatNeverReachTheDeviceAreAFailure) {
    if (!PathExists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full";
    }
    ASSERT_TRUE(WriteFileBytes(m_input, BuildContainer(SampleContainer())));
    EXPECT_EQ(RewriteMwcEntries(m_input, std::string("/dev/full"), LeaveAlone), -1);
}

// A catalog in the shape of the real ones: category headers, the three kinds of key.
const CatalogEntry TestCatalog[] = {
    {nullptr, "Joy"},               // 0
    {"up1_joy1_x?s", "Joy sound"},  // 1
    {"wake*", "Waking up"},         // 2
    {nullptr, "Play"},              // 3
    {"hakken_ball", "Ball found"},  // 4
    {"hakken_*", "Anything found"}, // 5
};
constexpr int TestCatalogCount = static_cast<int>(std::size(TestCatalog));

class SubstituteSoundNameTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_profile.catalog = TestCatalog;
        m_profile.catalogCount = TestCatalogCount;
        m_state.ActiveProfile = &m_profile;
        m_state.Assignments = AssignmentTable(TestCatalogCount);
    }

    void Assign(int index, const std::string& fileName) {
        (*m_state.Assignments)[static_cast<size_t>(index)] = fileName;
    }

    std::string Substitute(const std::string& text, uint32_t kind = SoundNameRecordKind) {
        char buffer[100] = {};
        std::memcpy(buffer, text.c_str(), text.size() + 1);
        SubstituteSoundName(m_state, 0, kind, buffer);
        return buffer;
    }

    ModelProfile m_profile{};
    CustomizationState m_state;
};

TEST_F(SubstituteSoundNameTest, AMatchingSoundNameBecomesTheAssignedFilesCustomName) {
    Assign(1, "Bark.WAV");
    EXPECT_EQ(Substitute("up1_joy1_x2s"), "u_bark");
    EXPECT_EQ(m_state.ModifiedEntryCount, 1);
    EXPECT_EQ(Substitute("up1_joy1_x#s"), "u_bark");
    EXPECT_EQ(m_state.ModifiedEntryCount, 2);
}

TEST_F(SubstituteSoundNameTest, OnlySoundRecordsAreTouched) {
    Assign(1, "Bark.WAV");
    EXPECT_EQ(Substitute("up1_joy1_x2s", 0x2011), "up1_joy1_x2s");
    EXPECT_EQ(Substitute("up1_joy1_x2s", 0), "up1_joy1_x2s");
    EXPECT_EQ(m_state.ModifiedEntryCount, 0);
}

TEST_F(SubstituteSoundNameTest, NamesThatDoNotMatchAnAssignedKeyStay) {
    Assign(1, "Bark.WAV");
    Assign(2, "Tune.MID");
    EXPECT_EQ(Substitute("up1_joy1_x12s"), "up1_joy1_x12s"); // other length
    EXPECT_EQ(Substitute("UP1_joy1_x2s"), "UP1_joy1_x2s");   // case counts
    EXPECT_EQ(Substitute("hakken_ball"), "hakken_ball");     // matches, but not assigned
    EXPECT_EQ(Substitute("wak"), "wak");                     // too short to be looked at
    EXPECT_EQ(m_state.ModifiedEntryCount, 0);
    EXPECT_EQ(Substitute("wakeup_nxs"), "u_tune");
    EXPECT_EQ(m_state.ModifiedEntryCount, 1);
}

TEST_F(SubstituteSoundNameTest, AThreeCharacterTextIsNeverReplaced) {
    // "ab?" alone would match abc; names are only looked at from four characters on.
    static const CatalogEntry shortKeys[] = {{"ab?", "Three characters"}, {"abcd*", "Prefix"}};
    m_profile.catalog = shortKeys;
    m_profile.catalogCount = 2;
    m_state.Assignments = AssignmentTable{std::string("Bark.WAV"), std::string("Tune.MID")};
    EXPECT_EQ(Substitute("abc"), "abc");
    EXPECT_EQ(m_state.ModifiedEntryCount, 0);
    EXPECT_EQ(Substitute("abcde"), "u_tune");
    EXPECT_EQ(m_state.ModifiedEntryCount, 1);
}

TEST_F(SubstituteSoundNameTest, TheFirstAssignedEntryInCatalogOrderWinsAndCountsOnce) {
    Assign(5, "Any.wav");
    EXPECT_EQ(Substitute("hakken_ball"), "u_any");
    Assign(4, "Ball.wav");
    EXPECT_EQ(Substitute("hakken_ball"), "u_ball");
    EXPECT_EQ(m_state.ModifiedEntryCount, 2);
}

TEST_F(SubstituteSoundNameTest, AFileWithoutACustomSoundNameLeavesTheTextAlone) {
    Assign(1, std::string(29, 'x') + ".wav"); // 33 characters
    Assign(4, "README");
    EXPECT_EQ(Substitute("up1_joy1_x2s"), "up1_joy1_x2s");
    EXPECT_EQ(Substitute("hakken_ball"), "hakken_ball");
    EXPECT_EQ(m_state.ModifiedEntryCount, 0);
}

TEST_F(SubstituteSoundNameTest, WithoutAProfileOrAssignmentsNothingHappens) {
    m_state.Assignments.reset();
    EXPECT_EQ(Substitute("hakken_ball"), "hakken_ball");
    m_state.Assignments = AssignmentTable(2); // shorter than the catalog
    EXPECT_EQ(Substitute("hakken_ball"), "hakken_ball");
    m_state.ActiveProfile = nullptr;
    EXPECT_EQ(Substitute("hakken_ball"), "hakken_ball");
    EXPECT_EQ(m_state.ModifiedEntryCount, 0);
}

TEST_F(SubstituteSoundNameTest, ARewriteReplacesAndCountsEveryMatchingRecord) {
    Assign(1, "Bark.WAV");
    Assign(2, "Tune.MID");
    MwcContainer container;
    container.blocks.push_back({1,
                                {{SoundRecordKind, "up1_joy1_x2s", {}, std::nullopt},
                                 {0x3000, "up1_joy1_x2s", {}, std::nullopt},
                                 {SoundRecordKind, "hakken_ball", {}, std::nullopt}},
                                std::nullopt});
    container.blocks.push_back(
        {2,
         {{SoundRecordKind, "up1_joy1_x2s", {}, std::nullopt}, {SoundRecordKind, "wake", {}, std::nullopt}},
         std::nullopt});
    std::vector<uint8_t> output;
    ASSERT_EQ(RewriteInMemory(BuildContainer(container), output, SoundNameSubstitution(m_state)), 0);

    container.blocks[0].records[0].text = "u_bark";
    container.blocks[1].records[0].text = "u_bark";
    container.blocks[1].records[1].text = "u_tune";
    EXPECT_EQ(output, BuildContainer(container));
    EXPECT_EQ(m_state.ModifiedEntryCount, 3);
}

} // namespace
