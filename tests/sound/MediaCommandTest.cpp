#include "platform/MediaCommand.h"
#include "SoundFixtures.h"
#include "TempDir.h"

#include <cctype>
#include <gtest/gtest.h>

namespace {

class MediaCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WriteFileBytes(m_dir / "tone.wav", MakeSineWave(8000, 1, 16, 0.25)));
        ASSERT_TRUE(WriteFileBytes(m_dir / "with space.WAV", MakeSineWave(8000, 1, 8, 0.1)));
        ASSERT_TRUE(WriteFileBytes(m_dir / "tune.mid", m_tune));
        ASSERT_TRUE(WriteFileBytes(m_dir / "TUNE2.MID", m_tune));
    }
    // Devices are process-wide; a test must not leave one open for the next.
    void TearDown() override { mciSendString("close A"); }
    std::string Quoted(const std::string& name) const { return "\"" + (m_dir / name) + "\""; }

    TempDir m_dir;
    std::vector<uint8_t> m_tune = MidiFileMaker(150).Program(79).Note(72, 0, 48).Note(76, 48, 48).Bytes();
};

} // namespace

TEST_F(MediaCommandTest, OpensByQuotedOrPlainPathWhateverTheLetterCase) {
    ASSERT_TRUE(WriteFileBytes(m_dir / "say \"hi\".wav", MakeSineWave(8000, 1, 16, 0.05)));
    for (const std::string& open :
         {"open " + Quoted("tone.wav") + " alias A", "open " + (m_dir / "tone.wav") + " alias A",
          "OPEN " + Quoted("with space.WAV") + " ALIAS a", "  open   " + (m_dir / "TUNE2.MID") + "   alias   A  ",
          "open " + Quoted("say \"hi\".wav") + " alias A"}) {
        EXPECT_EQ(mciSendString(open), MediaOk) << open;
        EXPECT_EQ(mciSendString("Close a"), MediaOk);
    }
}

TEST_F(MediaCommandTest, AnAliasIsOpenOnceUntilClosedAndARefusedOpenLeavesItFree) {
    EXPECT_NE(mciSendString("open " + Quoted("gone.wav") + " alias A"), MediaOk);
    EXPECT_EQ(mciSendString("close A"), MediaUnknownAlias);
    ASSERT_EQ(mciSendString("open " + Quoted("tone.wav") + " alias A"), MediaOk);
    EXPECT_EQ(mciSendString("open " + Quoted("tune.mid") + " alias a"), MediaAliasInUse);
    EXPECT_EQ(mciSendString("close A"), MediaOk);
    EXPECT_EQ(mciSendString("close A"), MediaUnknownAlias);
    EXPECT_EQ(mciSendString("play A wait"), MediaUnknownAlias);
    EXPECT_EQ(mciSendString("open " + Quoted("tune.mid") + " alias A"), MediaOk);
}

struct RefusedFile {
    const char* name;
    int error;
};

void PrintTo(const RefusedFile& file, std::ostream* out) {
    *out << file.name;
}

class RefusedFileTest : public MediaCommandTest, public ::testing::WithParamInterface<RefusedFile> {
protected:
    void SetUp() override {
        MediaCommandTest::SetUp();
        ASSERT_TRUE(WriteFileBytes(m_dir / "noise.mid", std::vector<uint8_t>(500, 0x5A)));
        ASSERT_TRUE(WriteFileBytes(m_dir / "tune-named.wav", m_tune));
        ASSERT_TRUE(WriteFileBytes(m_dir / "tone.txt", MakeSineWave(8000, 1, 16, 0.1)));
        ASSERT_TRUE(WriteFileBytes(m_dir / "empty.wav", {}));
        ASSERT_TRUE(MakeFolders(m_dir / "folder.wav"));
    }
};

TEST_P(RefusedFileTest, IsNotOpened) {
    EXPECT_EQ(mciSendString("open " + Quoted(GetParam().name) + " alias A"), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(Files, RefusedFileTest,
                         ::testing::Values(RefusedFile{"missing.wav", MediaFileNotFound},
                                           RefusedFile{"folder.wav", MediaFileNotFound},
                                           RefusedFile{"noise.mid", MediaCannotDecode},
                                           RefusedFile{"empty.wav", MediaCannotDecode},
                                           RefusedFile{"tune-named.wav", MediaCannotDecode},
                                           RefusedFile{"tone.txt", MediaUnknownDeviceType}),
                         [](const ::testing::TestParamInfo<RefusedFile>& info) {
                             std::string name;
                             for (char c : std::string(info.param.name)) {
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             }
                             return name;
                         });

class MalformedCommandTest : public ::testing::TestWithParam<const char*> {};

TEST_P(MalformedCommandTest, IsNotUnderstood) {
    EXPECT_EQ(mciSendString(GetParam()), MediaUnrecognizedCommand);
}

INSTANTIATE_TEST_SUITE_P(Commands, MalformedCommandTest,
                         ::testing::Values("", "open", "open \"\" alias A", "open \"x.wav\"", "open \"x.wav alias A",
                                           "open x.wav as A", "open x.wav alias A B",
                                           "open /tmp/with space.wav alias A", "play A", "play A wait please",
                                           "close A B", "stop A"));
