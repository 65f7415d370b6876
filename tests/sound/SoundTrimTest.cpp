// What a trim leaves in SOUNDS and what the window tells of a sound: the names cuts get, never in
// place of another file; a sound's length and size as the window shows them, a MIDI file's from
// its tempo; the waveform's columns, which must show every sample of a long sound.
#include "sounds/SoundTrim.h"
#include "sounds/SoundSummary.h"
#include "sounds/WaveformColumns.h"

#include "SoundFixtures.h"
#include "TempDir.h"
#include "WaveBuilder.h"

#include <gtest/gtest.h>

namespace {

using Names = std::vector<std::string>;

TEST(TrimmedFileName, EndsInTrimAndANumberWithinThirtyTwoCharactersUnlikeAnyOtherSound) {
    const std::string a30(30, 'a');
    for (const auto& [source, inSounds, expected] : std::vector<std::tuple<std::string, Names, std::string>>{
             {"Bark.WAV", {"Bark.WAV"}, "bark_trim.wav"},
             {"bark.wav", {"bark.wav", "BARK_TRIM.wav", "bark_trim_2.mid"}, "bark_trim_3.wav"},
             // A cut of a cut is numbered, not named "_trim_trim".
             {"bark_trim.wav", {"bark_trim.wav"}, "bark_trim_2.wav"},
             {"bark_trim_2.wav", {"bark_trim.wav", "bark_trim_2.wav"}, "bark_trim_3.wav"},
             {"Good Boy!.wav", {}, "good_boy_trim.wav"},
             {a30 + ".wav", {}, std::string(23, 'a') + "_trim.wav"},
             {a30 + ".wav", {std::string(23, 'a') + "_trim.wav"}, std::string(21, 'a') + "_trim_2.wav"}}) {
        const std::string name = TrimmedFileName(source, inSounds);
        EXPECT_EQ(name, expected) << source;
        EXPECT_LE(name.size(), 32u);
    }
}

TEST(WriteTrimmedSound, NeverReplacesAFileAndLeavesNothingElseBehind) {
    TempDir dir;
    const std::string original = "x";
    ASSERT_TRUE(WriteFileText(dir / "song_trim.wav", original) && WriteFileText(dir / "song_trim_2.mid", original));
    const TrimResult result = WriteTrimmedSound(dir.Path(), "song.wav", {1, -2, 3});
    ASSERT_TRUE(result.written) << result.reason;
    EXPECT_EQ(result.fileName, "song_trim_3.wav");
    EXPECT_EQ(ReadFileText(dir / "song_trim.wav"), original);
    EXPECT_EQ(ListFolder(dir.Path()), (Names{"song_trim.wav", "song_trim_2.mid", "song_trim_3.wav"}));
    EXPECT_EQ(ReadFileBytes(dir / "song_trim_3.wav"), EncodeTrimmedWave({1, -2, 3}));

    const TrimResult refused = WriteTrimmedSound(dir / "missing", "song.wav", {1});
    EXPECT_FALSE(refused.written);
    EXPECT_EQ(refused.reason, "The SOUNDS folder cannot be written to.");
}

// A tune at 96 ticks a quarter, 120 beats a minute until told otherwise.
std::vector<uint8_t> Tune(int endTick, std::vector<std::pair<int, int>> tempos = {}) {
    MidiFileMaker tune;
    tune.Note(60, 0, 48);
    for (const auto& [tick, microseconds] : tempos) {
        tune.Event(tick,
                   {0xFF, 0x51, 0x03, uint8_t(microseconds >> 16), uint8_t(microseconds >> 8), uint8_t(microseconds)});
    }
    return tune.EndAt(endTick).Bytes();
}

TEST(DescribeSoundFile, TellsLengthAndSizeOfWaveAndMidiFiles) {
    TempDir dir;
    WaveDescription eightBit;
    eightBit.samples.assign(9600, 0x80);
    const std::vector<uint8_t> broken = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96, 'M', 'T', 'r', 'k'};
    for (const auto& [name, bytes, expected] : std::vector<std::tuple<std::string, std::vector<uint8_t>, std::string>>{
             {"a.wav", MakeSineWave(8000, 1, 16, 1.2), "1.2 s, 19 KB"},
             {"b.wav", BuildWave(eightBit), "1.2 s, 10 KB"},
             {"long.wav", MakeSineWave(8000, 1, 16, 61.25), "61.3 s, 980 KB"},
             // Four quarters at 120 a minute, then two at 60, then two at 240.
             {"tempo.mid", Tune(768, {{384, 1000000}, {576, 250000}}), "4.5 s, 1 KB"},
             {"plain.mid", Tune(480), "2.5 s, 1 KB"},
             {"broken.mid", broken, "1 KB"},
             {"empty.wav", {}, "0 KB"}}) {
        ASSERT_TRUE(WriteFileBytes(dir / name, bytes));
        EXPECT_EQ(DescribeSoundFile(dir / name), expected) << name;
    }
    EXPECT_EQ(DescribeSoundFile(dir / "gone.wav"), "");
    EXPECT_EQ(CutLengthText(9872), "1.234 s (19.8 KB)");
    EXPECT_EQ(CutLengthText(0), "0.000 s (0.0 KB)");
}

// One loud sample in a long sound shows in the column that stands for it (column c for samples
// c * count / columns onwards), wherever it is; with more columns than samples, in one at least.
TEST(WaveformColumns, ShowEverySampleInTheColumnThatStandsForIt) {
    for (const auto& [count, columns] : std::vector<std::pair<size_t, int>>{{1440000, 1920}, {10, 4}, {10, 25}}) {
        for (const size_t spike : {size_t{0}, count / 3, count - 1}) {
            std::vector<int16_t> samples(count, 0);
            samples[spike] = 30000;
            samples[count - 1 - spike] = -30000;
            const std::vector<WaveColumn> shown = WaveformColumns(samples.data(), count, columns);
            ASSERT_EQ(shown.size(), static_cast<size_t>(columns));
            const auto high = std::count_if(shown.begin(), shown.end(), [](WaveColumn w) { return w.high == 30000; });
            const auto low = std::count_if(shown.begin(), shown.end(), [](WaveColumn w) { return w.low == -30000; });
            if (count >= static_cast<size_t>(columns)) {
                EXPECT_EQ(shown[spike * static_cast<size_t>(columns) / count].high, 30000) << count << " " << spike;
                EXPECT_TRUE(high == 1 && low == 1) << count << " " << spike;
            } else {
                EXPECT_TRUE(high >= 1 && low >= 1) << count << " " << spike;
            }
        }
    }
}

} // namespace
