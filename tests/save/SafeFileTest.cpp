// Replacing a file must never leave it torn: until Commit succeeds the old contents stay, and no
// temporary file outlives the replacement.
#include "platform/SafeFile.h"

#include "TempDir.h"

#include <gtest/gtest.h>

namespace {

const std::vector<uint8_t> kOld = {'o', 'l', 'd'};
const std::vector<uint8_t> kNew = {'n', 'e', 'w', '!', '!'};

TEST(SafeFile, CommitPutsTheNewContentsInPlaceAndLeavesNothingElse) {
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir / "AUDIO.ODA", kOld));
    for (const char* name : {"AUDIO.ODA", "ERS-210.CUS"}) { // one there already, one new
        SafeFile file(dir / name);
        ASSERT_TRUE(file.Open());
        ASSERT_TRUE(WriteItem(file.Sink(), kNew.data(), kNew.size()));
        // Until the commit the old file is what a reader sees.
        EXPECT_EQ(ReadFileBytes(dir / name), name[0] == 'A' ? kOld : std::vector<uint8_t>{});
        ASSERT_TRUE(file.Commit());
        EXPECT_EQ(ReadFileBytes(dir / name), kNew);
    }
    EXPECT_EQ(ListFolder(dir.Path()), (std::vector<std::string>{"AUDIO.ODA", "ERS-210.CUS"}));
}

TEST(SafeFile, DroppedReplacementLeavesTheOldFileAndNoTemporary) {
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir / "ERS-210.MWC", kOld));
    {
        SafeFile file(dir / "ERS-210.MWC");
        ASSERT_TRUE(file.Open());
        ASSERT_TRUE(WriteItem(file.Sink(), kNew.data(), kNew.size()));
        EXPECT_EQ(ListFolder(dir.Path()).size(), 2u);
    } // destroyed without Commit, as on every failure path
    EXPECT_EQ(ReadFileBytes(dir / "ERS-210.MWC"), kOld);
    EXPECT_EQ(ListFolder(dir.Path()), std::vector<std::string>{"ERS-210.MWC"});
}

TEST(SafeFile, OpenFailsInAMissingFolder) {
    TempDir dir;
    SafeFile file(dir / "no/such/folder/AUDIO.ODA");
    EXPECT_FALSE(file.Open());
    EXPECT_FALSE(file.Commit());
}

TEST(SafeFile, CommitFailsWhenTheTargetCannotBeReplaced) {
    TempDir dir;
    // A folder in the target's place cannot be renamed over.
    ASSERT_TRUE(MakeFolders(dir / "AUDIO.ODA/inside"));
    SafeFile file(dir / "AUDIO.ODA");
    ASSERT_TRUE(file.Open());
    ASSERT_TRUE(WriteItem(file.Sink(), kNew.data(), kNew.size()));
    EXPECT_FALSE(file.Commit());
    EXPECT_EQ(ListFolder(dir.Path()), std::vector<std::string>{"AUDIO.ODA"});
    EXPECT_TRUE(PathExists(dir / "AUDIO.ODA/inside"));
}

TEST(SafeFile, ReplaceFileSafelyCopiesWholeFiles) {
    TempDir dir;
    std::vector<uint8_t> big(300000);
    for (size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<uint8_t>(i * 7);
    }
    ASSERT_TRUE(WriteFileBytes(dir / "packed.gz", big));
    ASSERT_TRUE(WriteFileBytes(dir / "ERS-210.MWC", kOld));
    ASSERT_TRUE(ReplaceFileSafely(dir / "packed.gz", dir / "ERS-210.MWC"));
    EXPECT_EQ(ReadFileBytes(dir / "ERS-210.MWC"), big);
    EXPECT_EQ(ReadFileBytes(dir / "packed.gz"), big);
    EXPECT_FALSE(ReplaceFileSafely(dir / "missing.gz", dir / "ERS-210.MWC"));
    EXPECT_EQ(ReadFileBytes(dir / "ERS-210.MWC"), big);
    EXPECT_EQ(ListFolder(dir.Path()), (std::vector<std::string>{"ERS-210.MWC", "packed.gz"}));
}

TEST(SafeFile, CopyWithFailIfExistsNeverReplacesAndLeavesNoTemporary) {
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir / "ERS-210.MWC", kNew));
    ASSERT_TRUE(WriteFileBytes(dir / "ERS-210.ORG", kOld));
    EXPECT_FALSE(CopyFileSafely(dir / "ERS-210.MWC", dir / "ERS-210.ORG", true));
    EXPECT_EQ(ReadFileBytes(dir / "ERS-210.ORG"), kOld);
    EXPECT_EQ(ListFolder(dir.Path()), (std::vector<std::string>{"ERS-210.MWC", "ERS-210.ORG"}));
    std::remove((dir / "ERS-210.ORG").c_str());
    EXPECT_TRUE(CopyFileSafely(dir / "ERS-210.MWC", dir / "ERS-210.ORG", true));
    EXPECT_EQ(ReadFileBytes(dir / "ERS-210.ORG"), kNew);
}

} // namespace

namespace {

TEST(SafeFile, ClearsCopiesThatAnEarlierCutOffReplacementLeft) {
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir / "AUDIO.ODA", kOld));
    ASSERT_TRUE(WriteFileBytes(dir / ".AUDIO.ODA.tw-x1Y2z3", kNew)); // left by a killed save
    ASSERT_TRUE(WriteFileBytes(dir / ".AUDIO.ODA.mine01", kNew));    // the user's own, not one of ours
    SafeFile file(dir / "AUDIO.ODA");
    ASSERT_TRUE(file.Open());
    ASSERT_TRUE(WriteItem(file.Sink(), kNew.data(), kNew.size()));
    ASSERT_TRUE(file.Commit());
    EXPECT_EQ(ListFolder(dir.Path()), (std::vector<std::string>{".AUDIO.ODA.mine01", "AUDIO.ODA"}));
}

} // namespace
