// Importing a song-length MP3 against decoding it alone: decoding is the part no import can leave
// out, so the rest (mixing, resampling, loudness, writing) should not cost as much again.
#include "Benchmarks.h"

#include "EncodedSounds.h"
#include "TempDir.h"
#include "platform/FileOps.h"
#include "sounds/SoundImport.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <sndfile.h>

namespace {

constexpr int Pairs = 9;
constexpr int SourceRate = 44100;
constexpr double SourceSeconds = 180;

// Three minutes of a slowly swelling chord with a little noise, different in each channel, so the
// encoder has something like music to code.
std::vector<float> SongFrames() {
    const auto frames = static_cast<size_t>(SourceSeconds * SourceRate);
    std::vector<float> song(2 * frames);
    uint32_t noise = 12345;
    for (size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / SourceRate;
        const double swell = 0.6 + 0.4 * std::sin(2 * std::numbers::pi * 0.25 * t);
        const double chord =
            std::sin(2 * std::numbers::pi * 220 * t) + 0.6 * std::sin(2 * std::numbers::pi * 277.2 * t);
        noise = noise * 1664525 + 1013904223;
        const double hiss = (static_cast<double>(noise >> 8) / (1 << 24) - 0.5) * 0.05;
        song[2 * i] = static_cast<float>(0.3 * swell * chord + hiss);
        song[2 * i + 1] =
            static_cast<float>(0.3 * swell * (chord + 0.5 * std::sin(2 * std::numbers::pi * 330 * t)) - hiss);
    }
    return song;
}

// What any import must do first: the whole file decoded by libsndfile, in the import's block size.
bool DecodeAlone(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) {
        return false;
    }
    std::vector<float> block(8192 * static_cast<size_t>(info.channels));
    sf_count_t total = 0;
    for (sf_count_t n; (n = sf_readf_float(file, block.data(), 8192)) > 0;) {
        total += n;
    }
    sf_close(file);
    return total > 0;
}

} // namespace

std::vector<BenchRow> RunImportBenchmarks() {
    BenchRow ratioRow;
    ratioRow.what = "6 Import of a 3-min 44.1 kHz stereo MP3";
    ratioRow.target = "import <= 2x decode";
    TempDir dir;
    const std::string song = dir / "song.mp3";
    const std::string sounds = dir / "SOUNDS";
    if (!MakeFolders(sounds) ||
        !WriteSoundFile(song, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, SourceRate, 2, SongFrames())) {
        ratioRow.measured = "cannot write the MP3";
        ratioRow.verdict = BenchRow::Verdict::Error;
        return {ratioRow};
    }
    std::optional<PairedRuns> runs = RunPairs(
        Pairs,
        [&]() -> std::optional<double> {
            const auto start = BenchClock::now();
            const ImportResult result = ImportSound(song, sounds, {});
            const double ms = MillisecondsSince(start);
            const bool imported = result.status == ImportStatus::Imported;
            return imported && RemoveFile(sounds + "/" + result.fileName) ? std::optional<double>(ms) : std::nullopt;
        },
        [&]() -> std::optional<double> {
            const auto start = BenchClock::now();
            return DecodeAlone(song) ? std::optional<double>(MillisecondsSince(start)) : std::nullopt;
        });
    if (!runs) {
        ratioRow.measured = "the import or the decode failed";
        ratioRow.verdict = BenchRow::Verdict::Error;
        return {ratioRow};
    }
    ratioRow.measured = FormatMs(Median(runs->a));
    ratioRow.baseline = FormatMs(Median(runs->b)) + " decode";
    ratioRow.ratio = runs->RatioSpread();
    ratioRow.verdict = runs->MedianRatio() <= 2.0 ? BenchRow::Verdict::Pass : BenchRow::Verdict::Miss;

    BenchRow speedRow;
    speedRow.what = "6 Import speed, same MP3";
    char speed[32];
    std::snprintf(speed, sizeof speed, "%.0fx real time", SourceSeconds * 1000 / Median(runs->a));
    speedRow.measured = speed;
    speedRow.target = "(reported)";
    return {ratioRow, speedRow};
}
