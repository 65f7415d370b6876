// The desktop's widgets as the program uses them: the sorted drop-down list behind the
// replacement list (case-blind order, positional inserts that the sorting leaves alone,
// case-blind exact find, choices told apart from selections made by the program), and Qt's own
// open-file dialog as the stick and Add Sounds open it.
#include "platform/ComboBox.h"

#include "ComboItems.h"
#include "TempDir.h"
#include "platform/Prompt.h"

#include <QApplication>
#include <QFileDialog>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

TEST(ComboBox, AddedItemsFallIntoCaseBlindOrder) {
    CComboBox list;
    for (const char* name : {"c.wav", "b.WAV", "A.MID", "B.mid", "a.wav"}) {
        list.AddString(name);
    }
    EXPECT_EQ(ComboItems(list), (std::vector<std::string>{"A.MID", "a.wav", "B.mid", "b.WAV", "c.wav"}));
}

TEST(ComboBox, PositionalInsertStaysWhereItWasPut) {
    CComboBox list;
    list.AddString("b.WAV");
    list.AddString("A.MID");
    list.AddString("c.wav");
    EXPECT_EQ(list.InsertString(0, "(default)"), 0);
    EXPECT_EQ(ComboItems(list), (std::vector<std::string>{"(default)", "A.MID", "b.WAV", "c.wav"}));
    // "(default)" sorts before letters anyway; one that would sort last stays put too.
    list.InsertString(1, "zzz.wav");
    EXPECT_EQ(list.GetLBText(1), "zzz.wav");
}

TEST(ComboBox, ExactFindIgnoresCaseAndNeverMatchesAPrefix) {
    CComboBox list;
    list.AddString("Bark.wav");
    list.AddString("bark.wav.mid");
    list.InsertString(0, "(default)");
    EXPECT_EQ(list.FindStringExact(-1, "BARK.WAV"), 1);
    EXPECT_EQ(list.FindStringExact(-1, "bark.wav.MID"), 2);
    EXPECT_EQ(list.FindStringExact(-1, "bark"), CB_ERR);
    EXPECT_EQ(list.FindStringExact(-1, "(DEFAULT)"), 0);
    EXPECT_EQ(list.FindStringExact(-1, ""), CB_ERR);
}

TEST(ComboBox, KeepsTheExactBytesOfEachItem) {
    CComboBox list;
    const std::string latin1 = "h\xE9llo.wav"; // not valid UTF-8, as an old stick may name it
    list.AddString(latin1);
    EXPECT_EQ(list.GetLBText(0), latin1);
    EXPECT_EQ(list.FindStringExact(-1, latin1), 0);
}

TEST(ComboBox, StartsAndResetsWithoutSelection) {
    CComboBox list;
    list.AddString("a.wav");
    EXPECT_EQ(list.GetCurSel(), -1);
    list.SetCurSel(0);
    list.ResetContent();
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.GetCurSel(), -1);
    EXPECT_EQ(list.SetCurSel(3), CB_ERR);
    EXPECT_EQ(list.GetLBText(7), "");
}

TEST(ComboBox, OnlyTheUsersChoiceIsReported) {
    CComboBox list;
    list.AddString("a.wav");
    list.AddString("b.wav");
    list.InsertString(0, "(default)");
    int choices = 0;
    list.SetOnSelChange([&] { ++choices; });
    list.SetCurSel(1);
    list.SetCurSel(-1);
    EXPECT_EQ(choices, 0);
    list.SetCurSel(0);
    list.setFocus();
    QTest::keyClick(&list, Qt::Key_Down);
    EXPECT_EQ(choices, 1);
    EXPECT_EQ(list.GetCurSel(), 1);
}

TEST(OpenFileDialog, StartsWhereAskedWithTheFilePreselectedAndTheStickAmongThePlaces) {
    TempDir dir;
    ASSERT_TRUE(MakeFolders(dir / "stick"));
    ASSERT_TRUE(WriteFileText(dir / "stick/MEMSTICK.IND", ""));
    OpenFileRequest request;
    request.title = "Open";
    request.initialFileName = "memstick.ind";
    request.filter = "Memory Stick Files (*.ind)\nAll files (*)";
    request.startFolder = dir / "stick";
    request.sidebarFolders = {dir / "stick"};
    QStringList selected, filters;
    QList<QUrl> places;
    QString folder;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        folder = dialog->directory().absolutePath();
        selected = dialog->selectedFiles();
        filters = dialog->nameFilters();
        places = dialog->sidebarUrls();
        QMetaObject::invokeMethod(dialog, "accept");
    });
    const std::optional<std::string> chosen = BrowseForOpenFile(request);
    const QString stick = QString::fromStdString(dir / "stick");
    EXPECT_EQ(folder, stick);
    // The file as the stick spells it, so that Enter opens it.
    EXPECT_EQ(selected, QStringList{stick + "/MEMSTICK.IND"});
    EXPECT_EQ(chosen, std::optional<std::string>(dir / "stick/MEMSTICK.IND"));
    EXPECT_EQ(filters, (QStringList{"Memory Stick Files (*.ind)", "All files (*)"}));
    EXPECT_TRUE(places.contains(QUrl::fromLocalFile(stick)));
}

} // namespace
