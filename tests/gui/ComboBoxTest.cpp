// The sorted drop-down list behind the replacement list: case-blind order, positional inserts
// that the sorting leaves alone, case-blind exact find, and choices told apart from selections
// made by the program.
#include "platform/ComboBox.h"

#include "ComboItems.h"
#include <QTest>

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

} // namespace
