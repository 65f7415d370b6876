#include "platform/StickPath.h"

#include "TempDir.h"

#include <gtest/gtest.h>
#include <unistd.h>

class StickPathTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(chdir(m_dir.Path().c_str()), 0); }
    TempDir m_dir;
};

TEST_F(StickPathTest, LowerCaseStickResolvesEveryComponent) {
    ASSERT_TRUE(MakeFolders(m_dir / "open-r/mw/conf/ers-210"));
    ASSERT_TRUE(WriteFileText(m_dir / "open-r/mw/conf/ers-210/ers-210.mwc", "x"));
    ASSERT_TRUE(WriteFileText(m_dir / "memstick.ind", ""));
    EXPECT_EQ(ResolveStickPath("OPEN-R\\MW\\CONF\\ERS-210\\ERS-210.MWC"), "open-r/mw/conf/ers-210/ers-210.mwc");
    EXPECT_EQ(ResolveStickPath("MEMSTICK.IND"), "memstick.ind");
}

TEST_F(StickPathTest, MissingLastComponentKeepsTheGivenSpelling) {
    ASSERT_TRUE(MakeFolders(m_dir / "open-r/mw/conf"));
    EXPECT_EQ(ResolveStickPath("OPEN-R\\MW\\CONF\\ERS-210.ORG"), "open-r/mw/conf/ERS-210.ORG");
}

TEST_F(StickPathTest, MissingFolderKeepsTheRestAsGiven) {
    ASSERT_TRUE(MakeFolders(m_dir / "open-r"));
    EXPECT_EQ(ResolveStickPath("OPEN-R\\MW\\DATA\\P\\AUDIO.ODA"), "open-r/MW/DATA/P/AUDIO.ODA");
}

TEST_F(StickPathTest, ExactSpellingWinsOverAnotherCase) {
    ASSERT_TRUE(WriteFileText(m_dir / "Audio.oda", "a"));
    ASSERT_TRUE(WriteFileText(m_dir / "AUDIO.ODA", "b"));
    EXPECT_EQ(ResolveStickPath("AUDIO.ODA"), "AUDIO.ODA");
}

TEST_F(StickPathTest, AbsolutePathsResolveFromTheRoot) {
    ASSERT_TRUE(MakeFolders(m_dir / "Sounds"));
    EXPECT_EQ(ResolveStickPath(m_dir.Path() + "/SOUNDS/x.wav"), m_dir.Path() + "/Sounds/x.wav");
}

TEST(CaseBlindText, ComparesAsciiLettersWithoutCase) {
    EXPECT_TRUE(EqualsNoCase("Bark.WAV", "bark.wav"));
    EXPECT_FALSE(EqualsNoCase("bark.wav", "bark.wa"));
    EXPECT_LT(CompareNoCase("A.MID", "b.WAV"), 0);
    EXPECT_GT(CompareNoCase("c.wav", "B.WAV"), 0);
    EXPECT_EQ(LowerAscii("Ab\xC9Z"), "ab\xC9z");
}
