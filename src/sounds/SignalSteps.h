#pragma once
// The signal work of an import, on plain sample buffers (float, full scale at -1..1): what turns a
// recording into the one form the robot plays. Each step is a function of its buffers alone.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

struct soxr;

// Told the fraction of the work done so far; returning false asks the work to stop.
using ImportProgress = std::function<bool(double fraction)>;

// The only rate the robot plays.
constexpr double RobotPlaybackRate = 8000;

// Silence at the ends of a recording is judged against the recording's own peak, so that a quiet
// recording keeps all of its sound, down to a floor under which nothing counts as sound at all
// (a 16-bit recording's own noise lies below it).
constexpr double SilenceBelowPeakDb = 50;
constexpr double SilenceFloorDbfs = -90;

// Every import is brought to this loudness (EBU R128). The robot's speaker is small and its sounds
// are short cues heard across a room, so they sit at the loud end of what is used for small
// speakers (as phones and laptops play podcasts).
constexpr double ImportLoudnessLufs = -16;
// The true peak (between samples too, as a player's converter makes it) never goes above this:
// the margin below full scale keeps the sound clear of clipping once it is rounded to 16 bits and
// played. Peaks that stand out further than the ceiling allows are turned down by the limiter.
constexpr double ImportPeakCeilingDbtp = -1;

// The frames' channels averaged into one sample each.
std::vector<float> MixToMono(const std::vector<float>& interleaved, int channels);

// Converts a mono signal between rates with libsoxr at its high quality, piece by piece, so that a
// long recording is never held at its own rate. Invalid rates give a resampler that is not Ok().
class Resampler {
public:
    Resampler(double fromRate, double toRate);
    ~Resampler();
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    bool Ok() const { return m_soxr != nullptr; }
    // Appends to `out` what the next piece of input yields.
    void Push(const float* samples, size_t count, std::vector<float>& out);
    // Appends what the filter still holds once the input has ended.
    void Finish(std::vector<float>& out);

private:
    void Run(const float* samples, size_t count, std::vector<float>& out);

    soxr* m_soxr = nullptr;
    double m_ratio = 1;
};

// The whole signal at once; empty when the rates are not usable.
std::vector<float> Resample(const std::vector<float>& mono, double fromRate, double toRate);

// Removes from both ends the samples more than SilenceBelowPeakDb under the peak or under
// SilenceFloorDbfs; all of them when the peak itself is under the floor.
void TrimSilence(std::vector<float>& mono);

// Brings the sound to ImportLoudnessLufs with its true peak at most ImportPeakCeilingDbtp, turning
// its sharpest peaks down with the look-ahead limiter as far as that takes. A sound too short for
// integrated loudness (under 400 ms) is measured over its whole length; one too sparse to have
// any (every 400 ms block 70 dB under its peak) is only raised to the ceiling; a silent one is left
// as it is. False when the progress asked to stop, the sound then scaled but not yet brought there.
bool NormalizeLoudness(std::vector<float>& mono, double rate, const ImportProgress& progress = {});

// A RIFF/WAVE file as the robot plays it: a 44-byte header whose first chunk is "fmt " (PCM, mono,
// 8000 Hz, 16 bits), then the samples clamped to full scale and rounded to nearest. Empty when
// the sound would not fit in a WAV file.
std::vector<uint8_t> EncodeRobotWave(const std::vector<float>& mono8k);
