// An owner's recording, whatever its container, must arrive in SOUNDS in the one form the robot
// plays, sounding as it did (length, pitch) at the common loudness, under a name no other sound
// has; an import that fails or is cancelled must leave SOUNDS as it was.
#include "sounds/SoundImport.h"

#include "EncodedSounds.h"
#include "SoundFixtures.h"
#include "TempDir.h"
#include "platform/ByteStream.h"
#include "platform/Endian.h"
#include "sounds/CustomSoundLibrary.h"

#include <algorithm>
#include <cmath>
#include <ebur128.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>

namespace {

constexpr int CdRate = 44100;
constexpr int RobotRate = 8000;

struct Workspace {
    TempDir dir;
    std::string sounds = dir / "SOUNDS";
    Workspace() { MakeFolders(sounds); }
    ImportResult Import(const std::string& name, const ImportProgress& progress = {}) const {
        return ImportSound(dir / name, sounds, progress);
    }
};

// An imported file as libsndfile reads it.
struct Imported {
    SF_INFO info{};
    std::vector<float> samples;
};

Imported ReadImported(const std::string& path) {
    Imported read;
    if (SNDFILE* file = sf_open(path.c_str(), SFM_READ, &read.info)) {
        read.samples.resize(static_cast<size_t>(read.info.frames * read.info.channels));
        read.samples.resize(static_cast<size_t>(sf_read_float(file, read.samples.data(), read.info.frames)));
        sf_close(file);
    }
    return read;
}

// A meter of our own: integrated loudness, or over the whole length for a sound under 400 ms.
double Lufs(const std::vector<float>& mono) {
    ebur128_state* meter = ebur128_init(1, RobotRate, EBUR128_MODE_I);
    ebur128_add_frames_float(meter, mono.data(), mono.size());
    double lufs = -HUGE_VAL;
    const unsigned long ms = mono.size() * 1000 / RobotRate;
    ms >= 400 ? ebur128_loudness_global(meter, &lufs) : ebur128_loudness_window(meter, ms, &lufs);
    ebur128_destroy(&meter);
    return lufs;
}

double PeakDbfs(const std::vector<float>& s) {
    auto quieter = [](float a, float b) { return std::fabs(a) < std::fabs(b); };
    return 20 * std::log10(std::fabs(*std::max_element(s.begin(), s.end(), quieter)));
}

// The mean frequency between the first and the last rising zero crossing.
double PitchHz(const std::vector<float>& s) {
    double first = -1, last = -1;
    int crossings = 0;
    for (size_t i = 1; i < s.size(); ++i) {
        if (s[i - 1] < 0 && s[i] >= 0) {
            last = static_cast<double>(i - 1) + s[i - 1] / (s[i - 1] - s[i]);
            first = first < 0 ? last : first;
            ++crossings;
        }
    }
    return crossings > 1 ? (crossings - 1) * RobotRate / (last - first) : 0;
}

struct Container {
    const char* label;
    const char* file;
    int format;
    int rate;
};

class ImportedContainer : public ::testing::TestWithParam<Container> {};

TEST_P(ImportedContainer, ArrivesAsRobotWaveSoundingAsItDid) {
    const Container& c = GetParam();
    Workspace w;
    // Half a second of silence on either side of 3 s of 440 Hz, whose first half is in the left
    // channel only and second half in the right only: the mix must take both channels.
    const std::vector<float> tone = SineFrames(440, 0.5, 3, c.rate, 1);
    const size_t lead = static_cast<size_t>(c.rate) / 2, half = tone.size() / 2;
    std::vector<float> frames(2 * lead, 0.0f);
    for (size_t i = 0; i < tone.size(); ++i) {
        frames.insert(frames.end(), {i < half ? tone[i] : 0.0f, i < half ? 0.0f : tone[i]});
    }
    frames.resize(frames.size() + 2 * lead, 0.0f);
    ASSERT_TRUE(WriteSoundFile(w.dir / c.file, c.format, c.rate, 2, frames));

    const ImportResult result = w.Import(c.file);
    ASSERT_EQ(result.status, ImportStatus::Imported) << result.reason;
    EXPECT_EQ(result.fileName, "tone.wav");
    std::unique_ptr<FileSource> header = FileSource::Open(w.sounds + "/tone.wav");
    ASSERT_TRUE(header != nullptr && IsAcceptedWaveHeader(*header));
    const Imported out = ReadImported(w.sounds + "/tone.wav");
    EXPECT_EQ(out.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    EXPECT_NEAR(static_cast<double>(out.samples.size()), 3 * RobotRate, 0.01 * 3 * RobotRate);
    EXPECT_NEAR(PitchHz(out.samples), 440, 2);
    EXPECT_NEAR(Lufs(out.samples), ImportLoudnessLufs, 1);
    EXPECT_LE(PeakDbfs(out.samples), ImportPeakCeilingDbfs);
}

INSTANTIATE_TEST_SUITE_P(
    Containers, ImportedContainer,
    ::testing::Values(Container{"Wav16", "tone.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, CdRate},
                      Container{"WavFloat", "tone.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, CdRate},
                      Container{"Aiff", "tone.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, CdRate},
                      Container{"Flac", "tone.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, CdRate},
                      Container{"Vorbis", "tone.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, CdRate},
                      // Opus has no 44.1 kHz; its files are made at 48 kHz.
                      Container{"Opus", "tone.opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 48000},
                      Container{"Mp3", "tone.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, CdRate},
                      // Already at the robot's rate, as the owner's older sounds are.
                      Container{"Wav8Bit", "tone.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, RobotRate}),
    [](const auto& info) { return std::string(info.param.label); });

struct ShortSound {
    const char* label;
    bool spike; // one loud sample, so that the loudness target would drive the peak past the ceiling
};

class ImportedShortSound : public ::testing::TestWithParam<ShortSound> {};

TEST_P(ImportedShortSound, ReachesTheTargetUnlessItsPeakWouldPassTheCeiling) {
    Workspace w;
    std::vector<float> sound = SineFrames(440, 0.02, 0.25, CdRate, 1);
    if (GetParam().spike) {
        sound[sound.size() / 2] = 0.9f;
    }
    ASSERT_TRUE(WriteSoundFile(w.dir / "blip.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, CdRate, 1, sound));
    ASSERT_EQ(w.Import("blip.wav").status, ImportStatus::Imported);
    const Imported out = ReadImported(w.sounds + "/blip.wav");
    if (GetParam().spike) {
        EXPECT_LE(PeakDbfs(out.samples), ImportPeakCeilingDbfs);
        EXPECT_GE(PeakDbfs(out.samples), ImportPeakCeilingDbfs - 0.1);
    } else {
        EXPECT_NEAR(Lufs(out.samples), ImportLoudnessLufs, 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Sounds, ImportedShortSound,
                         ::testing::Values(ShortSound{"QuietTone", false}, ShortSound{"ToneWithSpike", true}),
                         [](const auto& info) { return std::string(info.param.label); });

struct Naming {
    std::string source;
    bool midi;
    std::vector<std::string> inSounds;
    std::string expected;
};

class ImportedName : public ::testing::TestWithParam<Naming> {};

TEST_P(ImportedName, IsPlainShortAndUnlikeAnyOtherSound) {
    const Naming& n = GetParam();
    EXPECT_EQ(ImportedFileName(n.source, n.midi, n.inSounds), n.expected);
}

const std::string As28 = std::string(28, 'a');

INSTANTIATE_TEST_SUITE_P(
    Names, ImportedName,
    ::testing::Values(Naming{"/home/me/Zoe's Song (A-Z 09).MP3", false, {}, "zoe_s_song_a_z_09.wav"},
                      Naming{"Gr\xC3\xBC\xC3\x9F-e.v2.flac", false, {}, "gr_e_v2.wav"},
                      Naming{"__Drum--Loop__.kar", true, {}, "drum_loop.mid"},
                      Naming{"!!!.ogg", false, {}, "sound.wav"},
                      Naming{As28 + "aaaaaaaa.wav", false, {}, As28 + ".wav"},
                      Naming{std::string(27, 'x') + " y.wav", false, {}, std::string(27, 'x') + ".wav"},
                      // Custom names ignore case and extension, and end at the first ".".
                      Naming{"beep.ogg", false, {"Beep.MID"}, "beep_2.wav"},
                      Naming{"beep.ogg", false, {"beep.old.wav"}, "beep_2.wav"},
                      Naming{"beep.ogg", false, {"beep.wav", "BEEP_2.wav", "beep_3.mid"}, "beep_4.wav"},
                      Naming{As28 + "aaaa.wav", false, {As28 + ".wav"}, As28.substr(2) + "_2.wav"}));

struct Refusal {
    const char* label;
    const char* file;
    int format; // libsndfile's, for a 440 Hz tone; 0: a text file; -1: no file at all; -2: a pipe
    int rate;
    double amplitude;
    double seconds;
    const char* reason; // a part of it; null: libsndfile's own
};

class RefusedImport : public ::testing::TestWithParam<Refusal> {};

TEST_P(RefusedImport, SaysWhyAndWritesNothing) {
    const Refusal& r = GetParam();
    Workspace w;
    ASSERT_TRUE(r.format != 0 || WriteFileText(w.dir / r.file, "no sound in here"));
    ASSERT_TRUE(r.format != -2 || mkfifo((w.dir / r.file).c_str(), 0644) == 0);
    ASSERT_TRUE(r.format <= 0 || WriteSoundFile(w.dir / r.file, r.format, r.rate, 1,
                                                SineFrames(440, r.amplitude, r.seconds, r.rate, 1)));
    const ImportResult result = w.Import(r.file);
    EXPECT_EQ(result.status, ImportStatus::Failed);
    if (r.reason != nullptr) {
        EXPECT_NE(result.reason.find(r.reason), std::string::npos) << result.reason;
    } else {
        SF_INFO info{};
        EXPECT_EQ(sf_open((w.dir / r.file).c_str(), SFM_READ, &info), nullptr);
        EXPECT_EQ(result.reason, sf_strerror(nullptr));
    }
    EXPECT_TRUE(ListFolder(w.sounds).empty());
}

INSTANTIATE_TEST_SUITE_P(Refusals, RefusedImport,
                         ::testing::Values(Refusal{"Missing", "gone.wav", -1, 0, 0, 0, "cannot be opened"},
                                           Refusal{"APipeThatWouldNeverEnd", "pipe.mp3", -2, 0, 0, 0, "a pipe"},
                                           Refusal{"NotASound", "junk.wav", 0, 0, 0, 0, nullptr},
                                           Refusal{"BelowTheSilenceThreshold", "hush.wav",
                                                   SF_FORMAT_WAV | SF_FORMAT_PCM_16, CdRate, 0.0005, 1, "silent"},
                                           Refusal{"LongerThanTenMinutes", "talk.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8,
                                                   RobotRate, 0.5, 601, "10 minutes"}),
                         [](const auto& info) { return std::string(info.param.label); });

// An import whose progress is watched, on a second of CD-quality stereo.
class WatchedImport : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WriteSoundFile(w.dir / "tone.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, CdRate, 2,
                                   SineFrames(440, 0.5, 1, CdRate, 2)));
        ASSERT_TRUE(WriteFileText(w.sounds + "/keep.wav", "the owner's"));
        // Counted on a folder of its own; the fraction must only ever grow, up to 1.
        std::vector<double> seen;
        TempDir scratch;
        ASSERT_EQ(
            ImportSound(w.dir / "tone.wav", scratch.Path(), [&](double f) { return seen.push_back(f), true; }).status,
            ImportStatus::Imported);
        EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()) && seen.back() <= 1.0);
        calls = static_cast<int>(seen.size());
        ASSERT_GT(calls, 3);
    }
    Workspace w;
    int calls = 0;
};

TEST_F(WatchedImport, CancelledAtAnyCallLeavesSoundsAsItWas) {
    for (int stopAt = 1; stopAt <= calls; ++stopAt) {
        int call = 0;
        EXPECT_EQ(w.Import("tone.wav", [&](double) { return ++call < stopAt; }).status, ImportStatus::Cancelled);
        EXPECT_EQ(ListFolder(w.sounds), std::vector<std::string>{"keep.wav"}) << "stopped at call " << stopAt;
    }
}

TEST_F(WatchedImport, NeverReplacesAFileThatTakesTheNameMeanwhile) {
    int call = 0;
    const ImportResult result =
        w.Import("tone.wav", [&](double) { return ++call != calls || WriteFileText(w.sounds + "/tone.wav", "mine"); });
    EXPECT_EQ(result.fileName, "tone_2.wav");
    EXPECT_EQ(ReadFileText(w.sounds + "/tone.wav"), "mine");
    EXPECT_EQ(ListFolder(w.sounds), (std::vector<std::string>{"keep.wav", "tone.wav", "tone_2.wav"}));
}

TEST(SoundImport, MidiIsCopiedByteForByte) {
    Workspace w;
    const std::vector<uint8_t> tune = MidiFileMaker().Note(60, 0, 96).Note(64, 96, 96).Bytes();
    ASSERT_TRUE(WriteFileBytes(w.dir / "Tune.kar", tune));
    const ImportResult result = w.Import("Tune.kar");
    EXPECT_EQ(result.fileName, "tune.mid");
    EXPECT_EQ(ReadFileBytes(w.sounds + "/tune.mid"), tune);
}

TEST(SoundImport, WaveSamplesAreClampedAndRoundedToNearest) {
    const std::vector<uint8_t> wave = EncodeRobotWave({2.0f, -2.0f, 1.6f / 32767});
    ASSERT_EQ(wave.size(), 44u + 3 * 2);
    EXPECT_EQ(ReadLE32(&wave[4]), wave.size() - 8); // the RIFF size
    auto sample = [&](size_t i) { return static_cast<int16_t>(wave[44 + 2 * i] | wave[45 + 2 * i] << 8); };
    EXPECT_EQ(sample(0), 32767);
    EXPECT_LE(sample(1), -32767);
    EXPECT_EQ(sample(2), 2);
}

// A rate that is no number would hang libsoxr, one near zero exhaust memory, rather than fail.
TEST(SoundImport, ResamplingRefusesUnusableRates) {
    for (const double rate : {0.0, -8000.0, 1e-9, double{NAN}, double{INFINITY}}) {
        EXPECT_TRUE(Resample({0.5f}, rate, RobotRate).empty()) << rate;
        EXPECT_TRUE(Resample({0.5f}, RobotRate, rate).empty()) << rate;
    }
}

} // namespace
