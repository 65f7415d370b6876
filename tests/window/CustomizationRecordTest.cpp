#include "writer/CustomizationRecord.h"

#include "app/CustomizationState.h"
#include "catalog/SoundCatalogs.h"
#include "platform/ComboBox.h"
#include "platform/Prompt.h"
#include "platform/StickPath.h"
#include "stick/ModelProfiles.h"

#include "FailSink.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <unistd.h>

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

const ModelProfile& Profile() {
    return ProfileTable[0];
}

std::string Warning(const std::string& key, const std::string& value) {
    return "Warning: can't reuse old customization\n'" + key + "'='" + value + "'\nwill be ignored (using default)";
}

const std::string BadFormat = "Bad format .UNS file";

// A file name that makes "wake*=" + name exactly `length` characters long.
std::string NameForLineOf(size_t length) {
    return std::string(length - 6 - 4, 'n') + ".wav";
}

class CustomizationRecordTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(chdir(m_stick.Path().c_str()), 0);
        ASSERT_TRUE(MakeFolders(m_stick / "OPEN-R/MW/CONF"));
        m_state.ActiveProfile = &Profile();
        for (const std::string& name : {std::string("hello.wav"), std::string("Tune.MID"), std::string("a=b.wav"),
                                        NameForLineOf(RecordLineLimit), NameForLineOf(RecordLineLimit + 1)}) {
            m_list.AddString(name);
        }
        m_list.InsertString(0, "(default)");
        Reset();
    }
    void TearDown() override { PromptScript::Deactivate(); }

    void Reset() {
        m_state.Assignments = AssignmentTable(static_cast<size_t>(Profile().catalogCount));
        PromptScript::Activate();
    }
    std::optional<std::string>& Slot(const std::string& key) {
        for (int i = 0; i < Profile().catalogCount; ++i) {
            if (IsStockSound(Profile().catalog[i]) && key == Profile().catalog[i].key) {
                return (*m_state.Assignments)[static_cast<size_t>(i)];
            }
        }
        throw std::invalid_argument(key);
    }
    // The assignments as key and file, in catalog order.
    Pairs Present() const {
        Pairs present;
        for (int i = 0; i < Profile().catalogCount; ++i) {
            if (const auto& slot = (*m_state.Assignments)[static_cast<size_t>(i)]) {
                present.emplace_back(Profile().catalog[i].key, *slot);
            }
        }
        return present;
    }
    std::string RecordFile() const { return m_stick / "OPEN-R/MW/CONF/ERS-210.CUS"; }
    std::string Written() {
        MemorySink sink;
        EXPECT_TRUE(WriteCustomizationRecord(m_state, sink));
        return std::string(sink.Bytes().begin(), sink.Bytes().end());
    }

    TempDir m_stick;
    CustomizationState m_state;
    CComboBox m_list;
};

TEST(RecordPath, SitsBesideTheConfigurationWithItsOwnExtension) {
    EXPECT_EQ(MakeRecordPath("OPEN-R\\MW\\CONF\\ERS-210.MWC"), "OPEN-R\\MW\\CONF\\ERS-210.CUS");
    EXPECT_EQ(MakeRecordPath("OPEN-R\\MW\\CONF\\ERS-220\\ERS-220.mwc"), "OPEN-R\\MW\\CONF\\ERS-220\\ERS-220.CUS");
}

// ---- writing ----

TEST_F(CustomizationRecordTest, RoundTripThroughTheStickRestoresEveryChoiceUnchanged) {
    Slot("wake*") = "HELLO.wav";
    Slot("sit_happy_joy3_t?s") = "a=b.wav";
    Slot("hakken_ball") = "Tune.MID";
    const Pairs before = Present();

    std::unique_ptr<FileSink> sink = FileSink::Create(ResolveStickPath(MakeRecordPath(Profile().mwcPath)));
    ASSERT_NE(sink, nullptr);
    ASSERT_TRUE(WriteCustomizationRecord(m_state, *sink));
    // Catalog order, CR LF line ends, values whole with their "=".
    EXPECT_EQ(ReadFileText(RecordFile()), "wake*=HELLO.wav\r\nhakken_ball=Tune.MID\r\nsit_happy_joy3_t?s=a=b.wav\r\n");

    Reset();
    EXPECT_TRUE(LoadCustomizationRecord(m_state, m_list));
    EXPECT_EQ(Present(), before);
    EXPECT_FALSE(m_state.Modified);
    EXPECT_TRUE(PromptScript::ShownTexts().empty());
}

TEST_F(CustomizationRecordTest, LinesTheReaderCouldNotTakeBackAreLeftOut) {
    const std::string longest = NameForLineOf(RecordLineLimit);
    Slot("wake*") = longest;
    Slot("hakken_ball") = "broken\nname.wav";
    Slot("fallasleep_nxs") = std::string(RecordLineLimit, 'x') + ".wav";
    EXPECT_EQ(Written(), "wake*=" + longest + "\r\n");
}

// ---- loading ----

TEST_F(CustomizationRecordTest, NoRecordLoadsNothingQuietly) {
    for (bool folder : {false, true}) {
        ASSERT_TRUE(!folder || MakeFolders(RecordFile()));
        EXPECT_TRUE(LoadCustomizationRecord(m_state, m_list));
        EXPECT_TRUE(Present().empty());
        EXPECT_TRUE(PromptScript::ShownTexts().empty());
    }
}

TEST_F(CustomizationRecordTest, RecordIsFoundWhateverTheSticksLetterCase) {
    ASSERT_EQ(chdir(m_stick.Path().c_str()), 0);
    ASSERT_TRUE(MakeFolders(m_stick / "lower/open-r/mw/conf"));
    ASSERT_EQ(chdir((m_stick / "lower").c_str()), 0);
    ASSERT_TRUE(WriteFileText(m_stick / "lower/open-r/mw/conf/ers-210.cus", "wake*=hello.wav\r\n"));
    EXPECT_TRUE(LoadCustomizationRecord(m_state, m_list));
    EXPECT_EQ(Present(), (Pairs{{"wake*", "hello.wav"}}));
}

// One record read with the CR LF endings that records on sticks carry and again with bare LF, as a
// hand-edited record may have: both give the same assignments and messages.
struct RecordCase {
    const char* name;
    std::vector<std::string> lines;
    bool loaded;
    Pairs assigned;
    std::vector<std::string> messages;
    bool lastLineEnded = true;
};

void PrintTo(const RecordCase& value, std::ostream* out) {
    *out << value.name;
}

class RecordLines : public CustomizationRecordTest, public ::testing::WithParamInterface<RecordCase> {};

TEST_P(RecordLines, AreAppliedOrReportedOneByOne) {
    const RecordCase& c = GetParam();
    for (const std::string ending : {"\r\n", "\n"}) {
        SCOPED_TRACE(ending == "\n" ? "LF" : "CR LF");
        Reset();
        std::string text;
        for (size_t i = 0; i < c.lines.size(); ++i) {
            text += c.lines[i] + (c.lastLineEnded || i + 1 < c.lines.size() ? ending : "");
        }
        ASSERT_TRUE(WriteFileText(RecordFile(), text));
        EXPECT_EQ(LoadCustomizationRecord(m_state, m_list), c.loaded);
        EXPECT_EQ(Present(), c.assigned);
        EXPECT_EQ(PromptScript::ShownTexts(), c.messages);
        EXPECT_FALSE(m_state.Modified);
    }
}

const std::string kLongComment = ";" + std::string(150, '-') + "wake*=other.wav";

INSTANTIATE_TEST_SUITE_P(
    Cases, RecordLines,
    ::testing::Values(
        RecordCase{"Assignments",
                   {"wake*=hello.wav", "hakken_ball=Tune.MID"},
                   true,
                   {{"wake*", "hello.wav"}, {"hakken_ball", "Tune.MID"}},
                   {}},
        RecordCase{"Empty", {}, true, {}, {}},
        RecordCase{"LineOf126CharactersIsReadWhole",
                   {"wake*=" + NameForLineOf(RecordLineLimit), "hakken_ball=Tune.MID"},
                   true,
                   {{"wake*", NameForLineOf(RecordLineLimit)}, {"hakken_ball", "Tune.MID"}},
                   {}},
        RecordCase{"LineOf127CharactersIsBadFormatAfterEarlierLines",
                   {"hakken_ball=Tune.MID", "wake*=" + NameForLineOf(RecordLineLimit + 1), "fallasleep_nxs=hello.wav"},
                   false,
                   {{"hakken_ball", "Tune.MID"}},
                   {BadFormat}},
        RecordCase{"BlankLineIsBadFormat",
                   {"wake*=hello.wav", "", "hakken_ball=Tune.MID"},
                   false,
                   {{"wake*", "hello.wav"}},
                   {BadFormat}},
        RecordCase{"LastLineWithoutItsEndIsBadFormat",
                   {"wake*=hello.wav", "hakken_ball=Tune.MID"},
                   false,
                   {{"wake*", "hello.wav"}},
                   {BadFormat},
                   false},
        RecordCase{"ZeroByteInsideALineHidesItsEnd", {std::string("wake*=hel\0lo.wav", 16)}, false, {}, {BadFormat}},
        RecordCase{"CommentsAreSkippedWhateverTheirLength",
                   {"; by hand", ";hakken_ball=Tune.MID", kLongComment, ";" + std::string(RecordLineLimit, '-'),
                    "wake*=hello.wav", ";"},
                   true,
                   {{"wake*", "hello.wav"}},
                   {}},
        RecordCase{"CommentAtTheEndWithoutItsLineEnd",
                   {"wake*=hello.wav", ";" + std::string(200, '-')},
                   true,
                   {{"wake*", "hello.wav"}},
                   {},
                   false},
        RecordCase{"LineStartingWithAZeroByteIsSkipped",
                   {std::string("\0wake*=x.wav", 12), "hakken_ball=Tune.MID"},
                   true,
                   {{"hakken_ball", "Tune.MID"}},
                   {}},
        RecordCase{"ValueInOtherLettersIsKeptAsSpelled",
                   {"wake*=HELLO.WAV", "hakken_ball=tune.mid"},
                   true,
                   {{"wake*", "HELLO.WAV"}, {"hakken_ball", "tune.mid"}},
                   {}},
        RecordCase{
            "LaterLineForTheSameKeyWins", {"wake*=hello.wav", "wake*=Tune.MID"}, true, {{"wake*", "Tune.MID"}}, {}},
        RecordCase{"OnlyTheFirstEqualsSignSeparates", {"wake*=a=b.wav"}, true, {{"wake*", "a=b.wav"}}, {}},
        RecordCase{"KeysMatchLiterallyAndWithCase",
                   {"wakeup=hello.wav", "WAKE*=hello.wav", "wake*=hello.wav"},
                   true,
                   {{"wake*", "hello.wav"}},
                   {Warning("wakeup", "hello.wav"), Warning("WAKE*", "hello.wav")}},
        // Keys of another catalog, no key, files not listed, "(default)", no file, a space before the key.
        RecordCase{"LinesThatCannotBeReusedAreEachWarnedAbout",
                   {"so1_wake*=hello.wav", "=hello.wav", "wake*=gone.wav", "hakken_ball=(default)",
                    "fallasleep_nxs=", " wake*=hello.wav", "happy_txs=Tune.MID"},
                   true,
                   {{"happy_txs", "Tune.MID"}},
                   {Warning("so1_wake*", "hello.wav"), Warning("", "hello.wav"), Warning("wake*", "gone.wav"),
                    Warning("hakken_ball", "(default)"), Warning("fallasleep_nxs", ""),
                    Warning(" wake*", "hello.wav")}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RecordReader, TakesLinesArrivingByteByByteAndKeepsACarriageReturnNotBeforeALineFeed) {
    PromptScript::Activate();
    const std::string text = "a=1\r\nb=2\r\r\n";
    TrickleSource source(std::vector<uint8_t>(text.begin(), text.end()), 1);
    Pairs lines;
    EXPECT_TRUE(ReadCustomizationRecord(source, [&](const std::string& key, const std::string& value) {
        lines.emplace_back(key, value);
        return true;
    }));
    EXPECT_EQ(lines, (Pairs{{"a", "1"}, {"b", "2\r"}}));
    EXPECT_TRUE(PromptScript::ShownTexts().empty());
    PromptScript::Deactivate();
}

} // namespace
