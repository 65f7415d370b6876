#include "sounds/PeakLimiter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <numbers>

namespace {

constexpr int Oversampling = 4;
// Samples on each side of a point that its interpolation takes.
constexpr int Reach = 8;
constexpr int Taps = 2 * Reach;

using InterpolationTaps = std::array<std::array<float, Taps>, Oversampling - 1>;

// Hann-windowed sinc taps for the points a quarter, a half and three quarters of the way from
// sample Reach - 1 to sample Reach of a window of Taps samples, each summing to one so that a
// steady level is kept exactly.
InterpolationTaps MakeInterpolationTaps() {
    InterpolationTaps taps{};
    for (int phase = 1; phase < Oversampling; ++phase) {
        std::array<double, Taps> raw{};
        double sum = 0;
        for (int k = 0; k < Taps; ++k) {
            const double t = static_cast<double>(k - (Reach - 1)) - static_cast<double>(phase) / Oversampling;
            const double sinc = std::sin(std::numbers::pi * t) / (std::numbers::pi * t);
            raw[k] = sinc * 0.5 * (1 + std::cos(std::numbers::pi * t / Reach));
            sum += raw[k];
        }
        for (int k = 0; k < Taps; ++k) {
            taps[phase - 1][k] = static_cast<float>(raw[k] / sum);
        }
    }
    return taps;
}

// The smallest of the last `width` values pushed, in constant time per value: a queue of the
// positions that may still become the smallest, their values rising from front to back.
class SlidingMinimum {
public:
    explicit SlidingMinimum(size_t width) : m_width(width), m_ring(width + 1) {}

    double Push(double value) {
        while (m_count > 0 && m_ring[Slot(m_count - 1)].value >= value) {
            --m_count;
        }
        m_ring[Slot(m_count++)] = {m_position, value};
        if (m_ring[m_head].position + m_width <= m_position) {
            m_head = Slot(1);
            --m_count;
        }
        ++m_position;
        return m_ring[m_head].value;
    }

private:
    struct Entry {
        size_t position;
        double value;
    };
    size_t Slot(size_t offset) const {
        const size_t slot = m_head + offset;
        return slot < m_ring.size() ? slot : slot - m_ring.size();
    }

    size_t m_width;
    std::vector<Entry> m_ring;
    size_t m_head = 0;
    size_t m_count = 0;
    size_t m_position = 0;
};

constexpr size_t Block = 1024;
// A block with the Reach - 1 samples before it and the Reach after it that its interpolation takes.
using Window = std::array<float, Block + Taps>;

// Loads the block from `start` into the window; returns the number of the block's samples.
size_t LoadWindow(const std::vector<float>& mono, size_t start, Window& window) {
    const size_t count = std::min(Block, mono.size() - start);
    for (size_t j = 0; j < count + Taps; ++j) {
        const size_t at = start + j - (Reach - 1); // wraps below zero, and is then out of range
        window[j] = at < mono.size() ? mono[at] : 0.0f;
    }
    return count;
}

// between[i]: the peak from the block's sample i to the next, each tap taken over the whole block
// so that the sums run side by side.
void PeaksBetween(const Window& window, size_t count, std::array<float, Block>& between) {
    static const InterpolationTaps taps = MakeInterpolationTaps();
    std::array<float, Block> sum{};
    for (size_t i = 0; i < count; ++i) {
        between[i] = std::max(std::fabs(window[i + Reach - 1]), std::fabs(window[i + Reach]));
    }
    for (const auto& phase : taps) {
        std::fill(sum.begin(), sum.end(), 0.0f);
        for (int k = 0; k < Taps; ++k) {
            const float tap = phase[k];
            const float* from = window.data() + k;
            for (size_t i = 0; i < count; ++i) {
                sum[i] += tap * from[i];
            }
        }
        for (size_t i = 0; i < count; ++i) {
            between[i] = std::max(between[i], std::fabs(sum[i]));
        }
    }
}

// The most an interpolated point can exceed the largest sample in its window by.
float InterpolationGain() {
    float most = 1;
    for (const auto& phase : MakeInterpolationTaps()) {
        float sum = 0;
        for (const float tap : phase) {
            sum += std::fabs(tap);
        }
        most = std::max(most, sum);
    }
    return most;
}

} // namespace

std::vector<float> TruePeakEnvelope(const std::vector<float>& mono) {
    std::vector<float> envelope(mono.size());
    Window window;
    std::array<float, Block> between{};
    float before = 0; // the peak from the sample before the block to its first
    for (size_t start = 0; start < mono.size(); start += Block) {
        const size_t count = LoadWindow(mono, start, window);
        PeaksBetween(window, count, between);
        for (size_t i = 0; i < count; ++i) {
            envelope[start + i] = std::max(before, between[i]);
            before = between[i];
        }
    }
    return envelope;
}

// Starting from the largest sample, which the envelope holds too, a block is interpolated only
// when its samples could take it higher.
double EstimatedTruePeak(const std::vector<float>& mono) {
    static const float gain = InterpolationGain();
    float top = 0;
    for (const float sample : mono) {
        top = std::max(top, std::fabs(sample));
    }
    Window window;
    std::array<float, Block> between{};
    for (size_t start = 0; start < mono.size(); start += Block) {
        const size_t count = LoadWindow(mono, start, window);
        float local = 0;
        for (size_t j = 0; j < count + Taps; ++j) {
            local = std::max(local, std::fabs(window[j]));
        }
        if (local * gain > top) {
            PeaksBetween(window, count, between);
            top = std::max(top, *std::max_element(between.begin(), between.begin() + static_cast<long>(count)));
        }
    }
    return top;
}

// The gain curve is built in three passes over "needs", the largest gain each sample allows (1
// outside the sound): the smallest need within the look-ahead, an exponential return towards 1
// after each dip, and the mean over the look-ahead. Each value the mean takes for a sample comes
// from a window that holds that sample, so the curve never rises above the sample's need, while
// the mean turns every step into a ramp over the look-ahead.
double LimitPeaks(const std::vector<float>& mono, const std::vector<float>& envelope, double gain, double ceiling,
                  double rate, std::vector<float>& out) {
    const size_t n = std::min(mono.size(), envelope.size());
    out.resize(n);
    const float top = n > 0 ? *std::max_element(envelope.begin(), envelope.begin() + static_cast<long>(n)) : 0;
    if (!(static_cast<double>(top) * gain > ceiling)) {
        for (size_t i = 0; i < n; ++i) {
            out[i] = static_cast<float>(mono[i] * gain);
        }
        return 1;
    }
    const auto width = static_cast<size_t>(std::max(1L, std::lround(LimiterLookAheadSeconds * rate)));
    const double keep = std::exp(-1 / (LimiterReleaseSeconds * rate));
    const auto need = [&](size_t at) {
        const double peak = envelope[at] * gain;
        return peak > ceiling ? ceiling / peak : 1.0;
    };
    SlidingMinimum lookAhead(width);
    std::vector<double> recent(width, 1.0);
    double sum = static_cast<double>(width);
    double released = 1;
    double deepest = 1;
    size_t slot = 0;
    const auto lag = static_cast<ptrdiff_t>(width) - 1;
    // At step q the need of sample q joins the look-ahead, whose minimum then belongs to sample
    // q - lag, as does the mean of the minima up to it.
    for (ptrdiff_t q = -lag; q < static_cast<ptrdiff_t>(n) + lag; ++q) {
        const double lowest =
            lookAhead.Push(q >= 0 && q < static_cast<ptrdiff_t>(n) ? need(static_cast<size_t>(q)) : 1.0);
        released = std::min(lowest, 1 - (1 - released) * keep);
        sum += released - recent[slot];
        recent[slot] = released;
        slot = slot + 1 < width ? slot + 1 : 0;
        const ptrdiff_t at = q - lag;
        if (at >= 0) {
            const double factor = std::min(1.0, sum / static_cast<double>(width));
            deepest = std::min(deepest, factor);
            out[static_cast<size_t>(at)] = static_cast<float>(mono[static_cast<size_t>(at)] * gain * factor);
        }
    }
    return deepest;
}
