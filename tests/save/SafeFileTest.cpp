// Replacing a stick file, where the saves of SaveTest do not reach it (they meet a replacement dropped
// half-way, under strace).
#include "platform/SafeFile.h"

#include "SaveExpectations.h"
#include "TempDir.h"
#include "platform/ByteStream.h"
#include "platform/FileOps.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

const std::vector<uint8_t> kOld = {'o', 'l', 'd'};

TEST(SafeFile, ReplacesByWholeFilesOnlyAndLeavesNoTemporary) {
    TempDir dir;
    const std::vector<uint8_t> big = RobotWave(150000, 7); // several copy buffers
    ASSERT_TRUE(WriteFileBytes(dir / "packed.gz", big) && WriteFileBytes(dir / "ERS-210.MWC", kOld));
    ASSERT_TRUE(ReplaceFileSafely(dir / "packed.gz", dir / "ERS-210.MWC"));
    EXPECT_EQ(ReadFileBytes(dir / "ERS-210.MWC"), big);
    EXPECT_FALSE(ReplaceFileSafely(dir / "missing.gz", dir / "ERS-210.MWC"));
    // Asked not to replace, it never does.
    ASSERT_TRUE(WriteFileBytes(dir / "ERS-210.ORG", kOld));
    EXPECT_FALSE(CopyFileSafely(dir / "packed.gz", dir / "ERS-210.ORG", true));
    EXPECT_EQ(ReadFileBytes(dir / "ERS-210.ORG"), kOld);
    EXPECT_EQ(ListFolder(dir.Path()), (std::vector<std::string>{"ERS-210.MWC", "ERS-210.ORG", "packed.gz"}));
    std::remove((dir / "ERS-210.ORG").c_str());
    EXPECT_TRUE(CopyFileSafely(dir / "packed.gz", dir / "ERS-210.ORG", true));
    EXPECT_EQ(ReadFileBytes(dir / "ERS-210.ORG"), big);
}

// errno tells of a failed call only: left at EINTR by an earlier one, it must not make a copy read
// on for ever at the end of its file. The alarm's default action ends a copy that hangs, and the test.
TEST(FileCopies, EndAtTheEndOfTheFileWhateverErrnoHeldBefore) {
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir / "ERS-210.MWC", kOld) && WriteFileBytes(dir / "ERS-210.ORG", {}));
    alarm(10);
    errno = EINTR;
    EXPECT_TRUE(CopyFile(dir / "ERS-210.MWC", dir / "$TMP$.MWC.gz", false));
    errno = EINTR;
    EXPECT_TRUE(ReplaceFileSafely(dir / "ERS-210.MWC", dir / "ERS-210.ORG"));
    alarm(0);
}

TEST(FileSource, TellingTheSizeLeavesTheReadingWhereItWas) {
    // libsndfile asks a recording's length in the middle of reading it.
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir / "f", {1, 2, 3, 4}));
    std::unique_ptr<FileSource> file = FileSource::Open(dir / "f");
    uint8_t byte[2] = {};
    ASSERT_TRUE(ReadItem(*file, byte, 1) && file->Size() == 4 && ReadItem(*file, byte + 1, 1));
    EXPECT_EQ(byte[1], 2);
}

} // namespace
