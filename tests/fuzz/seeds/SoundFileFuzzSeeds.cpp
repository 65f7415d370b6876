#include "SeedRegistry.h"
#include "WaveBuilder.h"

namespace {

// A minimal standard MIDI file: one track, one note.
std::vector<uint8_t> SmallMidi() {
    return {
        'M',  'T',  'h',  'd',  0, 0, 0, 6,  // header chunk, 6 bytes
        0,    0,                             // format 0
        0,    1,                             // one track
        0,    96,                            // 96 ticks per quarter note
        'M',  'T',  'r',  'k',  0, 0, 0, 12, // track chunk, 12 bytes
        0x00, 0x90, 60,   100,               // note on, middle C
        0x60, 0x80, 60,   0,                 // a quarter later, note off
        0x00, 0xFF, 0x2F, 0x00,              // end of track
    };
}

std::vector<Seed> SoundFileSeeds() {
    WaveDescription stereo;
    stereo.channels = 2;
    stereo.sampleRate = 22050;
    stereo.bitsPerSample = 16;
    WaveDescription odd;
    odd.samples = {0x10, 0x20, 0x30};
    std::vector<uint8_t> midi = SmallMidi();
    std::vector<uint8_t> cut = midi;
    cut.resize(20);
    // Claims a data chunk of about 2 GB in a file of 100 bytes.
    WaveDescription boastful;
    std::vector<uint8_t> huge = BuildWave(boastful);
    huge[40] = 0x40;
    huge[41] = huge[42] = huge[43] = 0x80;
    return std::vector<Seed>{
        {"huge-data-claim.wav", huge},
        {"headless-huge-claim.wav", std::vector<uint8_t>(huge.begin() + 8, huge.end())},
        {"mono8.wav", BuildWave({})},
        {"stereo16.wav", BuildWave(stereo)},
        {"odd-length.wav", BuildWave(odd)},
        {"note.mid", midi},
        {"cut.mid", cut},
        {"empty", {}},
    };
}

} // namespace

TW_REGISTER_SEEDS(SoundFileFuzz, SoundFileSeeds);
