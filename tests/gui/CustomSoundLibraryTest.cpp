#include "sounds/CustomSoundLibrary.h"

#include "app/InstallationPaths.h"
#include "platform/ByteStream.h"
#include "platform/ComboBox.h"
#include "platform/Prompt.h"

#include "FailSink.h"
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

TEST_F(CustomSoundLibraryTest, MissingOrEmptyFolderLeavesOnlyTheDefaultQuietly) {
    for (bool folder : {false, true}) {
        if (folder) {
            MakeSoundsFolder();
            AddSound("notes.txt", {'x'});
        }
        FillReplacementList(m_list);
        EXPECT_EQ(Items(m_list), std::vector<std::string>{"(default)"});
        EXPECT_TRUE(PromptScript::ShownTexts().empty());
    }
}

TEST_F(CustomSoundLibraryTest, ListsWaveAndMidiFilesInCaseBlindOrderAfterTheDefaultAndEndsDisabled) {
    MakeSoundsFolder();
    for (const char* wave : {"b.WAV", "c.wav", "hello.wav", "Bark.Wav", "long.wave", "wav"}) {
        AddGoodWave(wave);
    }
    // MIDI files are listed whatever they hold; other endings and folders are not listed at all.
    AddSound("A.MID", {'h', 'e', 'l', 'l', 'o'});
    AddSound("HELLO.MID", {});
    AddSound("tune.mId", {});
    AddSound("tune.midi", {});
    AddSound("readme.txt", {});
    ASSERT_TRUE(MakeFolders(SoundsFolder + "/x.WAV") && MakeFolders(SoundsFolder + "/y.MID"));
    // Whatever the list held before is gone.
    m_list.AddString("stale.wav");
    m_list.SetCurSel(0);
    m_list.EnableWindow(true);

    FillReplacementList(m_list);
    EXPECT_EQ(Items(m_list), (std::vector<std::string>{"(default)", "A.MID", "b.WAV", "Bark.Wav", "c.wav", "HELLO.MID",
                                                       "hello.wav", "tune.mId"}));
    EXPECT_TRUE(PromptScript::ShownTexts().empty());
    EXPECT_EQ(m_list.GetCurSel(), CB_ERR);
    EXPECT_FALSE(m_list.isEnabled());
}

TEST_F(CustomSoundLibraryTest, EachRefusedWaveIsReportedOnceByItsNameAndTheRestStillListed) {
    MakeSoundsFolder();
    WaveDescription stereo;
    stereo.channels = 2;
    AddSound("two.wav", BuildWave(stereo));
    AddSound("short.WAV", {'R', 'I', 'F', 'F'});
    AddSound("100%s%n.wav", {}); // a name, never a format
    ASSERT_EQ(symlink((SoundsFolder + "/gone.wav").c_str(), (SoundsFolder + "/dangling.wav").c_str()), 0);
    AddGoodWave("good.wav");
    AddSound("tune.mid", {});
    FillReplacementList(m_list);
    EXPECT_EQ(Items(m_list), (std::vector<std::string>{"(default)", "good.wav", "tune.mid"}));
    std::vector<std::string> shown = PromptScript::ShownTexts();
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(shown, (std::vector<std::string>{BadFormat("100%s%n.wav"), BadFormat("dangling.wav"),
                                               BadFormat("short.WAV"), BadFormat("two.wav")}));
    for (const ShownPrompt& prompt : PromptScript::Shown()) {
        EXPECT_EQ(prompt.buttons, "OK");
    }
}

// One header per accepted or refused shape; the folder tests above read such headers from files.
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

class WaveHeaderTest : public ::testing::TestWithParam<WaveCase> {};

TEST_P(WaveHeaderTest, IsAcceptedOnlyForPcmMonoAt8000HzWithTheFormatChunkFirst) {
    std::vector<uint8_t> bytes = BuildWave(GetParam().wave);
    bytes.resize(std::min(bytes.size(), GetParam().keepBytes));
    MemorySource source(bytes.data(), bytes.size());
    EXPECT_EQ(IsAcceptedWaveHeader(source), GetParam().accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Accepted, WaveHeaderTest,
    ::testing::Values(WaveCase{"Mono8Bit", {}, Whole, true},
                      WaveCase{"Mono16Bit", With([](WaveDescription& w) { w.bitsPerSample = 16; }), Whole, true},
                      WaveCase{"WrongRiffSize", With([](WaveDescription& w) { w.riffSizeOverride = 7; }), Whole, true},
                      WaveCase{"WrongFormatSize", With([](WaveDescription& w) { w.formatSizeOverride = 0; }), Whole,
                               true},
                      WaveCase{"ExactlyTheHeader", {}, WaveHeaderSize, true}),
    [](const auto& info) { return info.param.label; });

INSTANTIATE_TEST_SUITE_P(
    Refused, WaveHeaderTest,
    ::testing::Values(
        WaveCase{"Stereo", With([](WaveDescription& w) { w.channels = 2; }), Whole, false},
        WaveCase{"Rate11025", With([](WaveDescription& w) { w.sampleRate = 11025; }), Whole, false},
        WaveCase{"RateHighWordSet", With([](WaveDescription& w) { w.sampleRate = 0x10000 + 8000; }), Whole, false},
        WaveCase{"AdpcmFormat", With([](WaveDescription& w) { w.formatTag = 2; }), Whole, false},
        WaveCase{"OneByteShort", {}, WaveHeaderSize - 1, false},
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
    // Read as one item: a device that hands it out in pieces fails the read.
    TrickleSource halves(std::vector<uint8_t>(header, header + sizeof header), sizeof header / 2);
    EXPECT_FALSE(IsAcceptedWaveHeader(halves));
}

} // namespace
