#include "platform/AudioOut.h"

#include <SDL.h>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>

namespace {

constexpr Uint16 kDeviceFrames = 1024;
// The buffer carrying the last samples has left the callback, but not yet the device. Once the
// device has asked for this many further buffers, the last samples have been heard, and within
// a few buffers' time (about 70 ms) of the end.
constexpr int kBuffersAfterEnd = 2;
// A device that stops asking for samples must not hang the program.
constexpr auto kStallAllowance = std::chrono::seconds(2);

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
    size_t position = 0;
    int buffersAfterEnd = -1; // -1 until the buffer with the last sample has been filled
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
};

void FeedDevice(void* userdata, Uint8* stream, int length) {
    Playback& playback = *static_cast<Playback*>(userdata);
    size_t wanted = static_cast<size_t>(length) / sizeof(int16_t);
    size_t n = std::min(wanted, playback.count - playback.position);
    if (n > 0) {
        std::memcpy(stream, playback.samples + playback.position, n * sizeof(int16_t));
    }
    std::memset(stream + n * sizeof(int16_t), 0, static_cast<size_t>(length) - n * sizeof(int16_t));
    playback.position += n;
    if (playback.position == playback.count) {
        std::lock_guard lock(playback.mutex);
        if (++playback.buffersAfterEnd >= kBuffersAfterEnd && !playback.done) {
            playback.done = true;
            playback.ended.notify_one();
        }
    }
}

std::optional<PcmAudio> ConvertToOutput(const SDL_AudioSpec& spec, const Uint8* data, Uint32 length) {
    SDL_AudioStream* stream =
        SDL_NewAudioStream(spec.format, spec.channels, spec.freq, AUDIO_S16SYS, AudioOutChannels, AudioOutRate);
    if (stream == nullptr) {
        return std::nullopt;
    }
    std::unique_ptr<SDL_AudioStream, decltype(&SDL_FreeAudioStream)> owner(stream, SDL_FreeAudioStream);
    // The stream takes whole sample frames only.
    Uint32 frameSize = static_cast<Uint32>(SDL_AUDIO_BITSIZE(spec.format) / 8 * spec.channels);
    length -= frameSize == 0 ? length : length % frameSize;
    if (length > 0 && SDL_AudioStreamPut(stream, data, static_cast<int>(length)) != 0) {
        return std::nullopt;
    }
    if (SDL_AudioStreamFlush(stream) != 0) {
        return std::nullopt;
    }
    PcmAudio audio;
    int available = SDL_AudioStreamAvailable(stream);
    audio.samples.resize(static_cast<size_t>(available) / sizeof(int16_t));
    if (available > 0 && SDL_AudioStreamGet(stream, audio.samples.data(), available) != available) {
        return std::nullopt;
    }
    audio.samples.resize(audio.samples.size() - audio.samples.size() % AudioOutChannels);
    return audio;
}

} // namespace

std::optional<PcmAudio> DecodeWave(const std::vector<uint8_t>& bytes) {
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
    auto limit = std::chrono::milliseconds(static_cast<int64_t>(audio.Seconds() * 1000)) + kStallAllowance;
    bool ended = false;
    {
        std::unique_lock lock(playback.mutex);
        ended = playback.ended.wait_for(lock, limit, [&playback] { return playback.done; });
    }
    SDL_CloseAudioDevice(device);
    return ended;
}
