#include "stick/StickDiscovery.h"

#include "StickBuilder.h"
#include "StickFixture.h"
#include "TempDir.h"
#include "platform/ByteStream.h"
#include "platform/FileOps.h"
#include "platform/Prompt.h"
#include "platform/StickPath.h"
#include "platform/Volumes.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

namespace {

const std::string kDialogTitle = "Open MEMSTICK.IND file at root of OpenR directory";
const SoftwareCode kUntouched{0xEE, 0xEE, 0xEE, 0xEE};

bool Parse(const std::vector<uint8_t>& bytes, SoftwareCode& code) {
    MemorySource source(bytes.data(), bytes.size());
    return ParseVersionFile(source, code);
}

std::string Canonical(const std::string& path) {
    std::error_code ec;
    return std::filesystem::canonical(path, ec).string();
}

size_t CountOpenFileDialogs() {
    size_t count = 0;
    for (const ShownPrompt& prompt : PromptScript::Shown()) {
        if (prompt.kind == ShownPrompt::Kind::OpenFile) {
            EXPECT_EQ(prompt.text, kDialogTitle);
            EXPECT_EQ(prompt.buttons, "Open|Cancel");
            ++count;
        }
    }
    return count;
}

size_t CountOtherPrompts() {
    return PromptScript::Shown().size() - CountOpenFileDialogs();
}

} // namespace

// --- The VERSION layout, over bytes in memory ---

TEST(VersionFileLayout, EmptyCommentPutsTheSecondBlockAtSixteen) {
    const std::vector<uint8_t> bytes = {
        'V',  'E',  'R',  'S',  // first block magic
        0x01, 0x00, 0x00, 0x00, // must be 1
        'C',  'O',  'M',  'E',  // comment magic
        0x00, 0x00, 0x00, 0x00, // N = 0: no comment
        'V',  'E',  'R',  'S',  // second block magic, at 16 + N
        0x08, 0x00, 0x00, 0x00, // must be 8
        0x00, 0x01, 0x11, 0x42, // the software code, fourth byte included
        0x00, 0x02, 0x00, 0x00, // further version bytes, content ignored
    };
    SoftwareCode code = kUntouched;
    ASSERT_TRUE(Parse(bytes, code));
    EXPECT_EQ(code, (SoftwareCode{0x00, 0x01, 0x11, 0x42}));
}

TEST(VersionFileLayout, TheCommentAndWhatFollowsTheSecondBlockAreNotLookedAt) {
    VersionLayout layout;
    layout.code = {0x00, 0x01, 0x30, 0xFF};
    // A comment that looks like a second block must not be taken for one.
    layout.comment = "VERS\x08\x00\x00\x00" + std::string(4993, 'c');
    layout.extra = {0xFF, 0xFF, 0xFF, 0xFF};
    layout.trailing = {'j', 'u', 'n', 'k', 0x00, 0xFF};
    SoftwareCode code = kUntouched;
    ASSERT_TRUE(Parse(BuildVersionFile(layout), code));
    EXPECT_EQ(code, layout.code);
}

// One rule of the layout broken per case.
struct BrokenVersion {
    const char* name;
    std::function<void(VersionLayout&)> breakIt;
};

void PrintTo(const BrokenVersion& value, std::ostream* out) {
    *out << value.name;
}

class BrokenVersionFile : public ::testing::TestWithParam<BrokenVersion> {
protected:
    VersionLayout Layout() const {
        VersionLayout layout;
        layout.comment = std::string(17, 'c'); // N = 17
        GetParam().breakIt(layout);
        return layout;
    }
};

TEST_P(BrokenVersionFile, IsRefusedByBringingTheDialogBackWithoutAMessage) {
    TempDir dir;
    const std::string root = dir / "stick";
    StickBuilder stick;
    stick.Version(Layout());
    ASSERT_TRUE(stick.Build(root));

    PromptScript::Activate();
    PromptScript::SetNextFileName(stick.HostPath(root, "MEMSTICK.IND"));
    PromptScript::SetNextFileName(""); // cancel the second dialog
    SoftwareCode code = kUntouched;
    EXPECT_FALSE(LocateStick(code));
    EXPECT_EQ(code, kUntouched);
    EXPECT_EQ(CountOpenFileDialogs(), 2u);
    EXPECT_EQ(CountOtherPrompts(), 0u);
    // The folder last chosen stays the current one, valid or not.
    EXPECT_EQ(Canonical(CurrentDirectory()), Canonical(root));
    PromptScript::Deactivate();
}

INSTANTIATE_TEST_SUITE_P(
    EachRule, BrokenVersionFile,
    ::testing::Values(BrokenVersion{"FirstMagic", [](VersionLayout& s) { s.firstMagic = "VERX"; }},
                      BrokenVersion{"FirstIntegerTwo", [](VersionLayout& s) { s.firstValue = 2; }},
                      BrokenVersion{"CommentMagic", [](VersionLayout& s) { s.commentMagic = "COMM"; }},
                      BrokenVersion{"SecondMagic", [](VersionLayout& s) { s.secondMagic = "VERZ"; }},
                      BrokenVersion{"SecondIntegerSeven", [](VersionLayout& s) { s.secondValue = 7; }},
                      BrokenVersion{"SecondIntegerNine", [](VersionLayout& s) { s.secondValue = 9; }},
                      BrokenVersion{"CommentLengthOneShort", [](VersionLayout& s) { s.commentLength = 16; }},
                      BrokenVersion{"CommentLengthPastTheEnd", [](VersionLayout& s) { s.commentLength = 1000; }},
                      BrokenVersion{"CommentLengthLargest", [](VersionLayout& s) { s.commentLength = 0xFFFFFFFFu; }},
                      BrokenVersion{"CommentLengthNegativeIfSigned",
                                    [](VersionLayout& s) { s.commentLength = 0xFFFFFFF0u; }},
                      BrokenVersion{"EndsBeforeTheVersionBytes", [](VersionLayout& s) { s.truncateAt = 28 + 17; }},
                      BrokenVersion{"EndsOneByteShort", [](VersionLayout& s) { s.truncateAt = 31 + 17; }},
                      BrokenVersion{"EndsAfterTheComment", [](VersionLayout& s) { s.truncateAt = 16 + 17; }},
                      BrokenVersion{"EndsInsideTheFirstBlock", [](VersionLayout& s) { s.truncateAt = 15; }}),
    [](const ::testing::TestParamInfo<BrokenVersion>& info) { return std::string(info.param.name); });

// --- Finding the stick through the open-file dialog ---

class LocateStickTest : public StickFixture {
protected:
};

TEST_F(LocateStickTest, AnyFileInTheRootFolderWillDo) {
    StickBuilder stick;
    const std::string root = Build(stick);
    ASSERT_TRUE(WriteFileText(root + "/README.TXT", "not the marker file"));
    PromptScript::SetNextFileName(root + "/README.TXT");

    SoftwareCode code = kUntouched;
    ASSERT_TRUE(LocateStick(code));
    EXPECT_EQ(code, ProfileTable[0].softwareCode);
}

TEST_F(LocateStickTest, FolderWithoutVersionIsAskedForAgainThenCancelled) {
    StickBuilder stick;
    stick.NoVersion();
    const std::string root = Build(stick);
    PromptScript::SetNextFileName(root + "/MEMSTICK.IND");
    PromptScript::SetNextFileName("");

    SoftwareCode code = kUntouched;
    EXPECT_FALSE(LocateStick(code));
    EXPECT_EQ(code, kUntouched);
    EXPECT_EQ(CountOpenFileDialogs(), 2u);
    EXPECT_EQ(CountOtherPrompts(), 0u);
    EXPECT_EQ(Canonical(CurrentDirectory()), Canonical(root));
}

TEST_F(LocateStickTest, FolderWithoutMarkerFileIsAskedForAgain) {
    StickBuilder stick;
    stick.NoMemstick();
    const std::string root = Build(stick);
    ASSERT_TRUE(WriteFileText(root + "/other.ind", ""));
    PromptScript::SetNextFileName(root + "/other.ind");

    SoftwareCode code = kUntouched;
    EXPECT_FALSE(LocateStick(code));
    EXPECT_EQ(code, kUntouched);
    EXPECT_EQ(CountOpenFileDialogs(), 2u);
}

TEST_F(LocateStickTest, FoldersNamedLikeItsFilesDoNotMakeAStick) {
    for (const std::string folder : {"memstick.ind", "OPEN-R/APP/VERSION"}) {
        SCOPED_TRACE(folder);
        StickBuilder stick;
        folder == "memstick.ind" ? stick.NoMemstick() : stick.NoVersion();
        const std::string root = Build(stick, folder == "memstick.ind" ? "marker" : "version");
        ASSERT_TRUE(MakeFolders(root + "/" + folder));
        ASSERT_TRUE(ChangeDirectory(root));
        SoftwareCode code = kUntouched;
        EXPECT_FALSE(ReadVersionFile(code));
        EXPECT_EQ(code, kUntouched);
    }
}

TEST_F(LocateStickTest, ValidStickAfterAnInvalidOneIsAccepted) {
    StickBuilder broken;
    broken.NoVersion();
    const std::string wrong = Build(broken, "wrong");
    StickBuilder stick(ProfileTable[6]);
    const std::string right = Build(stick, "right");
    PromptScript::SetNextFileName(wrong + "/MEMSTICK.IND");
    PromptScript::SetNextFileName(right + "/MEMSTICK.IND");

    SoftwareCode code = kUntouched;
    ASSERT_TRUE(LocateStick(code));
    EXPECT_EQ(code, ProfileTable[6].softwareCode);
    EXPECT_EQ(CountOpenFileDialogs(), 2u);
    EXPECT_EQ(Canonical(CurrentDirectory()), Canonical(right));
}

TEST_F(LocateStickTest, FolderThatCannotBeEnteredIsNotConfusedWithTheCurrentOne) {
    // We sit in a valid stick; a choice in a folder we cannot change to must not open it.
    StickBuilder stick;
    const std::string root = Build(stick);
    ASSERT_TRUE(ChangeDirectory(root));
    PromptScript::SetNextFileName(m_dir / "gone/MEMSTICK.IND");
    PromptScript::SetNextFileName("");

    SoftwareCode code = kUntouched;
    EXPECT_FALSE(LocateStick(code));
    EXPECT_EQ(code, kUntouched);
    EXPECT_EQ(CountOpenFileDialogs(), 2u);
}

TEST_F(LocateStickTest, StartedElsewhereTheDialogOpensOnAMountedStick) {
    const std::string first = Build(StickBuilder(), "first");
    const std::string second = Build(StickBuilder().LowerCaseNames(), "second");
    ASSERT_TRUE(MakeFolders(m_dir / "usb"));
    ASSERT_TRUE(MakeFolders(m_dir / "home"));
    SetMountedVolumeRootsForTest(std::vector<std::string>{"/", m_dir / "usb", first + "/", second});
    std::string path;
    ASSERT_TRUE(ChangeDirectory(m_dir / "home"));
    BrowseForMemstickInd(path);
    // From a stick's own folder the dialog stays there.
    ASSERT_TRUE(ChangeDirectory(second));
    BrowseForMemstickInd(path);
    SetMountedVolumeRootsForTest(std::nullopt);

    ASSERT_EQ(CountOpenFileDialogs(), 2u);
    const OpenFileRequest& elsewhere = PromptScript::Shown()[0].request;
    EXPECT_EQ(elsewhere.startFolder, first);
    EXPECT_EQ(elsewhere.initialFileName, "memstick.ind");
    EXPECT_EQ(elsewhere.sidebarFolders, (std::vector<std::string>{first, second}));
    EXPECT_EQ(PromptScript::Shown()[1].request.startFolder, "");
}

TEST_F(LocateStickTest, BrowseFillsThePathOrEmptiesItOnCancel) {
    PromptScript::SetNextFileName("/media/stick/MEMSTICK.IND");
    std::string path = "previous";
    ASSERT_TRUE(BrowseForMemstickInd(path));
    EXPECT_EQ(path, "/media/stick/MEMSTICK.IND");

    PromptScript::SetNextFileName("");
    EXPECT_FALSE(BrowseForMemstickInd(path));
    EXPECT_EQ(path, "");
    ASSERT_EQ(CountOpenFileDialogs(), 2u);
    EXPECT_EQ(PromptScript::Shown()[0].caption, ApplicationTitle());
}
