#include "TempDir.h"
#include "app/InstallationPaths.h"
#include "app/TonewrightApp.h"
#include "platform/FileOps.h"
#include "platform/StickPath.h"

#include <gtest/gtest.h>

TEST(StickPath, FindsEveryNameInAnyCaseAndKeepsTheGivenSpellingPastTheFirstMiss) {
    TempDir dir;
    ASSERT_TRUE(MakeFolders(dir / "open-r/mw/conf") && WriteFileText(dir / "open-r/mw/conf/ers-210.mwc", ""));
    ASSERT_TRUE(WriteFileText(dir / "Audio.oda", "") && WriteFileText(dir / "AUDIO.ODA", ""));
    ASSERT_TRUE(ChangeDirectory(dir.Path()));
    const std::pair<std::string, std::string> cases[] = {
        {"OPEN-R\\MW\\CONF\\ERS-210.MWC", "open-r/mw/conf/ers-210.mwc"},
        {"OPEN-R\\MW\\CONF\\ERS-210.ORG", "open-r/mw/conf/ERS-210.ORG"},
        {"OPEN-R\\MW\\DATA\\P\\AUDIO.ODA", "open-r/mw/DATA/P/AUDIO.ODA"},
        // The exact spelling wins, whatever order the folder lists its names in.
        {"AUDIO.ODA", "AUDIO.ODA"},
        {"Audio.oda", "Audio.oda"},
        {dir / "OPEN-R/", dir / "open-r/"},
        {"", ""},
    };
    for (const auto& [given, found] : cases) {
        EXPECT_EQ(ResolveStickPath(given), found);
    }
}

TEST(InstallationPaths, ComeFromTheExecutablesFolderWhichMustHaveNoSpace) {
    const std::tuple<const char*, std::string, bool> cases[] = {
        // executable, its folder, refused
        {"/opt/Tonewright/Tonewright", "/opt/Tonewright", false},
        {"/home/me/My Tools/Tonewright", "/home/me/My Tools", true},
        {"/home/me/tools/Tone wright", "/home/me/tools", false},
        {"/Tonewright", "", false}, // later paths are folder + "/" + name
    };
    for (const auto& [executable, folder, refused] : cases) {
        BuildInstallationPathsFrom(executable);
        EXPECT_EQ(ProgramFolder, folder);
        EXPECT_EQ(WorkFolder, folder);
        EXPECT_EQ(SoundsFolder, folder + "/SOUNDS");
        EXPECT_EQ(InstallationPathHasSpace(), refused) << executable;
    }
}

TEST(StartUp, TheOnlyOptionNamesTheModelToTakeWhenTheStickDoesNotTell) {
    const std::pair<QStringList, int> cases[] = {
        // arguments, the model taken or -1: refused
        {{}, 0},           {{"--model", "220"}, 220}, {{"--model=210"}, 210}, {{"--model", "310"}, -1},
        {{"--model"}, -1}, {{"--mode", "210"}, -1},   {{"memstick.ind"}, -1},
    };
    for (const auto& [arguments, model] : cases) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        CTonewrightApp app;
        EXPECT_EQ(app.ParseCommandLine(QStringList{"Tonewright"} + arguments), model >= 0);
        EXPECT_EQ(app.AssumedModel(), std::max(model, 0));
    }
}
