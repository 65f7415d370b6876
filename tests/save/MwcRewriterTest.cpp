#include "writer/MwcRewriter.h"

#include "ContainerBuilder.h"
#include "FailSink.h"
#include "TempDir.h"
#include "app/CustomizationState.h"
#include "catalog/SoundCatalogs.h"
#include "stick/ModelProfiles.h"

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

int ReadOnlyPass(const std::vector<uint8_t>& input, const MwcTextCallback& callback) {
    MemorySource source(input.data(), input.size());
    return RewriteMwcEntries(source, nullptr, callback);
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
    ASSERT_EQ(BuildContainer(OneRecord("bark_hi")), input);

    Recorder recorder;
    recorder.replacements = {{"bark_hi", "u_bark"}};
    std::vector<uint8_t> output;
    ASSERT_EQ(RewriteInMemory(input, output, recorder.Callback()), 0);

    std::vector<uint8_t> expected(input.begin(), input.begin() + 52); // every header unchanged
    expected.push_back(6);                                            // textLength 6
    expected.insert(expected.end(), {'u', '_', 'b', 'a', 'r', 'k'});  // the new text
    EXPECT_EQ(output, expected);
    EXPECT_EQ(recorder.seen, (std::vector<SeenText>{{7, 0x2010, "bark_hi"}}));
}

TEST(MwcRewrite, EveryRecordReachesTheCallbackInOrderAndAnUnchangedCopyIsIdentical) {
    const std::vector<uint8_t> input = BuildContainer(SampleContainer());
    Recorder writing;
    std::vector<uint8_t> output;
    ASSERT_EQ(RewriteInMemory(input, output, writing.Callback()), 0);
    EXPECT_EQ(output, input);
    EXPECT_EQ(writing.seen, (std::vector<SeenText>{{0x100, 0x2010, "up1_joy1_x2s"},
                                                   {0x100, 0x3000, "motion_sit"},
                                                   {0x300, 0x2010, "wakeup_nxs"},
                                                   {0x300, 0x2010, std::string(99, 'w')},
                                                   {0x300, 0x2010, "ab"}}));
    // A pass that only reads sees the same.
    Recorder reading;
    EXPECT_EQ(ReadOnlyPass(input, reading.Callback()), 0);
    EXPECT_EQ(reading.seen, writing.seen);
}

TEST(MwcRewrite, BytesAfterTheLastCountedRecordAreNotCopied) {
    MwcContainer container = SampleContainer();
    std::vector<uint8_t> exact = BuildContainer(container);
    container.trailing = {'C', 'M', 'A', 'C', 0xFF, 0x00};
    std::vector<uint8_t> output;
    ASSERT_EQ(RewriteInMemory(BuildContainer(container), output, LeaveAlone), 0);
    EXPECT_EQ(output, exact);
}

TEST(MwcRewrite, ACallbackThatThrowsFailsTheRewrite) {
    std::vector<uint8_t> output;
    auto thrower = [](uint32_t, uint32_t, char*) { throw std::runtime_error("callback"); };
    EXPECT_EQ(RewriteInMemory(BuildContainer(OneRecord("bark_hi")), output, thrower), -1);
}

TEST(MwcRewrite, InputEndingBeforeTheCountsAreMetFailsAtEveryLength) {
    std::vector<uint8_t> input = BuildContainer(SampleContainer());
    for (size_t length = 0; length < input.size(); ++length) {
        SCOPED_TRACE(length);
        std::vector<uint8_t> cut(input.begin(), input.begin() + static_cast<long>(length));
        std::vector<uint8_t> output;
        EXPECT_EQ(RewriteInMemory(cut, output, LeaveAlone), -1);
        EXPECT_EQ(ReadOnlyPass(cut, LeaveAlone), -1);
    }
}

TEST(MwcRewrite, AWriteFailingAtAnyOffsetFailsTheRewrite) {
    std::vector<uint8_t> input = BuildContainer(SampleContainer());
    for (size_t capacity = 0; capacity < input.size(); ++capacity) {
        SCOPED_TRACE(capacity);
        MemorySource source(input.data(), input.size());
        FailSink sink(capacity);
        EXPECT_EQ(RewriteMwcEntries(source, &sink, LeaveAlone), -1);
    }
}

// One record's text, as stored and as the callback leaves it: what a writing and a reading pass give.
struct TextCase {
    const char* name;
    std::string text;
    std::optional<std::string> replacement; // what the callback writes, if anything
    int result;                             // of a writing pass
    int readOnlyResult;
    std::string written; // the text in the output when the result is 0
};

void PrintTo(const TextCase& value, std::ostream* out) {
    *out << value.name;
}

class RecordText : public ::testing::TestWithParam<TextCase> {};

TEST_P(RecordText, IsWrittenUpToItsFirstZeroByteWhenItHas2To99Bytes) {
    const TextCase& c = GetParam();
    const MwcTextCallback callback = [&c](uint32_t, uint32_t, char* text) {
        if (c.replacement) {
            std::memcpy(text, c.replacement->c_str(), c.replacement->size() + 1);
        }
    };
    const std::vector<uint8_t> input = BuildContainer(OneRecord(c.text));
    std::vector<uint8_t> output;
    EXPECT_EQ(RewriteInMemory(input, output, callback), c.result);
    if (c.result == 0) {
        EXPECT_EQ(output, BuildContainer(OneRecord(c.written)));
    }
    EXPECT_EQ(ReadOnlyPass(input, callback), c.readOnlyResult);
}

INSTANTIATE_TEST_SUITE_P(
    MwcRewrite, RecordText,
    ::testing::Values(TextCase{"Length0", "", std::nullopt, -1, -1, ""},
                      TextCase{"Length1", "k", std::nullopt, -1, -1, ""},
                      TextCase{"Length2", "kk", std::nullopt, 0, 0, "kk"},
                      TextCase{"Length99", std::string(99, 'k'), std::nullopt, 0, 0, std::string(99, 'k')},
                      TextCase{"Length100", std::string(100, 'k'), std::nullopt, -1, -1, ""},
                      TextCase{"Length255", std::string(255, 'k'), std::nullopt, -1, -1, ""},
                      TextCase{"ZeroByteInside", std::string("ab\0cd", 5), std::nullopt, 0, 0, "ab"},
                      // A length byte of 0 or 1 would make a container no reader accepts; a reading pass writes none.
                      TextCase{"ZeroByteFirst", std::string("\0bc", 3), std::nullopt, -1, 0, ""},
                      TextCase{"ZeroByteSecond", std::string("a\0c", 3), std::nullopt, -1, 0, ""},
                      TextCase{"CallbackEmptiesIt", "bark_hi", "", -1, 0, ""},
                      TextCase{"CallbackLeavesOneCharacter", "bark_hi", "x", -1, 0, ""},
                      TextCase{"CallbackWritesTheLongest", "bark_hi", std::string(99, 'x'), 0, 0, std::string(99, 'x')},
                      TextCase{"CallbackOverfillsIt", "bark_hi", std::string(100, 'x'), -1, 0, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// A container whose counts say there is nothing is its header alone, or its one block's header.
class EmptyCounts : public ::testing::TestWithParam<std::pair<int32_t, int32_t>> {};

TEST_P(EmptyCounts, CopyOnlyTheHeadersThatAreCounted) {
    MwcContainer container = OneRecord("bark_hi");
    container.blockCountOverride = GetParam().first;
    container.blocks[0].recordCountOverride = GetParam().second;
    std::vector<uint8_t> input = BuildContainer(container);
    Recorder recorder;
    std::vector<uint8_t> output;
    ASSERT_EQ(RewriteInMemory(input, output, recorder.Callback()), 0);
    EXPECT_EQ(output, std::vector<uint8_t>(input.begin(), input.begin() + (GetParam().first > 0 ? 28 : 16)));
    EXPECT_TRUE(recorder.seen.empty());
}

INSTANTIATE_TEST_SUITE_P(MwcRewrite, EmptyCounts,
                         ::testing::Values(std::pair{0, 1}, std::pair{INT32_MIN, 1}, std::pair{1, 0},
                                           std::pair{1, -5}));

// Damage at one offset of a well-formed container.
class Damaged : public ::testing::TestWithParam<std::pair<size_t, uint8_t>> {};

TEST_P(Damaged, FailsTheRewrite) {
    std::vector<uint8_t> input = BuildContainer(OneRecord("bark_hi"));
    input[GetParam().first] = GetParam().second;
    std::vector<uint8_t> output;
    EXPECT_EQ(RewriteInMemory(input, output, LeaveAlone), -1);
}

// The file magic, a format of 2, the block magic, the record magic.
INSTANTIATE_TEST_SUITE_P(MwcRewrite, Damaged,
                         ::testing::Values(std::pair<size_t, uint8_t>{0, 'm'}, std::pair<size_t, uint8_t>{4, 2},
                                           std::pair<size_t, uint8_t>{19, 'd'}, std::pair<size_t, uint8_t>{28, 'X'}));

class MwcRewriteFiles : public ::testing::Test {
protected:
    TempDir m_dir;
    std::string m_input = m_dir / "$TMP$.MWC";
    std::string m_output = m_dir / "$TMP$.ODA";
};

TEST_F(MwcRewriteFiles, ReplacesTheOutputWithACopyHoldingTheCallbacksTexts) {
    ASSERT_TRUE(WriteFileBytes(m_input, BuildContainer(SampleContainer())));
    ASSERT_TRUE(WriteFileText(m_output, std::string(5000, 'o')));
    Recorder recorder;
    recorder.replacements = {{"wakeup_nxs", "u_wake"}};
    ASSERT_EQ(RewriteMwcEntries(m_input, m_output, recorder.Callback()), 0);

    MwcContainer expected = SampleContainer();
    expected.blocks[2].records[0].text = "u_wake";
    EXPECT_EQ(ReadFileBytes(m_output), BuildContainer(expected));
    EXPECT_EQ(ReadFileBytes(m_input), BuildContainer(SampleContainer()));
}

TEST_F(MwcRewriteFiles, WithoutAnOutputNothingIsWritten) {
    ASSERT_TRUE(WriteFileBytes(m_input, BuildContainer(SampleContainer())));
    Recorder recorder;
    EXPECT_EQ(RewriteMwcEntries(m_input, std::nullopt, recorder.Callback()), 0);
    EXPECT_EQ(recorder.seen.size(), 5u);
    EXPECT_EQ(ListFolder(m_dir.Path()), std::vector<std::string>{"$TMP$.MWC"});
}

TEST_F(MwcRewriteFiles, FilesThatCannotBeOpenedOrWrittenOutFail) {
    EXPECT_EQ(RewriteMwcEntries(m_input, m_output, LeaveAlone), -1);
    EXPECT_FALSE(PathExists(m_output));
    ASSERT_TRUE(WriteFileBytes(m_input, BuildContainer(SampleContainer())));
    EXPECT_EQ(RewriteMwcEntries(m_input, m_dir / "missing/$TMP$.ODA", LeaveAlone), -1);
    // Data that never reach the device: the close reports it.
    if (PathExists("/dev/full")) {
        EXPECT_EQ(RewriteMwcEntries(m_input, std::string("/dev/full"), LeaveAlone), -1);
    }
}

TEST_F(MwcRewriteFiles, AFailedRewriteLeavesThePartialOutput) {
    MwcContainer container = OneRecord("bark_hi");
    container.blocks[0].records[0].lengthOverride = 100;
    ASSERT_TRUE(WriteFileBytes(m_input, BuildContainer(container)));
    EXPECT_EQ(RewriteMwcEntries(m_input, m_output, LeaveAlone), -1);
    // The headers up to the damaged length byte made it out; removing them is the caller's call.
    EXPECT_EQ(ReadFileBytes(m_output).size(), 16u + 12u + 24u);
}

// --- The sound-name substitution (SoundNameSubstitutionTest holds the prepared form to it) ---

// A catalog in the shape of the real ones: category headers, the three kinds of key.
const CatalogEntry TestCatalog[] = {
    {nullptr, "Joy"},               // 0
    {"up1_joy1_x?s", "Joy sound"},  // 1
    {"wake*", "Waking up"},         // 2
    {nullptr, "Play"},              // 3
    {"hakken_ball", "Ball found"},  // 4
    {"hakken_*", "Anything found"}, // 5
    {"ab?", "Three characters"},    // 6
    {"abcd*", "Prefix"},            // 7
};

struct SubstitutionCase {
    const char* name;
    std::vector<std::pair<int, std::string>> assigned; // catalog row, file
    std::string text;
    std::string expected; // the text afterwards; counted when it changed
    uint32_t kind = SoundNameRecordKind;
};

void PrintTo(const SubstitutionCase& value, std::ostream* out) {
    *out << value.name;
}

class Substitution : public ::testing::TestWithParam<SubstitutionCase> {};

TEST_P(Substitution, ReplacesTheFirstAssignedMatchingKeysNameAndCountsIt) {
    const SubstitutionCase& c = GetParam();
    ModelProfile profile{};
    profile.catalog = TestCatalog;
    profile.catalogCount = static_cast<int>(std::size(TestCatalog));
    CustomizationState state;
    state.ActiveProfile = &profile;
    state.Assignments = AssignmentTable(std::size(TestCatalog));
    for (const auto& [row, file] : c.assigned) {
        (*state.Assignments)[static_cast<size_t>(row)] = file;
    }
    char buffer[128] = {};
    std::memcpy(buffer, c.text.c_str(), c.text.size() + 1);
    SubstituteSoundName(state, 0, c.kind, buffer);
    EXPECT_EQ(std::string(buffer), c.expected);
    EXPECT_EQ(state.ModifiedEntryCount, c.expected != c.text ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Substitution,
    ::testing::Values(
        SubstitutionCase{"OneCharacterWildcard", {{1, "Bark.WAV"}}, "up1_joy1_x2s", "u_bark"},
        SubstitutionCase{"WildcardTakesAnyCharacter", {{1, "Bark.WAV"}}, "up1_joy1_x#s", "u_bark"},
        SubstitutionCase{"Prefix", {{1, "Bark.WAV"}, {2, "Tune.MID"}}, "wakeup_nxs", "u_tune"},
        SubstitutionCase{"OtherKind", {{1, "Bark.WAV"}}, "up1_joy1_x2s", "up1_joy1_x2s", 0x2011},
        SubstitutionCase{"OtherLength", {{1, "Bark.WAV"}}, "up1_joy1_x12s", "up1_joy1_x12s"},
        SubstitutionCase{"CaseCounts", {{1, "Bark.WAV"}}, "UP1_joy1_x2s", "UP1_joy1_x2s"},
        SubstitutionCase{"MatchingKeyNotAssigned", {{1, "Bark.WAV"}}, "hakken_ball", "hakken_ball"},
        SubstitutionCase{"ThreeCharactersNeverLookedAt", {{6, "Bark.WAV"}}, "abc", "abc"},
        SubstitutionCase{"FourCharactersAreLookedAt", {{7, "Tune.MID"}}, "abcde", "u_tune"},
        SubstitutionCase{"OnlyMatchAssigned", {{5, "Any.wav"}}, "hakken_ball", "u_any"},
        SubstitutionCase{"FirstInCatalogOrderWins", {{5, "Any.wav"}, {4, "Ball.wav"}}, "hakken_ball", "u_ball"},
        SubstitutionCase{"FileNameTooLong", {{1, std::string(29, 'x') + ".wav"}}, "up1_joy1_x2s", "up1_joy1_x2s"},
        SubstitutionCase{"FileNameWithoutDot", {{4, "README"}}, "hakken_ball", "hakken_ball"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
