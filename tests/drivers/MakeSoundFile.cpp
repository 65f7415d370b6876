// Writes a recording as an owner would bring one, for the scripted checks of the real program:
//
//   MakeSoundFile OUT SECONDS
//
// OUT's extension chooses the container (.mp3, .flac, .ogg, .wav); the sound is a 440 Hz tone at
// 44.1 kHz in stereo, as music players and phones record.
#include "EncodedSounds.h"

#include <cstdio>
#include <cstdlib>
#include <sndfile.h>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: MakeSoundFile OUT SECONDS\n");
        return 2;
    }
    const std::string out = argv[1];
    const std::string extension = out.substr(out.rfind('.') + 1);
    const int format = extension == "mp3"    ? SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III
                       : extension == "flac" ? SF_FORMAT_FLAC | SF_FORMAT_PCM_16
                       : extension == "ogg"  ? SF_FORMAT_OGG | SF_FORMAT_VORBIS
                                             : SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    const int rate = 44100;
    return WriteSoundFile(out, format, rate, 2, SineFrames(440, 0.3, std::atof(argv[2]), rate, 2)) ? 0 : 1;
}
