#pragma once
// Reads the recordings an owner brings in (WAV in any encoding, AIFF, FLAC, Ogg Vorbis, Opus, MP3,
// whatever libsndfile knows) from a ByteSource, a block at a time: an import turns each block
// into the robot's rate as it comes, so a long recording is never held whole at its own rate.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class ByteSource;

// The longest recording an import takes. A sound for the robot is a cue of seconds; a longer file
// is a mistake, and the limit also bounds what a file that announces or expands to hours of audio
// can make the decoder do.
constexpr double MaxImportSeconds = 600;

class SoundDecoder {
public:
    // The decoder of `source`, which must outlive it; nullptr with the reason in `reason` (libsndfile's
    // own when it cannot read the data, ours when the recording is beyond what an import takes).
    static std::unique_ptr<SoundDecoder> Open(ByteSource& source, std::string& reason);
    ~SoundDecoder();
    SoundDecoder(const SoundDecoder&) = delete;
    SoundDecoder& operator=(const SoundDecoder&) = delete;

    int Channels() const;
    double Rate() const;
    // How far through the length the file announces the reading is, 0 to 1.
    double Fraction() const;

    // Replaces `block` with the next frames, interleaved, every sample finite; empty at the end.
    // False, with the reason, when the data turns out broken or runs past MaxImportSeconds.
    bool Read(std::vector<float>& block, std::string& reason);

private:
    struct State;
    explicit SoundDecoder(std::unique_ptr<State> state);
    std::unique_ptr<State> m;
};
