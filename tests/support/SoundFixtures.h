#pragma once
// Sounds for the sound and preview tests: small wave and MIDI files made in memory, and SDL's disk
// audio driver set up to capture what was played, in the output format of platform/AudioOut.h.
#include "platform/AudioOut.h"

#include <map>
#include <string>

struct StockSoundLibrary;

// Sends whatever is played next to `path` (raw interleaved 16-bit stereo at the output rate) and
// lets the disk driver write as fast as it is fed, so nothing has to wait for real time.
void CaptureAudioTo(const std::string& path);
// The captured samples; empty when nothing was captured.
std::vector<int16_t> ReadCapturedAudio(const std::string& path);

// First and last frame whose sample exceeds `threshold` in either channel; both -1 when none.
struct AudibleSpan {
    long first = -1;
    long last = -1;
    bool Empty() const { return last < 0; }
    // From the first to the last audible frame, at the output rate.
    double Seconds() const { return Empty() ? 0.0 : static_cast<double>(last - first + 1) / AudioOutRate; }
};
AudibleSpan FindAudibleSpan(const std::vector<int16_t>& samples, int threshold = 8);
int PeakLevel(const std::vector<int16_t>& samples, size_t firstSample = 0);
// Where `sound` lies whole in `played`, or -1. The device may run a buffer or two of silence
// before the sound starts, depending on its own thread rather than on the player.
long SoundOffset(const std::vector<int16_t>& played, const std::vector<int16_t>& sound);

// A RIFF WAVE file of PCM samples (8-bit samples are unsigned, 16-bit signed) as libsndfile writes
// it, a 44-byte header and the data, with a sine of `hertz` at half scale lasting `seconds`.
std::vector<uint8_t> MakeSineWave(int rate, int channels, int bits, double seconds, double hertz = 440.0);

// A Standard MIDI File (format 0, 96 ticks per quarter, 120 beats a minute) built event by event;
// events of one tick keep the order they were added in.
class MidiFileMaker {
public:
    MidiFileMaker& Event(int tick, std::vector<uint8_t> bytes);
    MidiFileMaker& Program(int program) { return Event(0, {0xC0, uint8_t(program)}); }
    MidiFileMaker& Note(int pitch, int start, int length, int velocity = 100) {
        return Event(start, {0x90, uint8_t(pitch), uint8_t(velocity)}).Event(start + length, {0x80, uint8_t(pitch), 0});
    }
    // The track ends with its last event; an empty text event makes it end later.
    MidiFileMaker& EndAt(int tick) { return Event(tick, {0xFF, 0x01, 0x00}); }
    std::vector<uint8_t> Bytes() const;

private:
    std::multimap<int, std::vector<uint8_t>> m_events;
};

// The MIDI bytes a built-in library holds for a stock sound, or nothing when it has no record.
std::vector<uint8_t> StockRecordData(const StockSoundLibrary& library, int index);
