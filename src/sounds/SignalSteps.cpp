#include "sounds/SignalSteps.h"

#include "platform/Endian.h"
#include "sounds/PeakLimiter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ebur128.h>
#include <functional>
#include <limits>
#include <memory>
#include <soxr.h>

namespace {

double FromDb(double db) {
    return std::pow(10.0, db / 20.0);
}

// Resampling and metering go in blocks this long, so that a long sound still reports progress.
constexpr size_t BlockSamples = 8192;
// Two audio rates are never further apart than this; a larger ratio is a broken rate, and would
// ask for more output than memory holds.
constexpr double MaxRateRatio = 1024;
// Integrated loudness gates 400 ms blocks; a shorter sound has none to gate.
constexpr double GatingBlockSeconds = 0.4;

// The peaks are kept this far under the ceiling: meters estimate the peaks between samples with
// different filters, and near the top of the band a meter built as BS.1770 prescribes reads up
// to about half a decibel more than libebur128 does.
constexpr double PeakMarginDb = 0.5;
// A sound whose peaks the limiter's estimate puts this far under that needs no meter to confirm it.
constexpr double TruePeakGuardDb = 1;
// How close to the target the loudness must come, and how often the gain may be corrected for
// what the limiter took back; each pass comes closer.
constexpr double LoudnessToleranceLu = 0.1;
constexpr int MaxLimiterPasses = 6;
// How far the limiter may turn peaks down: further, and what is heard is the limiter rather than
// the sound. A sound whose peaks stand out further than that (a lone click in silence) stays under
// the target.
constexpr double MaxLimitingDb = 20;

double ToDb(double linear) {
    return 20 * std::log10(linear);
}

struct MeterDeleter {
    void operator()(ebur128_state* state) const { ebur128_destroy(&state); }
};
using Meter = std::unique_ptr<ebur128_state, MeterDeleter>;

// A meter of `mode` that has heard the whole sound; null when the progress asked to stop, or when
// memory ran out.
Meter Measure(const std::vector<float>& mono, double rate, int mode, const ImportProgress& progress, bool& stopped) {
    stopped = false;
    Meter meter(ebur128_init(1, static_cast<unsigned long>(std::lround(rate)), mode));
    for (size_t at = 0; meter != nullptr && at < mono.size(); at += BlockSamples) {
        const size_t n = std::min(BlockSamples, mono.size() - at);
        ebur128_add_frames_float(meter.get(), mono.data() + at, n);
        if (progress && !progress(static_cast<double>(at + n) / static_cast<double>(mono.size()))) {
            stopped = true;
            return nullptr;
        }
    }
    return meter;
}

// The sound's loudness, or -infinity when it has none; an exhausted memory leaves `lufs` as it
// was. False when the progress asked to stop.
bool MeasureLoudness(const std::vector<float>& mono, double rate, const ImportProgress& progress, double& lufs) {
    bool stopped = false;
    const Meter meter = Measure(mono, rate, EBUR128_MODE_I, progress, stopped);
    if (meter == nullptr) {
        return !stopped;
    }
    const double seconds = static_cast<double>(mono.size()) / rate;
    if (seconds >= GatingBlockSeconds) {
        ebur128_loudness_global(meter.get(), &lufs);
    } else {
        // The meter's window still holds the whole sound, and nothing before it.
        const auto windowMs = std::max(1L, static_cast<long>(seconds * 1000.0));
        ebur128_loudness_window(meter.get(), static_cast<unsigned long>(windowMs), &lufs);
    }
    return true;
}

// The sound's true peak (linear); an exhausted memory leaves `peak` as it was. False when the
// progress asked to stop.
bool MeasureTruePeak(const std::vector<float>& mono, double rate, const ImportProgress& progress, double& peak) {
    bool stopped = false;
    const Meter meter = Measure(mono, rate, EBUR128_MODE_TRUE_PEAK, progress, stopped);
    if (meter != nullptr) {
        ebur128_true_peak(meter.get(), 0, &peak);
    }
    return !stopped;
}

// Raises the sound from gainDb on, turning its peaks down to `limit`, until its loudness comes
// within LoudnessToleranceLu of the target or the gain reaches maxGainDb; `mono` becomes the last
// pass's result and `reached` its loudness. False when the progress asked to stop.
bool LimitToTarget(std::vector<float>& mono, double rate, double loudness, double gainDb, double maxGainDb,
                   double limit, const std::function<ImportProgress(int pass)>& passProgress, double& reached) {
    const std::vector<float> envelope = TruePeakEnvelope(mono);
    std::vector<float> out;
    double lastGainDb = 0;
    double lastReached = -HUGE_VAL;
    for (int pass = 1; pass <= MaxLimiterPasses; ++pass) {
        reached = loudness + gainDb;
        if (LimitPeaks(mono, envelope, FromDb(gainDb), limit, rate, out) < 1 &&
            !MeasureLoudness(out, rate, passProgress(pass), reached)) {
            return false;
        }
        const double shortfall = ImportLoudnessLufs - reached;
        if (!std::isfinite(reached) || std::fabs(shortfall) < LoudnessToleranceLu ||
            (shortfall > 0 && gainDb >= maxGainDb)) {
            break;
        }
        // The limiter takes back part of every added decibel; the last two passes tell how much.
        const double slope = pass > 1 ? std::clamp((reached - lastReached) / (gainDb - lastGainDb), 0.1, 1.0) : 1.0;
        lastGainDb = gainDb;
        lastReached = reached;
        gainDb = std::min(gainDb + shortfall / slope, maxGainDb);
    }
    mono = std::move(out);
    return true;
}

} // namespace

std::vector<float> MixToMono(const std::vector<float>& interleaved, int channels) {
    if (channels <= 1) {
        return channels == 1 ? interleaved : std::vector<float>();
    }
    const size_t width = static_cast<size_t>(channels);
    std::vector<float> mono(interleaved.size() / width);
    const float scale = 1.0f / static_cast<float>(channels);
    const float* frame = interleaved.data();
    for (float& sample : mono) {
        float sum = 0;
        for (size_t c = 0; c < width; ++c) {
            sum += frame[c];
        }
        sample = sum * scale;
        frame += width;
    }
    return mono;
}

Resampler::Resampler(double fromRate, double toRate) {
    // libsoxr refuses a rate of zero but hangs on one that is no number.
    m_ratio = toRate / fromRate;
    if (!(fromRate > 0) || !(toRate > 0) || !std::isfinite(fromRate) || !std::isfinite(toRate) ||
        !(m_ratio <= MaxRateRatio && m_ratio >= 1 / MaxRateRatio)) {
        return;
    }
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    soxr_error_t error = nullptr;
    m_soxr = soxr_create(fromRate, toRate, 1, &error, &io, &quality, nullptr);
    if (error != nullptr && m_soxr != nullptr) {
        soxr_delete(m_soxr);
        m_soxr = nullptr;
    }
}

Resampler::~Resampler() {
    if (m_soxr != nullptr) {
        soxr_delete(m_soxr);
    }
}

void Resampler::Push(const float* samples, size_t count, std::vector<float>& out) {
    if (count > 0) {
        Run(samples, count, out);
    }
}

void Resampler::Finish(std::vector<float>& out) {
    Run(nullptr, 0, out);
}

// The output goes straight into the end of `out`, sized for what the input can yield; a null
// input drains the filter, which may take more than one call.
void Resampler::Run(const float* samples, size_t count, std::vector<float>& out) {
    if (m_soxr == nullptr) {
        return;
    }
    size_t used = 0;
    for (;;) {
        const size_t room = static_cast<size_t>(std::ceil(static_cast<double>(count - used) * m_ratio)) + 256;
        const size_t start = out.size();
        out.resize(start + room);
        size_t taken = 0;
        size_t made = 0;
        const float* in = samples != nullptr ? samples + used : nullptr;
        const soxr_error_t error = soxr_process(m_soxr, in, count - used, &taken, out.data() + start, room, &made);
        out.resize(start + made);
        used += taken;
        const bool drained = samples == nullptr ? made == 0 : used == count;
        if (error != nullptr || drained || (taken == 0 && made == 0)) {
            return;
        }
    }
}

std::vector<float> Resample(const std::vector<float>& mono, double fromRate, double toRate) {
    Resampler resampler(fromRate, toRate);
    std::vector<float> out;
    if (!resampler.Ok()) {
        return out;
    }
    out.reserve(static_cast<size_t>(static_cast<double>(mono.size()) * toRate / fromRate) + 256);
    for (size_t at = 0; at < mono.size(); at += BlockSamples) {
        resampler.Push(mono.data() + at, std::min(BlockSamples, mono.size() - at), out);
    }
    resampler.Finish(out);
    return out;
}

void TrimSilence(std::vector<float>& mono) {
    float peak = 0;
    for (const float sample : mono) {
        peak = std::max(peak, std::fabs(sample));
    }
    const auto threshold =
        static_cast<float>(std::max(FromDb(SilenceFloorDbfs), static_cast<double>(peak) / FromDb(SilenceBelowPeakDb)));
    auto audible = [threshold](float sample) { return std::fabs(sample) >= threshold; };
    const auto first = std::find_if(mono.begin(), mono.end(), audible);
    if (first == mono.end()) {
        mono.clear();
        return;
    }
    const auto last = std::find_if(mono.rbegin(), mono.rend(), audible).base();
    mono.erase(last, mono.end());
    mono.erase(mono.begin(), first);
}

bool NormalizeLoudness(std::vector<float>& mono, double rate, const ImportProgress& progress) {
    float peak = 0;
    for (const float sample : mono) {
        peak = std::max(peak, std::fabs(sample));
    }
    // Silence has no loudness to correct, and any gain would be a division by zero.
    if (!(peak > 0) || !(rate > 0)) {
        return true;
    }
    const auto passProgress = [&progress](int pass) -> ImportProgress {
        if (!progress) {
            return {};
        }
        return [&progress, pass](double fraction) { return progress((pass + fraction) / (MaxLimiterPasses + 2)); };
    };
    // Measured with its sample peak at full scale, the sound's loudness does not depend on the
    // level it was recorded at, and the meter's absolute gate (-70 LUFS) only leaves out blocks
    // that lie 70 dB under the peak.
    const float toFullScale = 1.0f / peak;
    for (float& sample : mono) {
        sample *= toFullScale;
    }
    double loudness = -HUGE_VAL;
    if (!MeasureLoudness(mono, rate, passProgress(0), loudness)) {
        return false;
    }
    const double top = EstimatedTruePeak(mono);
    const double limit = FromDb(ImportPeakCeilingDbtp - PeakMarginDb);
    // A sound too sparse for integrated loudness (sparse clicks, say) is only raised to the ceiling.
    double gainDb = std::isfinite(loudness) ? ImportLoudnessLufs - loudness : ToDb(limit / top);
    const double maxGainDb = ToDb(limit / top) + MaxLimitingDb;
    gainDb = std::min(gainDb, maxGainDb);
    double reached = loudness + gainDb;
    double peakAfter = top * FromDb(gainDb); // as the limiter's estimate has it
    double scale = FromDb(gainDb);           // the plain gain still to come
    if (peakAfter > limit) {
        if (!LimitToTarget(mono, rate, loudness, gainDb, maxGainDb, limit, passProgress, reached)) {
            return false;
        }
        peakAfter = limit;
        scale = 1;
    }
    // A correction that went past the target is taken back by plain gain, which the loudness
    // follows exactly.
    if (reached > ImportLoudnessLufs) {
        scale *= FromDb(ImportLoudnessLufs - reached);
        peakAfter *= FromDb(ImportLoudnessLufs - reached);
    }
    // The meter has the last word on the peaks between samples near the ceiling. The limiter's
    // estimate reads as high as the meter's or higher on every kind of sound tried, never lower by
    // a tenth of a decibel, so a sound it puts well under the ceiling spares the meter's costly
    // oversampling (a long recording's largest single cost after decoding).
    if (peakAfter > limit * FromDb(-TruePeakGuardDb)) {
        double truePeak = 0;
        if (!MeasureTruePeak(mono, rate, passProgress(MaxLimiterPasses + 1), truePeak)) {
            return false;
        }
        scale = std::min(scale, limit / truePeak);
    }
    if (scale != 1) {
        const auto factor = static_cast<float>(scale);
        for (float& sample : mono) {
            sample *= factor;
        }
    }
    return true;
}

std::vector<uint8_t> EncodeRobotWave(const std::vector<float>& mono8k) {
    constexpr size_t HeaderBytes = 44;
    constexpr uint16_t BytesPerSample = 2;
    const uint64_t dataBytes = static_cast<uint64_t>(mono8k.size()) * BytesPerSample;
    if (dataBytes > std::numeric_limits<uint32_t>::max() - (HeaderBytes - 8)) {
        return {};
    }
    std::vector<uint8_t> wave(HeaderBytes + dataBytes);
    uint8_t* p = wave.data();
    const auto rate = static_cast<uint32_t>(RobotPlaybackRate);
    std::memcpy(p, "RIFF", 4);
    WriteLE32(p + 4, static_cast<uint32_t>(HeaderBytes - 8 + dataBytes));
    std::memcpy(p + 8, "WAVEfmt ", 8);
    WriteLE32(p + 16, 16);                    // format chunk size
    WriteLE16(p + 20, 1);                     // PCM
    WriteLE16(p + 22, 1);                     // mono
    WriteLE32(p + 24, rate);                  // frames per second
    WriteLE32(p + 28, rate * BytesPerSample); // bytes per second
    WriteLE16(p + 32, BytesPerSample);        // bytes per frame
    WriteLE16(p + 34, 16);                    // bits per sample
    std::memcpy(p + 36, "data", 4);
    WriteLE32(p + 40, static_cast<uint32_t>(dataBytes));
    p += HeaderBytes;
    for (float sample : mono8k) {
        // NaN is treated as silence rather than being handed to a conversion it would break.
        const float clamped = !std::isnan(sample) ? std::clamp(sample, -1.0f, 1.0f) : 0.0f;
        const auto value = static_cast<int16_t>(std::lround(clamped * 32767.0f));
        WriteLE16(p, static_cast<uint16_t>(value));
        p += BytesPerSample;
    }
    return wave;
}
