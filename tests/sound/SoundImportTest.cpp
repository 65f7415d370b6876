// An owner's recording, whatever its container, must arrive in SOUNDS in the one form the robot
// plays, sounding as it did (length, pitch) at the common loudness, under a name no other sound
// has; an import that fails or is cancelled must leave SOUNDS as it was.
#include "sounds/SoundImport.h"

#include "EncodedSounds.h"
#include "ProgramTexts.h"
#include "ReferenceMeter.h"
#include "SaveExpectations.h"
#include "SoundFixtures.h"
#include "TempDir.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <numbers>
#include <numeric>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int Cd = 44100;
constexpr int Wav16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;

// What arrived, as libsndfile reads it; nothing unless it is 16-bit PCM WAV, mono, at 8000 Hz.
std::vector<float> ReadRobotWave(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    std::vector<float> samples(file != nullptr ? static_cast<size_t>(info.frames) : 0);
    const bool robot = file != nullptr && sf_read_float(file, samples.data(), info.frames) == info.frames &&
                       sf_close(file) == 0 && info.format == Wav16 && info.channels == 1 && info.samplerate == 8000;
    return robot ? samples : std::vector<float>{};
}

// Every import lands here, whatever its source.
constexpr double TargetLufs = -16;
constexpr double CeilingDbtp = -1;

class SoundImport : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(MakeFolders(m_sounds)); }
    ImportResult Import(const std::string& name, const ImportProgress& progress = {}) {
        return ImportSound(m_dir / name, m_sounds, progress);
    }
    // Writes the frames as `name` in libsndfile's `format`, imports it and reads what arrived.
    std::vector<float> Imported(const std::string& name, int format, int rate, const std::vector<float>& stereo) {
        EXPECT_TRUE(WriteSoundFile(m_dir / name, format, rate, 2, stereo));
        const ImportResult result = Import(name);
        EXPECT_EQ(result.status, ImportStatus::Imported) << result.reason;
        return ReadRobotWave(m_sounds + "/" + result.fileName);
    }
    TempDir m_dir;
    std::string m_sounds = m_dir / "SOUNDS";
};

TEST_F(SoundImport, EveryContainerArrivesAsRobotWaveSoundingAsItDid) {
    // Opus has no 44.1 kHz.
    for (const auto& [name, format, rate] : {std::tuple{"wav16.wav", Wav16, Cd},
                                             {"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, Cd},
                                             {"tone.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, Cd},
                                             {"tone.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, Cd},
                                             {"tone.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, Cd},
                                             {"tone.opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 48000},
                                             {"tone.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, Cd}}) {
        // Half a second of silence on either side of 3 s of 440 Hz, whose first half is in the right
        // channel only and second half in the left only: the mix must take both channels.
        std::vector<float> frames = SineFrames(440, 0.5, 4, rate, 2);
        for (size_t i = 0, frame = 0; i < frames.size(); frame = ++i / 2) {
            const bool silent = frame < rate / 2u || frame >= 7u * rate / 2 || (i % 2 == 0) == (frame < 2u * rate);
            frames[i] = silent ? 0.0f : frames[i];
        }
        const std::vector<float> out = Imported(name, format, rate, frames);
        // A lossy codec smears the tone's hard edges a little into the silence around them.
        ASSERT_NEAR(static_cast<double>(out.size()), 3 * 8000, 0.02 * 3 * 8000) << name;
        // The pitch, counted away from the edges.
        const double rising =
            std::inner_product(out.begin() + 4001, out.end() - 4000, out.begin() + 4000, 0.0, std::plus<>(),
                               [](float now, float before) { return before < 0 && now >= 0; });
        EXPECT_NEAR(rising * 8000 / static_cast<double>(out.size() - 8000), 440, 2) << name;
        EXPECT_NEAR(IntegratedLufs(out, 8000), TargetLufs, 1) << name;
        EXPECT_LE(TruePeakDbtp(out), CeilingDbtp) << name;
    }
}

// Sounds whose sharp peaks stand far above their body (a word's plosives, a tick before its ring,
// a strike, a pluck) as well as a steady tone and one recorded 53 dB under full scale: each
// arrives at the target loudness with its true peak under the ceiling, by a meter of our own.
struct LoudnessCase {
    const char* name;
    std::function<bool(const std::string& path)> write;
};

constexpr double Tau = 2 * std::numbers::pi;

// One second at 22050 Hz: every `period` seconds, a burst of 3 kHz lasting `attack` seconds at
// `attackLevel`, and the partials {hz, decay per second, level} starting over.
std::function<bool(const std::string&)> Struck(double period, double attack, double attackLevel,
                                               std::vector<std::array<double, 3>> partials) {
    return [=](const std::string& path) {
        std::vector<float> samples(22050);
        for (size_t i = 0; i < samples.size(); ++i) {
            const double t = std::fmod(static_cast<double>(i) / 22050, period);
            double value = t < attack ? attackLevel * std::sin(Tau * 3000 * t) : 0;
            for (const auto& [hz, decay, level] : partials) {
                value += level * std::sin(Tau * hz * t) * std::exp(-decay * t);
            }
            samples[i] = static_cast<float>(value);
        }
        return WriteSoundFile(path, Wav16, 22050, 1, samples);
    };
}

// A string's harmonics of 196 Hz, the higher ones fading faster.
std::vector<std::array<double, 3>> String() {
    std::vector<std::array<double, 3>> harmonics;
    for (double k = 1; k <= 12; ++k) {
        harmonics.push_back({196 * k, 1.5 + 1.2 * k, 0.15 / k});
    }
    return harmonics;
}

const LoudnessCase LoudnessCases[] = {
    {"tone", Struck(1, 0, 0, {{440, 0, 0.5}})},
    {"quiet_tone", Struck(1, 0, 0, {{440, 0, std::pow(10, -53.0 / 20)}})},
    {"faint_tone", Struck(1, 0, 0, {{440, 0, std::pow(10, -80.0 / 20)}})}, // under the meter's -70 LUFS gate
    {"speech",
     [](const std::string& path) {
         const auto espeak = FindProgram("espeak-ng");
         return espeak && RunProgram({*espeak, "-w", path, "Hello! I am your robot. Shall we play?"}) == 0;
     }},
    {"click_train", Struck(0.1, 0.0005, 0.6, {{2500, 83, 0.15}})},
    {"bell", Struck(1, 0.002, 0.8, {{523, 2, 0.4}, {1255, 5, 0.2}, {1960, 8, 0.13}})},
    {"pluck", Struck(1, 0, 0, String())},
};

void PrintTo(const LoudnessCase& sound, std::ostream* os) {
    *os << sound.name;
}

class ImportLoudness : public SoundImport, public ::testing::WithParamInterface<LoudnessCase> {};

TEST_P(ImportLoudness, LandsAtTheTargetUnderTheCeiling) {
    ASSERT_TRUE(GetParam().write(m_dir / "source.wav"));
    const ImportResult result = Import("source.wav");
    ASSERT_EQ(result.status, ImportStatus::Imported) << result.reason;
    const std::vector<float> out = ReadRobotWave(m_sounds + "/" + result.fileName);
    ASSERT_GE(out.size(), 3200u);
    EXPECT_NEAR(IntegratedLufs(out, 8000), TargetLufs, 1);
    EXPECT_LE(TruePeakDbtp(out), CeilingDbtp);
}

INSTANTIATE_TEST_SUITE_P(Sounds, ImportLoudness, ::testing::ValuesIn(LoudnessCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ImportedFileName, IsPlainShortAndUnlikeAnyOtherSound) {
    const std::string a28(28, 'a');
    for (const auto& [source, midi, inSounds, expected] :
         std::vector<std::tuple<std::string, bool, std::vector<std::string>, std::string>>{
             {"/home/me/Zoe's Song (A-Z 09).MP3", false, {}, "zoe_s_song_a_z_09.wav"},
             // Accented letters keep their base letter; a letter with none becomes "_".
             {"\xC3\x89lan.wav", false, {}, "elan.wav"},
             {"Gr\xC3\xBC\xC3\x9F-e.v2.flac", false, {}, "gru_e_v2.wav"},
             {"Nin\xCC\x83o \xEF\xAC\x81n.ogg", false, {}, "nino_fin.wav"},
             {"__Drum--Loop__.kar", true, {}, "drum_loop.mid"},
             {"!!!.ogg", false, {}, "sound.wav"},
             {a28 + "aaaaaaaa.wav", false, {}, a28 + ".wav"},
             {std::string(27, 'x') + " y.wav", false, {}, std::string(27, 'x') + ".wav"},
             // Custom names ignore case and extension, and end at the first ".".
             {"beep.ogg", false, {"beep.old.wav", "BEEP_2.wav", "beep_3.mid"}, "beep_4.wav"},
             {a28 + "aaaa.wav", false, {a28 + ".wav"}, a28.substr(2) + "_2.wav"}}) {
        EXPECT_EQ(ImportedFileName(source, midi, inSounds), expected) << source;
    }
}

TEST_F(SoundImport, ARefusalSaysWhyAndWritesNothing) {
    ASSERT_EQ(mkfifo((m_dir / "pipe.mp3").c_str(), 0644), 0);
    ASSERT_TRUE(WriteFileText(m_dir / "junk.wav", "no sound"));
    ASSERT_TRUE(WriteSoundFile(m_dir / "hush.wav", Wav16, Cd, 1, std::vector<float>(Cd, 0.0f)));
    ASSERT_TRUE(WriteSoundFile(m_dir / "blip.wav", Wav16, Cd, 1, {0.5f, -0.5f}));
    ASSERT_TRUE(WriteSoundFile(m_dir / "long.wav", Wav16, 8000, 1, SineFrames(440, 0.5, 601, 8000, 1)));
    ASSERT_TRUE(WriteFileText(m_dir / "huge.mid", "MThd") && truncate((m_dir / "huge.mid").c_str(), 16 << 20 | 1) == 0);
    // A file libsndfile cannot read is refused with its reason.
    for (const auto& [name, reason] : std::vector<std::pair<std::string, std::string>>{
             {"gone.wav", "The file cannot be opened: No such file or directory."},
             {"pipe.mp3", "It is not a file that holds a recording (a folder, a pipe or a device)."},
             {"junk.wav", sf_error_number(SF_ERR_UNRECOGNISED_FORMAT)},
             {"huge.mid", "The MIDI file cannot be read, or is larger than 16 MB."},
             {"hush.wav", Msg::Silent},
             {"blip.wav", Msg::TooShort},
             {"long.wav", Msg::TooLong}}) {
        const ImportResult result = Import(name);
        EXPECT_EQ(result.status, ImportStatus::Failed);
        EXPECT_EQ(result.reason, reason) << name;
    }
    EXPECT_TRUE(ListFolder(m_sounds).empty());
}

TEST_F(SoundImport, CancelledAtAnyCallItLeavesSoundsAsItWasAndItNeverReplacesAFile) {
    ASSERT_TRUE(WriteSoundFile(m_dir / "tone.wav", Wav16, Cd, 2, SineFrames(440, 0.5, 1, Cd, 2)));
    std::vector<double> seen;
    ASSERT_EQ(Import("tone.wav", [&](double f) { return seen.push_back(f), true; }).status, ImportStatus::Imported);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()) && seen.size() > 3 && seen.back() <= 1.0);
    for (size_t stopAt = 1; stopAt <= seen.size(); ++stopAt) {
        size_t call = 0;
        EXPECT_EQ(Import("tone.wav", [&](double) { return ++call < stopAt; }).status, ImportStatus::Cancelled);
        EXPECT_EQ(ListFolder(m_sounds), std::vector<std::string>{"tone.wav"}) << "stopped at call " << stopAt;
    }
    // A file that takes the chosen name while the import writes is left alone.
    size_t call = 0;
    const auto takeName = [&](double) { return ++call != seen.size() || WriteFileText(m_sounds + "/tone_2.wav", "x"); };
    EXPECT_EQ(Import("tone.wav", takeName).fileName, "tone_3.wav");
    EXPECT_EQ(ReadFileText(m_sounds + "/tone_2.wav"), "x");

    const std::vector<uint8_t> tune = MidiFileMaker().Note(60, 0, 96).Bytes(); // MIDI goes as it is
    ASSERT_TRUE(WriteFileBytes(m_dir / "Tune.kar", tune));
    EXPECT_EQ(Import("Tune.kar").fileName, "tune.mid");
    EXPECT_EQ(ReadFileBytes(m_sounds + "/tune.mid"), tune);
}

TEST(SignalSteps, SamplesAreClampedAndRoundedToNearestAndUnusableRatesRefused) {
    const std::vector<uint8_t> wave = EncodeRobotWave({2.0f, -2.0f, 1.6f / 32767});
    ASSERT_EQ(wave.size(), 44u + 3 * 2);
    EXPECT_EQ(wave[4] | wave[5] << 8, 42); // the RIFF size
    EXPECT_EQ(std::vector<uint8_t>(wave.begin() + 44, wave.end()), (std::vector<uint8_t>{0xFF, 0x7F, 1, 0x80, 2, 0}));
    // A rate that is no number would hang libsoxr, one near zero exhaust memory, rather than fail.
    for (const double rate : {0.0, -8000.0, 1e-9, double{NAN}, double{INFINITY}}) {
        EXPECT_TRUE(Resample({0.5f}, rate, 8000).empty() && Resample({0.5f}, 8000, rate).empty()) << rate;
    }
}

} // namespace
