// A song-length sound in the trim dialog: its waveform must be drawn within one frame of a 60 Hz
// screen (the column extremes found anew, as after a resize), and cutting it must cost no more
// than twice copying its bytes, the part no trim can leave out.
#include "Benchmarks.h"

#include "TempDir.h"
#include "app/WaveformView.h"
#include "platform/FileOps.h"
#include "platform/SafeFile.h"
#include "sounds/SoundTrim.h"

#include <QImage>
#include <cmath>
#include <numbers>

namespace {

constexpr int PaintRuns = 21;
constexpr int TrimPairs = 9;
constexpr double SongSeconds = 180;
// A dialog stretched across a full-HD screen.
constexpr int WaveWidth = 1920;
constexpr int WaveHeight = 240;

// Three minutes of a swelling tone with a little noise, as the waveform and the cut see music.
std::shared_ptr<const std::vector<int16_t>> Song() {
    auto samples = std::make_shared<std::vector<int16_t>>(static_cast<size_t>(SongSeconds * TrimRate));
    uint32_t noise = 12345;
    for (size_t i = 0; i < samples->size(); ++i) {
        const double t = static_cast<double>(i) / TrimRate;
        const double swell = 0.6 + 0.4 * std::sin(2 * std::numbers::pi * 0.25 * t);
        noise = noise * 1664525 + 1013904223;
        const double hiss = (static_cast<double>(noise >> 8) / (1 << 24) - 0.5) * 0.05;
        (*samples)[i] = static_cast<int16_t>(20000 * (swell * std::sin(2 * std::numbers::pi * 220 * t) + hiss));
    }
    return samples;
}

BenchRow Failure(std::string what, std::string why) {
    BenchRow row;
    row.what = std::move(what);
    row.measured = std::move(why);
    row.verdict = BenchRow::Verdict::Error;
    return row;
}

BenchRow PaintRow(const std::shared_ptr<const std::vector<int16_t>>& song) {
    BenchRow row;
    row.what = "7 Waveform of a 3-min 8 kHz sound, " + std::to_string(WaveWidth) + " px";
    WaveformView view;
    view.resize(WaveWidth, WaveHeight);
    view.SetSelection(0, 0);
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    std::vector<double> ms;
    for (int run = -1; run < PaintRuns; ++run) {
        const auto start = BenchClock::now();
        view.SetSamples(song); // the columns are made anew
        view.SetSelection(song->size() / 4, song->size() / 2);
        view.SetPlayPosition(song->size() / 3);
        view.render(&image);
        if (run >= 0) {
            ms.push_back(MillisecondsSince(start));
        }
    }
    row.measured = FormatMs(Median(ms));
    row.baseline = "max " + FormatMs(*std::max_element(ms.begin(), ms.end()));
    row.target = "<= 16 ms";
    row.verdict = Median(ms) <= 16.0 ? BenchRow::Verdict::Pass : BenchRow::Verdict::Miss;
    return row;
}

BenchRow TrimRow(const std::shared_ptr<const std::vector<int16_t>>& song) {
    const std::string what = "7 Trim of a 3-min 8 kHz sound";
    TempDir dir;
    const std::vector<uint8_t> bytes = EncodeTrimmedWave(*song);
    if (!WriteFileBytes(dir / "song.wav", bytes)) {
        return Failure(what, "cannot write the sound");
    }
    // All but the first and last second, so both cuts are faded and the copy is nearly as long.
    std::optional<PairedRuns> runs = RunPairs(
        TrimPairs,
        [&]() -> std::optional<double> {
            const auto start = BenchClock::now();
            const TrimResult result = TrimSoundFile(dir.Path(), "song.wav", TrimRate, song->size() - TrimRate);
            const double ms = MillisecondsSince(start);
            return result.written && RemoveFile(dir / result.fileName) ? std::optional<double>(ms) : std::nullopt;
        },
        [&]() -> std::optional<double> {
            const auto start = BenchClock::now();
            const bool copied = CopyFileSafely(dir / "song.wav", dir / "copy.wav", true);
            const double ms = MillisecondsSince(start);
            return copied && RemoveFile(dir / "copy.wav") ? std::optional<double>(ms) : std::nullopt;
        });
    if (!runs) {
        return Failure(what, "the trim or the copy failed");
    }
    BenchRow row;
    row.what = what;
    row.measured = FormatMs(Median(runs->a));
    row.baseline = FormatMs(Median(runs->b)) + " copy";
    row.ratio = runs->RatioSpread();
    row.target = "trim <= 2x copy";
    row.verdict = runs->MedianRatio() <= 2.0 ? BenchRow::Verdict::Pass : BenchRow::Verdict::Miss;
    return row;
}

} // namespace

std::vector<BenchRow> RunTrimBenchmarks() {
    const std::shared_ptr<const std::vector<int16_t>> song = Song();
    return {PaintRow(song), TrimRow(song)};
}
