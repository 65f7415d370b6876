#include "writer/CustomizationRecord.h"

#include "app/CustomizationState.h"
#include "catalog/SoundCatalogs.h"
#include "platform/ByteStream.h"
#include "platform/ComboBox.h"
#include "platform/Prompt.h"
#include "platform/StickPath.h"
#include "stick/ModelProfiles.h"

#include "TempDir.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

const ModelProfile& Profile() {
    return ProfileTable[0];
}

int IndexOfKey(const ModelProfile& profile, const std::string& key) {
    for (int i = 0; i < profile.catalogCount; ++i) {
        if (IsStockSound(profile.catalog[i]) && key == profile.catalog[i].key) {
            return i;
        }
    }
    return -1;
}

std::string Warning(const std::string& key, const std::string& value) {
    return "Warning: can't reuse old customization\n'" + key + "'='" + value + "'\nwill be ignored (using default)";
}

const std::string BadFormat = "Bad format .UNS file";

// A file name that makes "wake*=" + name exactly `length` characters long.
std::string NameForLineOf(size_t length) {
    const std::string prefix = "wake*=";
    return std::string(length - prefix.size() - 4, 'n') + ".wav";
}

class CustomizationRecordTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(chdir(m_stick.Path().c_str()), 0);
        ASSERT_TRUE(MakeFolders(m_stick / "OPEN-R/MW/CONF"));
        m_state.ActiveProfile = &Profile();
        m_state.Assignments = AssignmentTable(static_cast<size_t>(Profile().catalogCount));
        for (const char* name : {"hello.wav", "Tune.MID", "a=b.wav", "other.wav"}) {
            m_list.AddString(name);
        }
        m_list.AddString(NameForLineOf(RecordLineLimit));
        m_list.AddString(NameForLineOf(RecordLineLimit + 1));
        m_list.InsertString(0, "(default)");
        PromptScript::Activate();
    }
    void TearDown() override { PromptScript::Deactivate(); }

    std::optional<std::string>& Slot(const std::string& key) {
        int index = IndexOfKey(Profile(), key);
        EXPECT_GE(index, 0) << key;
        return (*m_state.Assignments)[static_cast<size_t>(std::max(index, 0))];
    }
    std::vector<std::pair<std::string, std::string>> Present() const {
        std::vector<std::pair<std::string, std::string>> present;
        for (int i = 0; i < Profile().catalogCount; ++i) {
            const auto& slot = (*m_state.Assignments)[static_cast<size_t>(i)];
            if (slot) {
                present.emplace_back(Profile().catalog[i].key, *slot);
            }
        }
        return present;
    }
    std::string RecordFile() const { return m_stick / "OPEN-R/MW/CONF/ERS-210.CUS"; }
    void PutRecord(const std::string& bytes) { ASSERT_TRUE(WriteFileText(RecordFile(), bytes)); }
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
    for (const ModelProfile& profile : ProfileTable) {
        std::string path = MakeRecordPath(profile.mwcPath);
        EXPECT_EQ(path.size(), std::string(profile.mwcPath).size()) << profile.name;
        EXPECT_EQ(path.substr(path.size() - 4), ".CUS") << profile.name;
    }
    EXPECT_EQ(MakeRecordPath("ab"), ".CUS");
}

// ---- writing ----

TEST_F(CustomizationRecordTest, WritesOneCrLfLinePerAssignedSoundInCatalogOrder) {
    ASSERT_LT(IndexOfKey(Profile(), "wake*"), IndexOfKey(Profile(), "hakken_ball"));
    Slot("hakken_ball") = "Tune.MID";
    Slot("wake*") = "hello.wav";
    EXPECT_EQ(Written(), "wake*=hello.wav\r\nhakken_ball=Tune.MID\r\n");
}

TEST_F(CustomizationRecordTest, NoAssignmentsWriteAnEmptyRecord) {
    EXPECT_EQ(Written(), "");
}

TEST_F(CustomizationRecordTest, CategorySlotsAreNeverWritten) {
    ASSERT_FALSE(IsStockSound(Profile().catalog[0]));
    (*m_state.Assignments)[0] = "hello.wav";
    EXPECT_EQ(Written(), "");
}

TEST_F(CustomizationRecordTest, ValuesAreWrittenWholeWithTheirEqualsSigns) {
    Slot("wake*") = "a=b.wav";
    EXPECT_EQ(Written(), "wake*=a=b.wav\r\n");
}

TEST_F(CustomizationRecordTest, LinesTheReaderCouldNotTakeBackAreLeftOut) {
    std::string longest = NameForLineOf(RecordLineLimit);
    Slot("wake*") = longest;
    Slot("hakken_ball") = "broken\nname.wav";
    Slot("fallasleep_nxs") = std::string(RecordLineLimit, 'x') + ".wav";
    EXPECT_EQ(Written(), "wake*=" + longest + "\r\n");
}

// A device that takes `capacity` bytes and then fails, or fails only when closed.
class FailingSink : public ByteSink {
public:
    FailingSink(size_t capacity, bool closeFails) : m_capacity(capacity), m_closeFails(closeFails) {}
    size_t Write(const void*, size_t n) override {
        size_t taken = std::min(n, m_capacity);
        m_capacity -= taken;
        return taken;
    }
    bool Close() override {
        ++closes;
        return !m_closeFails;
    }
    int closes = 0;

private:
    size_t m_capacity;
    bool m_closeFails;
};

TEST_F(CustomizationRecordTest, WriteAndCloseFailuresAreReported) {
    Slot("wake*") = "hello.wav";
    Slot("hakken_ball") = "Tune.MID";

    FailingSink full(20, false);
    EXPECT_FALSE(WriteCustomizationRecord(m_state, full));
    EXPECT_EQ(full.closes, 1);

    FailingSink unflushable(SIZE_MAX, true);
    EXPECT_FALSE(WriteCustomizationRecord(m_state, unflushable));
    EXPECT_EQ(unflushable.closes, 1);

    FailingSink emptyButUnflushable(0, true);
    m_state.Assignments = AssignmentTable(static_cast<size_t>(Profile().catalogCount));
    EXPECT_FALSE(WriteCustomizationRecord(m_state, emptyButUnflushable));

    FailingSink fine(SIZE_MAX, false);
    EXPECT_TRUE(WriteCustomizationRecord(m_state, fine));
    EXPECT_EQ(fine.closes, 1);
}

TEST_F(CustomizationRecordTest, RoundTripThroughTheStickRestoresEveryChoiceUnchanged) {
    Slot("wake*") = "HELLO.wav";
    Slot("sit_happy_joy3_t?s") = "a=b.wav";
    Slot("hakken_ball") = "Tune.MID";
    auto before = Present();

    std::unique_ptr<FileSink> sink = FileSink::Create(ResolveStickPath(MakeRecordPath(Profile().mwcPath)));
    ASSERT_NE(sink, nullptr);
    ASSERT_TRUE(WriteCustomizationRecord(m_state, *sink));
    EXPECT_EQ(ReadFileText(RecordFile()), "wake*=HELLO.wav\r\nhakken_ball=Tune.MID\r\nsit_happy_joy3_t?s=a=b.wav\r\n");

    m_state.Assignments = AssignmentTable(static_cast<size_t>(Profile().catalogCount));
    EXPECT_TRUE(LoadCustomizationRecord(m_state, m_list));
    EXPECT_EQ(Present(), before);
    EXPECT_FALSE(m_state.Modified);
    EXPECT_TRUE(PromptScript::ShownTexts().empty());
}

// ---- loading ----

TEST_F(CustomizationRecordTest, NoRecordLoadsNothingQuietly) {
    EXPECT_TRUE(LoadCustomizationRecord(m_state, m_list));
    EXPECT_TRUE(Present().empty());
    EXPECT_TRUE(PromptScript::ShownTexts().empty());
}

TEST_F(CustomizationRecordTest, RecordIsFoundWhateverTheSticksLetterCase) {
    ASSERT_TRUE(MakeFolders(m_stick / "open-r/mw/conf"));
    ASSERT_EQ(rmdir((m_stick / "OPEN-R/MW/CONF").c_str()), 0);
    ASSERT_EQ(rmdir((m_stick / "OPEN-R/MW").c_str()), 0);
    ASSERT_EQ(rmdir((m_stick / "OPEN-R").c_str()), 0);
    ASSERT_TRUE(WriteFileText(m_stick / "open-r/mw/conf/ers-210.cus", "wake*=hello.wav\r\n"));
    EXPECT_TRUE(LoadCustomizationRecord(m_state, m_list));
    EXPECT_EQ(Slot("wake*"), "hello.wav");
}

TEST_F(CustomizationRecordTest, RecordThatIsAFolderLoadsNothing) {
    ASSERT_TRUE(MakeFolders(RecordFile()));
    EXPECT_TRUE(LoadCustomizationRecord(m_state, m_list));
    EXPECT_TRUE(Present().empty());
    EXPECT_TRUE(PromptScript::ShownTexts().empty());
}

TEST_F(CustomizationRecordTest, CarriageReturnNotBeforeALineFeedStaysInTheValue) {
    PutRecord("wake*=hello.wav\r\r\n");
    EXPECT_TRUE(LoadCustomizationRecord(m_state, m_list));
    EXPECT_FALSE(Slot("wake*"));
    EXPECT_EQ(PromptScript::ShownTexts(), std::vector<std::string>{Warning("wake*", "hello.wav\r")});
}

TEST_F(CustomizationRecordTest, LinesMayMixBothEndings) {
    PutRecord("wake*=hello.wav\nhakken_ball=Tune.MID\r\n");
    EXPECT_TRUE(LoadCustomizationRecord(m_state, m_list));
    EXPECT_EQ(Slot("wake*"), "hello.wav");
    EXPECT_EQ(Slot("hakken_ball"), "Tune.MID");
}

// Every case is read twice: with the CR LF endings that records on sticks carry, and with
// bare LF, as a hand-edited record may have. Both must give the same result.
class RecordReadTest : public CustomizationRecordTest, public ::testing::WithParamInterface<std::string> {
protected:
    // Each line gets the parameter's ending unless it is the last and `endLast` is false.
    void PutLines(const std::vector<std::string>& lines, bool endLast = true) {
        std::string text;
        for (size_t i = 0; i < lines.size(); ++i) {
            text += lines[i];
            if (endLast || i + 1 < lines.size()) {
                text += GetParam();
            }
        }
        PutRecord(text);
    }
};

TEST_P(RecordReadTest, AssignmentsAreAppliedWithoutCountingAsChanges) {
    PutLines({"wake*=hello.wav", "hakken_ball=Tune.MID"});
    EXPECT_TRUE(LoadCustomizationRecord(m_state, m_list));
    EXPECT_EQ(Slot("wake*"), "hello.wav");
    EXPECT_EQ(Slot("hakken_ball"), "Tune.MID");
    EXPECT_EQ(Present().size(), 2u);
    EXPECT_FALSE(m_state.Modified);
    EXPECT_TRUE(PromptScript::ShownTexts().empty());
}

TEST_P(RecordReadTest, EmptyRecordChangesNothing) {
    PutRecord("");
    EXPECT_TRUE(LoadCustomizationRecord(m_state, m_list));
    EXPECT_TRUE(Present().empty());
    EXPECT_TRUE(PromptScript::ShownTexts().empty());
}

TEST_P(RecordReadTest, LineOf126CharactersIsReadWhole) {
    std::string name = NameForLineOf(RecordLineLimit);
    PutLines({"wake*=" + name, "hakken_ball=Tune.MID"});
    EXPECT_TRUE(LoadCustomizationRecord(m_state, m_list));
    EXPECT_EQ(Slot("wake*"), name);
    EXPECT_EQ(Slot("hakken_ball"), "Tune.MID");
    EXPECT_TRUE(PromptScript::ShownTexts().empty());
}

TEST_P(RecordReadTest, LineOf127CharactersIsBadFormatAfterEarlierLinesApplied) {
    PutLines({"hakken_ball=Tune.MID", "wake*=" + NameForLineOf(RecordLineLimit + 1), "fallasleep_nxs=hello.wav"});
    EXPECT_FALSE(LoadCustomizationRecord(m_state, m_list));
    EXPECT_EQ(PromptScript::ShownTexts(), std::vector<std::string>{BadFormat});
    EXPECT_EQ(Slot("hakken_ball"), "Tune.MID");
    EXPECT_FALSE(Slot("wake*"));
    EXPECT_FALSE(Slot("fallasleep_nxs"));
}

TEST_P(RecordReadTest, BlankLineIsBadFormat) {
    PutLines({"wake*=hello.wav", "", "hakken_ball=Tune.MID"});
    EXPECT_FALSE(LoadCustomizationRecord(m_state, m_list));
    EXPECT_EQ(PromptScript::ShownTexts(), std::vector<std::string>{BadFormat});
    EXPECT_EQ(Slot("wake*"), "hello.wav");
    EXPECT_FALSE(Slot("hakken_ball"));
}

TEST_P(RecordReadTest, LastLineWithoutItsEndIsBadFormat) {
    PutLines({"wake*=hello.wav", "hakken_ball=Tune.MID"}, false);
    EXPECT_FALSE(LoadCustomizationRecord(m_state, m_list));
    EXPECT_EQ(PromptScript::ShownTexts(), std::vector<std::string>{BadFormat});
    EXPECT_EQ(Slot("wake*"), "hello.wav");
    EXPECT_FALSE(Slot("hakken_ball"));
}

TEST_P(RecordReadTest, LineWithoutEqualsSignIsBadFormat) {
    PutLines({"wake*hello.wav"});
    EXPECT_FALSE(LoadCustomizationRecord(m_state, m_list));
    EXPECT_EQ(PromptScript::ShownTexts(), std::vector<std::string>{BadFormat});
}

TEST_P(RecordReadTest, CommentsAreSkippedWhateverTheirLength) {
    std::string longComment = ";" + std::string(150, '-') + "wake*=other.wav";
    std::string exactComment = ";" + std::string(RecordLineLimit, '-');
    PutLines({"; saved by hand", ";hakken_ball=Tune.MID", longComment, exactComment, "wake*=hello.wav", ";"});
    EXPECT_TRUE(LoadCustomizationRecord(m_state, m_list));
    EXPECT_TRUE(PromptScript::ShownTexts().empty());
    EXPECT_EQ(Present(), (std::vector<std::pair<std::string, std::string>>{{"wake*", "hello.wav"}}));
}

TEST_P(RecordReadTest, CommentAtTheEndWithoutItsLineEndIsSkipped) {
    PutLines({"wake*=hello.wav", ";" + std::string(200, '-')}, false);
    EXPECT_TRUE(LoadCustomizationRecord(m_state, m_list));
    EXPECT_EQ(Slot("wake*"), "hello.wav");
    EXPECT_TRUE(PromptScript::ShownTexts().empty());
}

TEST_P(RecordReadTest, LineStartingWithAZeroByteIsSkipped) {
    PutLines({std::string("\0wake*=other.wav", 16), "hakken_ball=Tune.MID"});
    EXPECT_TRUE(LoadCustomizationRecord(m_state, m_list));
    EXPECT_FALSE(Slot("wake*"));
    EXPECT_EQ(Slot("hakken_ball"), "Tune.MID");
    EXPECT_TRUE(PromptScript::ShownTexts().empty());
}

TEST_P(RecordReadTest, ZeroByteInsideALineHidesItsEnd) {
    PutLines({std::string("wake*=hel\0lo.wav", 16)});
    EXPECT_FALSE(LoadCustomizationRecord(m_state, m_list));
    EXPECT_EQ(PromptScript::ShownTexts(), std::vector<std::string>{BadFormat});
}

TEST_P(RecordReadTest, ValueInOtherLettersIsKeptAsTheRecordSpellsIt) {
    PutLines({"wake*=HELLO.WAV", "hakken_ball=tune.mid"});
    EXPECT_TRUE(LoadCustomizationRecord(m_state, m_list));
    EXPECT_EQ(Slot("wake*"), "HELLO.WAV");
    EXPECT_EQ(Slot("hakken_ball"), "tune.mid");
    EXPECT_EQ(m_list.FindStringExact(-1, *Slot("wake*")), m_list.FindStringExact(-1, "hello.wav"));
}

TEST_P(RecordReadTest, LaterLineForTheSameKeyWins) {
    PutLines({"wake*=hello.wav", "wake*=Tune.MID"});
    EXPECT_TRUE(LoadCustomizationRecord(m_state, m_list));
    EXPECT_EQ(Slot("wake*"), "Tune.MID");
    EXPECT_TRUE(PromptScript::ShownTexts().empty());
}

TEST_P(RecordReadTest, OnlyTheFirstEqualsSignSeparates) {
    PutLines({"wake*=a=b.wav"});
    EXPECT_TRUE(LoadCustomizationRecord(m_state, m_list));
    EXPECT_EQ(Slot("wake*"), "a=b.wav");
}

TEST_P(RecordReadTest, KeysMatchLiterallyAndWithCase) {
    PutLines({"wakeup=hello.wav", "WAKE*=hello.wav", "wake*=hello.wav"});
    EXPECT_TRUE(LoadCustomizationRecord(m_state, m_list));
    EXPECT_EQ(Present(), (std::vector<std::pair<std::string, std::string>>{{"wake*", "hello.wav"}}));
    EXPECT_EQ(PromptScript::ShownTexts(),
              (std::vector<std::string>{Warning("wakeup", "hello.wav"), Warning("WAKE*", "hello.wav")}));
}

TEST_P(RecordReadTest, LinesThatCannotBeReusedAreEachWarnedAboutAndLoadingGoesOn) {
    ASSERT_LT(IndexOfKey(Profile(), "so1_wake*"), 0);
    PutLines({"so1_wake*=hello.wav", "=hello.wav", "wake*=gone.wav", "hakken_ball=(default)",
              "fallasleep_nxs=", " wake*=hello.wav", "happy_txs=Tune.MID"});
    EXPECT_TRUE(LoadCustomizationRecord(m_state, m_list));
    EXPECT_EQ(PromptScript::ShownTexts(),
              (std::vector<std::string>{Warning("so1_wake*", "hello.wav"), Warning("", "hello.wav"),
                                        Warning("wake*", "gone.wav"), Warning("hakken_ball", "(default)"),
                                        Warning("fallasleep_nxs", ""), Warning(" wake*", "hello.wav")}));
    for (const ShownPrompt& prompt : PromptScript::Shown()) {
        EXPECT_EQ(prompt.buttons, "OK");
    }
    EXPECT_EQ(Present(), (std::vector<std::pair<std::string, std::string>>{{"happy_txs", "Tune.MID"}}));
    EXPECT_FALSE(m_state.Modified);
}

INSTANTIATE_TEST_SUITE_P(LineEndings, RecordReadTest, ::testing::Values(std::string("\r\n"), std::string("\n")),
                         [](const auto& info) { return info.param == "\n" ? std::string("Lf") : std::string("CrLf"); });

// ---- the reader on its own, over any source ----

struct Line {
    std::string key;
    std::string value;
    bool operator==(const Line&) const = default;
};

std::vector<Line> ReadAll(ByteSource& source, bool& result) {
    std::vector<Line> lines;
    result = ReadCustomizationRecord(source, [&](const std::string& key, const std::string& value) {
        lines.push_back({key, value});
        return true;
    });
    return lines;
}

TEST(RecordReader, CrLfSplitAcrossReadsIsStillOneLineEnd) {
    // Hands out one byte per read, so every CR arrives alone.
    class Trickle : public ByteSource {
    public:
        explicit Trickle(std::string text) : m_text(std::move(text)) {}
        size_t Read(void* buffer, size_t n) override {
            if (n == 0 || m_pos == m_text.size()) {
                return 0;
            }
            static_cast<char*>(buffer)[0] = m_text[m_pos++];
            return 1;
        }
        bool Seek(int64_t) override { return false; }
        int64_t Size() override { return -1; }

    private:
        std::string m_text;
        size_t m_pos = 0;
    };
    PromptScript::Activate();
    Trickle source("a=1\r\nb=2\r\n");
    bool result = false;
    EXPECT_EQ(ReadAll(source, result), (std::vector<Line>{{"a", "1"}, {"b", "2"}}));
    EXPECT_TRUE(result);
    EXPECT_TRUE(PromptScript::ShownTexts().empty());
    PromptScript::Deactivate();
}

TEST(RecordReader, DeviceFailingInsideALineIsBadFormat) {
    PromptScript::Activate();
    std::string text = "a=1\r\nb=2\r\n";
    MemorySource source(text.data(), 7); // stops inside the second line
    bool result = true;
    EXPECT_EQ(ReadAll(source, result), (std::vector<Line>{{"a", "1"}}));
    EXPECT_FALSE(result);
    EXPECT_EQ(PromptScript::ShownTexts(), std::vector<std::string>{BadFormat});
    PromptScript::Deactivate();
}

TEST(RecordReader, CarriageReturnAsTheLastByteIsKept) {
    PromptScript::Activate();
    std::string text = "a=1\r";
    MemorySource source(text.data(), text.size());
    bool result = true;
    EXPECT_TRUE(ReadAll(source, result).empty());
    EXPECT_FALSE(result);
    PromptScript::Deactivate();
}

} // namespace
