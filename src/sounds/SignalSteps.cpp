#include "sounds/SignalSteps.h"

#include "platform/Endian.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ebur128.h>
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

struct MeterDeleter {
    void operator()(ebur128_state* state) const { ebur128_destroy(&state); }
};

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

void TrimSilence(std::vector<float>& mono, double thresholdDbfs) {
    const float threshold = static_cast<float>(FromDb(thresholdDbfs));
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
    for (float sample : mono) {
        peak = std::max(peak, std::fabs(sample));
    }
    // Silence has no loudness to correct, and any gain would be a division by zero.
    if (!(peak > 0) || !(rate > 0)) {
        return true;
    }
    std::unique_ptr<ebur128_state, MeterDeleter> meter(
        ebur128_init(1, static_cast<unsigned long>(std::lround(rate)), EBUR128_MODE_I));
    // Only an exhausted memory stops the meter; the sound then keeps its own level.
    if (meter == nullptr) {
        return true;
    }
    for (size_t at = 0; at < mono.size(); at += BlockSamples) {
        const size_t n = std::min(BlockSamples, mono.size() - at);
        ebur128_add_frames_float(meter.get(), mono.data() + at, n);
        if (progress && !progress(static_cast<double>(at + n) / static_cast<double>(mono.size()))) {
            return false;
        }
    }
    const double seconds = static_cast<double>(mono.size()) / rate;
    double loudness = -HUGE_VAL;
    if (seconds >= GatingBlockSeconds) {
        ebur128_loudness_global(meter.get(), &loudness);
    } else {
        // The meter's window still holds the whole sound, and nothing before it.
        const auto windowMs = std::max(1L, static_cast<long>(seconds * 1000.0));
        ebur128_loudness_window(meter.get(), static_cast<unsigned long>(windowMs), &loudness);
    }
    // A sound whose every 400 ms block is below the meter's absolute gate (-70 LUFS), sparse
    // clicks say, has no integrated loudness; its peak alone decides, as for any sound that the
    // target would push past the ceiling.
    double gain = std::isfinite(loudness) ? FromDb(ImportLoudnessLufs - loudness) : HUGE_VAL;
    gain = std::min(gain, FromDb(ImportPeakCeilingDbfs) / peak);
    const auto factor = static_cast<float>(gain);
    for (float& sample : mono) {
        sample *= factor;
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
