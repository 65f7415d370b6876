// Drives the real customization dialog on the offscreen platform: its initialisation, the tree
// it fills from each catalog, the replacement list kept in step with the tree, the user's choices
// and Cancel. Only the modal questions and the file dialog are answered by script.
#include "app/CustomizeDlg.h"

#include "ComboItems.h"
#include "EncodedSounds.h"
#include "Resource.h"
#include "SaveExpectations.h"
#include "StickBuilder.h"
#include "TempDir.h"
#include "WaveBuilder.h"
#include "app/InstallationPaths.h"
#include "catalog/SoundCatalogs.h"
#include "platform/Prompt.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Runs the dialog modally and calls `whileOpen` once it is on screen; the dialog's result is
// returned. `whileOpen` must end the dialog (or leave it to the test's own actions).
int RunModal(CCustomizeDlg& dlg, const std::function<void()>& whileOpen) {
    SetMainWindow(&dlg);
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &dlg, [&] {
        if (!dlg.isVisible()) {
            return; // ended during initialisation, before it was ever shown
        }
        whileOpen();
        if (dlg.isVisible()) {
            dlg.EndDialog(IDCANCEL + 100); // the test forgot to end it: make that visible
        }
    });
    timer.start(0);
    int result = dlg.DoModal();
    timer.stop();
    SetMainWindow(nullptr);
    return result;
}

QTreeWidgetItem* ItemAt(CTreeCtrl& tree, int top, int child = -1) {
    QTreeWidgetItem* item = tree.topLevelItem(top);
    return child < 0 ? item : item->child(child);
}

// The user picks `file` in the list for the sound at `item`.
void Choose(CCustomizeDlg& dlg, QTreeWidgetItem* item, const std::string& file) {
    dlg.SoundTree().SelectItem(item);
    CComboBox& list = dlg.ReplacementList();
    list.SetCurSel(list.FindStringExact(-1, file));
    Q_EMIT list.activated(list.GetCurSel());
}

class CustomizeDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        PromptScript::Activate();
        SetApplicationTitle("Tonewright");
        m_stick = m_dir / "stick";
        SoundsFolder = m_dir / "SOUNDS";
        WorkFolder = ProgramFolder = m_dir.Path();
        ASSERT_TRUE(MakeFolders(SoundsFolder));
        WaveDescription wave;
        ASSERT_TRUE(WriteFileBytes(SoundsFolder + "/Bark.wav", BuildWave(wave)));
        ASSERT_TRUE(WriteFileBytes(SoundsFolder + "/chirp.WAV", BuildWave(wave)));
        ASSERT_TRUE(WriteFileText(SoundsFolder + "/Tune.mid", "MThd"));
    }
    void TearDown() override { PromptScript::Deactivate(); }

    void BuildStick(const StickBuilder& builder) {
        ASSERT_TRUE(builder.Build(m_stick));
        PromptScript::SetNextFileName(builder.HostPath(m_stick, "MEMSTICK.IND"));
    }

    TempDir m_dir;
    std::string m_stick;
    CustomizationState m_state;
};

TEST_F(CustomizeDlgTest, OpensTheStickAndShowsItsSoftwareBeforeTheWindowAppears) {
    BuildStick(StickBuilder(ProfileTable[2]));
    CCustomizeDlg dlg(m_state);
    bool shownWithContent = false;
    int result = RunModal(dlg, [&] {
        EXPECT_EQ(dlg.GetDlgItemText(IDC_PROFILE_NAME), "AiboLife 2 (210)");
        EXPECT_EQ(dlg.SoundTree().topLevelItemCount(), 3);
        EXPECT_EQ(dlg.ReplacementList().GetCount(), 4);
        EXPECT_EQ(dlg.ReplacementList().GetLBText(0), "(default)");
        EXPECT_FALSE(dlg.ReplacementList().isEnabled());
        EXPECT_EQ(dlg.ReplacementList().GetCurSel(), -1);
        EXPECT_EQ(dlg.SoundTree().GetSelectedItem(), nullptr);
        EXPECT_EQ(dlg.focusWidget(), dlg.GetDlgItem(IDC_SAVE));
        shownWithContent = true;
        dlg.EndDialog(IDCANCEL);
    });
    EXPECT_TRUE(shownWithContent);
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(m_state.ActiveProfile, &ProfileTable[2]);
    ASSERT_TRUE(m_state.Assignments.has_value());
    EXPECT_EQ(m_state.Assignments->size(), 51u);
}

TEST_F(CustomizeDlgTest, CancelledFileDialogEndsWithoutShowingTheWindow) {
    PromptScript::SetNextFileName("");
    CCustomizeDlg dlg(m_state);
    bool shown = false;
    int result = RunModal(dlg, [&] { shown = true; });
    EXPECT_FALSE(shown);
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(m_state.ActiveProfile, nullptr);
    EXPECT_EQ(PromptScript::Shown().at(0).text, "Open MEMSTICK.IND file at root of OpenR directory");
}

TEST_F(CustomizeDlgTest, UnsupportedStickIsReportedAndEndsTheDialog) {
    BuildStick(StickBuilder(ProfileTable[0]).Code({0x00, 0x01, 0x20, 0xFF}));
    CCustomizeDlg dlg(m_state);
    bool shown = false;
    int result = RunModal(dlg, [&] { shown = true; });
    EXPECT_FALSE(shown);
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(PromptScript::ShownTexts().back(), "That memory stick is not supported by Tonewright");
}

TEST_F(CustomizeDlgTest, MalformedRecordIsReportedAfterTheListAndTreeAreFilled) {
    ASSERT_TRUE(WriteFileBytes(SoundsFolder + "/bad.wav", {'R', 'I', 'F', 'F'}));
    BuildStick(StickBuilder(ProfileTable[0]).Record("wake*=Bark.wav\r\nno equals sign\r\n"));
    CCustomizeDlg dlg(m_state);
    bool shown = false;
    int result = RunModal(dlg, [&] { shown = true; });
    EXPECT_FALSE(shown);
    EXPECT_EQ(result, IDCANCEL);
    std::vector<std::string> texts = PromptScript::ShownTexts();
    // The file dialog, the list's complaint, then the record's.
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[1], "WAVE file 'bad.wav' in bad format");
    EXPECT_EQ(texts[2], "Bad format .UNS file");
    EXPECT_EQ(dlg.SoundTree().topLevelItemCount(), 3);
    // The line before the bad one was applied, and applying it was no change of the user's.
    EXPECT_EQ((*m_state.Assignments)[1], std::optional<std::string>("Bark.wav"));
    EXPECT_FALSE(m_state.Modified);
}

struct TreeCase {
    int profile;
    std::vector<std::pair<std::string, int>> groups; // header title and its child count
};

class CustomizeDlgTreeTest : public CustomizeDlgTest, public ::testing::WithParamInterface<TreeCase> {};

TEST_P(CustomizeDlgTreeTest, TreeShowsTheCatalogGroupByGroupWithIndicesAsData) {
    const ModelProfile& profile = ProfileTable[GetParam().profile];
    BuildStick(StickBuilder(profile));
    CCustomizeDlg dlg(m_state);
    RunModal(dlg, [&] {
        CTreeCtrl& tree = dlg.SoundTree();
        const auto& groups = GetParam().groups;
        ASSERT_EQ(tree.topLevelItemCount(), static_cast<int>(groups.size()));
        int index = 0;
        for (int g = 0; g < tree.topLevelItemCount(); ++g) {
            QTreeWidgetItem* header = tree.topLevelItem(g);
            EXPECT_EQ(tree.GetItemText(header), groups[g].first);
            EXPECT_EQ(tree.GetItemData(header), index);
            EXPECT_FALSE(header->isExpanded());
            ++index;
            ASSERT_EQ(header->childCount(), groups[g].second) << groups[g].first;
            for (int c = 0; c < header->childCount(); ++c, ++index) {
                EXPECT_EQ(tree.GetItemData(header->child(c)), index);
                EXPECT_EQ(tree.GetItemText(header->child(c)), profile.catalog[index].label);
            }
        }
        EXPECT_EQ(index, profile.catalogCount);
        dlg.EndDialog(IDCANCEL);
    });
}

INSTANTIATE_TEST_SUITE_P(
    EveryCatalog, CustomizeDlgTreeTest,
    ::testing::Values(TreeCase{0, {{"AIBO GENERAL", 16}, {"AIBO WANTS", 8}, {"AIBO MOODS", 24}}},
                      TreeCase{1, {{"AIBO GENERAL", 10}, {"AIBO WANTS", 9}, {"AIBO MOODS - not yet implemented", 0}}},
                      TreeCase{3, {{"AIBO GENERAL", 16}, {"AIBO WANTS", 8}, {"AIBO MOODS", 24}}},
                      TreeCase{4, {{"AIBO GENERAL", 5}, {"AIBO WANTS", 6}, {"AIBO MOODS - not yet implemented", 0}}},
                      TreeCase{6,
                               {{"My Pink Ball and others", 29},
                                {"Playing", 31},
                                {"Status", 9},
                                {"Interacting", 30},
                                {"Emotions", 15},
                                {"Reactions", 10},
                                {"Self Charge", 26},
                                {"General Voice", 16}}}),
    [](const ::testing::TestParamInfo<TreeCase>& info) { return "Profile" + std::to_string(info.param.profile); });

TEST_F(CustomizeDlgTest, ThreeDisgustRowsAreSeparateSounds) {
    BuildStick(StickBuilder(ProfileTable[0]));
    CCustomizeDlg dlg(m_state);
    RunModal(dlg, [&] {
        CTreeCtrl& tree = dlg.SoundTree();
        QTreeWidgetItem* moods = ItemAt(tree, 2);
        std::vector<int> disgust;
        for (int c = 0; c < moods->childCount(); ++c) {
            if (tree.GetItemText(moods->child(c)) == "Disgust 1") {
                disgust.push_back(static_cast<int>(tree.GetItemData(moods->child(c))));
            }
        }
        EXPECT_EQ(disgust, (std::vector<int>{42, 43, 44}));
        // A choice for the second of them fills slot 43 only.
        tree.SelectItem(moods->child(16));
        CComboBox& list = dlg.ReplacementList();
        list.SetCurSel(list.FindStringExact(-1, "Tune.mid"));
        Q_EMIT list.activated(list.GetCurSel());
        EXPECT_FALSE((*m_state.Assignments)[42].has_value());
        EXPECT_EQ((*m_state.Assignments)[43], std::optional<std::string>("Tune.mid"));
        EXPECT_FALSE((*m_state.Assignments)[44].has_value());
        PromptScript::SetNextAnswer(true);
        dlg.EndDialog(IDCANCEL);
    });
}

TEST_F(CustomizeDlgTest, ListFollowsTheTreeSelection) {
    BuildStick(StickBuilder(ProfileTable[0]).Record("hakken_ball=CHIRP.wav\r\n"));
    CCustomizeDlg dlg(m_state);
    RunModal(dlg, [&] {
        CTreeCtrl& tree = dlg.SoundTree();
        CComboBox& list = dlg.ReplacementList();
        tree.SelectItem(ItemAt(tree, 0, 0)); // Wakeup Tune, no assignment
        EXPECT_TRUE(list.isEnabled());
        EXPECT_EQ(list.GetCurSel(), 0);
        tree.SelectItem(ItemAt(tree, 0, 1)); // See Ball, assigned by the record in other letters
        EXPECT_TRUE(list.isEnabled());
        EXPECT_EQ(list.GetLBText(list.GetCurSel()), "chirp.WAV");
        tree.SelectItem(ItemAt(tree, 1)); // a header
        EXPECT_FALSE(list.isEnabled());
        EXPECT_EQ(list.GetCurSel(), -1);
        tree.SelectItem(nullptr);
        EXPECT_FALSE(list.isEnabled());
        // None of that was a choice of the user's.
        EXPECT_FALSE(m_state.Modified);
        dlg.EndDialog(IDCANCEL);
    });
    EXPECT_EQ(PromptScript::ShownTexts().size(), 1u); // the file dialog only
}

TEST_F(CustomizeDlgTest, AssignmentMissingFromTheListIsReportedAndTheListShowsNothing) {
    BuildStick(StickBuilder(ProfileTable[0]));
    CCustomizeDlg dlg(m_state);
    RunModal(dlg, [&] {
        (*m_state.Assignments)[2] = "gone.wav";
        dlg.SoundTree().SelectItem(ItemAt(dlg.SoundTree(), 0, 1));
        EXPECT_EQ(PromptScript::ShownTexts().back(), "Internal error: lost sound string");
        EXPECT_EQ(dlg.ReplacementList().GetCurSel(), -1);
        EXPECT_TRUE(dlg.ReplacementList().isEnabled());
        dlg.EndDialog(IDCANCEL);
    });
}

TEST_F(CustomizeDlgTest, KeyboardChoiceInTheListIsTheUsersAndSetsModified) {
    BuildStick(StickBuilder(ProfileTable[0]));
    CCustomizeDlg dlg(m_state);
    RunModal(dlg, [&] {
        CTreeCtrl& tree = dlg.SoundTree();
        CComboBox& list = dlg.ReplacementList();
        tree.SelectItem(ItemAt(tree, 0, 0));
        list.setFocus();
        QTest::keyClick(&list, Qt::Key_Down); // "(default)" -> the first file
        EXPECT_TRUE(m_state.Modified);
        EXPECT_EQ((*m_state.Assignments)[1], std::optional<std::string>(list.GetLBText(1)));
        QTest::keyClick(&list, Qt::Key_Up); // back to "(default)": the slot empties
        EXPECT_FALSE((*m_state.Assignments)[1].has_value());
        PromptScript::SetNextAnswer(true);
        dlg.EndDialog(IDCANCEL);
    });
}

TEST_F(CustomizeDlgTest, ChoosingDefaultForAnUnassignedSoundStillCountsAsAChange) {
    BuildStick(StickBuilder(ProfileTable[0]));
    CCustomizeDlg dlg(m_state);
    RunModal(dlg, [&] {
        dlg.SoundTree().SelectItem(ItemAt(dlg.SoundTree(), 0, 0));
        Q_EMIT dlg.ReplacementList().activated(0);
        EXPECT_TRUE(m_state.Modified);
        dlg.EndDialog(IDCANCEL);
    });
}

TEST_F(CustomizeDlgTest, ListChoiceWithAHeaderSelectedChangesNothing) {
    BuildStick(StickBuilder(ProfileTable[0]));
    CCustomizeDlg dlg(m_state);
    RunModal(dlg, [&] {
        dlg.SoundTree().SelectItem(ItemAt(dlg.SoundTree(), 0));
        dlg.ReplacementList().SetCurSel(1);
        Q_EMIT dlg.ReplacementList().activated(1);
        EXPECT_FALSE(m_state.Modified);
        for (const auto& slot : *m_state.Assignments) {
            EXPECT_FALSE(slot.has_value());
        }
        dlg.EndDialog(IDCANCEL);
    });
}

TEST_F(CustomizeDlgTest, CancelWithoutChangesClosesAtOnce) {
    BuildStick(StickBuilder(ProfileTable[0]).Record("wake*=Bark.wav\r\n"));
    CCustomizeDlg dlg(m_state);
    int result = RunModal(dlg, [&] { QTest::keyClick(&dlg, Qt::Key_Escape); });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(PromptScript::ShownTexts().size(), 1u); // no question
}

TEST_F(CustomizeDlgTest, CancelAfterAChoiceAsksAndNoKeepsEverything) {
    BuildStick(StickBuilder(ProfileTable[0]));
    CCustomizeDlg dlg(m_state);
    int result = RunModal(dlg, [&] {
        dlg.SoundTree().SelectItem(ItemAt(dlg.SoundTree(), 0, 0));
        Q_EMIT dlg.ReplacementList().activated(0);
        PromptScript::SetNextAnswer(false);
        static_cast<QPushButton*>(dlg.GetDlgItem(IDCANCEL))->click();
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(PromptScript::Shown().back().text, "Cancel and ignore changes?");
        EXPECT_EQ(PromptScript::Shown().back().buttons, "Yes|No");
        EXPECT_TRUE(m_state.Modified);
        dlg.close(); // the window's close button asks as well
        EXPECT_TRUE(dlg.isVisible());
        PromptScript::SetNextAnswer(true);
        QTest::keyClick(&dlg, Qt::Key_Escape);
    });
    EXPECT_EQ(result, IDCANCEL);
}

TEST_F(CustomizeDlgTest, ASaveThatCouldNotReachTheRobotNamesTheFilesAndTheWindowStaysOpen) {
    ASSERT_TRUE(WriteFileText(SoundsFolder + "/bark.mid", "MThd"));
    BuildStick(StickBuilder(ProfileTable[0]));
    CCustomizeDlg dlg(m_state);
    int result = RunModal(dlg, [&] {
        Choose(dlg, ItemAt(dlg.SoundTree(), 0, 0), "Bark.wav");
        Choose(dlg, ItemAt(dlg.SoundTree(), 0, 1), "bark.mid");
        const AssignmentTable chosen = *m_state.Assignments;
        const Snapshot stick = TakeSnapshot(m_stick);
        PromptScript::Clear();
        static_cast<QPushButton*>(dlg.GetDlgItem(IDC_SAVE))->click();
        EXPECT_TRUE(dlg.isVisible());
        ASSERT_EQ(PromptScript::ShownTexts().size(), 1u);
        EXPECT_EQ(PromptScript::Shown()[0].caption, "Tonewright");
        EXPECT_NE(PromptScript::ShownTexts()[0].find("'Bark.wav' and 'bark.mid'"), std::string::npos);
        EXPECT_EQ(*m_state.Assignments, chosen);
        EXPECT_TRUE(m_state.Modified);
        EXPECT_EQ(TakeSnapshot(m_stick), stick);
        PromptScript::SetNextAnswer(true);
        static_cast<QPushButton*>(dlg.GetDlgItem(IDCANCEL))->click();
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(PromptScript::ShownTexts().back(), "Cancel and ignore changes?");
}

TEST_F(CustomizeDlgTest, PipesInTheSoundsFolderAreSkippedWithoutWaitingForThem) {
    // Opening a pipe for reading waits for a writer; none comes.
    ASSERT_EQ(mkfifo((SoundsFolder + "/x.WAV").c_str(), 0644), 0);
    ASSERT_EQ(mkfifo((SoundsFolder + "/y.mid").c_str(), 0644), 0);
    BuildStick(StickBuilder(ProfileTable[0]));
    CCustomizeDlg dlg(m_state);
    alarm(30); // a start that hangs ends this test program with a failure instead
    bool shown = false;
    RunModal(dlg, [&] {
        shown = true;
        EXPECT_EQ(dlg.ReplacementList().GetCount(), 4);
        dlg.EndDialog(IDCANCEL);
    });
    alarm(0);
    EXPECT_TRUE(shown);
    EXPECT_EQ(PromptScript::ShownTexts().size(), 1u); // the file dialog only: no complaint
}

QAction* MenuAction(CCustomizeDlg& dlg, const QString& text) {
    for (QAction* action : dlg.SystemMenu()->actions()) {
        if (action->text() == text) {
            return action;
        }
    }
    ADD_FAILURE() << "no menu entry " << text.toStdString();
    return nullptr;
}

std::vector<std::string> SecondColumn(CTreeCtrl& tree, int top) {
    std::vector<std::string> texts = {tree.topLevelItem(top)->text(1).toStdString()};
    for (int c = 0; c < tree.topLevelItem(top)->childCount(); ++c) {
        texts.push_back(tree.topLevelItem(top)->child(c)->text(1).toStdString());
    }
    texts.resize(4); // the category and its first three sounds
    return texts;
}

TEST_F(CustomizeDlgTest, AddedSoundsJoinTheListAndOneAddedAloneReplacesTheSelectedSound) {
    const std::string flac = m_dir / "Barking Dog!.flac";
    ASSERT_TRUE(WriteSoundFile(flac, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 2, SineFrames(440, 0.3, 0.5, 44100, 2)));
    ASSERT_TRUE(WriteFileText(m_dir / "broken.mp3", "ID3 but nothing after it"));
    BuildStick(StickBuilder(ProfileTable[0]).Record("hakken_ball=CHIRP.wav\r\n"));
    CCustomizeDlg dlg(m_state);
    RunModal(dlg, [&] {
        CTreeCtrl& tree = dlg.SoundTree();
        CComboBox& list = dlg.ReplacementList();
        // The reloaded choice shows, as the file is named.
        EXPECT_EQ(SecondColumn(tree, 0), (std::vector<std::string>{"1 replaced", "", "chirp.WAV", ""}));

        tree.SelectItem(ItemAt(tree, 0, 0));
        PromptScript::SetNextFileNames({flac});
        static_cast<QPushButton*>(dlg.GetDlgItem(IDC_ADD_SOUNDS))->click();
        const ShownPrompt& dialog = PromptScript::Shown().back();
        EXPECT_EQ(dialog.kind, ShownPrompt::Kind::OpenFile);
        EXPECT_NE(dialog.request.filter.find("*.mp3"), std::string::npos);
        EXPECT_EQ(ComboItems(list),
                  (std::vector<std::string>{"(default)", "Bark.wav", "barking_dog.wav", "chirp.WAV", "Tune.mid"}));
        EXPECT_EQ((*m_state.Assignments)[1], std::optional<std::string>("barking_dog.wav"));
        EXPECT_EQ(list.GetLBText(list.GetCurSel()), "barking_dog.wav");
        EXPECT_TRUE(m_state.Modified);
        EXPECT_EQ(SecondColumn(tree, 0), (std::vector<std::string>{"2 replaced", "barking_dog.wav", "chirp.WAV", ""}));

        // Two at once join the list only; the one that cannot be read is named with the reason.
        tree.SelectItem(ItemAt(tree, 0, 2));
        PromptScript::SetNextFileNames({flac, m_dir / "broken.mp3"});
        MenuAction(dlg, "&Add Sounds...")->trigger();
        EXPECT_NE(list.FindStringExact(-1, "barking_dog_2.wav"), CB_ERR);
        EXPECT_FALSE((*m_state.Assignments)[3].has_value());
        EXPECT_EQ(PromptScript::ShownTexts().back().rfind("Could not add 'broken.mp3':\n", 0), 0u)
            << PromptScript::ShownTexts().back();

        // A file dropped on the window is added the same way.
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(flac))});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&dlg, &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&dlg, &drop);
        QApplication::processEvents();
        EXPECT_EQ((*m_state.Assignments)[3], std::optional<std::string>("barking_dog_3.wav"));

        // Reset all asks, and Yes leaves every sound its own.
        PromptScript::SetNextAnswer(true);
        MenuAction(dlg, "&Reset all to stock sounds")->trigger();
        EXPECT_EQ(PromptScript::ShownTexts().back(), "Reset every sound to its stock sound?");
        EXPECT_EQ(*m_state.Assignments, AssignmentTable(m_state.Assignments->size()));
        EXPECT_EQ(SecondColumn(tree, 0), (std::vector<std::string>{"0 replaced", "", "", ""}));
        EXPECT_EQ(list.GetCurSel(), 0);
        PromptScript::SetNextAnswer(true);
        dlg.EndDialog(IDCANCEL);
    });
    EXPECT_TRUE(PathExists(SoundsFolder + "/barking_dog_3.wav"));
}

TEST_F(CustomizeDlgTest, EnterDoesNotEndTheDialog) {
    BuildStick(StickBuilder(ProfileTable[0]));
    CCustomizeDlg dlg(m_state);
    RunModal(dlg, [&] {
        dlg.SoundTree().SelectItem(ItemAt(dlg.SoundTree(), 0, 0));
        QTest::keyClick(&dlg.SoundTree(), Qt::Key_Return);
        for (int id : {IDC_SAVE, IDCANCEL, IDC_PREVIEW}) {
            QTest::keyClick(dlg.GetDlgItem(id), Qt::Key_Return);
            QTest::keyClick(dlg.GetDlgItem(id), Qt::Key_Enter);
        }
        QTest::keyClick(&dlg, Qt::Key_Enter);
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(PromptScript::ShownTexts().size(), 1u); // nothing but the file dialog
        dlg.EndDialog(IDCANCEL);
    });
}

TEST_F(CustomizeDlgTest, TabOrderFollowsTheTemplate) {
    BuildStick(StickBuilder(ProfileTable[0]));
    CCustomizeDlg dlg(m_state);
    RunModal(dlg, [&] {
        std::vector<QWidget*> expected = {dlg.GetDlgItem(IDC_SAVE),       dlg.GetDlgItem(IDCANCEL),
                                          dlg.GetDlgItem(IDC_SOUND_TREE), dlg.GetDlgItem(IDC_REPLACEMENT_LIST),
                                          dlg.GetDlgItem(IDC_PREVIEW),    dlg.GetDlgItem(IDC_ADD_SOUNDS)};
        // The list is disabled until a sound is chosen, so the chain skips it then.
        dlg.SoundTree().SelectItem(ItemAt(dlg.SoundTree(), 0, 0));
        QWidget* w = dlg.GetDlgItem(IDC_SAVE);
        for (size_t i = 1; i < expected.size(); ++i) {
            w = w->nextInFocusChain();
            while (w->focusPolicy() == Qt::NoFocus || !w->isEnabled()) {
                w = w->nextInFocusChain();
            }
            EXPECT_EQ(w, expected[i]) << "stop " << i;
        }
        EXPECT_EQ(dlg.minimumSize(), dlg.maximumSize());
        dlg.EndDialog(IDCANCEL);
    });
}

TEST_F(CustomizeDlgTest, AboutOpensFromTheContextMenuAndReturns) {
    BuildStick(StickBuilder(ProfileTable[0]));
    CCustomizeDlg dlg(m_state);
    std::string aboutTitle;
    std::string aboutText;
    RunModal(dlg, [&] {
        QMenu* menu = dlg.SystemMenu();
        ASSERT_NE(menu, nullptr);
        QAction* aboutEntry = MenuAction(dlg, "&About Tonewright...");
        ASSERT_NE(aboutEntry, nullptr);
        // Shift+F10 opens the menu from the keyboard.
        QContextMenuEvent keyboard(QContextMenuEvent::Keyboard, QPoint(5, 5), dlg.mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(&dlg, &keyboard);
        EXPECT_TRUE(menu->isVisible());
        menu->hide();
        QTimer::singleShot(0, [&] {
            auto* about = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(about, nullptr);
            aboutTitle = about->windowTitle().toStdString();
            for (QLabel* label : about->findChildren<QLabel*>()) {
                if (!label->text().isEmpty()) {
                    aboutText = label->text().toStdString();
                }
            }
            QTest::keyClick(about, Qt::Key_Return);
        });
        aboutEntry->trigger();
        EXPECT_TRUE(dlg.isVisible());
        dlg.EndDialog(IDCANCEL);
    });
    EXPECT_EQ(aboutTitle, "About Tonewright");
    EXPECT_EQ(aboutText, "Tonewright Version 2.0.02");
}

} // namespace
