#include "platform/MidiRenderer.h"

#include <algorithm>
#include <cmath>
#include <fluidsynth.h>
#include <system_error>

namespace {

constexpr int kChunkFrames = AudioOutRate / 100;
// Bounds for files that never end or notes that never fade.
constexpr size_t kLongestSound = static_cast<size_t>(AudioOutRate) * 600;
constexpr size_t kLongestRelease = static_cast<size_t>(AudioOutRate) * 5;
// Below about -72 dB of full scale a sample counts as silence.
constexpr float kAudible = 8.0F / 32768.0F;
constexpr int kMidiChannels = 16;
// The soundfont's instruments are quiet at the synthesizer's default gain of 0.2.
constexpr double kGain = 1.0;

uint32_t ReadBE32(const uint8_t* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

uint16_t ReadBE16(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

int16_t ToSample(float value) {
    return static_cast<int16_t>(std::lround(std::clamp(value, -1.0F, 1.0F) * 32767.0F));
}

// The program reports to the user in message boxes only; the synthesizer's own chatter about
// missing presets and the like is of no use to them.
// The log functions are the library's globals, set once for every renderer.
void SilenceSynthesizerLog() {
    static std::once_flag silenced;
    std::call_once(silenced, [] {
        for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG}) {
            fluid_set_log_function(level, nullptr, nullptr);
        }
    });
}

} // namespace

struct MidiRenderer::Synth {
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;

    ~Synth() {
        if (synth != nullptr) {
            delete_fluid_synth(synth);
        }
        if (settings != nullptr) {
            delete_fluid_settings(settings);
        }
    }
};

bool IsStandardMidiFile(const std::vector<uint8_t>& bytes) {
    const uint8_t* data = bytes.data();
    const uint64_t size = bytes.size();
    if (size < 14 || !std::equal(data, data + 4, "MThd")) {
        return false;
    }
    uint64_t headerLength = ReadBE32(data + 4);
    if (headerLength < 6 || 8 + headerLength > size) {
        return false;
    }
    uint16_t format = ReadBE16(data + 8);
    uint16_t announced = ReadBE16(data + 10);
    uint16_t division = ReadBE16(data + 12);
    if (format > 2 || announced == 0 || division == 0) {
        return false;
    }
    uint64_t tracks = 0;
    for (uint64_t pos = 8 + headerLength; pos + 8 <= size;) {
        uint64_t length = ReadBE32(data + pos + 4);
        if (pos + 8 + length > size) {
            return false;
        }
        tracks += std::equal(data + pos, data + pos + 4, "MTrk") ? 1 : 0;
        pos += 8 + length;
    }
    return tracks >= announced;
}

MidiRenderer::MidiRenderer(std::string soundFontPath, MidiLoadHooks hooks)
    : m_soundFontPath(std::move(soundFontPath)), m_hooks(std::move(hooks)) {}

MidiRenderer::~MidiRenderer() {
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

void MidiRenderer::StartLoading() {
    std::lock_guard lock(m_mutex);
    if (m_state != MidiLoadState::NotLoaded) {
        return;
    }
    // Claimed before the worker runs, so a sound asked for a moment later waits for this load
    // rather than starting one of its own.
    m_state = MidiLoadState::Loading;
    try {
        m_worker = std::thread([this] {
            std::unique_lock workerLock(m_mutex);
            LoadOnThisThread(workerLock);
        });
    } catch (const std::system_error&) {
        // No thread to be had: the first sound loads the soundfont itself.
        m_state = MidiLoadState::NotLoaded;
    }
}

bool MidiRenderer::Load() {
    std::unique_lock lock(m_mutex);
    if (m_state == MidiLoadState::Loading) {
        if (m_hooks.waiting) {
            m_hooks.waiting();
        }
        m_loadEnded.wait(lock, [this] { return m_state != MidiLoadState::Loading; });
        return m_state == MidiLoadState::Loaded;
    }
    if (m_state == MidiLoadState::Loaded) {
        return true;
    }
    m_state = MidiLoadState::Loading;
    return LoadOnThisThread(lock);
}

bool MidiRenderer::LoadOnThisThread(std::unique_lock<std::mutex>& lock) {
    lock.unlock();
    if (m_hooks.beforeRead) {
        m_hooks.beforeRead();
    }
    std::unique_ptr<Synth> synth = OpenSynth(m_soundFontPath);
    lock.lock();
    m_synth = std::move(synth);
    m_state = m_synth ? MidiLoadState::Loaded : MidiLoadState::Failed;
    m_loadEnded.notify_all();
    return m_synth != nullptr;
}

MidiLoadState MidiRenderer::LoadState() const {
    std::lock_guard lock(m_mutex);
    return m_state;
}

std::unique_ptr<MidiRenderer::Synth> MidiRenderer::OpenSynth(const std::string& soundFontPath) {
    SilenceSynthesizerLog();
    auto synth = std::make_unique<Synth>();
    synth->settings = new_fluid_settings();
    if (synth->settings == nullptr) {
        return nullptr;
    }
    fluid_settings_setnum(synth->settings, "synth.sample-rate", AudioOutRate);
    fluid_settings_setnum(synth->settings, "synth.gain", kGain);
    // Dry: with reverb and chorus a sound would trail on well after its notes have ended.
    fluid_settings_setint(synth->settings, "synth.reverb.active", 0);
    fluid_settings_setint(synth->settings, "synth.chorus.active", 0);
    // The General MIDI soundfont is 148 MB, and reading all its samples held up the first preview
    // of a run by a fifth of a second; each instrument's samples are read when it is first played.
    fluid_settings_setint(synth->settings, "synth.dynamic-sample-loading", 1);
    synth->synth = new_fluid_synth(synth->settings);
    if (synth->synth == nullptr || fluid_synth_sfload(synth->synth, soundFontPath.c_str(), 1) == FLUID_FAILED) {
        return nullptr;
    }
    return synth;
}

std::optional<PcmAudio> MidiRenderer::Render(const std::vector<uint8_t>& midiFile) {
    if (!IsStandardMidiFile(midiFile) || !Load()) {
        return std::nullopt;
    }
    // One sound at a time: each resets the synthesizer and drives it to its end.
    std::lock_guard renderLock(m_renderMutex);
    fluid_synth_t* synth = m_synth->synth;
    fluid_synth_system_reset(synth);
    std::unique_ptr<fluid_player_t, decltype(&delete_fluid_player)> player(new_fluid_player(synth),
                                                                           delete_fluid_player);
    if (!player || fluid_player_add_mem(player.get(), midiFile.data(), midiFile.size()) != FLUID_OK ||
        fluid_player_play(player.get()) != FLUID_OK) {
        return std::nullopt;
    }

    PcmAudio audio;
    size_t audibleFrames = 0; // up to and including the last audible frame
    std::vector<float> left(kChunkFrames);
    std::vector<float> right(kChunkFrames);
    const auto renderChunk = [&] {
        fluid_synth_write_float(synth, kChunkFrames, left.data(), 0, 1, right.data(), 0, 1);
        for (int i = 0; i < kChunkFrames; ++i) {
            audio.samples.push_back(ToSample(left[static_cast<size_t>(i)]));
            audio.samples.push_back(ToSample(right[static_cast<size_t>(i)]));
            if (std::fabs(left[static_cast<size_t>(i)]) >= kAudible ||
                std::fabs(right[static_cast<size_t>(i)]) >= kAudible) {
                audibleFrames = audio.FrameCount();
            }
        }
    };

    // The player reads the file at its first step; one it cannot read ends it there.
    renderChunk();
    if (fluid_player_get_status(player.get()) != FLUID_PLAYER_PLAYING) {
        return std::nullopt;
    }
    // Until the last event has been sent. The player's status would stay "playing" for a grace
    // period of idle seconds after that, which must not be heard as part of the sound.
    while (fluid_player_get_status(player.get()) == FLUID_PLAYER_PLAYING &&
           fluid_player_get_current_tick(player.get()) < fluid_player_get_total_ticks(player.get()) &&
           audio.FrameCount() < kLongestSound) {
        renderChunk();
    }
    fluid_player_stop(player.get());
    player.reset();

    // Notes the file leaves held, by a missing note-off or a pedal, are released like the rest,
    // and every release rings out to silence before the sound ends.
    for (int channel = 0; channel < kMidiChannels; ++channel) {
        fluid_synth_cc(synth, channel, 64, 0);
        fluid_synth_cc(synth, channel, 66, 0);
    }
    fluid_synth_all_notes_off(synth, -1);
    const size_t releaseEnd = audio.FrameCount() + kLongestRelease;
    while (fluid_synth_get_active_voice_count(synth) > 0 && audio.FrameCount() < releaseEnd) {
        renderChunk();
    }
    fluid_synth_all_sounds_off(synth, -1);

    audio.samples.resize(audibleFrames * AudioOutChannels);
    return audio;
}

MidiRenderer& SharedMidiRenderer() {
    static MidiRenderer renderer;
    return renderer;
}

void StartLoadingMidiSounds() {
    SharedMidiRenderer().StartLoading();
}
