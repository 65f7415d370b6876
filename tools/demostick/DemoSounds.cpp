#include "DemoSounds.h"

#include "TempDir.h"
#include "WaveBuilder.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr uint16_t TicksPerBeat = 96;
constexpr uint32_t RobotSampleRate = 8000;

void PutBE32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

// MIDI writes delta times as a variable-length number: seven bits a byte, high bit set on all but
// the last.
void PutDelta(std::vector<uint8_t>& out, uint32_t ticks) {
    uint8_t bytes[5];
    int n = 0;
    do {
        bytes[n++] = static_cast<uint8_t>(ticks & 0x7F);
        ticks >>= 7;
    } while (ticks != 0);
    while (n > 0) {
        --n;
        out.push_back(static_cast<uint8_t>(bytes[n] | (n > 0 ? 0x80 : 0x00)));
    }
}

std::string LowerExtension(const std::string& name) {
    size_t dot = name.rfind('.');
    std::string ext = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    for (char& c : ext) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return ext;
}

} // namespace

std::vector<uint8_t> MidiTune(uint8_t program, uint32_t microsecondsPerBeat, const std::vector<DemoNote>& notes) {
    std::vector<uint8_t> track;
    // Tempo, then the instrument, then the notes; a rest only delays the next note.
    track.insert(track.end(), {0x00, 0xFF, 0x51, 0x03});
    track.push_back(static_cast<uint8_t>(microsecondsPerBeat >> 16));
    track.push_back(static_cast<uint8_t>(microsecondsPerBeat >> 8));
    track.push_back(static_cast<uint8_t>(microsecondsPerBeat));
    track.insert(track.end(), {0x00, 0xC0, program});
    uint32_t pending = 0;
    for (const DemoNote& note : notes) {
        if (note.key == 0) {
            pending += note.ticks;
            continue;
        }
        PutDelta(track, pending);
        track.insert(track.end(), {0x90, note.key, 0x64});
        PutDelta(track, note.ticks);
        track.insert(track.end(), {0x80, note.key, 0x40});
        pending = 0;
    }
    PutDelta(track, pending);
    track.insert(track.end(), {0xFF, 0x2F, 0x00});

    std::vector<uint8_t> file = {'M', 'T', 'h', 'd'};
    PutBE32(file, 6);
    file.insert(file.end(), {0x00, 0x00, 0x00, 0x01, static_cast<uint8_t>(TicksPerBeat >> 8),
                             static_cast<uint8_t>(TicksPerBeat & 0xFF)});
    file.insert(file.end(), {'M', 'T', 'r', 'k'});
    PutBE32(file, static_cast<uint32_t>(track.size()));
    file.insert(file.end(), track.begin(), track.end());
    return file;
}

std::vector<uint8_t> ToneWave(double fromHz, double toHz, double seconds) {
    WaveDescription wave;
    wave.bitsPerSample = 16;
    const size_t count = static_cast<size_t>(seconds * RobotSampleRate);
    wave.samples.clear();
    double phase = 0;
    for (size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / static_cast<double>(count);
        phase += 2 * std::numbers::pi * (fromHz + (toHz - fromHz) * t) / RobotSampleRate;
        // A short fade at both ends keeps the tone from clicking.
        const double envelope = std::min({1.0, t * 20.0, (1.0 - t) * 20.0});
        const auto sample = static_cast<int16_t>(std::lround(9000.0 * envelope * std::sin(phase)));
        wave.samples.push_back(static_cast<uint8_t>(sample & 0xFF));
        wave.samples.push_back(static_cast<uint8_t>((sample >> 8) & 0xFF));
    }
    return BuildWave(wave);
}

std::vector<DemoSound> DemoMidiSounds() {
    // Trumpet (program 56) and music box (program 10).
    return {
        {"fanfare.mid", MidiTune(56, 400000, {{60, 48}, {64, 48}, {67, 48}, {72, 144}, {0, 24}, {67, 48}, {72, 192}})},
        {"lullaby.mid", MidiTune(10, 700000, {{67, 96}, {64, 96}, {67, 96}, {64, 96}, {65, 96}, {67, 96}, {72, 192}})},
    };
}

std::vector<DemoSound> DemoToneSounds() {
    return {
        {"beep.wav", ToneWave(880, 880, 0.25)},
        {"chirp.wav", ToneWave(600, 2400, 0.6)},
        {"whistle.wav", ToneWave(1800, 900, 0.8)},
    };
}

bool WriteDemoSounds(const std::string& folder, const std::vector<DemoSound>& sounds) {
    if (!MakeFolders(folder)) {
        return false;
    }
    bool ok = true;
    for (const DemoSound& sound : sounds) {
        const std::string path = folder + "/" + sound.name;
        if (!PathExists(path)) {
            ok = WriteFileBytes(path, sound.bytes) && ok;
        }
    }
    return ok;
}

bool HasSounds(const std::string& folder) {
    for (const std::string& name : ListFolder(folder)) {
        const std::string ext = LowerExtension(name);
        if (ext == "wav" || ext == "mid") {
            return true;
        }
    }
    return false;
}
