#pragma once
// Sound output through SDL. Every sound is turned into one sample format before it is played,
// so the device is always opened the same way and a played sound can be compared sample for
// sample with what was handed in.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

constexpr int AudioOutRate = 44100;
constexpr int AudioOutChannels = 2;

// Interleaved signed 16-bit samples at AudioOutRate with AudioOutChannels channels.
struct PcmAudio {
    std::vector<int16_t> samples;

    size_t FrameCount() const { return samples.size() / AudioOutChannels; }
    double Seconds() const { return static_cast<double>(FrameCount()) / AudioOutRate; }
};

// Decodes the bytes of a RIFF WAVE file in any layout SDL reads (PCM of any width, rate and
// channel count, ADPCM, float) and converts them to the output format. Nothing when they are not
// a wave file SDL can decode.
std::optional<PcmAudio> DecodeWave(const std::vector<uint8_t>& bytes);

// Plays the sound on the default output device and returns once its last sample has been
// handed to the device and had time to sound. False when no device could be opened or it
// stopped taking samples.
bool PlayToEnd(const PcmAudio& audio);

// The same, telling `position` every few hundredths of a second, on the calling thread, how many
// seconds of the sound have gone to the device, so a window can show where the sound is and keep
// itself painted while it waits.
bool PlayToEnd(const PcmAudio& audio, const std::function<void(double seconds)>& position);
