#include "platform/AudioOut.h"

#include "platform/Endian.h"

#include <SDL.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>

namespace {

constexpr Uint16 kDeviceFrames = 1024;
// A device that stops asking for samples must not hang the program.
constexpr auto kStallAllowance = std::chrono::seconds(2);
// How often a player that shows its position is told it: a little more often than a screen's
// frames change at 25 per second.
constexpr auto kPositionInterval = std::chrono::milliseconds(30);

bool StartAudio() {
    if (SDL_WasInit(SDL_INIT_AUDIO) != 0) {
        return true;
    }
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    return SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
}

// Shared between the playing thread and SDL's audio thread.
struct Playback {
    const int16_t* samples = nullptr;
    size_t count = 0;
    // Read by the playing thread while SDL's thread moves it on.
    std::atomic<size_t> position = 0;
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
};

void FeedDevice(void* userdata, Uint8* stream, int length) {
    Playback& playback = *static_cast<Playback*>(userdata);
    size_t wanted = static_cast<size_t>(length) / sizeof(int16_t);
    const size_t at = playback.position;
    size_t n = std::min(wanted, playback.count - at);
    if (n > 0) {
        std::memcpy(stream, playback.samples + at, n * sizeof(int16_t));
    }
    std::memset(stream + n * sizeof(int16_t), 0, static_cast<size_t>(length) - n * sizeof(int16_t));
    playback.position = at + n;
    if (at + n < playback.count) {
        return;
    }
    // This buffer carries the last samples (or only silence after them). SDL hands it to the
    // device before it looks for the close, and on closing waits two buffers' time for the device
    // to drain, so the player may close now: it returns some 50 to 70 ms after the last sample.
    bool alreadyDone = false;
    {
        std::lock_guard lock(playback.mutex);
        alreadyDone = playback.done;
        playback.done = true;
    }
    playback.ended.notify_one();
    // A device that runs ahead of real time (SDL's file writer) would otherwise fill itself with
    // silence while it is being closed.
    if (alreadyDone) {
        SDL_Delay(kDeviceFrames * 1000 / AudioOutRate);
    }
}

std::optional<PcmAudio> ConvertToOutput(const SDL_AudioSpec& spec, const Uint8* data, Uint32 length) {
    // SDL_AudioCVT rather than SDL_AudioStream: this SDL's stream keeps the resampler's last
    // few hundredths of a second back even when flushed, and the end of a sound would be lost.
    SDL_AudioCVT cvt;
    if (SDL_BuildAudioCVT(&cvt, spec.format, spec.channels, spec.freq, AUDIO_S16SYS, AudioOutChannels, AudioOutRate) <
        0) {
        return std::nullopt;
    }
    Uint32 frameSize = static_cast<Uint32>(SDL_AUDIO_BITSIZE(spec.format) / 8 * spec.channels);
    length -= frameSize == 0 ? length : length % frameSize;
    if (length == 0) {
        return PcmAudio{};
    }
    if (static_cast<uint64_t>(length) * static_cast<uint64_t>(cvt.len_mult) > INT32_MAX) {
        return std::nullopt;
    }
    std::vector<Uint8> buffer(static_cast<size_t>(length) * static_cast<size_t>(cvt.len_mult));
    std::copy(data, data + length, buffer.begin());
    cvt.buf = buffer.data();
    cvt.len = static_cast<int>(length);
    if (cvt.needed != 0 && SDL_ConvertAudio(&cvt) != 0) {
        return std::nullopt;
    }
    size_t converted = cvt.needed != 0 ? static_cast<size_t>(cvt.len_cvt) : length;
    PcmAudio audio;
    audio.samples.resize(converted / sizeof(int16_t) - (converted / sizeof(int16_t)) % AudioOutChannels);
    // A sound shorter than one output frame converts to nothing, and an empty vector has no data
    // to copy into.
    if (!audio.samples.empty()) {
        std::memcpy(audio.samples.data(), buffer.data(), audio.samples.size() * sizeof(int16_t));
    }
    return audio;
}

} // namespace

namespace {

// SDL sizes its buffers by the sizes a file declares, so a damaged 100-byte file that claims a
// 2 GB data chunk costs 2 GB before the read comes up short. No chunk can hold more than the
// bytes that follow it: sizes are cut down to that in a copy before SDL sees them.
std::vector<uint8_t> WithChunkSizesBounded(const std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> copy = bytes;
    WriteLE32(copy.data() + 4, static_cast<uint32_t>(std::min<size_t>(ReadLE32(copy.data() + 4), copy.size() - 8)));
    size_t pos = 12;
    while (pos + 8 <= copy.size()) {
        const size_t room = copy.size() - pos - 8;
        const size_t size = std::min<size_t>(ReadLE32(copy.data() + pos + 4), room);
        WriteLE32(copy.data() + pos + 4, static_cast<uint32_t>(size));
        pos += 8 + size + (size & 1);
    }
    return copy;
}

} // namespace

std::optional<PcmAudio> DecodeWave(const std::vector<uint8_t>& original) {
    // Only a proper RIFF/WAVE file is handed on: SDL also reads headless variants, whose chunk
    // sizes the bound above would not see.
    if (original.size() < 12 || std::memcmp(original.data(), "RIFF", 4) != 0 ||
        std::memcmp(original.data() + 8, "WAVE", 4) != 0) {
        return std::nullopt;
    }
    const std::vector<uint8_t> bytes = WithChunkSizesBounded(original);
    SDL_RWops* file = SDL_RWFromConstMem(bytes.data(), static_cast<int>(std::min<size_t>(bytes.size(), INT32_MAX)));
    if (file == nullptr) {
        return std::nullopt;
    }
    SDL_AudioSpec spec{};
    Uint8* buffer = nullptr;
    Uint32 length = 0;
    if (SDL_LoadWAV_RW(file, 1, &spec, &buffer, &length) == nullptr) {
        return std::nullopt;
    }
    std::unique_ptr<Uint8, decltype(&SDL_FreeWAV)> owner(buffer, SDL_FreeWAV);
    return ConvertToOutput(spec, buffer, length);
}

bool PlayToEnd(const PcmAudio& audio) {
    return PlayToEnd(audio, {});
}

bool PlayToEnd(const PcmAudio& audio, const std::function<void(double seconds)>& position) {
    if (!StartAudio()) {
        return false;
    }
    Playback playback;
    playback.samples = audio.samples.data();
    playback.count = audio.samples.size() - audio.samples.size() % AudioOutChannels;

    SDL_AudioSpec wanted{};
    wanted.freq = AudioOutRate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = AudioOutChannels;
    wanted.samples = kDeviceFrames;
    wanted.callback = FeedDevice;
    wanted.userdata = &playback;
    // No changes allowed: SDL converts to whatever the device needs, so one format fits all.
    SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
    if (device == 0) {
        return false;
    }
    SDL_PauseAudioDevice(device, 0);
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(static_cast<int64_t>(audio.Seconds() * 1000)) + kStallAllowance;
    bool ended = false;
    while (!ended && std::chrono::steady_clock::now() < deadline) {
        {
            std::unique_lock lock(playback.mutex);
            const auto until =
                position ? std::min(deadline, std::chrono::steady_clock::now() + kPositionInterval) : deadline;
            ended = playback.ended.wait_until(lock, until, [&playback] { return playback.done; });
        }
        if (position) {
            position(static_cast<double>(playback.position / AudioOutChannels) / AudioOutRate);
        }
    }
    SDL_CloseAudioDevice(device);
    return ended;
}
