#include "sounds/CustomSoundLibrary.h"

#include "app/InstallationPaths.h"
#include "platform/ByteStream.h"
#include "platform/ComboBox.h"

#include "ComboItems.h"
#include "platform/Prompt.h"

#include "FailSink.h"
#include "TempDir.h"
#include "WaveBuilder.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

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
        EXPECT_EQ(ComboItems(m_list), std::vector<std::string>{"(default)"});
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
    EXPECT_EQ(ComboItems(m_list), (std::vector<std::string>{"(default)", "A.MID", "b.WAV", "Bark.Wav", "c.wav",
                                                            "HELLO.MID", "hello.wav", "tune.mId"}));
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
    EXPECT_EQ(ComboItems(m_list), (std::vector<std::string>{"(default)", "good.wav", "tune.mid"}));
    std::vector<std::string> shown = PromptScript::ShownTexts();
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(shown, (std::vector<std::string>{BadFormat("100%s%n.wav"), BadFormat("dangling.wav"),
                                               BadFormat("short.WAV"), BadFormat("two.wav")}));
    for (const ShownPrompt& prompt : PromptScript::Shown()) {
        EXPECT_EQ(prompt.buttons, "OK");
    }
}

// The header shapes themselves are judged by the WaveHeaderFuzz replay, whose check is the rule.
TEST(WaveHeader, IsReadAsOneItem) {
    std::vector<uint8_t> header = BuildWave({});
    header.resize(WaveHeaderSize);
    MemorySource whole(header.data(), header.size());
    EXPECT_TRUE(IsAcceptedWaveHeader(whole));
    // A device that hands it out in pieces fails the read.
    TrickleSource halves(header, WaveHeaderSize / 2);
    EXPECT_FALSE(IsAcceptedWaveHeader(halves));
}

} // namespace
