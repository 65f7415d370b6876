#pragma once
// The replacement sounds of the demo: small MIDI tunes, and plain tones in the WAV format the
// robot plays, for when the speech and sound tools are not installed.
#include <cstdint>
#include <string>
#include <vector>

struct DemoSound {
    std::string name;
    std::vector<uint8_t> bytes;
};

struct DemoNote {
    uint8_t key;    // MIDI note number; 0 is a rest
    uint16_t ticks; // 96 ticks are one beat
};

// A standard MIDI file (format 0) playing the notes one after another on one instrument.
std::vector<uint8_t> MidiTune(uint8_t program, uint32_t microsecondsPerBeat, const std::vector<DemoNote>& notes);
// A sine tone gliding from one frequency to another: 8000 Hz, mono, 16-bit PCM.
std::vector<uint8_t> ToneWave(double fromHz, double toHz, double seconds);

std::vector<DemoSound> DemoMidiSounds();
std::vector<DemoSound> DemoToneSounds();

// Writes the sounds into `folder` (created if missing), leaving files that are already there
// alone. False when a file could not be written.
bool WriteDemoSounds(const std::string& folder, const std::vector<DemoSound>& sounds);
// Whether `folder` holds at least one .wav or .mid file, letter case ignored.
bool HasSounds(const std::string& folder);
