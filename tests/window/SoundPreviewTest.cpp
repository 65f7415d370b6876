// Preview as the dialog runs it: a real tree and replacement list, the shared state, scripted
// message boxes, and SDL's disk audio driver standing in for the loudspeaker.
#include "sounds/SoundPreview.h"
#include "SoundFixtures.h"
#include "TempDir.h"
#include "app/CustomizationState.h"
#include "app/InstallationPaths.h"
#include "catalog/SoundCatalogs.h"
#include "platform/AudioOut.h"
#include "platform/ComboBox.h"
#include "platform/FileOps.h"
#include "platform/MidiRenderer.h"
#include "platform/Prompt.h"
#include "platform/TreeCtrl.h"
#include "sounds/CustomSoundLibrary.h"
#include "sounds/StockLibraryReader.h"
#include "stick/ModelProfiles.h"

#include <QApplication>
#include <functional>
#include <gtest/gtest.h>

namespace {

constexpr int kAiboLife1 = 0;
constexpr int kRecognition = 6;
constexpr int kWakeupTune = 1; // the first stock sound of the AiboLife1 catalog
constexpr int kHappy = 5;
constexpr int kGeneralHeader = 0;

class SoundPreviewTest : public ::testing::Test {
public:
    void SetUp() override {
        PromptScript::Activate();
        SoundsFolder = m_dir / "SOUNDS";
        WorkFolder = m_dir / "work";
        ASSERT_TRUE(MakeFolders(SoundsFolder));
        ASSERT_TRUE(MakeFolders(WorkFolder));
        CaptureAudioTo(m_capture);
        UseProfile(ProfileTable[kAiboLife1]);
    }
    void TearDown() override { PromptScript::Deactivate(); }

    // A copy of a profile, so a test can hand it a library of its own.
    void UseProfile(const ModelProfile& profile, const StockSoundLibrary* library = nullptr) {
        m_profile = profile;
        if (library != nullptr) {
            m_profile.stockLibrary = library;
        }
        m_state.ActiveProfile = &m_profile;
        m_state.Assignments = AssignmentTable(static_cast<size_t>(profile.catalogCount));
        m_tree.DeleteAllItems();
        m_items.clear();
        HTREEITEM header = TVI_ROOT;
        for (int i = 0; i < profile.catalogCount; ++i) {
            const CatalogEntry& entry = profile.catalog[i];
            HTREEITEM item = m_tree.InsertItem(entry.label, IsStockSound(entry) ? header : TVI_ROOT);
            m_tree.SetItemData(item, i);
            if (!IsStockSound(entry)) {
                header = item;
            }
            m_items.push_back(item);
        }
        FillReplacementList(m_list);
    }

    void AddSoundFile(const std::string& name, const std::vector<uint8_t>& bytes) {
        ASSERT_TRUE(WriteFileBytes(SoundsFolder + "/" + name, bytes));
        FillReplacementList(m_list);
    }

    void Assign(int index, const std::string& name) { (*m_state.Assignments)[static_cast<size_t>(index)] = name; }

    // Selects a tree row and, as the dialog does, shows its assignment in the list: none for a
    // header, "(default)" for a stock sound without one.
    void Select(int index) {
        m_tree.SelectItem(m_items[static_cast<size_t>(index)]);
        const std::optional<std::string>& slot = (*m_state.Assignments)[static_cast<size_t>(index)];
        if (!IsStockSound(m_profile.catalog[index])) {
            m_list.SetCurSel(CB_ERR);
        } else {
            m_list.SetCurSel(slot ? m_list.FindStringExact(-1, *slot) : 0);
        }
    }

    void Preview() {
        AssignmentTable before = *m_state.Assignments;
        PreviewSelectedSound(m_state, m_tree, m_list);
        EXPECT_EQ(*m_state.Assignments, before);
        EXPECT_FALSE(m_state.Modified);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }

    std::vector<int16_t> Played() const { return ReadCapturedAudio(m_capture); }
    bool SomethingWasPlayed() const { return PathExists(m_capture); }
    std::string TempPath() const { return WorkFolder + "/$TMP$.MID"; }
    void MakeDeviceUnavailable() { CaptureAudioTo(m_dir / "no/such/folder/played.raw"); }

    TempDir m_dir;
    std::string m_capture = m_dir / "played.raw";
    ModelProfile m_profile{};
    CustomizationState m_state;
    CTreeCtrl m_tree;
    CComboBox m_list;
    std::vector<HTREEITEM> m_items;
};

} // namespace

TEST_F(SoundPreviewTest, AStockSoundPlaysItsTuneOverAnOlderTemporaryFileAndLeavesNone) {
    ASSERT_TRUE(WriteFileText(TempPath(), "left over from an earlier run"));
    Select(kWakeupTune);
    Preview();
    EXPECT_TRUE(PromptScript::ShownTexts().empty());
    std::optional<PcmAudio> tune = SharedMidiRenderer().Render(StockRecordData(AiboLife1Library, kWakeupTune));
    ASSERT_TRUE(tune.has_value());
    AudibleSpan played = FindAudibleSpan(Played());
    ASSERT_FALSE(played.Empty());
    EXPECT_NEAR(played.Seconds(), FindAudibleSpan(tune->samples).Seconds(), 0.005);
    EXPECT_FALSE(PathExists(TempPath()));
}

TEST_F(SoundPreviewTest, AnAssignedWaveFileWithSpacesInItsNamePlaysInsteadOfTheStockSound) {
    std::vector<uint8_t> wave = MakeSineWave(8000, 1, 16, 0.4);
    AddSoundFile("GOOD BOY.WAV", wave);
    Assign(kHappy, "GOOD BOY.WAV");
    Select(kHappy);
    Preview();
    EXPECT_TRUE(PromptScript::ShownTexts().empty());
    std::optional<PcmAudio> expected = DecodeWave(wave);
    ASSERT_TRUE(expected.has_value());
    EXPECT_GE(SoundOffset(Played(), expected->samples), 0);
    EXPECT_FALSE(PathExists(TempPath()));
}

TEST_F(SoundPreviewTest, AnAssignedMidiFilePlaysEvenWhereTheProfileHasNoLibrary) {
    UseProfile(ProfileTable[kRecognition]);
    std::vector<uint8_t> midi = StockRecordData(Ers310Library, 19);
    AddSoundFile("fanfare.mid", midi);
    Assign(1, "fanfare.mid");
    Select(1);
    Preview();
    EXPECT_TRUE(PromptScript::ShownTexts().empty());
    std::optional<PcmAudio> expected = SharedMidiRenderer().Render(midi);
    ASSERT_TRUE(expected.has_value());
    EXPECT_NEAR(FindAudibleSpan(Played()).Seconds(), FindAudibleSpan(expected->samples).Seconds(), 0.005);
}

// One row of the failure table: how the preview is set up, and the messages it must show.
struct PreviewFailure {
    const char* name;
    std::vector<std::string> messages;
    std::function<void(SoundPreviewTest&)> arrange;
};

void PrintTo(const PreviewFailure& failure, std::ostream* out) {
    *out << failure.name;
}

class PreviewFailureTest : public SoundPreviewTest, public ::testing::WithParamInterface<PreviewFailure> {};

TEST_P(PreviewFailureTest, ShowsItsMessagesInOrderPlaysNothingAndLeavesNoTemporaryFile) {
    GetParam().arrange(*this);
    Preview();
    EXPECT_EQ(PromptScript::ShownTexts(), GetParam().messages);
    EXPECT_TRUE(FindAudibleSpan(Played()).Empty());
    EXPECT_FALSE(PathExists(TempPath()));
}

namespace {

// A library of the given records for a failure row; it lives as long as the program, like the real ones.
const StockSoundLibrary& TestLibrary(const std::vector<StockRecord>& records) {
    static std::vector<std::unique_ptr<std::vector<uint8_t>>> keep;
    static std::vector<std::unique_ptr<StockSoundLibrary>> libraries;
    keep.push_back(std::make_unique<std::vector<uint8_t>>(BuildStockLibrary(records)));
    libraries.push_back(
        std::make_unique<StockSoundLibrary>(StockSoundLibrary{keep.back()->data(), keep.back()->size()}));
    return *libraries.back();
}

} // namespace

INSTANTIATE_TEST_SUITE_P(
    Table, PreviewFailureTest,
    ::testing::Values(
        // The dialog shows no list item for a header, so there is nothing to play.
        PreviewFailure("HeaderSelected", {}, [](SoundPreviewTest& t) { t.Select(kGeneralHeader); }),
        PreviewFailure("NothingSelectedWithAListItem", {"Please select an AIBO sound first"},
                       [](SoundPreviewTest& t) {
                           t.m_tree.SelectItem(nullptr);
                           t.m_list.SetCurSel(0);
                       }),
        PreviewFailure("HeaderSelectedWithAListItem", {"Please select an AIBO sound first"},
                       [](SoundPreviewTest& t) {
                           t.Select(kGeneralHeader);
                           t.m_list.SetCurSel(0);
                       }),
        PreviewFailure("CustomFileRemovedAfterStartUp", {"Error trying to play sound file", "Play error"},
                       [](SoundPreviewTest& t) {
                           t.AddSoundFile("gone.wav", MakeSineWave(8000, 1, 16, 0.1));
                           t.Assign(kHappy, "gone.wav");
                           t.Select(kHappy);
                           ASSERT_TRUE(RemoveFile(SoundsFolder + "/gone.wav"));
                       }),
        PreviewFailure("CustomPlaybackFailsAfterTheOpen", {},
                       [](SoundPreviewTest& t) {
                           t.AddSoundFile("ok.wav", MakeSineWave(8000, 1, 16, 0.1));
                           t.Assign(kHappy, "ok.wav");
                           t.Select(kHappy);
                           t.MakeDeviceUnavailable();
                       }),
        PreviewFailure("ProfileWithoutLibrary", {"Default sound is a .WAV file"},
                       [](SoundPreviewTest& t) {
                           t.UseProfile(ProfileTable[kRecognition]);
                           t.Select(1);
                       }),
        PreviewFailure("LibraryWithoutTheIndex", {"Play error"},
                       [](SoundPreviewTest& t) {
                           t.UseProfile(ProfileTable[kAiboLife1], &TestLibrary({{kWakeupTune, {}}}));
                           t.Select(kHappy);
                       }),
        PreviewFailure("TemporaryFileCannotBeCreated", {"Playing already in progress", "Play error"},
                       [](SoundPreviewTest& t) {
                           WorkFolder = t.m_dir / "no/such/folder";
                           t.Select(kHappy);
                       }),
        PreviewFailure("DeviceRefusesTheTemporaryFile", {"Error trying to play sound file", "Play error"},
                       [](SoundPreviewTest& t) {
                           t.UseProfile(ProfileTable[kAiboLife1], &TestLibrary({{kHappy, {'n', 'o', 't'}}}));
                           t.Select(kHappy);
                       }),
        PreviewFailure("StockPlaybackFailsAfterTheOpen", {"Error trying to play sound file (2)", "Play error"},
                       [](SoundPreviewTest& t) {
                           t.Select(kHappy);
                           t.MakeDeviceUnavailable();
                       })),
    [](const ::testing::TestParamInfo<PreviewFailure>& info) { return std::string(info.param.name); });
