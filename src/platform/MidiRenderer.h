#pragma once
// Turns Standard MIDI Files into sound with FluidSynth and a General MIDI soundfont. Rendering
// is done ahead of playback, faster than real time, so a sound can end exactly where its last
// notes have rung out rather than where the synthesizer stops idling.
#include "platform/AudioOut.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

inline constexpr const char* DefaultSoundFontPath = "/usr/share/sounds/sf2/default-GM.sf2";

// A header chunk followed by at least as many track chunks as it announces, each lying wholly
// inside the bytes.
bool IsStandardMidiFile(const std::vector<uint8_t>& bytes);

class MidiRenderer {
public:
    explicit MidiRenderer(std::string soundFontPath = DefaultSoundFontPath);
    ~MidiRenderer();
    MidiRenderer(const MidiRenderer&) = delete;
    MidiRenderer& operator=(const MidiRenderer&) = delete;

    // Creates the synthesizer and loads the soundfont, the first time only. False when the
    // soundfont cannot be loaded; a later call tries again.
    bool Load();

    // The sound of a MIDI file, in the output format, from its start to its last audible sample
    // after the last event has been played and every note has been released. Nothing when the
    // bytes are not a MIDI file the synthesizer can read, or when there is no soundfont.
    std::optional<PcmAudio> Render(const std::vector<uint8_t>& midiFile);

private:
    struct Synth;
    std::string m_soundFontPath;
    std::unique_ptr<Synth> m_synth;
};

// The renderer the program plays with. The soundfont is opened at the first MIDI sound and kept
// for the rest of the run; an instrument's samples are read the first time it plays.
MidiRenderer& SharedMidiRenderer();
