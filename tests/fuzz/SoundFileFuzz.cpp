// The player opens whatever the user put in the SOUNDS folder: any bytes handed to the WAV
// decoder or to the MIDI file check must be refused or decoded, never read out of bounds, and a
// plain PCM WAV file decodes to the frames it holds.
#include "FuzzCheck.h"
#include "platform/AudioOut.h"
#include "platform/Endian.h"
#include "platform/MidiRenderer.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// A plain PCM WAV file, read here on its own: its RIFF size covers the file, every chunk lies
// whole in it (padded to an even size), and one "fmt " chunk of PCM (format 1) with 1 or 2
// channels of 8 to 32 bits at 4000 to 192000 Hz comes before its first "data" chunk. The data
// chunk's body and its format (channels, rate, bits); no body for any other file.
const uint8_t* PlainPcm(const std::vector<uint8_t>& b, size_t& length, uint16_t& channels, uint32_t& rate,
                        uint16_t& bits) {
    if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) != 0 || std::memcmp(&b[8], "WAVE", 4) != 0 ||
        ReadLE32(&b[4]) != b.size() - 8) {
        return nullptr;
    }
    channels = 0;
    for (size_t at = 12; at + 8 <= b.size() && (length = ReadLE32(&b[at + 4])) <= b.size() - at - 8;
         at += 8 + length + (length & 1)) {
        const uint8_t* body = &b[at + 8];
        if (std::memcmp(&b[at], "data", 4) == 0) {
            return channels != 0 ? body : nullptr;
        }
        if (std::memcmp(&b[at], "fmt ", 4) == 0) {
            if (channels != 0 || length < 16 || ReadLE16(body) != 1) {
                return nullptr;
            }
            channels = ReadLE16(body + 2);
            rate = ReadLE32(body + 4);
            bits = ReadLE16(body + 14);
            if (channels < 1 || channels > 2 || bits % 8 != 0 || bits < 8 || bits > 32 || rate < 4000 ||
                rate > 192000 || ReadLE16(body + 12) * 8 != channels * bits) {
                return nullptr;
            }
        }
    }
    return nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    const std::optional<PcmAudio> audio = DecodeWave(bytes);
    // A decoded sound is whole frames of the output format.
    Check(!audio || audio->samples.size() % AudioOutChannels == 0);
    IsStandardMidiFile(bytes);

    size_t length = 0;
    uint16_t channels = 0, bits = 0;
    uint32_t rate = 0;
    const uint8_t* pcm = PlainPcm(bytes, length, channels, rate, bits);
    if (pcm == nullptr) {
        return 0;
    }
    // As many frames at the output rate as the file holds at its own.
    const size_t frames = length / (channels * bits / 8);
    Check(audio && std::abs(static_cast<double>(audio->FrameCount()) - double(frames) * AudioOutRate / rate) <= 2);
    // 16-bit samples at the output rate keep their values, a single channel heard on both (SDL
    // spreads it through floating point, which may round a value one step towards zero).
    for (size_t i = 0; bits == 16 && rate == AudioOutRate && i < 2 * frames; ++i) {
        const auto held = static_cast<int16_t>(ReadLE16(pcm + 2 * (i / 2 * channels + (channels == 2 ? i % 2 : 0))));
        Check(audio->FrameCount() == frames && std::abs(audio->samples[i] - held) <= (channels == 1 ? 1 : 0));
    }
    return 0;
}
