#include "EncodedSounds.h"

#include <cmath>
#include <numbers>
#include <sndfile.h>

std::vector<float> SineFrames(double hz, double amplitude, double seconds, int rate, int channels) {
    std::vector<float> out;
    for (long i = 0; i < std::lround(seconds * rate); ++i) {
        const double value = amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / rate);
        out.insert(out.end(), static_cast<size_t>(channels), static_cast<float>(value));
    }
    return out;
}

bool WriteSoundFile(const std::string& path, int format, int rate, int channels, const std::vector<float>& frames) {
    SF_INFO info{0, rate, channels, format, 0, 0};
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    const auto count = static_cast<sf_count_t>(frames.size() / static_cast<size_t>(channels));
    const bool whole = file != nullptr && sf_writef_float(file, frames.data(), count) == count;
    return file != nullptr && sf_close(file) == 0 && whole;
}
