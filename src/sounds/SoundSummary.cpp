#include "sounds/SoundSummary.h"

#include "platform/ByteStream.h"
#include "sounds/MidiLength.h"
#include "sounds/SoundTrim.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// `value` / `unit` rounded to the nearest, with `decimals` decimals.
std::string Fixed(uint64_t value, uint64_t unit, int decimals) {
    uint64_t scale = 1;
    for (int i = 0; i < decimals; ++i) {
        scale *= 10;
    }
    const uint64_t scaled = (value * scale + unit / 2) / unit;
    std::string text = std::to_string(scaled / scale);
    if (decimals > 0) {
        const std::string fraction = std::to_string(scaled % scale);
        text += "." + std::string(static_cast<size_t>(decimals) - fraction.size(), '0') + fraction;
    }
    return text;
}

} // namespace

std::string SoundSummaryText(std::optional<double> seconds, uint64_t bytes) {
    const uint64_t kilobytes = bytes == 0 ? 0 : std::max<uint64_t>(1, (bytes + 500) / 1000);
    std::string size = std::to_string(kilobytes) + " KB";
    if (!seconds || !std::isfinite(*seconds) || *seconds < 0 || *seconds > 1e9) {
        return size;
    }
    const auto tenths = static_cast<uint64_t>(std::llround(*seconds * 10));
    return Fixed(tenths, 10, 1) + " s, " + size;
}

std::string DescribeSoundFile(const std::string& path) {
    const std::unique_ptr<FileSource> file = FileSource::Open(path);
    const int64_t bytes = file != nullptr ? file->Size() : -1;
    if (bytes < 0) {
        return {};
    }
    uint8_t head[4] = {};
    std::optional<double> seconds;
    if (ReadItem(*file, head, sizeof head) && std::memcmp(head, "MThd", 4) == 0) {
        seconds = ReadMidiFileSeconds(*file);
    } else {
        WaveLayout layout;
        std::string reason;
        if (ReadWaveLayout(*file, layout, reason)) {
            seconds = static_cast<double>(layout.SampleCount()) / TrimRate;
        }
    }
    return SoundSummaryText(seconds, static_cast<uint64_t>(bytes));
}

std::string CutLengthText(size_t samples) {
    return Fixed(samples, TrimRate, 3) + " s (" + Fixed(TrimmedFileBytes(samples), 1000, 1) + " KB)";
}
