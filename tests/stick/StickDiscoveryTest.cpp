#include "stick/StickDiscovery.h"

#include "SampleSticks.h"
#include "StickFixture.h"
#include "platform/ByteStream.h"
#include "platform/FileOps.h"
#include "platform/Volumes.h"

#include <filesystem>

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
    ASSERT_TRUE(MakeFolders(m_dir / "usb") && ChangeDirectory(m_dir / "usb"));
    SetMountedVolumeRootsForTest(std::vector<std::string>{"/", m_dir / "usb", first + "/", second});
    std::string path = "previous";
    EXPECT_FALSE(BrowseForMemstickInd(path)); // cancelled
    EXPECT_EQ(path, "");
    ASSERT_TRUE(ChangeDirectory(second)); // from a stick's own folder the dialog stays there
    BrowseForMemstickInd(path);
    SetMountedVolumeRootsForTest(std::nullopt);

    ASSERT_EQ(Shown(), "FF");
    const OpenFileRequest& elsewhere = PromptScript::Shown()[0].request;
    EXPECT_EQ(elsewhere.startFolder, first);
    EXPECT_EQ(elsewhere.initialFileName, "memstick.ind");
    EXPECT_EQ(elsewhere.sidebarFolders, (std::vector<std::string>{first, second}));
    EXPECT_EQ(PromptScript::Shown()[1].request.startFolder, "");
}
