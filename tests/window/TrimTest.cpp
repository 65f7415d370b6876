// The Trim Sound dialog on the offscreen platform, driven as an owner drives it: Start and End
// typed, a drag or a click on the waveform, its keys; OK must write the chosen part of the sound
// as a new file (the samples of the source, apart from the fades at the cuts), Cancel nothing.
#include "app/TrimDlg.h"

#include "ProgramTexts.h"
#include "Resource.h"
#include "SoundFixtures.h"
#include "TempDir.h"
#include "WaveBuilder.h"
#include "app/InstallationPaths.h"
#include "app/WaveformView.h"
#include "platform/Prompt.h"

#include <QAccessible>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <sndfile.h>

namespace {

constexpr size_t Fade = 40; // 5 ms at 8000 Hz

// The samples as libsndfile reads them (8-bit ones widened); none unless `robot` is false or the
// file is the robot's 16-bit mono 8000 Hz PCM WAV.
std::vector<int16_t> ReadSamples(const std::string& path, bool robot) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    std::vector<int16_t> samples(file != nullptr ? static_cast<size_t>(info.frames) : 0);
    const bool read =
        file != nullptr && sf_read_short(file, samples.data(), info.frames) == info.frames && sf_close(file) == 0;
    const bool wanted = !robot || (info.format == (SF_FORMAT_WAV | SF_FORMAT_PCM_16) && info.channels == 1);
    return read && wanted && info.samplerate == 8000 ? samples : std::vector<int16_t>{};
}

enum class Way { Typed, Dragged, Clicked, Keys, Whole };

struct TrimCase {
    const char* name;
    int bits; // of song.wav, 3 s
    Way way;
    double from; // seconds typed, or a fraction of the waveform's width
    double to;
    size_t first; // the samples expected, within one; for the mouse, those under its pixels
    size_t end;
};

class TrimDialog : public ::testing::TestWithParam<TrimCase> {
protected:
    void SetUp() override {
        PromptScript::Activate();
        SoundsFolder = m_dir / "SOUNDS";
        CaptureAudioTo(m_dir / "played.raw");
        ASSERT_TRUE(MakeFolders(SoundsFolder));
    }
    void TearDown() override { PromptScript::Deactivate(); }

    int Run(const std::string& name, const std::function<void(CTrimDlg&)>& whileOpen) {
        CTrimDlg dlg(name);
        QTimer::singleShot(0, &dlg, [&] {
            dlg.activateWindow(); // as the window manager gives it the keyboard
            EXPECT_TRUE(QTest::qWaitForWindowActive(&dlg));
            whileOpen(dlg);
        });
        return dlg.DoModal();
    }
    static QDoubleSpinBox& Box(CTrimDlg& dlg, int id) { return *static_cast<QDoubleSpinBox*>(dlg.GetDlgItem(id)); }
    static void Type(QDoubleSpinBox& box, double seconds) {
        box.setFocus();
        box.selectAll();
        QTest::keyClicks(&box, QString::number(seconds, 'f', 3));
        QTest::keyClick(&box, Qt::Key_Tab);
    }

    TempDir m_dir;
};

struct PaintCount : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::Paint;
        return false;
    }
};

TEST_P(TrimDialog, OkWritesTheChosenPartAsANewFileWithFadesOnlyAtTheCuts) {
    const TrimCase& c = GetParam();
    const std::vector<uint8_t> bytes = MakeSineWave(8000, 1, c.bits, 3.0, 313);
    ASSERT_TRUE(WriteFileBytes(SoundsFolder + "/song.wav", bytes));
    const std::vector<int16_t> source = ReadSamples(SoundsFolder + "/song.wav", false);
    double played = -1;
    size_t first = c.first;
    size_t end = c.end;
    const int result = Run("song.wav", [&](CTrimDlg& dlg) {
        EXPECT_EQ(dlg.windowTitle().toStdString(), "Trim Sound");
        EXPECT_NE(dlg.minimumSize(), dlg.maximumSize()); // resizable
        WaveformView& wave = dlg.Waveform();
        // Pixel x of the waveform stands for sample x * length / width.
        const auto at = [&wave](double fraction) { return QPoint(static_cast<int>(fraction * wave.width()), 10); };
        const auto sampleAt = [&](double fraction) {
            return static_cast<size_t>(std::llround(at(fraction).x() * double(source.size()) / wave.width()));
        };
        switch (c.way) {
        case Way::Typed: {
            PaintCount paints;
            Box(dlg, IDC_TRIM_START).setFocus(); // the waveform repaints as it gives the focus up
            QApplication::processEvents();
            wave.installEventFilter(&paints);
            Type(Box(dlg, IDC_TRIM_START), c.from);
            QApplication::processEvents();
            EXPECT_GT(paints.count, 0); // the shading follows the typed start
            Type(Box(dlg, IDC_TRIM_END), c.to);
            static_cast<QPushButton*>(dlg.GetDlgItem(IDC_TRIM_PLAY))->click();
            played = FindAudibleSpan(ReadCapturedAudio(m_dir / "played.raw")).Seconds();
            break;
        }
        case Way::Dragged:
            QTest::mousePress(&wave, Qt::LeftButton, {}, at(c.from));
            QTest::mouseMove(&wave, at((c.from + c.to) / 2));
            QTest::mouseRelease(&wave, Qt::LeftButton, {}, at(c.to));
            std::tie(first, end) = std::minmax(sampleAt(c.from), sampleAt(c.to));
            break;
        case Way::Clicked:
            QTest::mouseClick(&wave, Qt::LeftButton, {}, at(c.from));
            first = sampleAt(c.from);
            break;
        case Way::Keys: // the start on by 30 ms, the end back by 20 ms
            for (const auto& [key, times] : {std::pair{Qt::Key_Right, 3}, std::pair{Qt::Key_Left, 2}}) {
                for (int i = 0; i < times; ++i) {
                    QTest::keyClick(&wave, key, key == Qt::Key_Left ? Qt::ShiftModifier : Qt::NoModifier);
                }
            }
            break;
        case Way::Whole:
            break;
        }
        // The spin boxes follow the waveform to the millisecond; the length is told; a screen
        // reader hears the selection from the waveform itself.
        EXPECT_NEAR(Box(dlg, IDC_TRIM_START).value() * 8000, first, 5);
        EXPECT_NEAR(Box(dlg, IDC_TRIM_END).value() * 8000, end, 5);
        EXPECT_EQ(static_cast<QLabel*>(dlg.GetDlgItem(IDC_TRIM_LENGTH))->text().left(8), "Length: ");
        const QString told = QAccessible::queryAccessibleInterface(&wave)->text(QAccessible::Description);
        EXPECT_TRUE(told.startsWith("Selected from " + Box(dlg, IDC_TRIM_START).cleanText())) << told.toStdString();
        static_cast<QPushButton*>(dlg.GetDlgItem(IDOK))->click();
    });
    ASSERT_EQ(result, IDOK);
    EXPECT_EQ(ListFolder(SoundsFolder), (std::vector<std::string>{"song.wav", "song_trim.wav"}));
    EXPECT_EQ(ReadFileBytes(SoundsFolder + "/song.wav"), bytes);
    const std::vector<int16_t> cut = ReadSamples(SoundsFolder + "/song_trim.wav", true);
    ASSERT_NEAR(static_cast<double>(cut.size()), static_cast<double>(end - first), 1.0);
    EXPECT_TRUE(c.way != Way::Typed || std::fabs(played - static_cast<double>(cut.size()) / 8000) < 0.01) << played;
    // The source's samples from the first sample chosen, give or take one, fades aside.
    const size_t head = first > 0 ? Fade : 0;
    const size_t tail = end < source.size() ? Fade : 0;
    bool found = false;
    for (size_t from = first > 0 ? first - 1 : 0; from <= first + 1 && !found; ++from) {
        found = from + cut.size() <= source.size() &&
                std::equal(cut.begin() + static_cast<long>(head), cut.end() - static_cast<long>(tail),
                           source.begin() + static_cast<long>(from + head));
    }
    EXPECT_TRUE(found);
    EXPECT_TRUE((head == 0 || cut.front() == 0) && (tail == 0 || cut.back() == 0));
}

const TrimCase kTrims[] = {
    {"Typed", 16, Way::Typed, 0.25, 1.125, 2000, 9000},    {"TypedIn8BitSound", 8, Way::Typed, 0.5, 2.0, 4000, 16000},
    {"Dragged", 16, Way::Dragged, 0.25, 0.5, 0, 0},        {"DraggedBackwards", 16, Way::Dragged, 0.75, 0.5, 0, 0},
    {"ClickedStart", 16, Way::Clicked, 0.5, 0, 0, 24000},  {"Keys", 16, Way::Keys, 0, 0, 240, 24000 - 160},
    {"WholeSoundIsACopy", 16, Way::Whole, 0, 0, 0, 24000},
};

INSTANTIATE_TEST_SUITE_P(Table, TrimDialog, ::testing::ValuesIn(kTrims),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TrimDialog, CancelAndABadFileWriteNothing) {
    WaveDescription wide;
    wide.bitsPerSample = 24;
    ASSERT_TRUE(WriteFileBytes(SoundsFolder + "/song.wav", MakeSineWave(8000, 1, 16, 3.0)));
    ASSERT_TRUE(WriteFileBytes(SoundsFolder + "/wide.wav", BuildWave(wide)));
    EXPECT_EQ(Run("song.wav",
                  [](CTrimDlg& dlg) {
                      Type(Box(dlg, IDC_TRIM_START), 1);
                      QTest::keyClick(&dlg, Qt::Key_Escape);
                  }),
              IDCANCEL);
    EXPECT_EQ(CTrimDlg("wide.wav").DoModal(), IDCANCEL);
    EXPECT_EQ(PromptScript::ShownTexts(),
              std::vector<std::string>{
                  Msg::CouldNotTrim("wide.wav", "Only sounds of 8 or 16 bits a sample can be cut; this one has 24.")});
    EXPECT_EQ(ListFolder(SoundsFolder), (std::vector<std::string>{"song.wav", "wide.wav"}));
}

} // namespace
