#include "app/InstallationPaths.h"
#include "app/TonewrightApp.h"

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

TEST(StartUp, TheOnlyOptionNamesTheModelToTakeWhenTheStickDoesNotTell) {
    const struct {
        QStringList arguments;
        bool accepted;
        int model;
    } cases[] = {
        {{"Tonewright"}, true, 0},
        {{"Tonewright", "--model", "220"}, true, 220},
        {{"Tonewright", "--model=210"}, true, 210},
        {{"Tonewright", "--model", "310"}, false, 0},
        {{"Tonewright", "--model"}, false, 0},
        {{"Tonewright", "--mode", "210"}, false, 0},
        {{"Tonewright", "memstick.ind"}, false, 0},
    };
    for (const auto& c : cases) {
        CTonewrightApp app;
        EXPECT_EQ(app.ParseCommandLine(c.arguments), c.accepted) << c.arguments.join(' ').toStdString();
        EXPECT_EQ(app.AssumedModel(), c.model) << c.arguments.join(' ').toStdString();
    }
}
