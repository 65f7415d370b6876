// Writes a recording as an owner would bring one, for the scripted checks of the real program:
//
//   MakeSoundFile OUT SECONDS
//
// OUT is an MP3 file (through LAME) when its name ends in ".mp3", else a 16-bit WAV file; the sound
// is a 440 Hz tone at 44.1 kHz in stereo, as music players and phones record.
#include "EncodedSounds.h"

#include <cstdlib>
#include <sndfile.h>
#include <string>

int main(int argc, char** argv) {
    const std::string out = argc == 3 ? argv[1] : "";
    const int type =
        out.ends_with(".mp3") ? SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III : SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    const double seconds = argc == 3 ? std::atof(argv[2]) : 0;
    // Without both arguments nothing is written, and the status says so.
    return argc == 3 && WriteSoundFile(out, type, 44100, 2, SineFrames(440, 0.3, seconds, 44100, 2)) ? 0 : 1;
}
