// The Trim Sound dialog on the offscreen platform, driven as an owner drives it: Start and End
// typed, a drag or a click on the waveform, its keys; OK must write the chosen part of the sound
// as a new file (the samples of the source, apart from the fades at the cuts), Cancel nothing.
#include "app/TrimDlg.h"

#include "Resource.h"
#include "SoundFixtures.h"
#include "TempDir.h"
#include "WaveBuilder.h"
#include "app/InstallationPaths.h"
#include "app/WaveformView.h"
#include "platform/Prompt.h"

#include <QApplication>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <sndfile.h>

namespace {

constexpr size_t Fade = 40; // 5 ms at 8000 Hz

// The samples of a file as libsndfile reads them, 8-bit ones widened as 16-bit; `robot` tells
// whether it is the robot's 16-bit mono 8000 Hz PCM WAV.
std::vector<int16_t> ReadSamples(const std::string& path, bool* robot = nullptr) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    std::vector<int16_t> samples(file != nullptr ? static_cast<size_t>(info.frames) : 0);
    if (file != nullptr) {
        sf_read_short(file, samples.data(), info.frames);
        sf_close(file);
    }
    if (robot != nullptr) {
        *robot = info.format == (SF_FORMAT_WAV | SF_FORMAT_PCM_16) && info.channels == 1 && info.samplerate == 8000;
    }
    return samples;
}

enum class Way { Typed, Dragged, DraggedBack, Clicked, Keys, Whole };

struct TrimCase {
    const char* name;
    std::vector<uint8_t> source; // as song.wav
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
            EXPECT_TRUE(dlg.isVisible());
            // Where the owner types, as the window manager gives it the keyboard.
            dlg.activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(&dlg));
            whileOpen(dlg);
        });
        return dlg.DoModal();
    }
    static QDoubleSpinBox& Box(CTrimDlg& dlg, int id) { return *static_cast<QDoubleSpinBox*>(dlg.GetDlgItem(id)); }
    static void Type(QDoubleSpinBox& box, const char* seconds) {
        box.setFocus();
        box.selectAll();
        QTest::keyClicks(&box, seconds);
        QTest::keyClick(&box, Qt::Key_Tab);
    }

    TempDir m_dir;
};

TEST_P(TrimDialog, OkWritesTheChosenPartAsANewFileWithFadesOnlyAtTheCuts) {
    const TrimCase& c = GetParam();
    ASSERT_TRUE(WriteFileBytes(SoundsFolder + "/song.wav", c.source));
    const std::vector<int16_t> source = ReadSamples(SoundsFolder + "/song.wav");
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
        if (c.way == Way::Dragged || c.way == Way::DraggedBack || c.way == Way::Clicked) {
            first = sampleAt(std::min(c.from, c.to));
            end = c.way == Way::Clicked ? source.size() : sampleAt(std::max(c.from, c.to));
        }
        char typed[2][16];
        std::snprintf(typed[0], sizeof typed[0], "%.3f", c.from);
        std::snprintf(typed[1], sizeof typed[1], "%.3f", c.to);
        switch (c.way) {
        case Way::Typed:
            Type(Box(dlg, IDC_TRIM_START), typed[0]);
            Type(Box(dlg, IDC_TRIM_END), typed[1]);
            break;
        case Way::Dragged:
        case Way::DraggedBack:
            QTest::mousePress(&wave, Qt::LeftButton, {}, at(c.from));
            QTest::mouseMove(&wave, at((c.from + c.to) / 2));
            QTest::mouseMove(&wave, at(c.to));
            QTest::mouseRelease(&wave, Qt::LeftButton, {}, at(c.to));
            break;
        case Way::Clicked:
            QTest::mouseClick(&wave, Qt::LeftButton, {}, at(c.from));
            break;
        case Way::Keys: // the start on by 30 ms, the end back by 20 ms
            wave.setFocus();
            for (int i = 0; i < 3; ++i) {
                QTest::keyClick(&wave, Qt::Key_Right);
            }
            QTest::keyClick(&wave, Qt::Key_Left, Qt::ShiftModifier);
            QTest::keyClick(&wave, Qt::Key_Left, Qt::ShiftModifier);
            break;
        case Way::Whole:
            break;
        }
        // The spin boxes follow the waveform, to the millisecond, and the length is told.
        EXPECT_NEAR(Box(dlg, IDC_TRIM_START).value() * 8000, first, 5);
        EXPECT_NEAR(Box(dlg, IDC_TRIM_END).value() * 8000, end, 5);
        const std::string length = static_cast<QLabel*>(dlg.GetDlgItem(IDC_TRIM_LENGTH))->text().toStdString();
        EXPECT_EQ(length.rfind("Length: ", 0), 0u) << length;
        if (c.way == Way::Typed) {
            static_cast<QPushButton*>(dlg.GetDlgItem(IDC_TRIM_PLAY))->click();
            played = FindAudibleSpan(ReadCapturedAudio(m_dir / "played.raw")).Seconds();
        }
        static_cast<QPushButton*>(dlg.GetDlgItem(IDOK))->click();
    });
    ASSERT_EQ(result, IDOK);
    EXPECT_EQ(ListFolder(SoundsFolder), (std::vector<std::string>{"song.wav", "song_trim.wav"}));
    EXPECT_EQ(ReadFileBytes(SoundsFolder + "/song.wav"), c.source);
    bool robot = false;
    const std::vector<int16_t> cut = ReadSamples(SoundsFolder + "/song_trim.wav", &robot);
    EXPECT_TRUE(robot);
    ASSERT_NEAR(static_cast<double>(cut.size()), static_cast<double>(end - first), 1.0);
    if (c.way == Way::Typed) {
        EXPECT_NEAR(played, static_cast<double>(cut.size()) / 8000, 0.01);
    }
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
    EXPECT_TRUE(head == 0 || cut.front() == 0);
    EXPECT_TRUE(tail == 0 || cut.back() == 0);
}

const std::vector<uint8_t> Song = MakeSineWave(8000, 1, 16, 3.0, 313);
const std::vector<uint8_t> Song8 = MakeSineWave(8000, 1, 8, 2.0, 313);

const TrimCase kTrims[] = {
    {"Typed", Song, Way::Typed, 0.25, 1.125, 2000, 9000},
    {"TypedIn8BitSound", Song8, Way::Typed, 0.5, 2.0, 4000, 16000},
    {"Dragged", Song, Way::Dragged, 0.25, 0.5, 0, 0},
    {"DraggedBackwards", Song, Way::DraggedBack, 0.75, 0.5, 0, 0},
    {"ClickedStart", Song, Way::Clicked, 0.5, 0.5, 0, 0},
    {"Keys", Song, Way::Keys, 0, 0, 240, 24000 - 160},
    {"WholeSoundIsACopy", Song, Way::Whole, 0, 0, 0, 24000},
};

INSTANTIATE_TEST_SUITE_P(Table, TrimDialog, ::testing::ValuesIn(kTrims),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TrimDialog, CancelAndABadFileWriteNothing) {
    ASSERT_TRUE(WriteFileBytes(SoundsFolder + "/song.wav", Song));
    WaveDescription wideSamples;
    wideSamples.bitsPerSample = 24;
    ASSERT_TRUE(WriteFileBytes(SoundsFolder + "/wide.wav", BuildWave(wideSamples)));
    EXPECT_EQ(Run("song.wav",
                  [](CTrimDlg& dlg) {
                      Type(Box(dlg, IDC_TRIM_START), "1");
                      QTest::keyClick(&dlg, Qt::Key_Escape);
                  }),
              IDCANCEL);
    CTrimDlg wide("wide.wav");
    EXPECT_EQ(wide.DoModal(), IDCANCEL);
    EXPECT_EQ(PromptScript::ShownTexts(),
              std::vector<std::string>{"Could not trim 'wide.wav':\nOnly sounds of 8 or 16 bits a sample can be cut; "
                                       "this one has 24."});
    EXPECT_EQ(ListFolder(SoundsFolder), (std::vector<std::string>{"song.wav", "wide.wav"}));
}

} // namespace
