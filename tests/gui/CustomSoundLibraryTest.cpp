#include "sounds/CustomSoundLibrary.h"

#include "app/InstallationPaths.h"
#include "platform/ByteStream.h"
#include "platform/ComboBox.h"
#include "platform/Prompt.h"

#include "TempDir.h"
#include "WaveBuilder.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

std::vector<std::string> Items(const CComboBox& list) {
    std::vector<std::string> items;
    for (int i = 0; i < list.GetCount(); ++i) {
        items.push_back(list.GetLBText(i));
    }
    return items;
}

std::string BadFormat(const std::string& name) {
    return "WAVE file '" + name + "' in bad format";
}

class CustomSoundLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_savedSoundsFolder = SoundsFolder;
        SoundsFolder = m_dir / "SOUNDS";
        PromptScript::Activate();
    }
    void TearDown() override {
        PromptScript::Deactivate();
        SoundsFolder = m_savedSoundsFolder;
    }

    void MakeSoundsFolder() { ASSERT_TRUE(MakeFolders(SoundsFolder)); }
    void AddSound(const std::string& name, const std::vector<uint8_t>& bytes) {
        ASSERT_TRUE(WriteFileBytes(SoundsFolder + "/" + name, bytes));
    }
    void AddGoodWave(const std::string& name) { AddSound(name, BuildWave({})); }

    TempDir m_dir;
    std::string m_savedSoundsFolder;
    CComboBox m_list;
};

TEST_F(CustomSoundLibraryTest, MissingFolderLeavesOnlyTheDefaultQuietly) {
    FillReplacementList(m_list);
    EXPECT_EQ(Items(m_list), std::vector<std::string>{"(default)"});
    EXPECT_TRUE(PromptScript::ShownTexts().empty());
}

TEST_F(CustomSoundLibraryTest, EmptyFolderLeavesOnlyTheDefaultQuietly) {
    MakeSoundsFolder();
    AddSound("notes.txt", {'x'});
    FillReplacementList(m_list);
    EXPECT_EQ(Items(m_list), std::vector<std::string>{"(default)"});
    EXPECT_TRUE(PromptScript::ShownTexts().empty());
}

TEST_F(CustomSoundLibraryTest, BothKindsAreMixedInCaseBlindOrderAfterTheDefault) {
    MakeSoundsFolder();
    AddGoodWave("b.WAV");
    AddSound("A.MID", {'M', 'T', 'h', 'd'});
    AddGoodWave("c.wav");
    FillReplacementList(m_list);
    EXPECT_EQ(Items(m_list), (std::vector<std::string>{"(default)", "A.MID", "b.WAV", "c.wav"}));
    EXPECT_TRUE(PromptScript::ShownTexts().empty());
}

TEST_F(CustomSoundLibraryTest, ExtensionsMatchInAnyCaseAndNothingElseIsListed) {
    MakeSoundsFolder();
    AddGoodWave("Bark.Wav");
    AddSound("tune.mId", {});
    AddGoodWave("long.wave");
    AddGoodWave("wav");
    AddSound("tune.midi", {});
    AddSound("readme.txt", {});
    FillReplacementList(m_list);
    EXPECT_EQ(Items(m_list), (std::vector<std::string>{"(default)", "Bark.Wav", "tune.mId"}));
    EXPECT_TRUE(PromptScript::ShownTexts().empty());
}

TEST_F(CustomSoundLibraryTest, WaveAndMidiOfOneBaseNameAreTwoItems) {
    MakeSoundsFolder();
    AddGoodWave("hello.wav");
    AddSound("HELLO.MID", {});
    FillReplacementList(m_list);
    EXPECT_EQ(Items(m_list), (std::vector<std::string>{"(default)", "HELLO.MID", "hello.wav"}));
}

TEST_F(CustomSoundLibraryTest, MidiFilesAreListedWhateverTheyHold) {
    MakeSoundsFolder();
    AddSound("empty.MID", {});
    AddSound("text.MID", {'h', 'e', 'l', 'l', 'o'});
    FillReplacementList(m_list);
    EXPECT_EQ(Items(m_list), (std::vector<std::string>{"(default)", "empty.MID", "text.MID"}));
    EXPECT_TRUE(PromptScript::ShownTexts().empty());
}

TEST_F(CustomSoundLibraryTest, FoldersWithSoundEndingsAreSkippedQuietly) {
    MakeSoundsFolder();
    ASSERT_TRUE(MakeFolders(SoundsFolder + "/x.WAV"));
    ASSERT_TRUE(MakeFolders(SoundsFolder + "/y.MID"));
    AddGoodWave("z.wav");
    FillReplacementList(m_list);
    EXPECT_EQ(Items(m_list), (std::vector<std::string>{"(default)", "z.wav"}));
    EXPECT_TRUE(PromptScript::ShownTexts().empty());
}

TEST_F(CustomSoundLibraryTest, EachRefusedWaveIsReportedOnceAndTheRestStillListed) {
    MakeSoundsFolder();
    WaveDescription stereo;
    stereo.channels = 2;
    AddSound("two.wav", BuildWave(stereo));
    AddSound("short.WAV", {'R', 'I', 'F', 'F'});
    AddGoodWave("good.wav");
    AddSound("tune.mid", {});
    FillReplacementList(m_list);
    EXPECT_EQ(Items(m_list), (std::vector<std::string>{"(default)", "good.wav", "tune.mid"}));
    std::vector<std::string> shown = PromptScript::ShownTexts();
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(shown, (std::vector<std::string>{BadFormat("short.WAV"), BadFormat("two.wav")}));
    for (const ShownPrompt& prompt : PromptScript::Shown()) {
        EXPECT_EQ(prompt.kind, ShownPrompt::Kind::Message);
        EXPECT_EQ(prompt.buttons, "OK");
    }
}

TEST_F(CustomSoundLibraryTest, WaveThatCannotBeOpenedIsReported) {
    MakeSoundsFolder();
    ASSERT_EQ(symlink((SoundsFolder + "/gone.wav").c_str(), (SoundsFolder + "/dangling.wav").c_str()), 0);
    FillReplacementList(m_list);
    EXPECT_EQ(Items(m_list), std::vector<std::string>{"(default)"});
    EXPECT_EQ(PromptScript::ShownTexts(), std::vector<std::string>{BadFormat("dangling.wav")});
}

TEST_F(CustomSoundLibraryTest, FileNamesAreShownAsTheyAreNeverAsFormats) {
    MakeSoundsFolder();
    AddSound("100%s%n.wav", {});
    FillReplacementList(m_list);
    EXPECT_EQ(PromptScript::ShownTexts(), std::vector<std::string>{BadFormat("100%s%n.wav")});
}

TEST_F(CustomSoundLibraryTest, ListEndsDisabledWithoutSelectionEvenWhenRefilled) {
    MakeSoundsFolder();
    AddGoodWave("a.wav");
    AddSound("b.mid", {});
    m_list.AddString("stale.wav");
    m_list.SetCurSel(0);
    m_list.EnableWindow(true);
    FillReplacementList(m_list);
    EXPECT_EQ(Items(m_list), (std::vector<std::string>{"(default)", "a.wav", "b.mid"}));
    EXPECT_EQ(m_list.GetCurSel(), CB_ERR);
    EXPECT_FALSE(m_list.isEnabled());
}

TEST_F(CustomSoundLibraryTest, AcceptanceIsJudgedByTheFileInTheSoundsFolder) {
    MakeSoundsFolder();
    AddGoodWave("good.wav");
    EXPECT_TRUE(IsAcceptedWave("good.wav"));
    EXPECT_FALSE(IsAcceptedWave("missing.wav"));
    ASSERT_TRUE(WriteFileBytes(m_dir / "elsewhere.wav", BuildWave({})));
    EXPECT_FALSE(IsAcceptedWave("elsewhere.wav"));
}

// One header per accepted or refused shape, fed both from a file in SOUNDS and from memory.
struct WaveCase {
    std::string label;
    WaveDescription wave;
    size_t keepBytes; // the file is cut to this many bytes
    bool accepted;
};

std::ostream& operator<<(std::ostream& out, const WaveCase& c) {
    return out << c.label;
}

WaveDescription With(void (*change)(WaveDescription&)) {
    WaveDescription wave;
    change(wave);
    return wave;
}

constexpr size_t Whole = SIZE_MAX;

class WaveHeaderTest : public CustomSoundLibraryTest, public ::testing::WithParamInterface<WaveCase> {
protected:
    std::vector<uint8_t> Bytes() const {
        std::vector<uint8_t> bytes = BuildWave(GetParam().wave);
        bytes.resize(std::min(bytes.size(), GetParam().keepBytes));
        return bytes;
    }
};

TEST_P(WaveHeaderTest, FolderListingFollowsTheHeaderCheck) {
    MakeSoundsFolder();
    AddSound("sound.wav", Bytes());
    FillReplacementList(m_list);
    if (GetParam().accepted) {
        EXPECT_EQ(Items(m_list), (std::vector<std::string>{"(default)", "sound.wav"}));
        EXPECT_TRUE(PromptScript::ShownTexts().empty());
    } else {
        EXPECT_EQ(Items(m_list), std::vector<std::string>{"(default)"});
        EXPECT_EQ(PromptScript::ShownTexts(), std::vector<std::string>{BadFormat("sound.wav")});
    }
}

TEST_P(WaveHeaderTest, MemoryHeaderGivesTheSameVerdict) {
    std::vector<uint8_t> bytes = Bytes();
    MemorySource source(bytes.data(), bytes.size());
    EXPECT_EQ(IsAcceptedWaveHeader(source), GetParam().accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Accepted, WaveHeaderTest,
    ::testing::Values(
        WaveCase{"Mono8Bit", {}, Whole, true},
        WaveCase{"Mono16Bit", With([](WaveDescription& w) { w.bitsPerSample = 16; }), Whole, true},
        WaveCase{"WrongRiffSize", With([](WaveDescription& w) { w.riffSizeOverride = 7; }), Whole, true},
        WaveCase{"HugeRiffSize", With([](WaveDescription& w) { w.riffSizeOverride = 0xFFFFFFFF; }), Whole, true},
        WaveCase{"WrongFormatSize", With([](WaveDescription& w) { w.formatSizeOverride = 0; }), Whole, true},
        WaveCase{"OddBitsPerSample", With([](WaveDescription& w) { w.bitsPerSample = 12; }), Whole, true},
        WaveCase{"ExactlyTheHeader", {}, WaveHeaderSize, true}),
    [](const auto& info) { return info.param.label; });

INSTANTIATE_TEST_SUITE_P(
    Refused, WaveHeaderTest,
    ::testing::Values(
        WaveCase{"Stereo", With([](WaveDescription& w) { w.channels = 2; }), Whole, false},
        WaveCase{"NoChannels", With([](WaveDescription& w) { w.channels = 0; }), Whole, false},
        WaveCase{"Rate11025", With([](WaveDescription& w) { w.sampleRate = 11025; }), Whole, false},
        WaveCase{"Rate16000", With([](WaveDescription& w) { w.sampleRate = 16000; }), Whole, false},
        WaveCase{"RateHighWordSet", With([](WaveDescription& w) { w.sampleRate = 0x10000 + 8000; }), Whole, false},
        WaveCase{"AdpcmFormat", With([](WaveDescription& w) { w.formatTag = 2; }), Whole, false},
        WaveCase{"MuLawFormat", With([](WaveDescription& w) { w.formatTag = 7; }), Whole, false},
        WaveCase{"ExtensibleFormat", With([](WaveDescription& w) { w.formatTag = 0xFFFE; }), Whole, false},
        WaveCase{"OneByteShort", {}, WaveHeaderSize - 1, false}, WaveCase{"Empty", {}, 0, false},
        WaveCase{"ListChunkFirst", With([](WaveDescription& w) {
                     w.chunksBeforeFormat = {{"LIST", {'I', 'N'}}};
                 }),
                 Whole, false},
        WaveCase{"BigEndianRiff", With([](WaveDescription& w) { w.riffId = "RIFX"; }), Whole, false},
        WaveCase{"NotWave", With([](WaveDescription& w) { w.formType = "AVI "; }), Whole, false},
        WaveCase{"FormatIdInCapitals", With([](WaveDescription& w) { w.formatId = "FMT "; }), Whole, false}),
    [](const auto& info) { return info.param.label; });

TEST(WaveHeaderLayout, HandWrittenHeaderOfTheRobotsFormatIsAccepted) {
    const uint8_t header[WaveHeaderSize] = {
        'R',  'I',  'F',  'F',  // chunk identifier
        0x00, 0x00, 0x00, 0x00, // RIFF size: not looked at
        'W',  'A',  'V',  'E',  // form type
        'f',  'm',  't',  ' ',  // first chunk: the format chunk
        0x10, 0x00, 0x00, 0x00, // format chunk size 16: not looked at
        0x01, 0x00,             // format tag 1: PCM
        0x01, 0x00,             // one channel
        0x40, 0x1F, 0x00, 0x00, // 8000 samples a second
        0x40, 0x1F, 0x00, 0x00, // byte rate: not looked at
        0x01, 0x00,             // block alignment: not looked at
    };
    MemorySource source(header, sizeof header);
    EXPECT_TRUE(IsAcceptedWaveHeader(source));

    std::vector<uint8_t> built = BuildWave({});
    ASSERT_GE(built.size(), WaveHeaderSize);
    EXPECT_EQ(std::vector<uint8_t>(built.begin() + 8, built.begin() + 28),
              std::vector<uint8_t>(header + 8, header + 28));
}

// A device that hands out fewer bytes than asked, as a failing read does.
class ShortSource : public ByteSource {
public:
    explicit ShortSource(std::vector<uint8_t> bytes) : m_bytes(std::move(bytes)) {}
    size_t Read(void* buffer, size_t n) override {
        size_t count = std::min(n, m_bytes.size()) / 2;
        std::copy_n(m_bytes.begin(), count, static_cast<uint8_t*>(buffer));
        return count;
    }
    bool Seek(int64_t) override { return false; }
    int64_t Size() override { return -1; }

private:
    std::vector<uint8_t> m_bytes;
};

TEST(WaveHeaderLayout, ShortReadOfAGoodHeaderIsRefused) {
    ShortSource source(BuildWave({}));
    EXPECT_FALSE(IsAcceptedWaveHeader(source));
}

} // namespace
