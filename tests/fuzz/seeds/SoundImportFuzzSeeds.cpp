#include "EncodedSounds.h"
#include "SeedRegistry.h"
#include "TempDir.h"

#include <cmath>
#include <sndfile.h>

namespace {

// A tenth of a second in libsndfile's `format`, as its writer lays the file out.
std::vector<uint8_t> Encoded(int format, int rate, int channels, std::vector<float> frames = {}) {
    if (frames.empty()) {
        frames = SineFrames(440, 0.5, 0.1, rate, channels);
    }
    TempDir dir;
    return WriteSoundFile(dir / "seed", format, rate, channels, frames) ? ReadFileBytes(dir / "seed")
                                                                        : std::vector<uint8_t>{};
}

std::vector<uint8_t> FirstHalf(std::vector<uint8_t> bytes) {
    bytes.resize(bytes.size() / 2);
    return bytes;
}

std::vector<Seed> SoundImportSeeds() {
    const std::vector<uint8_t> flac = Encoded(SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 22050, 2);
    const std::vector<uint8_t> mp3 = Encoded(SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 22050, 2);
    const std::vector<uint8_t> vorbis = Encoded(SF_FORMAT_OGG | SF_FORMAT_VORBIS, 22050, 1);
    // Floating-point data may hold what no recording does.
    std::vector<float> wild = SineFrames(440, 0.5, 0.05, 8000, 1);
    wild[1] = NAN;
    wild[2] = INFINITY;
    wild[3] = -1e30f;
    return {
        {"tone16.wav", Encoded(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2)},
        {"wild-float.wav", Encoded(SF_FORMAT_WAV | SF_FORMAT_FLOAT, 8000, 1, wild)},
        {"tone24.aiff", Encoded(SF_FORMAT_AIFF | SF_FORMAT_PCM_24, 11025, 1)},
        {"tone.opus", Encoded(SF_FORMAT_OGG | SF_FORMAT_OPUS, 48000, 1)},
        {"tone.flac", flac},
        {"tone.mp3", mp3},
        {"tone.ogg", vorbis},
        {"cut.flac", FirstHalf(flac)},
        {"cut.mp3", FirstHalf(mp3)},
        {"cut.ogg", FirstHalf(vorbis)},
        {"garbage", {'n', 'o', ' ', 's', 'o', 'u', 'n', 'd'}},
        {"empty", {}},
    };
}

} // namespace

TW_REGISTER_SEEDS(SoundImportFuzz, SoundImportSeeds);
