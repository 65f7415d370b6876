// A WAV file of the SOUNDS folder read for trimming, from any bytes: what is read must be a file
// the list takes, its samples those a plain decode of the usual 44-byte layout gives, a cut of all
// of them the sound itself again, and a cut of a part those samples with only the fades changed.
#include "FuzzCheck.h"
#include "platform/ByteStream.h"
#include "platform/Endian.h"
#include "sounds/CustomSoundLibrary.h"
#include "sounds/SoundTrim.h"

#include <cstdlib>
#include <cstring>

namespace {

bool Read(const uint8_t* data, size_t size, std::vector<int16_t>& samples) {
    MemorySource source(data, size);
    std::string reason;
    const bool read = ReadWaveSamples(source, samples, reason);
    Check(read || !reason.empty());
    return read;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<int16_t> samples;
    if (!Read(data, size, samples)) {
        return 0;
    }
    MemorySource header(data, size);
    Check(IsAcceptedWaveHeader(header));
    const int bits = ReadLE16(data + 34);
    Check(samples.size() * static_cast<size_t>(bits / 8) <= size - 36);

    // The usual layout decoded by hand: a 16-byte format chunk, then the data chunk.
    if (ReadLE32(data + 16) == 16 && size >= 44 && std::memcmp(data + 36, "data", 4) == 0) {
        const size_t count = std::min<size_t>(ReadLE32(data + 40), size - 44) / static_cast<size_t>(bits / 8);
        Check(samples.size() == count);
        for (size_t i = 0; i < count; ++i) {
            const int expected =
                bits == 8 ? (data[44 + i] - 128) * 256 : static_cast<int16_t>(ReadLE16(data + 44 + 2 * i));
            Check(samples[i] == expected);
        }
    }

    const size_t n = samples.size();
    const std::vector<uint8_t> whole = EncodeTrimmedWave(CutWithFades(samples, 0, n));
    std::vector<int16_t> again;
    Check(Read(whole.data(), whole.size(), again) && again == samples);

    // A part chosen by the input's last bytes.
    const uint32_t pick = size >= 4 ? ReadLE32(data + size - 4) : 0;
    const size_t first = pick % (n + 1);
    const size_t end = first + (pick >> 7) % (n - first + 1);
    const std::vector<int16_t> cut = CutWithFades(samples, first, end);
    Check(cut.size() == end - first);
    const size_t fade = std::min(TrimFadeSamples, cut.size() / 2);
    for (size_t i = 0; i < cut.size(); ++i) {
        const int kept = samples[first + i];
        const bool fadedIn = first > 0 && i < fade;
        const bool fadedOut = end < n && cut.size() - 1 - i < fade;
        if (!fadedIn && !fadedOut) {
            Check(cut[i] == kept);
        } else {
            Check(std::abs(cut[i]) <= std::abs(kept) && (cut[i] == 0 || (cut[i] < 0) == (kept < 0)));
        }
    }
    Check(cut.empty() || fade == 0 || ((first == 0 || cut.front() == 0) && (end == n || cut.back() == 0)));
    return 0;
}
