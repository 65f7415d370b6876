#include "app/InstallationPaths.h"

#include <gtest/gtest.h>

TEST(InstallationPaths, FoldersComeFromTheExecutablesFolder) {
    BuildInstallationPathsFrom("/opt/Tonewright/Tonewright");
    EXPECT_EQ(ProgramFolder, "/opt/Tonewright");
    EXPECT_EQ(SoundsFolder, "/opt/Tonewright/SOUNDS");
    EXPECT_EQ(WorkFolder, "/opt/Tonewright");
    EXPECT_FALSE(InstallationPathHasSpace());
}

TEST(InstallationPaths, SpaceInAFolderIsRefused) {
    BuildInstallationPathsFrom("/home/me/My Tools/Tonewright");
    EXPECT_TRUE(InstallationPathHasSpace());
}

TEST(InstallationPaths, SpaceOnlyInTheExecutablesNameIsAccepted) {
    BuildInstallationPathsFrom("/home/me/tools/Tone wright");
    EXPECT_EQ(ProgramFolder, "/home/me/tools");
    EXPECT_FALSE(InstallationPathHasSpace());
}

TEST(InstallationPaths, ProgramAtTheRootStripsTheRootSeparator) {
    BuildInstallationPathsFrom("/Tonewright");
    EXPECT_EQ(ProgramFolder, "");
    EXPECT_EQ(WorkFolder, "");
    EXPECT_EQ(SoundsFolder, "/SOUNDS");
    // Later paths are built as folder + "/" + name and still come out right.
    EXPECT_EQ(ProgramFolder + "/Crushkit", "/Crushkit");
    EXPECT_FALSE(InstallationPathHasSpace());
}

TEST(InstallationPaths, RefusalMessageHasFourLinesAndNoFinalLineFeed) {
    std::string text = InstallationRefusalMessage;
    EXPECT_EQ(text, "Can not run Tonewright from that directory\n"
                    "Installation directory name contains spaces\n"
                    "Please reinstall in a simpler folder\n"
                    "(suggestion C:\\AIBO\\Tonewright)");
}
