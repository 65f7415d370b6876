#include "MidiFileWriter.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kMelodicChannel = 0;
constexpr int kDrumChannel = 9;
// Slides bend by up to an octave, so the channel's bend range is set to twelve semitones.
constexpr int kBendRange = 12;
// A slide moves in steps this many ticks apart, fine enough to be heard as a sweep.
constexpr int kSlideStep = 2;

struct Event {
    int tick;
    int order; // at one tick: settings, then releases, then bends, then new notes
    std::vector<uint8_t> bytes;
};

void AppendVarLength(std::vector<uint8_t>& out, uint32_t value) {
    uint8_t groups[5];
    int count = 0;
    do {
        groups[count++] = static_cast<uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (count > 1) {
        out.push_back(static_cast<uint8_t>(groups[--count] | 0x80));
    }
    out.push_back(groups[0]);
}

void AppendBE(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

std::vector<uint8_t> Bend(int channel, double semitones) {
    int value = static_cast<int>(std::lround(8192.0 + semitones / kBendRange * 8192.0));
    value = std::clamp(value, 0, 16383);
    return {static_cast<uint8_t>(0xE0 | channel), static_cast<uint8_t>(value & 0x7F), static_cast<uint8_t>(value >> 7)};
}

} // namespace

std::vector<uint8_t> WriteMidiFile(const Tune& tune) {
    const int channel = tune.drums ? kDrumChannel : kMelodicChannel;
    const auto status = [channel](int kind) { return static_cast<uint8_t>(kind | channel); };
    std::vector<Event> events;
    uint32_t microsPerQuarter = static_cast<uint32_t>(60000000 / tune.tempo);
    events.push_back({0,
                      0,
                      {0xFF, 0x51, 0x03, static_cast<uint8_t>(microsPerQuarter >> 16),
                       static_cast<uint8_t>(microsPerQuarter >> 8), static_cast<uint8_t>(microsPerQuarter)}});
    if (!tune.drums) {
        events.push_back({0, 0, {status(0xC0), static_cast<uint8_t>(tune.program)}});
        // Registered parameter 0 (bend range), then the null parameter so later data entry is inert.
        for (auto [controller, value] :
             {std::pair{101, 0}, {100, 0}, {6, kBendRange}, {38, 0}, {101, 127}, {100, 127}}) {
            events.push_back({0, 0, {status(0xB0), static_cast<uint8_t>(controller), static_cast<uint8_t>(value)}});
        }
    }
    events.push_back({0, 0, {status(0xB0), 7, 110}});
    for (const TuneNote& note : tune.notes) {
        int end = note.startTick + note.soundingTicks;
        for (int pitch : note.pitches) {
            events.push_back(
                {note.startTick, 3, {status(0x90), static_cast<uint8_t>(pitch), static_cast<uint8_t>(note.velocity)}});
            events.push_back({end, 1, {status(0x80), static_cast<uint8_t>(pitch), 0}});
        }
        if (note.glideTarget) {
            double distance = *note.glideTarget - note.pitches[0];
            for (int t = kSlideStep; t <= note.soundingTicks; t += kSlideStep) {
                events.push_back({note.startTick + t, 2, Bend(channel, distance * t / note.soundingTicks)});
            }
            events.push_back({end, 2, Bend(channel, 0)});
        }
    }
    std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
        return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
    });

    std::vector<uint8_t> track;
    int previous = 0;
    for (const Event& event : events) {
        AppendVarLength(track, static_cast<uint32_t>(event.tick - previous));
        track.insert(track.end(), event.bytes.begin(), event.bytes.end());
        previous = event.tick;
    }
    AppendVarLength(track, static_cast<uint32_t>(std::max(0, tune.EndTick() - previous)));
    track.insert(track.end(), {0xFF, 0x2F, 0x00});

    std::vector<uint8_t> file = {'M', 'T', 'h', 'd'};
    AppendBE(file, 6, 4);
    AppendBE(file, 0, 2); // format 0
    AppendBE(file, 1, 2); // one track
    AppendBE(file, TicksPerQuarter, 2);
    file.insert(file.end(), {'M', 'T', 'r', 'k'});
    AppendBE(file, static_cast<uint32_t>(track.size()), 4);
    file.insert(file.end(), track.begin(), track.end());
    return file;
}
