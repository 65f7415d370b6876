// Replacing a stick file, where the saves of SaveTest do not reach it (they meet a replacement dropped
// half-way, under strace).
#include "platform/SafeFile.h"

#include "SaveExpectations.h"
#include "TempDir.h"
#include "platform/ByteStream.h"
#include "platform/FileOps.h"

#include <cerrno>
#include <cstddef>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
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

// In a process of its own. Started with its input closed, as some launchers do, the program gets
// descriptor 0 for a temporary file, which a dropped replacement closes like any other. A write
// that takes nothing (a broken file system driver; here a filter that answers every write with 0)
// fails a copy, whatever errno held before, rather than trying again for ever.
TEST(FileCopies, CloseWhatTheyDropAndFailWhenAWriteTakesNothing) {
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir / "ERS-210.MWC", kOld));
    if (fork() == 0) {
        alarm(10);
        close(0);
        SafeFile(dir / "ERS-210.ORG").Open();
        const bool closed = fcntl(0, F_GETFD) == -1;
        sock_filter filter[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_write, 0, 1),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO), // errno 0: the call returns 0
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        };
        const sock_fprog program{std::size(filter), filter};
        prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
        prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program);
        errno = EINTR;
        _exit((closed ? 0 : 1) | (CopyFile(dir / "ERS-210.MWC", dir / "copy", false) ? 2 : 0));
    }
    int status = 0;
    wait(&status);
    EXPECT_EQ(status, 0) << "exit 1: descriptor 0 left open; 2: a copy that wrote nothing succeeded; else killed";
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
