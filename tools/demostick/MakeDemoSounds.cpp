// Writes the demo's MIDI sounds into a folder, and with --tones plain WAV tones as well.
//
//   MakeDemoSounds FOLDER [--tones]
#include "DemoSounds.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3 || (argc == 3 && std::strcmp(argv[2], "--tones") != 0)) {
        std::fprintf(stderr, "usage: MakeDemoSounds FOLDER [--tones]\n");
        return 2;
    }
    std::vector<DemoSound> sounds = DemoMidiSounds();
    if (argc == 3) {
        for (DemoSound& tone : DemoToneSounds()) {
            sounds.push_back(std::move(tone));
        }
    }
    if (!WriteDemoSounds(argv[1], sounds)) {
        std::fprintf(stderr, "MakeDemoSounds: could not write the sounds into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
