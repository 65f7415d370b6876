// The window on the offscreen platform, and what its start and its buttons call: the SOUNDS folder
// as the replacement list shows it, preview (SDL's disk audio driver standing in for the
// loudspeaker) and the record of the user's choices (.CUS). Only modal questions and file dialogs
// are answered by script. Wave headers and records of every other shape are left to the seed
// replays of WaveHeaderFuzz and CustomizationRecordFuzz.
#include "app/CustomizeDlg.h"
#include "app/WaveformView.h"

#include "FailSink.h"
#include "ProgramTexts.h"
#include "Resource.h"
#include "SampleSticks.h"
#include "SoundFixtures.h"
#include "StickBuilder.h"
#include "TempDir.h"
#include "WaveBuilder.h"
#include "app/InstallationPaths.h"
#include "app/TrimDlg.h"
#include "catalog/SoundCatalogs.h"
#include "platform/AudioOut.h"
#include "platform/FileOps.h"
#include "platform/MidiRenderer.h"
#include "platform/Prompt.h"
#include "sounds/CustomSoundLibrary.h"
#include "sounds/SoundPreview.h"
#include "sounds/StockLibrary.h"
#include "sounds/StockLibraryFormat.h"
#include "writer/CustomizationRecord.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace std::string_literals;
using Texts = std::vector<std::string>;

const std::string& kOpenStick = Msg::OpenStickTitle;
// For the dialogs that must end during their initialisation, before the window ever appears.
const std::function<void(CCustomizeDlg&)> NeverShown;

Texts ComboItems(const CComboBox& list) {
    Texts items;
    for (int i = 0; i < list.GetCount(); ++i) {
        items.push_back(list.GetLBText(i));
    }
    return items;
}

QTreeWidgetItem* ItemAt(CTreeCtrl& tree, int top, int child = -1) {
    QTreeWidgetItem* item = tree.topLevelItem(top);
    return child < 0 ? item : item->child(child);
}

QAction* MenuEntry(CCustomizeDlg& dlg, int index, const char* text) {
    QAction* action = dlg.SystemMenu()->actions().at(index);
    EXPECT_EQ(action->text().toStdString(), text);
    return action;
}

// The "Replaced by" column of the first category and of its first three sounds.
Texts ReplacedBy(CTreeCtrl& tree) {
    Texts texts = {tree.topLevelItem(0)->text(1).toStdString()};
    for (int c = 0; c < 3; ++c) {
        texts.push_back(tree.topLevelItem(0)->child(c)->text(1).toStdString());
    }
    return texts;
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        alarm(120); // a start that hangs (on a pipe in SOUNDS), a window left open: the program fails
        PromptScript::Activate();
        SoundsFolder = m_dir / "SOUNDS";
        WorkFolder = ProgramFolder = m_dir.Path();
        CaptureAudioTo(m_dir / "played.raw");
        ASSERT_TRUE(MakeFolders(SoundsFolder));
        ASSERT_TRUE(WriteFileBytes(SoundsFolder + "/Bark.wav", BuildWave({})));
        ASSERT_TRUE(WriteFileBytes(SoundsFolder + "/chirp.WAV", BuildWave({})));
        ASSERT_TRUE(WriteFileText(SoundsFolder + "/Tune.mid", "MThd"));
        // Opening a pipe for reading waits for a writer; none comes. The list must skip them.
        ASSERT_EQ(mkfifo((SoundsFolder + "/x.WAV").c_str(), 0644), 0);
        ASSERT_EQ(mkfifo((SoundsFolder + "/y.mid").c_str(), 0644), 0);
    }
    void TearDown() override {
        PromptScript::Deactivate();
        alarm(0);
    }

    // Opens `stick` (none: the file dialog is cancelled) in a new dialog and calls `whileOpen` once
    // the window is on screen; returns the dialog's result. A window that never appeared fails the
    // test, unless `whileOpen` is NeverShown.
    int Run(const std::optional<StickBuilder>& stick, const std::function<void(CCustomizeDlg&)>& whileOpen) {
        PromptScript::Activate();
        const std::string root = m_sticks + "/stick" + std::to_string(++m_runs);
        if (stick) {
            EXPECT_TRUE(stick->Build(root));
            PromptScript::SetNextFileName(stick->HostPath(root, "MEMSTICK.IND"));
        }
        m_state = CustomizationState{};
        m_dlg = std::make_unique<CCustomizeDlg>(m_state);
        m_shown = false;
        QTimer::singleShot(0, m_dlg.get(), [this, whileOpen] {
            m_shown = m_dlg->isVisible();
            if (m_shown && whileOpen) {
                whileOpen(*m_dlg);
            }
        });
        SetMainWindow(m_dlg.get()); // where the start shows the stick's software
        const int result = m_dlg->DoModal();
        SetMainWindow(nullptr);
        EXPECT_EQ(m_shown, static_cast<bool>(whileOpen)) << "whether the window appeared";
        return result;
    }

    // For the record: the AiboLife 1 catalog with nothing assigned, and no message shown yet.
    void Reset() {
        m_state.ActiveProfile = &ProfileTable[0];
        m_state.Assignments = AssignmentTable(static_cast<size_t>(ProfileTable[0].catalogCount));
        PromptScript::Activate();
    }
    // Reads a record into the assignments from a device that hands out one byte at a time.
    bool Read(const std::string& text) {
        TrickleSource source(std::vector<uint8_t>(text.begin(), text.end()), 1);
        return ReadCustomizationRecord(source, [&](const std::string& key, const std::string& value) {
            return AssignByKey(m_state, m_list, key, value);
        });
    }
    // The assignments as "key=file" lines, in catalog order.
    std::string Assigned() const {
        std::string lines;
        for (int i = 0; i < ProfileTable[0].catalogCount; ++i) {
            if (const auto& slot = (*m_state.Assignments)[static_cast<size_t>(i)]) {
                lines += std::string(ProfileTable[0].catalog[i].key) + "=" + *slot + "\n";
            }
        }
        return lines;
    }

    TempDir m_dir;
    std::string m_sticks = m_dir.Path(); // where Run builds its sticks
    int m_runs = 0;
    bool m_shown = false;
    CustomizationState m_state;
    std::unique_ptr<CCustomizeDlg> m_dlg;
    CComboBox m_list;
};

TEST_F(WindowTest, OpensOnTheSticksSoftwareTheListFollowsTheTreeAndEnterTabAndAboutWork) {
    Texts about;
    const int result = Run(StickBuilder(ProfileTable[0]).Record("hakken_ball=CHIRP.wav\r\n"), [&](CCustomizeDlg& dlg) {
        CTreeCtrl& tree = dlg.SoundTree();
        CComboBox& list = dlg.ReplacementList();
        EXPECT_EQ(dlg.GetDlgItemText(IDC_PROFILE_NAME), "AiboLife 1");
        EXPECT_EQ(ComboItems(list), (Texts{"(default)", "Bark.wav", "chirp.WAV", "Tune.mid"}));
        EXPECT_FALSE(list.isEnabled());
        EXPECT_EQ(tree.GetSelectedItem(), nullptr);
        EXPECT_EQ(dlg.focusWidget(), dlg.GetDlgItem(IDC_SAVE));
        EXPECT_EQ(dlg.findChildren<QLabel*>().first()->buddy(), &list); // "Sound:" names it, for screen readers too

        // A sound with no replacement, a header, a sound the record named in other letters, none.
        const std::tuple<QTreeWidgetItem*, std::string, bool> rows[] = {{ItemAt(tree, 0, 0), "(default)", true},
                                                                        {ItemAt(tree, 1), "", false},
                                                                        {ItemAt(tree, 0, 1), "chirp.WAV", true},
                                                                        {nullptr, "", false}};
        for (const auto& [item, shown, enabled] : rows) {
            tree.SelectItem(item);
            EXPECT_EQ(list.GetLBText(list.GetCurSel()), shown);
            EXPECT_EQ(list.isEnabled(), enabled);
        }
        EXPECT_FALSE(m_state.Modified);
        (*m_state.Assignments)[2] = "gone.wav";
        tree.SelectItem(ItemAt(tree, 0, 1));
        EXPECT_EQ(list.GetCurSel(), -1);
        EXPECT_TRUE(list.isEnabled());

        // Tab goes round in the template's order; Enter on any control ends nothing and asks nothing.
        for (int id : {IDCANCEL, IDC_SOUND_TREE, IDC_REPLACEMENT_LIST, IDC_PREVIEW, IDC_ADD_SOUNDS, IDC_SAVE}) {
            QTest::keyClick(dlg.focusWidget(), Qt::Key_Return);
            QTest::keyClick(dlg.focusWidget(), Qt::Key_Enter);
            QTest::keyClick(dlg.focusWidget(), Qt::Key_Tab);
            EXPECT_EQ(dlg.focusWidget(), dlg.GetDlgItem(id)) << id;
        }
        EXPECT_TRUE(dlg.isVisible());

        // Shift+F10 opens the context menu from the keyboard.
        QContextMenuEvent keyboard(QContextMenuEvent::Keyboard, QPoint(5, 5), dlg.mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(&dlg, &keyboard);
        EXPECT_TRUE(dlg.SystemMenu()->isVisible());
        dlg.SystemMenu()->hide();
        QTimer::singleShot(0, [&] {
            QWidget* box = QApplication::activeModalWidget(); // its icon, then its text
            about = {box->windowTitle().toStdString(), box->findChildren<QLabel*>().last()->text().toStdString(),
                     box->findChildren<QLabel*>().first()->accessibleName().toStdString()};
            EXPECT_EQ(box->minimumSize(), box->maximumSize());
            QTest::keyClick(box, Qt::Key_Return);
        });
        MenuEntry(dlg, 4, "&About Tonewright...")->trigger();
        EXPECT_TRUE(dlg.isVisible());
        QTest::keyClick(&dlg, Qt::Key_Escape); // nothing changed: no question
    });
    EXPECT_EQ(result, IDCANCEL);
    // Nothing about the pipes, nothing from Enter, no question from Escape.
    EXPECT_EQ(PromptScript::ShownTexts(), (Texts{kOpenStick, Msg::LostSound}));
    EXPECT_EQ(about, (Texts{Msg::AboutCaption, Msg::AboutText, "Tonewright icon"}));
}

// Every start: the messages it shows in order, whether the window then appears, and the tree it
// holds: each category with its number of sounds, the catalog's rows in order with their indices.
TEST_F(WindowTest, EveryStartFillsTheTreeFromItsCatalogOrEndsBeforeTheWindowAppears) {
    ASSERT_TRUE(WriteFileBytes(SoundsFolder + "/bad.wav", {'R', 'I', 'F', 'F'}));
    const Texts opened = {kOpenStick, Msg::BadWave("bad.wav")};
    const std::string aiboLife1 = "AIBO GENERAL 16|AIBO WANTS 8|AIBO MOODS 24|";
    const std::string aiboLife310 = "AIBO GENERAL 10|AIBO WANTS 9|AIBO MOODS - not yet implemented 0|";
    const std::string aiboLife220 = "AIBO GENERAL 5|AIBO WANTS 6|AIBO MOODS - not yet implemented 0|";
    const std::string recognition = "My Pink Ball and others 29|Playing 31|Status 9|Interacting 30|Emotions 15|"
                                    "Reactions 10|Self Charge 26|General Voice 16|";
    const Texts unsupported = {kOpenStick, Msg::Unsupported};
    const Texts badRecord = {opened[0], opened[1], Msg::BadRecord};
    const std::tuple<bool, std::string, Texts, std::optional<StickBuilder>> cases[] = {
        {false, "", {kOpenStick}, std::nullopt},
        {false, "", unsupported, WithCode(StickBuilder(ProfileTable[0]), {0x00, 0x01, 0x20, 0xFF})},
        // The list and the tree are filled before the record is read.
        {false, aiboLife1, badRecord, StickBuilder(ProfileTable[0]).Record("wake*=Bark.wav\r\nno equals sign\r\n")},
        {true, aiboLife310, opened, StickBuilder(ProfileTable[1])},
        {true, aiboLife1, opened, StickBuilder(ProfileTable[3])},
        {true, aiboLife220, opened, StickBuilder(ProfileTable[4])},
        {true, recognition, opened, StickBuilder(ProfileTable[6])},
    };
    for (const auto& [opens, groups, shown, stick] : cases) {
        SCOPED_TRACE(groups + shown.back());
        EXPECT_EQ(Run(stick, opens ? [](CCustomizeDlg& dlg) { dlg.EndDialog(IDCANCEL); } : NeverShown), IDCANCEL);
        EXPECT_EQ(PromptScript::ShownTexts(), shown);
        // The soundfont is read in the background from the moment the window appears.
        EXPECT_TRUE(!opens || SharedMidiRenderer().LoadState() != MidiLoadState::NotLoaded);
        CTreeCtrl& tree = m_dlg->SoundTree();
        std::string categories;
        int index = 0;
        for (int g = 0; g < tree.topLevelItemCount(); ++g) {
            QTreeWidgetItem* header = tree.topLevelItem(g);
            categories += tree.GetItemText(header) + " " + std::to_string(header->childCount()) + "|";
            EXPECT_FALSE(header->isExpanded());
            EXPECT_EQ(tree.GetItemData(header), index++);
            for (int c = 0; c < header->childCount(); ++c, ++index) {
                EXPECT_EQ(tree.GetItemData(header->child(c)), index);
                EXPECT_EQ(tree.GetItemText(header->child(c)), stick->Options().profile->catalog[index].label);
            }
        }
        EXPECT_EQ(categories, groups);
        EXPECT_EQ(index, groups.empty() ? 0 : stick->Options().profile->catalogCount);
    }
}

TEST_F(WindowTest, ChoicesAndAddedSoundsReplaceStockSoundsARefusedSaveKeepsThemAndCancelAsks) {
    ASSERT_TRUE(WriteFileText(SoundsFolder + "/bark.mid", "MThd"));
    const std::string dog = m_dir / "Barking Dog!.wav"; // a recording as any recorder makes it
    ASSERT_TRUE(WriteFileBytes(dog, MakeSineWave(44100, 2, 16, 0.5)));
    ASSERT_TRUE(WriteFileText(m_dir / "broken.mp3", "ID3 but nothing after it"));
    const int result = Run(StickBuilder(ProfileTable[0]).Record("hakken_ball=CHIRP.wav\r\n"), [&](CCustomizeDlg& dlg) {
        CTreeCtrl& tree = dlg.SoundTree();
        CComboBox& list = dlg.ReplacementList();
        EXPECT_EQ(ReplacedBy(tree), (Texts{"1 replaced", "", "chirp.WAV", ""})); // as the file is named
        tree.SelectItem(ItemAt(tree, 0));
        list.SetCurSel(1);
        Q_EMIT list.activated(1); // with a header selected: nothing
        EXPECT_FALSE(m_state.Modified);
        tree.SelectItem(ItemAt(tree, 0, 0));
        Q_EMIT list.activated(0); // "(default)" where it already was is still a choice
        EXPECT_TRUE(m_state.Modified);
        list.setFocus();
        QTest::keyClick(&list, Qt::Key_Down);
        QTest::keyClick(&list, Qt::Key_Down);
        EXPECT_EQ((*m_state.Assignments)[1], "Bark.wav");
        tree.SelectItem(ItemAt(tree, 0, 1));
        QTest::keyClick(&list, Qt::Key_Up);
        QTest::keyClick(&list, Qt::Key_Up);
        EXPECT_EQ((*m_state.Assignments)[2], "bark.mid");

        // The robot would know both files by one name: the save is refused and the window stays.
        PromptScript::Clear();
        static_cast<QPushButton*>(dlg.GetDlgItem(IDC_SAVE))->click();
        ASSERT_EQ(PromptScript::ShownTexts().size(), 1u);
        EXPECT_NE(PromptScript::ShownTexts()[0].find("'Bark.wav' and 'bark.mid'"), std::string::npos);
        PromptScript::SetNextAnswer(false);
        static_cast<QPushButton*>(dlg.GetDlgItem(IDCANCEL))->click();
        dlg.close(); // the window's close button asks as well; No again
        EXPECT_TRUE(dlg.isVisible());
        QTest::keyClick(&list, Qt::Key_Up); // back to "(default)": the slot empties
        EXPECT_FALSE((*m_state.Assignments)[2].has_value());

        tree.SelectItem(ItemAt(tree, 0, 0));
        PromptScript::SetNextFileNames({dog});
        static_cast<QPushButton*>(dlg.GetDlgItem(IDC_ADD_SOUNDS))->click();
        EXPECT_NE(PromptScript::Shown().back().request.filter.find("*.mp3"), std::string::npos);
        EXPECT_EQ(ComboItems(list),
                  (Texts{"(default)", "bark.mid", "Bark.wav", "barking_dog.wav", "chirp.WAV", "Tune.mid"}));
        EXPECT_EQ(list.GetLBText(list.GetCurSel()), "barking_dog.wav");
        EXPECT_EQ(ReplacedBy(tree), (Texts{"1 replaced", "barking_dog.wav", "", ""}));

        // Two at once join the list only; the one that cannot be read is named with the reason.
        tree.SelectItem(ItemAt(tree, 0, 2));
        PromptScript::SetNextFileNames({dog, m_dir / "broken.mp3"});
        MenuEntry(dlg, 0, "&Add Sounds...")->trigger();
        EXPECT_NE(list.FindStringExact(-1, "barking_dog_2.wav"), CB_ERR);
        EXPECT_FALSE((*m_state.Assignments)[3].has_value());
        EXPECT_EQ(PromptScript::ShownTexts().back().rfind(Msg::CouldNotAdd("broken.mp3", ""), 0), 0u);

        QMimeData data; // a file dropped on the window
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(dog))});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&dlg, &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&dlg, &drop);
        QApplication::processEvents();
        EXPECT_EQ((*m_state.Assignments)[3], "barking_dog_3.wav");

        PromptScript::SetNextAnswer(true);
        MenuEntry(dlg, 2, "&Reset all to stock sounds")->trigger();
        EXPECT_EQ(PromptScript::Shown().back().text + PromptScript::Shown().back().buttons,
                  Msg::ResetQuestion + Msg::YesNo);
        EXPECT_EQ(*m_state.Assignments, AssignmentTable(m_state.Assignments->size()));
        EXPECT_EQ(ReplacedBy(tree), (Texts{"", "", "", ""}));
        EXPECT_EQ(list.GetCurSel(), 0);
        PromptScript::SetNextAnswer(true);
        QTest::keyClick(&dlg, Qt::Key_Escape);
    });
    EXPECT_EQ(result, IDCANCEL);
    const Texts texts = PromptScript::ShownTexts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), Msg::CancelQuestion), 3);
}

// The window grows: the tree takes the room and both its columns widen, the rows below keep their
// order, and Tab goes round as before. The least it takes is the template's size.
TEST_F(WindowTest, GrowsWithTheTreeTakingTheRoomAndKeepsItsOrder) {
    Run(StickBuilder(ProfileTable[6]), [&](CCustomizeDlg& dlg) {
        CTreeCtrl& tree = dlg.SoundTree();
        EXPECT_EQ(dlg.minimumSize(), dlg.MapDialogSize(231, 206));
        EXPECT_TRUE(dlg.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        const auto place = [&](int id) { return dlg.GetDlgItem(id)->geometry(); };
        const QRect treeBefore = place(IDC_SOUND_TREE), listBefore = place(IDC_REPLACEMENT_LIST);
        const QRect saveBefore = place(IDC_SAVE);
        const int first = tree.columnWidth(0), second = tree.columnWidth(1);
        dlg.resize(dlg.size() + QSize(300, 200));
        QApplication::processEvents();
        EXPECT_EQ(place(IDC_SOUND_TREE).size() - treeBefore.size(), QSize(300, 200));
        EXPECT_TRUE(tree.columnWidth(0) > first && tree.columnWidth(1) > second);
        // Below the tree, as high as before and moved down with it.
        EXPECT_EQ(place(IDC_REPLACEMENT_LIST), listBefore.translated(0, 200).adjusted(0, 0, 300, 0));
        EXPECT_EQ(place(IDC_SAVE).size(), saveBefore.size());
        EXPECT_EQ(place(IDC_TRIM).size(), dlg.MapDialogSize(55, 14)); // as Add Sounds, in the template
        EXPECT_EQ(place(IDC_SAVE).top(), saveBefore.top() + 200);
        dlg.resize(1, 1);
        EXPECT_EQ(dlg.size(), dlg.minimumSize());
        dlg.EndDialog(IDCANCEL);
    });
}

// The line under the tree follows every choice: the room the stick keeps once it is saved, or
// what is missing, with a warning icon (the FAT stick test holds its figures to Save's). The stick
// is a 512 KB tmpfs mounted in a mount namespace of this test's own.
TEST_F(WindowTest, TheRoomLineFollowsEveryChoice) {
    m_sticks = m_dir / "small";
    ASSERT_TRUE(MakeFolders(m_sticks));
    if (unshare(CLONE_NEWNS) != 0 || mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", m_sticks.c_str(), "tmpfs", 0, "size=512k") != 0) {
        GTEST_SKIP() << "needs a mount namespace of its own (root)";
    }
    const std::shared_ptr<void> unmount(nullptr, [&](void*) {
        ChangeDirectory(m_dir.Path());
        umount2(m_sticks.c_str(), MNT_DETACH);
    });
    ASSERT_TRUE(WriteFileBytes(SoundsFolder + "/big.wav", MakeSineWave(8000, 1, 8, 125)));
    ASSERT_EQ(symlink((std::string(getenv("TW_PROGRAM_DIR")) + "/Crushkit").c_str(), (m_dir / "Crushkit").c_str()), 0);
    Texts lines; // the line at the start, then after each choice; " (warning)" with the icon shown
    Run(StickBuilder(ProfileTable[0]), [&](CCustomizeDlg& dlg) {
        CComboBox& list = dlg.ReplacementList();
        QLabel* icon = nullptr;
        for (QLabel* label : dlg.findChildren<QLabel*>()) {
            icon = label->accessibleName() == "Warning" ? label : icon;
        }
        ASSERT_NE(icon, nullptr);
        auto* timer = dlg.findChild<QTimer*>("RoomTimer"); // the line is worked out once the owner pauses
        dlg.SoundTree().SelectItem(ItemAt(dlg.SoundTree(), 0, 0));
        for (const char* file : {"", "big.wav", "Bark.wav", "(default)"}) {
            if (*file != '\0') {
                list.SetCurSel(list.FindStringExact(-1, file));
                Q_EMIT list.activated(list.GetCurSel());
            }
            for (int waits = 0; waits < 3000 && timer->isActive(); ++waits) {
                QTest::qWait(10);
            }
            lines.push_back(dlg.GetDlgItemText(IDC_STICK_ROOM) + (icon->isVisibleTo(&dlg) ? " (warning)" : ""));
        }
        dlg.EndDialog(IDCANCEL);
    });
    // In whole KB: room before, none for a 1 MB sound, less for a small one, as before once undone.
    ASSERT_EQ(lines.size(), 4u);
    const std::string room = Msg::RoomAfterSaving(""), missing = Msg::RoomMissing("");
    const auto kilobytes = [](const std::string& line, size_t at) { return std::atoi(line.c_str() + at); };
    EXPECT_TRUE(lines[0].starts_with(room) && lines[0].ends_with(" KB") && kilobytes(lines[0], room.size()) > 0);
    EXPECT_TRUE(lines[1].starts_with(missing.substr(0, 23)) && lines[1].ends_with(missing.substr(23) + " (warning)") &&
                kilobytes(lines[1], 23) > 400)
        << lines[1];
    EXPECT_TRUE(lines[2].starts_with(room) && kilobytes(lines[2], room.size()) < kilobytes(lines[0], room.size()))
        << lines[2];
    EXPECT_EQ(lines[3], lines[0]);
}

// Trim is offered, by button and menu alike, exactly for a stock sound whose replacement is a WAV
// file of the list; its cut then joins the list and replaces that sound.
TEST_F(WindowTest, TrimIsOfferedForAWaveReplacementAndItsCutReplacesTheSound) {
    const int result = Run(
        StickBuilder(ProfileTable[0]).Record("wake*=Tune.mid\r\nhakken_ball=CHIRP.wav\r\n"), [&](CCustomizeDlg& dlg) {
            CTreeCtrl& tree = dlg.SoundTree();
            auto* button = static_cast<QPushButton*>(dlg.GetDlgItem(IDC_TRIM));
            EXPECT_EQ(button->text().toStdString(), "&Trim...");
            QAction* action = MenuEntry(dlg, 1, "&Trim...");
            // WAV assigned, MIDI assigned, the stock sound, a category, nothing; under the list, the
            // replacement's waveform (of a WAV file only) and its length and size.
            const std::tuple<QTreeWidgetItem*, bool, std::string, size_t> rows[] = {
                {ItemAt(tree, 0, 1), true, "0.0 s, 1 KB", 64},
                {ItemAt(tree, 0, 0), false, "1 KB", 0}, // "MThd" alone: no length to tell
                {ItemAt(tree, 0, 2), false, "", 0},
                {ItemAt(tree, 1), false, "", 0},
                {nullptr, false, "", 0}};
            auto* waveform = static_cast<WaveformView*>(dlg.GetDlgItem(IDC_SOUND_WAVEFORM));
            EXPECT_EQ(waveform->accessibleName(), "Replacement waveform");
            for (const auto& [item, offered, summary, samples] : rows) {
                tree.SelectItem(item);
                SCOPED_TRACE(item != nullptr ? item->text(0).toStdString() : "none");
                EXPECT_EQ(button->isEnabled(), offered);
                EXPECT_EQ(action->isEnabled(), offered);
                EXPECT_EQ(dlg.GetDlgItemText(IDC_SOUND_SUMMARY), summary);
                EXPECT_EQ(waveform->SampleCount(), samples);
            }
            tree.SelectItem(ItemAt(tree, 0, 2)); // a WAV chosen in the list, then the stock sound again
            dlg.ReplacementList().SetCurSel(1);
            Q_EMIT dlg.ReplacementList().activated(1);
            EXPECT_TRUE(button->isEnabled());
            dlg.ReplacementList().SetCurSel(0);
            Q_EMIT dlg.ReplacementList().activated(0);
            EXPECT_FALSE(button->isEnabled());

            tree.SelectItem(ItemAt(tree, 0, 1));
            QTimer::singleShot(0, [] {
                auto* trim = dynamic_cast<CTrimDlg*>(QApplication::activeModalWidget());
                ASSERT_NE(trim, nullptr);
                static_cast<QPushButton*>(trim->GetDlgItem(IDOK))->click();
            });
            button->click();
            EXPECT_EQ((*m_state.Assignments)[2], "chirp_trim.wav");
            EXPECT_EQ(dlg.ReplacementList().GetLBText(dlg.ReplacementList().GetCurSel()), "chirp_trim.wav");
            EXPECT_EQ(ReplacedBy(tree), (Texts{"2 replaced", "Tune.mid", "chirp_trim.wav", ""}));
            EXPECT_TRUE(m_state.Modified);
            EXPECT_EQ(ReadFileBytes(SoundsFolder + "/chirp_trim.wav").size(), 44u + 2 * 64);
            dlg.EndDialog(IDCANCEL);
        });
    EXPECT_EQ(result, IDCANCEL);
}

TEST(OpenFileDialog, StartsWhereAskedWithTheFilePreselectedAndTheStickAmongThePlaces) {
    TempDir stick;
    ASSERT_TRUE(WriteFileText(stick / "MEMSTICK.IND", ""));
    const QString folder = QString::fromStdString(stick.Path());
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->directory().absolutePath(), folder);
        // The file as the stick spells it, so that Enter opens it.
        EXPECT_EQ(dialog->selectedFiles(), QStringList{folder + "/MEMSTICK.IND"});
        EXPECT_EQ(dialog->nameFilters(), (QStringList{"Memory Stick Files (*.ind)", "All files (*)"}));
        EXPECT_TRUE(dialog->sidebarUrls().contains(QUrl::fromLocalFile(folder)));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    const OpenFileRequest request{"Open",       "memstick.ind", "", "Memory Stick Files (*.ind)\nAll files (*)",
                                  stick.Path(), {stick.Path()}};
    EXPECT_EQ(BrowseForOpenFile(request), std::optional<std::string>(stick / "MEMSTICK.IND"));
}

// A message is laid out line by line: the save's summary names a path on a line, which the box must
// not break in the middle.
TEST(MessageBox, KeepsEveryLineWhole) {
    const QString line = "   1 modified entries saved to " + QString(90, 'x') + "\\ERS-210.MWC (compressed)";
    int width = 0, needed = 0;
    QTimer::singleShot(0, [&] {
        auto* label = QApplication::activeModalWidget()->findChild<QLabel*>("qt_msgbox_label");
        std::tie(width, needed) = std::pair(label->minimumWidth(), label->fontMetrics().horizontalAdvance(line));
        QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Return);
    });
    ShowMessage("Saved Custom Sounds\n" + line.toStdString());
    EXPECT_GE(width, needed);
}

TEST(ProgressDialog, FollowsTheWorkNeverGoesBackAndIsFullWhenItIsDone) {
    ProgressPrompt progress("Adding sounds...");
    QProgressDialog* dialog = nullptr;
    for (QWidget* widget : QApplication::allWidgets()) {
        dialog = dialog != nullptr ? dialog : qobject_cast<QProgressDialog*>(widget);
    }
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle().toStdString(), "Tonewright");
    std::vector<int> shown;
    for (double done : {0.5, 0.25, 1.0}) {
        EXPECT_TRUE(progress.Update(done));
        shown.push_back(dialog->value());
    }
    EXPECT_EQ(shown, (std::vector<int>{dialog->maximum() / 2, dialog->maximum() / 2, dialog->maximum()}));
}

TEST_F(WindowTest, ListHoldsTheDefaultThenWaveAndMidiFilesInCaseBlindOrderAndEachBadWaveIsNamed) {
    const std::string latin1 = "h\xE9llo.wav"; // not valid UTF-8, as an old stick may name it
    for (const std::string& name : {"b.WAV"s, "#1.wav"s, latin1}) {
        ASSERT_TRUE(WriteFileBytes(SoundsFolder + "/" + name, BuildWave({})));
    }
    ASSERT_TRUE(WriteFileBytes(SoundsFolder + "/two.wav", MakeSineWave(8000, 2, 8, 0.1)));
    ASSERT_EQ(symlink((SoundsFolder + "/gone.wav").c_str(), (SoundsFolder + "/dangling.wav").c_str()), 0);
    // MIDI files are listed whatever they hold, other endings, folders and pipes not at all; an
    // empty WAV is in bad format.
    for (const char* other : {"A.MID", "z.mId", "tune.midi", "long.wave", "wav", "readme.txt", "100%s%n.wav"}) {
        ASSERT_TRUE(WriteFileText(SoundsFolder + "/" + other, ""));
    }
    ASSERT_TRUE(MakeFolders(SoundsFolder + "/d.WAV") && MakeFolders(SoundsFolder + "/e.MID"));
    FillReplacementList(m_list);
    // Put first by place, "(default)" stays ahead of a name that sorts before it.
    EXPECT_EQ(ComboItems(m_list),
              (Texts{"(default)", "#1.wav", "A.MID", "b.WAV", "Bark.wav", "chirp.WAV", latin1, "Tune.mid", "z.mId"}));
    EXPECT_EQ(m_list.FindStringExact(-1, latin1), 6);
    EXPECT_FALSE(m_list.isEnabled());
    Texts shown = PromptScript::ShownTexts();
    std::sort(shown.begin(), shown.end()); // "100%s%n.wav": a name, never a format
    EXPECT_EQ(shown, (Texts{Msg::BadWave("100%s%n.wav"), Msg::BadWave("dangling.wav"), Msg::BadWave("two.wav")}));

    // No folder: the default alone, whatever the list held.
    SoundsFolder = m_dir / "missing";
    FillReplacementList(m_list);
    EXPECT_EQ(ComboItems(m_list), Texts{"(default)"});
    m_list.ResetContent();
    m_list.AddString("a.wav"); // into an empty list: not made the current item
    EXPECT_EQ(m_list.GetCurSel(), CB_ERR);
    EXPECT_EQ(m_list.SetCurSel(1), CB_ERR);
}

enum class Break { Nothing, FileRemoved, Device, WorkFolder };

struct PreviewCase {
    const char* name;
    int profile;      // row of ProfileTable
    int select;       // catalog index of the tree's selected row (0 a header); -1 none
    std::string file; // made in SOUNDS and assigned to it: a sine (.WAV) or a tune (.mid)
    int listItem;     // the list's current item, unless a file is assigned
    Break broken;
    std::vector<StockRecord> library; // instead of the profile's own, when not empty
    Texts messages;
    bool heard; // the file, or else the stock sound
};

class PreviewTest : public WindowTest, public ::testing::WithParamInterface<PreviewCase> {};

TEST_P(PreviewTest, ShowsItsMessagesInOrderPlaysWhatIsChosenAndLeavesNoTemporaryFile) {
    const PreviewCase& c = GetParam();
    ModelProfile profile = ProfileTable[c.profile];
    const std::vector<uint8_t> library = BuildStockLibrary(c.library);
    const StockSoundLibrary own{library.data(), library.size()};
    profile.stockLibrary = c.library.empty() ? profile.stockLibrary : &own;
    m_state = CustomizationState{&profile, AssignmentTable(static_cast<size_t>(profile.catalogCount))};
    const std::vector<uint8_t> bytes =
        c.file.ends_with(".mid") ? StockRecordData(Ers310Library, 19) : MakeSineWave(8000, 1, 16, 0.4);
    if (!c.file.empty()) {
        ASSERT_TRUE(WriteFileBytes(SoundsFolder + "/" + c.file, bytes));
        (*m_state.Assignments)[static_cast<size_t>(c.select)] = c.file;
    }
    FillReplacementList(m_list);
    m_list.SetCurSel(c.file.empty() ? c.listItem : m_list.FindStringExact(-1, c.file));
    CTreeCtrl tree;
    tree.SetItemData(tree.InsertItem("row", TVI_ROOT), c.select);
    tree.SelectItem(c.select >= 0 ? tree.topLevelItem(0) : nullptr);
    const std::string temporary = WorkFolder + "/$TMP$.MID";
    if (c.heard && c.file.empty()) {
        ASSERT_TRUE(WriteFileText(temporary, "left over from an earlier run"));
    }
    if (c.broken == Break::FileRemoved) {
        ASSERT_TRUE(RemoveFile(SoundsFolder + "/" + c.file));
    } else if (c.broken == Break::Device) {
        CaptureAudioTo(m_dir / "no/such/folder/played.raw");
    } else if (c.broken == Break::WorkFolder) {
        WorkFolder = m_dir / "no/such/folder";
    }

    PreviewSelectedSound(m_state, tree, m_list);
    EXPECT_EQ(PromptScript::ShownTexts(), c.messages);
    EXPECT_FALSE(PathExists(temporary));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    const AudibleSpan played = FindAudibleSpan(ReadCapturedAudio(m_dir / "played.raw"));
    EXPECT_EQ(played.Empty(), !c.heard);
    const std::optional<PcmAudio> expected =
        !c.heard ? PcmAudio{}
        : c.file.ends_with(".WAV")
            ? DecodeWave(bytes)
            : SharedMidiRenderer().Render(c.file.empty() ? StockRecordData(*profile.stockLibrary, c.select) : bytes);
    ASSERT_TRUE(expected.has_value());
    EXPECT_NEAR(played.Seconds(), FindAudibleSpan(expected->samples).Seconds(), 0.005);
}

constexpr int kRecognition = 6; // a profile without a library of stock sounds
constexpr int kHappy = 5;

const PreviewCase kPreviews[] = {
    {"StockTuneOverAnOlderTemporaryFile", 0, 1, "", 0, Break::Nothing, {}, {}, true},
    {"WaveWithSpacesInItsName", 0, kHappy, "GOOD BOY.WAV", 0, Break::Nothing, {}, {}, true},
    {"MidiWhereTheProfileHasNoLibrary", kRecognition, 1, "fanfare.mid", 0, Break::Nothing, {}, {}, true},
    // The dialog shows no list item for a header, so there is nothing to play.
    {"HeaderSelected", 0, 0, "", -1, Break::Nothing, {}, {}, false},
    {"NothingSelectedWithAListItem", 0, -1, "", 0, Break::Nothing, {}, {Msg::SelectFirst}, false},
    {"HeaderSelectedWithAListItem", 0, 0, "", 0, Break::Nothing, {}, {Msg::SelectFirst}, false},
    {"CustomFileRemoved", 0, kHappy, "gone.WAV", 0, Break::FileRemoved, {}, {Msg::OpenError, Msg::PlayError}, false},
    // A sound that opened but could not be heard counts as played.
    {"CustomPlaybackFailsAfterTheOpen", 0, kHappy, "ok.WAV", 0, Break::Device, {}, {}, false},
    {"NoLibrary", kRecognition, 1, "", 0, Break::Nothing, {}, {Msg::NoStockLibrary}, false},
    {"LibraryWithoutTheSound", 0, kHappy, "", 0, Break::Nothing, {{1, {}}}, {Msg::PlayError}, false},
    {"NoTemporaryFile", 0, kHappy, "", 0, Break::WorkFolder, {}, {Msg::PlayingInProgress, Msg::PlayError}, false},
    {"DeviceRefusesTheFile",
     0,
     kHappy,
     "",
     0,
     Break::Nothing,
     {{kHappy, {0}}},
     {Msg::OpenError, Msg::PlayError},
     false},
    {"StockPlaybackFails", 0, kHappy, "", 0, Break::Device, {}, {Msg::PlaybackError, Msg::PlayError}, false},
};

INSTANTIATE_TEST_SUITE_P(Table, PreviewTest, ::testing::ValuesIn(kPreviews),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowTest, WhatTheRecordHoldsReadsBackAndNoLineTheReaderWouldRefuseIsWritten) {
    // Catalog order, CR LF line ends, values whole with their "=", the longest line the reader takes.
    const std::string longest = std::string(RecordLineLimit - 10, 'n') + ".mid";
    ASSERT_TRUE(WriteFileText(SoundsFolder + "/a=b.mid", ""));
    ASSERT_TRUE(WriteFileText(SoundsFolder + "/" + longest, ""));
    FillReplacementList(m_list);
    Reset();
    const std::string record = "wake*=" + longest + "\r\nhakken_ball=a=b.mid\r\n";
    ASSERT_TRUE(Read(record));
    (*m_state.Assignments)[3] = longest + "x";
    (*m_state.Assignments)[4] = "broken\nname.wav";
    MemorySink sink;
    ASSERT_TRUE(WriteCustomizationRecord(m_state, sink));
    EXPECT_EQ(std::string(sink.Bytes().begin(), sink.Bytes().end()), record);

    // None, a folder in its place: nothing, quietly. One on a stick in other letters is found.
    ASSERT_EQ(chdir(m_dir.Path().c_str()), 0);
    Reset();
    EXPECT_TRUE(LoadCustomizationRecord(m_state, m_list));
    ASSERT_TRUE(MakeFolders(m_dir / "OPEN-R/MW/CONF/ERS-210.CUS"));
    EXPECT_TRUE(LoadCustomizationRecord(m_state, m_list));
    EXPECT_TRUE(PromptScript::ShownTexts().empty());
    ASSERT_TRUE(MakeFolders(m_dir / "lower/open-r/mw/conf"));
    ASSERT_TRUE(WriteFileText(m_dir / "lower/open-r/mw/conf/ers-210.cus", "wake*=bark.wav\r\n"));
    ASSERT_EQ(chdir((m_dir / "lower").c_str()), 0);
    EXPECT_TRUE(LoadCustomizationRecord(m_state, m_list));
    EXPECT_EQ(Assigned(), "wake*=bark.wav\n");
}

// Each record is read with the CR LF ends that records on sticks carry and again with bare LF, as
// a hand-edited record may have; a load ends early exactly when the record is in bad format.
TEST_F(WindowTest, RecordLinesAreAppliedWarnedAboutOrEndTheLoadAsBadFormat) {
    const auto Warn = Msg::RecordWarning;
    const std::string& bad = Msg::BadRecord;
    const std::string name = std::string(RecordLineLimit - 10, 'n') + ".mid"; // the longest line the reader takes
    const std::string longest = "wake*=" + name + "\n";
    ASSERT_TRUE(WriteFileText(SoundsFolder + "/" + name, ""));
    FillReplacementList(m_list);
    const std::tuple<std::string, std::string, Texts> cases[] = {
        // the text ("\n" stands for the line end), the assignments, the messages
        {"", "", {}},
        {longest + "hakken_ball=Tune.mid\n", longest + "hakken_ball=Tune.mid\n", {}},
        {"hakken_ball=Tune.mid\nwake*=n" + name + "\nfallasleep_nxs=Bark.wav\n", "hakken_ball=Tune.mid\n", {bad}},
        {"wake*=Bark.wav\n\nhakken_ball=Tune.mid\n", "wake*=Bark.wav\n", {bad}},
        {"wake*=Bark.wav\nhakken_ball=Tune.mid", "wake*=Bark.wav\n", {bad}},
        {"wake*=Ba\0rk.wav\n"s, "", {bad}},
        {"\0wake*=x.wav\nhakken_ball=Tune.mid\n"s, "hakken_ball=Tune.mid\n", {}},
        // Comments end at their line end however long they are: no tail of one counts as a line.
        {"; by hand\n;hakken_ball=Tune.mid\n;" + std::string(150, '-') + "wake*=chirp.WAV\n;" +
             std::string(RecordLineLimit, '-') + "\nwake*=Bark.wav\n;" + std::string(200, '-'),
         "wake*=Bark.wav\n",
         {}},
        {"wake*=Bark.wav\nwake*=BARK.WAV\nhakken_ball=tune.MID\n", "wake*=BARK.WAV\nhakken_ball=tune.MID\n", {}},
        // Keys matching only as patterns or in other letters, of another catalog, no key, files not
        // listed (a carriage return inside a line stays in it), "(default)", no file, a space first.
        {"wakeup=Bark.wav\nWAKE*=Bark.wav\nso1_wake*=Bark.wav\n=Bark.wav\nwake*=Tune\nwake*=Ba\rrk.wav\n"
         "hakken_ball=(default)\nfallasleep_nxs=\n wake*=Bark.wav\nhappy_txs=Tune.mid\n",
         "happy_txs=Tune.mid\n",
         {Warn("wakeup", "Bark.wav"), Warn("WAKE*", "Bark.wav"), Warn("so1_wake*", "Bark.wav"), Warn("", "Bark.wav"),
          Warn("wake*", "Tune"), Warn("wake*", "Ba\rrk.wav"), Warn("hakken_ball", "(default)"),
          Warn("fallasleep_nxs", ""), Warn(" wake*", "Bark.wav")}},
    };
    for (const auto& [text, assigned, messages] : cases) {
        for (const std::string ending : {"\r\n", "\n"}) {
            SCOPED_TRACE(text.substr(0, 40) + (ending == "\n" ? " (LF)" : " (CR LF)"));
            Reset();
            std::string bytes;
            for (char ch : text) {
                bytes += ch == '\n' ? ending : std::string(1, ch);
            }
            EXPECT_EQ(Read(bytes), messages.empty() || messages.back() != bad);
            EXPECT_EQ(Assigned(), assigned);
            EXPECT_EQ(PromptScript::ShownTexts(), messages);
            EXPECT_FALSE(m_state.Modified);
        }
    }
}

} // namespace
