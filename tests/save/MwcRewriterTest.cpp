// The configuration rewrite, record by record. Whole saves (SaveTest) check its output on every
// profile; the seed replays of tests/fuzz/MwcRewriteFuzz check it, and what it refuses, against the
// container's layout. Failing devices and callbacks, and texts a callback leaves, are checked here.
#include "writer/MwcRewriter.h"

#include "ContainerBuilder.h"
#include "FailSink.h"
#include "SaveExpectations.h"
#include "StickBuilder.h"
#include "catalog/SoundCatalogs.h"

#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <stdexcept>

namespace {

using namespace std::string_literals;

// Replaces each text by `to`, or leaves it when `to` is nothing.
MwcTextCallback Replacing(std::optional<std::string> to = {}) {
    return [to](uint32_t, uint32_t, char* text) {
        if (to) {
            std::memcpy(text, to->c_str(), to->size() + 1);
        }
    };
}

// The result of a writing pass into `output`, or of a pass that only reads without one.
int Rewrite(const std::vector<uint8_t>& input, std::vector<uint8_t>* output, const MwcTextCallback& callback) {
    MemorySource source(input.data(), input.size());
    MemorySink sink;
    const int result = RewriteMwcEntries(source, output != nullptr ? &sink : nullptr, callback);
    if (output != nullptr) {
        *output = sink.Bytes();
    }
    return result;
}

MwcContainer OneRecord(const std::string& text) {
    MwcContainer container;
    container.blocks.push_back({7, {{SoundRecordKind, text, {}, std::nullopt}}, std::nullopt});
    return container;
}

TEST(MwcRewrite, TheContainerIsLaidOutAsTheRobotReadsIt) {
    // "MWCM", format 1, one block, reserved; "MCID", block 7, one record; "CMAC", kind 0x2010, 16
    // bytes of details; the text's length and the text.
    const std::string robot =
        "MWCM\1\0\0\0\1\0\0\0\0\0\0\0MCID\7\0\0\0\1\0\0\0CMAC\x10\x20\0\0"s + std::string(16, '\0') + "\7bark_hi";
    EXPECT_EQ(BuildContainer(OneRecord("bark_hi")), std::vector<uint8_t>(robot.begin(), robot.end()));
}

// Damaged and cut containers, and the bytes after the last counted record (never copied), are left
// to the seed replays of MwcRewriteFuzz, which check them against the container's layout.
TEST(MwcRewrite, AnUnwritableOutputOrAThrowingCallbackFails) {
    const std::vector<uint8_t> good = BuildContainer(OneRecord("up1_joy1_x2s"));
    for (size_t capacity = 0; capacity < good.size(); ++capacity) {
        MemorySource source(good.data(), good.size());
        FailSink sink(capacity);
        EXPECT_EQ(RewriteMwcEntries(source, &sink, Replacing()), -1) << capacity;
    }
    std::vector<uint8_t> output;
    EXPECT_EQ(Rewrite(good, &output, [](uint32_t, uint32_t, char*) { throw std::runtime_error("callback"); }), -1);
}

// Texts as stored (2 to 99 bytes, written up to their first zero byte) the seed replays of
// MwcRewriteFuzz check; here, texts as a callback leaves them.
TEST(MwcRewrite, ATextACallbackLeavesIsWrittenWhenItHas2To99Bytes) {
    // What the callback makes of the text, the results of a writing and of a reading pass, and the
    // text written. A length byte under 2 or over 99 would make a container no reader accepts; a
    // reading pass writes none.
    const std::tuple<std::string, std::optional<std::string>, int, int, std::string> cases[] = {
        {"bark_hi", "u_bark", 0, 0, "u_bark"},
        {"bark_hi", "x", -1, 0, ""},
        {"bark_hi", std::string(99, 'x'), 0, 0, std::string(99, 'x')},
        {"bark_hi", std::string(100, 'x'), -1, 0, ""},
    };
    for (const auto& [text, replacement, result, readOnlyResult, written] : cases) {
        SCOPED_TRACE(text.substr(0, 8) + " -> " + replacement.value_or("").substr(0, 8));
        const std::vector<uint8_t> input = BuildContainer(OneRecord(text));
        std::vector<uint8_t> output;
        EXPECT_EQ(Rewrite(input, &output, Replacing(replacement)), result);
        EXPECT_EQ(output, result == 0 ? BuildContainer(OneRecord(written)) : output);
        EXPECT_EQ(Rewrite(input, nullptr, Replacing(replacement)), readOnlyResult);
    }
}

TEST(MwcRewriteFiles, WritesAWholeCopyOrFailsAndCreatesNothingWithoutAnInput) {
    TempDir dir;
    const std::string input = dir / "$TMP$.MWC", output = dir / "$TMP$.ODA";
    EXPECT_EQ(RewriteMwcEntries(input, output, Replacing()), -1);
    EXPECT_FALSE(PathExists(output));
    ASSERT_TRUE(WriteFileBytes(input, BuildContainer(OneRecord("bark_hi"))) &&
                WriteFileText(output, std::string(500, 'o')));
    ASSERT_EQ(RewriteMwcEntries(input, output, Replacing("u_bark")), 0);
    EXPECT_EQ(ReadFileBytes(output), BuildContainer(OneRecord("u_bark")));
    // An output that cannot be made, or whose data never reach the device: the close says so.
    EXPECT_EQ(RewriteMwcEntries(input, dir / "missing/$TMP$.ODA", Replacing()), -1);
    EXPECT_EQ(RewriteMwcEntries(input, "/dev/full"s, Replacing()), -1);
    // A failed rewrite leaves its output as far as it got, up to the damaged length byte; removing
    // it is the caller's call.
    MwcContainer damaged = OneRecord("bark_hi");
    damaged.blocks[0].records[0].lengthOverride = 100;
    ASSERT_TRUE(WriteFileBytes(input, BuildContainer(damaged)));
    EXPECT_EQ(RewriteMwcEntries(input, output, Replacing()), -1);
    EXPECT_EQ(ReadFileBytes(output).size(), 16u + 12u + 24u);
}

// The substitution a save hands to the rewrite, and the plain form it is prepared from, against the
// expectation worked out from the formats, on the typical configuration of every profile's catalog
// and of one whose keys overlap or have fewer than four characters, with ever more choices assigned.
const CatalogEntry kOverlapping[] = {{nullptr, "Play"}, {"hakken_ball", "Ball"}, {"hakken_*", "Anything"},
                                     {"ab?", "Three"},  {"abcd*", "Prefix"},     {"up1_joy1_x?s", "Joy"}};

class Substitution : public ::testing::TestWithParam<int> {};

TEST_P(Substitution, RenamesWhatTheFirstAssignedMatchingKeyNamesAndCountsIt) {
    ModelProfile profile = GetParam() < ProfileCount ? ProfileTable[GetParam()] : ModelProfile{};
    if (GetParam() == ProfileCount) {
        profile.catalog = kOverlapping;
        profile.catalogCount = static_cast<int>(std::size(kOverlapping));
    }
    const MwcContainer container = TypicalContainer(profile.catalog, profile.catalogCount);
    const std::string files[] = {"Bark.wav",    "tune.mid",   "my.song.wav", "a-name-far-too-long-to-be-packed.wav",
                                 "noextension", "Sample.wav", "sample.MID"};
    std::mt19937 random(static_cast<unsigned>(GetParam()) + 7);
    for (int round = 0; round < 8; ++round) { // from nothing assigned to every key
        AssignmentTable slots(static_cast<size_t>(profile.catalogCount));
        for (size_t i = 0; i < slots.size(); ++i) {
            if (profile.catalog[i].key != nullptr && static_cast<int>(random() % 7) < round) {
                slots[i] = files[random() % std::size(files)];
            }
        }
        int replaced = 0;
        const std::vector<uint8_t> expected = BuildContainer(ExpectedRewrite(container, profile, slots, replaced));
        CustomizationState state;
        state.ActiveProfile = &profile;
        state.Assignments = slots;
        std::vector<uint8_t> output;
        ASSERT_EQ(Rewrite(BuildContainer(container), &output, SubstituteSoundName(state)), 0);
        EXPECT_EQ(output, expected) << "round " << round;
        EXPECT_EQ(state.ModifiedEntryCount, replaced) << "round " << round;
        EXPECT_TRUE(round < 7 || replaced > 0);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryCatalog, Substitution, ::testing::Range(0, ProfileCount + 1));

} // namespace
