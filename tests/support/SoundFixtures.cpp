#include "SoundFixtures.h"

#include "EncodedSounds.h"
#include "TempDir.h"
#include "sounds/StockLibraryReader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sndfile.h>

void CaptureAudioTo(const std::string& path) {
    setenv("SDL_AUDIODRIVER", "disk", 0);
    setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);
}

std::vector<int16_t> ReadCapturedAudio(const std::string& path) {
    // The driver writes the device's native byte order, which is this process's own.
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    std::vector<int16_t> samples(bytes.size() / sizeof(int16_t));
    if (!samples.empty()) {
        std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(int16_t));
    }
    return samples;
}

AudibleSpan FindAudibleSpan(const std::vector<int16_t>& samples, int threshold) {
    const auto loud = [threshold](int16_t sample) { return std::abs(static_cast<int>(sample)) > threshold; };
    const long first = std::find_if(samples.begin(), samples.end(), loud) - samples.begin();
    const long last = samples.rend() - std::find_if(samples.rbegin(), samples.rend(), loud) - 1;
    return last < 0 ? AudibleSpan{} : AudibleSpan{first / AudioOutChannels, last / AudioOutChannels};
}

int PeakLevel(const std::vector<int16_t>& samples, size_t firstSample) {
    const auto [low, high] =
        std::minmax_element(samples.begin() + std::min(firstSample, samples.size()), samples.end());
    return high == samples.end() ? 0 : std::max(-static_cast<int>(*low), static_cast<int>(*high));
}

long SoundOffset(const std::vector<int16_t>& played, const std::vector<int16_t>& sound) {
    const auto at = std::search(played.begin(), played.end(), sound.begin(), sound.end());
    return at == played.end() ? -1 : at - played.begin();
}

std::vector<uint8_t> MakeSineWave(int rate, int channels, int bits, double seconds, double hertz) {
    const TempDir dir;
    const int format = SF_FORMAT_WAV | (bits == 8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
    const bool written =
        WriteSoundFile(dir / "sine.wav", format, rate, channels, SineFrames(hertz, 0.5, seconds, rate, channels));
    return written ? ReadFileBytes(dir / "sine.wav") : std::vector<uint8_t>{};
}

MidiFileMaker& MidiFileMaker::Event(int tick, std::vector<uint8_t> bytes) {
    m_events.emplace(tick, std::move(bytes));
    return *this;
}

std::vector<uint8_t> MidiFileMaker::Bytes() const {
    std::vector<uint8_t> track;
    int previous = 0;
    for (auto [tick, bytes] : m_events) {
        // Each event after its delta time, seven bits a byte, the highest first.
        bytes.insert(bytes.begin(), static_cast<uint8_t>((tick - previous) & 0x7F));
        for (int delta = (tick - previous) >> 7; delta != 0; delta >>= 7) {
            bytes.insert(bytes.begin(), static_cast<uint8_t>(0x80 | (delta & 0x7F)));
        }
        track.insert(track.end(), bytes.begin(), bytes.end());
        previous = tick;
    }
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
    const size_t size = track.size(); // a test's track is far below 64 KiB
    std::vector<uint8_t> out = {
        'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96, 'M', 'T', 'r', 'k', 0, 0, uint8_t(size >> 8), uint8_t(size)};
    out.insert(out.end(), track.begin(), track.end());
    return out;
}

std::vector<uint8_t> StockRecordData(const StockSoundLibrary& library, int index) {
    LibraryReader reader{library.bytes, library.size};
    std::vector<uint8_t> data(static_cast<size_t>(FindLibraryRecord(reader, index).value_or(0)));
    std::generate(data.begin(), data.end(), [&reader] { return ReadLibraryByte(reader); });
    return data;
}
