#include "ReferenceMeter.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>

namespace {

struct Biquad {
    double b0, b1, b2, a1, a2;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    double operator()(double x) {
        const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1, x1 = x, y2 = y1, y1 = y;
        return y;
    }
};

// The Recommendation tabulates both stages at 48 kHz; these are the analogue prototypes those
// tables come from, taken to `rate` by the bilinear transform.
Biquad Shelf(double rate) {
    const double k = std::tan(std::numbers::pi * 1681.974450955533 / rate), q = 0.7071752369554196;
    const double vh = std::pow(10.0, 3.999843853973347 / 20), vb = std::pow(vh, 0.4996667741545416);
    const double a0 = 1 + k / q + k * k;
    return {(vh + vb * k / q + k * k) / a0, 2 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0, 2 * (k * k - 1) / a0,
            (1 - k / q + k * k) / a0};
}

Biquad HighPass(double rate) {
    const double k = std::tan(std::numbers::pi * 38.13547087602444 / rate), q = 0.5003270373238773;
    const double a0 = 1 + k / q + k * k;
    return {1, -2, 1, 2 * (k * k - 1) / a0, (1 - k / q + k * k) / a0};
}

double Lufs(double meanSquare) {
    return -0.691 + 10 * std::log10(meanSquare);
}

// Annex 2: the 48-tap interpolating filter as four phases of twelve taps.
constexpr double Phases[4][12] = {
    {0.0017089843750, 0.0109863281250, -0.0196533203125, 0.0332031250000, -0.0594482421875, 0.1373291015625,
     0.9721679687500, -0.1022949218750, 0.0476074218750, -0.0266113281250, 0.0148925781250, -0.0083007812500},
    {-0.0291748046875, 0.0292968750000, -0.0517578125000, 0.0891113281250, -0.1665039062500, 0.4650878906250,
     0.7797851562500, -0.2003173828125, 0.1015625000000, -0.0582275390625, 0.0330810546875, -0.0189208984375},
    {-0.0189208984375, 0.0330810546875, -0.0582275390625, 0.1015625000000, -0.2003173828125, 0.7797851562500,
     0.4650878906250, -0.1665039062500, 0.0891113281250, -0.0517578125000, 0.0292968750000, -0.0291748046875},
    {-0.0083007812500, 0.0148925781250, -0.0266113281250, 0.0476074218750, -0.1022949218750, 0.9721679687500,
     0.1373291015625, -0.0594482421875, 0.0332031250000, -0.0196533203125, 0.0109863281250, 0.0017089843750}};

} // namespace

double IntegratedLufs(const std::vector<float>& samples, double rate) {
    Biquad shelf = Shelf(rate), highPass = HighPass(rate);
    std::vector<double> energy{0}; // of the K-weighted samples before each position
    for (const float s : samples) {
        const double y = highPass(shelf(s));
        energy.push_back(energy.back() + y * y);
    }
    const auto block = static_cast<size_t>(std::lround(0.4 * rate));
    std::vector<double> blocks;
    for (size_t at = 0; at + block <= samples.size(); at += block / 4) {
        blocks.push_back((energy[at + block] - energy[at]) / static_cast<double>(block));
    }
    const auto gated = [&blocks](double gate) {
        double sum = 0, n = 0;
        for (const double z : blocks) {
            if (Lufs(z) > gate) {
                sum += z, ++n;
            }
        }
        return n > 0 ? Lufs(sum / n) : -HUGE_VAL;
    };
    const double ungated = gated(-70);
    return std::isfinite(ungated) ? gated(std::max(-70.0, ungated - 10)) : ungated;
}

double TruePeakDbtp(const std::vector<float>& samples) {
    std::vector<double> padded(11, 0.0);
    padded.insert(padded.end(), samples.begin(), samples.end());
    padded.resize(padded.size() + 11, 0.0);
    double peak = 0;
    for (size_t n = 0; n + 12 <= padded.size(); ++n) {
        for (const auto& phase : Phases) {
            peak = std::max(peak, std::fabs(std::inner_product(phase, phase + 12, padded.rbegin() + n, 0.0)));
        }
    }
    for (const float s : samples) {
        peak = std::max(peak, double{std::fabs(s)});
    }
    return 20 * std::log10(peak);
}
