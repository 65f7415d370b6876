#pragma once
// Sounds for the preview tests: small wave and MIDI files made in memory, and SDL's disk audio
// driver set up to capture what was played, in the output format of platform/AudioOut.h.
#include <cstdint>
#include <string>
#include <vector>

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
    double Seconds() const; // from the first to the last audible frame, at the output rate
};
AudibleSpan FindAudibleSpan(const std::vector<int16_t>& samples, int threshold = 8);
int PeakLevel(const std::vector<int16_t>& samples, size_t firstSample = 0);
// Where `sound` lies whole in `played`, or -1. The device may run a buffer or two of silence
// before the sound starts, depending on its own thread rather than on the player.
long SoundOffset(const std::vector<int16_t>& played, const std::vector<int16_t>& sound);

// A RIFF WAVE file of PCM samples (8-bit samples are unsigned, 16-bit signed), with a sine of
// `hertz` lasting `seconds`.
std::vector<uint8_t> MakeSineWave(int rate, int channels, int bits, double seconds, double hertz = 440.0);

// A Standard MIDI File (format 0, 96 ticks per quarter) built event by event.
class MidiFileMaker {
public:
    explicit MidiFileMaker(int tempo = 120);
    MidiFileMaker& Program(int program);
    MidiFileMaker& Note(int pitch, int startTick, int lengthTicks, int velocity = 100);
    // A note-on with no note-off.
    MidiFileMaker& HeldNote(int pitch, int startTick, int velocity = 100);
    MidiFileMaker& Controller(int tick, int controller, int value);
    // The end-of-track event's tick; by default the last event's.
    MidiFileMaker& EndAt(int tick);
    std::vector<uint8_t> Bytes() const;
    double SecondsAt(int tick) const;

private:
    struct Event {
        int tick;
        int order;
        std::vector<uint8_t> bytes;
    };
    int m_tempo;
    int m_end = 0;
    std::vector<Event> m_events;
};

// The MIDI bytes a built-in library holds for a stock sound, or nothing when it has no record.
std::vector<uint8_t> StockRecordData(const StockSoundLibrary& library, int index);
