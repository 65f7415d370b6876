#include "stick/StickDiscovery.h"

#include "SampleSticks.h"
#include "SaveExpectations.h"
#include "StickFixture.h"
#include "platform/ByteStream.h"
#include "platform/FileOps.h"
#include "platform/Volumes.h"

#include <cstring>
#include <filesystem>
#include <gmock/gmock.h>
#include <sstream>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

static const SoftwareCode kUntouched{0xEE, 0xEE, 0xEE, 0xEE};

// Broken magics, cut files and comment lengths past the end are VersionFileFuzz's seeds, whose
// checks refuse any of them read; these rows are what those checks cannot see.
TEST(VersionFile, GivesItsCodeOnlyWhenEveryRuleHolds) {
    const std::tuple<const char*, void (*)(VersionLayout&), bool> cases[] = {
        // what, how, valid
        {"no comment", [](VersionLayout& s) { s.comment.clear(); }, true},
        {"comment like the second block", [](VersionLayout&) {}, true},
        {"first integer 2", [](VersionLayout& s) { s.firstValue = 2; }, false},
        {"second integer 7", [](VersionLayout& s) { s.secondValue = 7; }, false},
        {"second integer 9", [](VersionLayout& s) { s.secondValue = 9; }, false},
    };
    for (const auto& [what, change, valid] : cases) {
        VersionLayout layout;
        layout.code = {0x00, 0x01, 0x11, 0x42}; // the fourth byte is part of it
        // A comment that looks like the second block is not taken for it; nor is what follows read.
        layout.comment = std::string("VERS\x08\0\0\0", 8) + std::string(4993, 'c');
        layout.extra = {0xFF, 0xFF, 0xFF, 0xFF};
        layout.trailing = {'j', 'u', 'n', 'k', 0x00};
        change(layout);
        const std::vector<uint8_t> bytes = BuildVersionFile(layout);
        MemorySource source(bytes.data(), bytes.size());
        SoftwareCode code = kUntouched;
        EXPECT_EQ(ParseVersionFile(source, code), valid) << what;
        EXPECT_EQ(code, valid ? layout.code : kUntouched) << what;
    }
}

using Discovery = StickFixture;

TEST_F(Discovery, WrongChoiceBringsTheDialogBackWithoutAWordUntilAStickIsChosen) {
    // What is wrong, how, a folder made where a file should be, and the file chosen in the stick.
    const std::tuple<const char*, void (*)(StickBuilder&), const char*, const char*> cases[] = {
        {"NoVersion", [](StickBuilder& s) { s.NoVersion(); }, "", "MEMSTICK.IND"},
        {"NoMarker", [](StickBuilder& s) { s.NoMemstick(); }, "", "other.ind"},
        {"MarkerIsAFolder", [](StickBuilder& s) { s.NoMemstick(); }, "memstick.ind", "memstick.ind"},
        {"VersionIsAFolder", [](StickBuilder& s) { s.NoVersion(); }, "OPEN-R/APP/VERSION", "MEMSTICK.IND"},
        // One that cannot be entered must not let the stick we sit in pass for it.
        {"Unreachable", [](StickBuilder&) {}, "", "../gone/MEMSTICK.IND"},
    };
    const std::string right = Build(StickBuilder(ProfileTable[6]), "right");
    for (const auto& [what, change, folder, chosen] : cases) {
        SCOPED_TRACE(what);
        StickBuilder wrong;
        change(wrong);
        const std::string root = Build(wrong, what);
        ASSERT_TRUE(MakeFolders(root + "/" + folder) && ChangeDirectory(root));
        PromptScript::Clear();
        PromptScript::SetNextFileName(root + "/" + chosen);
        PromptScript::SetNextFileName(right + "/README.TXT"); // any file of its root folder will do
        SoftwareCode code = kUntouched;
        ASSERT_TRUE(LocateStick(code));
        EXPECT_EQ(code, ProfileTable[6].softwareCode);
        EXPECT_EQ(Shown(), "FF");
        EXPECT_EQ(std::filesystem::canonical(CurrentDirectory()), std::filesystem::canonical(right));
    }
}

TEST_F(Discovery, StartedElsewhereTheDialogOpensOnAMountedStickAndListsThemAll) {
    const std::string first = Build(StickBuilder(), "first");
    const std::string second = Build(StickBuilder().HostNames(LowerAscii), "second");
    const std::string card = m_dir / "card"; // no stick: looking for one opens the folder
    ASSERT_TRUE(MakeFolders(m_dir / "usb") && MakeFolders(card) && ChangeDirectory(m_dir / "usb"));
    // A pipe is no stick file, and opening one would wait for a writer for ever.
    ASSERT_EQ(mkfifo((m_dir / "usb/MEMSTICK.IND").c_str(), 0600), 0);
    const int watch = inotify_init1(IN_NONBLOCK);
    ASSERT_GE(inotify_add_watch(watch, card.c_str(), IN_OPEN), 0);
    char events[4096];
    const auto cardOpened = [&] { return read(watch, events, sizeof events) > 0; };
    SetMountedVolumeRootsForTest(std::vector<std::string>{"/", card, first + "/", second});
    std::string path = "previous";
    EXPECT_FALSE(BrowseForMemstickInd(path)); // cancelled
    EXPECT_EQ(path, "");
    EXPECT_TRUE(cardOpened());
    ASSERT_TRUE(ChangeDirectory(second)); // from a stick's own folder the dialog stays there
    BrowseForMemstickInd(path);
    EXPECT_FALSE(cardOpened()); // and looks at no mount
    SetMountedVolumeRootsForTest(std::nullopt);
    close(watch);

    ASSERT_EQ(Shown(), "FF");
    const OpenFileRequest& elsewhere = PromptScript::Shown()[0].request;
    EXPECT_EQ(elsewhere.startFolder, first);
    EXPECT_EQ(elsewhere.initialFileName, "memstick.ind");
    EXPECT_EQ(elsewhere.sidebarFolders, (std::vector<std::string>{first, second}));
    EXPECT_EQ(PromptScript::Shown()[1].request.startFolder, "");
    EXPECT_EQ(PromptScript::Shown()[1].request.sidebarFolders, std::vector<std::string>{});
}

TEST(VolumeRoots, AreTheMountTablesLocalFileSystems) {
    // What, the table, the roots.
    const std::tuple<const char*, const char*, std::vector<std::string>> cases[] = {
        {"a desktop",
         "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
         "23 22 0:5 / /proc rw - proc proc rw\n"
         "24 22 0:26 / /sys/fs/cgroup rw shared:4 - cgroup2 cgroup2 rw\n"
         "26 22 0:31 / /run/user/1000 rw shared:5 - tmpfs tmpfs rw\n"
         "28 22 0:51 / /net/home rw shared:7 - nfs4 server:/home rw\n"
         "30 22 0:53 / /home/owner/remote rw - fuse.sshfs owner@server: rw\n"
         "31 22 8:17 / /media/owner/AIBO\\040STICK rw,nosuid shared:9 master:3 - vfat /dev/sdb1 rw\n"
         "32 22 0:54 / /mnt/tab\\011and\\134back rw - fuse.fusefat fusefat rw\n"
         "33 22 8:33 / /media/card rw - fuseblk /dev/sdc1 rw\n"
         "34 22 0:55 / /misc rw - autofs systemd-1 rw\n",
         {"/", "/run/user/1000", "/media/owner/AIBO STICK", "/mnt/tab\tand\\back", "/media/card"}},
        {"malformed lines between good ones",
         "1 0 8:1 / /a rw - vfat x rw\n"
         "2 0 8:2 / /no-separator rw vfat x rw\n"
         "3 0 / /few-fields - vfat x rw\n"
         "4 0 8:4 / /no-source rw - vfat\n"
         "6 0 8:6 /  /double-space rw - vfat x rw\n"
         "7 0 8:7 / /cut\\04 rw - vfat x rw\n"
         "8 0 8:8 / /not\\08octal rw - vfat x rw\n"
         "9 0 8:9 / /past\\400byte rw - vfat x rw\n"
         "12 0 8:12 / /b rw - vfat x rw\n"
         "13 0 8:13 / /unended rw - vfat x rw",
         {"/a", "/b"}},
        // A mount over another hides it: the later one decides, and the folder is listed once.
        {"mounts over mounts",
         "1 0 8:1 / /stick rw - vfat x rw\n2 1 0:2 / /stick rw - nfs s:/ rw\n"
         "3 0 0:3 / /share rw - nfs s:/ rw\n4 3 8:4 / /share rw - vfat y rw\n",
         {"/share"}},
    };
    for (const auto& [what, table, roots] : cases) {
        MemorySource source(table, std::strlen(table));
        EXPECT_EQ(VolumeRootsFromMountInfo(source), roots) << what;
    }
}

// A stick whose FUSE daemon is stopped never answers; a stick beside it does. Started in a private
// mount namespace holding both, the program still reaches its open-file dialog, twice, offering the
// stick that answers, and exits; it used to wait on the stopped daemon for ever. (LeakSanitizer
// would stop every thread at exit to scan memory, and cannot stop one that waits on the daemon.)
TEST_F(Discovery, AMountThatNeverAnswersHoldsUpNeitherTheDialogNorTheOtherSticks) {
    std::optional<std::vector<std::string>> wrapper = PrivateMount(R"(
        hung=$1 live=$2 image=$3; shift 3
        cd "${image%/*}" || exit 1
        fusefat -f -o rw+ "$image" "$hung" > /dev/null 2>&1 & daemon=$!
        for i in $(seq 100); do mountpoint -q "$hung" && break; sleep 0.1; done
        mountpoint -q "$hung" && touch "$hung/MEMSTICK.IND" && mount -t tmpfs tmpfs "$live" &&
            touch "$live/memstick.ind" || { kill $daemon; wait; exit 90; }
        kill -STOP $daemon
        ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0 timeout -s KILL 30 "$@"; status=$?
        kill -CONT $daemon; fusermount -u "$hung" || kill $daemon; wait
        exit $status)");
    const std::string self = ExecutablePath(), driver = self.substr(0, self.rfind('/')) + "/StickDialogDriver";
    if (!wrapper || access(driver.c_str(), X_OK) != 0 || !FindProgram("fusefat") || !FindProgram("mkfs.vfat") ||
        access("/dev/fuse", R_OK | W_OK) != 0) {
        GTEST_SKIP() << "needs StickDialogDriver, a private mount namespace (root and unshare), fusefat, "
                        "mkfs.vfat (dosfstools) and /dev/fuse";
    }
    const std::string hung = m_dir / "hung", live = m_dir / "live", image = m_dir / "stick.img";
    const std::string report = m_dir / "report", log = m_dir / "log";
    ASSERT_TRUE(MakeFolders(hung) && MakeFolders(live));
    ASSERT_EQ(RunProgram({*FindProgram("mkfs.vfat"), "-C", image, "16384"}), 0);
    wrapper->insert(wrapper->end(), {hung, live, image, driver, report});
    const int status = RunProgram(*wrapper, log);
    if (status == 90) {
        GTEST_SKIP() << "FUSE or tmpfs cannot be mounted here: " << ReadFileText(log);
    }
    ASSERT_EQ(status, 0) << "the dialog was never reached: " << ReadFileText(log);
    // The time, then the sticks offered: sticks other tests mount meanwhile may be among them. The
    // stopped one would be, had its daemon answered.
    std::istringstream fields(ReadFileText(report));
    std::vector<std::string> offered;
    for (std::string field; std::getline(fields, field, '\0');) {
        offered.push_back(field);
    }
    ASSERT_FALSE(offered.empty());
    EXPECT_LT(std::stol(offered[0]), 3000) << "the dialogs took as long as a hang";
    EXPECT_THAT(offered, ::testing::Contains(live));
    EXPECT_THAT(offered, ::testing::Not(::testing::Contains(hung)));
}
