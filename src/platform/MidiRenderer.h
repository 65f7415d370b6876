#pragma once
// Turns Standard MIDI Files into sound with FluidSynth and a General MIDI soundfont. Rendering
// is done ahead of playback, faster than real time, so a sound can end exactly where its last
// notes have rung out rather than where the synthesizer stops idling.
#include "platform/AudioOut.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

inline constexpr const char* DefaultSoundFontPath = "/usr/share/sounds/sf2/default-GM.sf2";

// A header chunk followed by at least as many track chunks as it announces, each lying wholly
// inside the bytes.
bool IsStandardMidiFile(const std::vector<uint8_t>& bytes);

enum class MidiLoadState { NotLoaded, Loading, Loaded, Failed };

// What tests are told of a renderer's loading, on the thread where it happens.
struct MidiLoadHooks {
    // Just before the soundfont is read.
    std::function<void()> beforeRead;
    // When a caller begins to wait for a load running on another thread. Called with the
    // renderer's lock held: it must return at once and must not call the renderer.
    std::function<void()> waiting;
};

// Safe to use from several threads: one load runs at a time, and a successful one is never
// repeated; renders take turns.
class MidiRenderer {
public:
    explicit MidiRenderer(std::string soundFontPath = DefaultSoundFontPath, MidiLoadHooks hooks = {});
    // Waits for a load still running on the worker, so the program can end at any moment.
    ~MidiRenderer();
    MidiRenderer(const MidiRenderer&) = delete;
    MidiRenderer& operator=(const MidiRenderer&) = delete;

    // Begins loading the soundfont on a worker thread and returns at once. Does nothing once a
    // load has been tried, by this or by Load: the worker gives a head start, and a load that
    // failed is tried again only when a sound is asked for.
    void StartLoading();

    // Creates the synthesizer and loads the soundfont, unless it is loaded. A load running on
    // another thread is waited for and its outcome taken. False when the soundfont cannot be
    // loaded; a later call tries again.
    bool Load();

    MidiLoadState LoadState() const;

    // The sound of a MIDI file, in the output format, from its start to its last audible sample
    // after the last event has been played and every note has been released. Nothing when the
    // bytes are not a MIDI file the synthesizer can read, or when there is no soundfont.
    std::optional<PcmAudio> Render(const std::vector<uint8_t>& midiFile);

private:
    struct Synth;
    // The synthesizer with the soundfont loaded; nothing when either cannot be made.
    static std::unique_ptr<Synth> OpenSynth(const std::string& soundFontPath);
    // For a caller that has set the state to Loading: reads the soundfont with `lock` released,
    // so that others see the load running and wait for it, then records the outcome.
    bool LoadOnThisThread(std::unique_lock<std::mutex>& lock);

    const std::string m_soundFontPath;
    const MidiLoadHooks m_hooks;
    mutable std::mutex m_mutex;
    std::condition_variable m_loadEnded;
    MidiLoadState m_state = MidiLoadState::NotLoaded;
    // Set once, when the state becomes Loaded, and kept until destruction.
    std::unique_ptr<Synth> m_synth;
    std::mutex m_renderMutex;
    std::thread m_worker;
};

// The renderer the program plays with. The soundfont is opened once per run (at the first MIDI
// sound, unless the window has started it earlier) and kept; an instrument's samples are read the
// first time it plays.
MidiRenderer& SharedMidiRenderer();

// Starts reading the soundfont in the background, so that the first preview of a stock sound need
// not wait for it. Returns at once; calling it again does nothing.
void StartLoadingMidiSounds();
