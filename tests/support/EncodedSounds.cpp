#include "EncodedSounds.h"

#include <cmath>
#include <numbers>
#include <sndfile.h>

std::vector<float> SineFrames(double hz, double amplitude, double seconds, int rate, int channels) {
    const auto frames = static_cast<size_t>(std::lround(seconds * rate));
    std::vector<float> out;
    out.reserve(frames * static_cast<size_t>(channels));
    for (size_t i = 0; i < frames; ++i) {
        const double phase = 2 * std::numbers::pi * hz * static_cast<double>(i) / rate;
        out.insert(out.end(), static_cast<size_t>(channels), static_cast<float>(amplitude * std::sin(phase)));
    }
    return out;
}

bool WriteSoundFile(const std::string& path, int format, int rate, int channels, const std::vector<float>& frames) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) {
        return false;
    }
    const auto count = static_cast<sf_count_t>(frames.size() / static_cast<size_t>(channels));
    const bool whole = sf_writef_float(file, frames.data(), count) == count;
    return sf_close(file) == 0 && whole;
}
