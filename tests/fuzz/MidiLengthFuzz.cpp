// The length of a Standard MIDI File, from any bytes and from files built out of the input with
// a length known in advance: any bytes give nothing or a finite length; a built file (tracks of
// notes, program changes, texts and system exclusive messages, running status, tempo changes in
// any track, chunks of other kinds between the tracks) reads back the length it was built with.
#include "FuzzCheck.h"
#include "platform/ByteStream.h"
#include "sounds/MidiLength.h"

#include <cmath>
#include <map>
#include <vector>

namespace {

// The input read as the builder's choices; zeros once it is used up.
class Choices {
public:
    Choices(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    uint32_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    uint32_t Word() { return Byte() << 8 | Byte(); }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    out.insert(out.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
}

void PutNumber(std::vector<uint8_t>& out, uint32_t v) {
    std::vector<uint8_t> bytes = {uint8_t(v & 0x7F)};
    for (v >>= 7; v != 0; v >>= 7) {
        bytes.insert(bytes.begin(), uint8_t(0x80 | (v & 0x7F)));
    }
    out.insert(out.end(), bytes.begin(), bytes.end());
}

struct Built {
    std::vector<uint8_t> bytes;
    double seconds = 0;
};

Built Build(Choices& in) {
    const uint32_t format = in.Byte() % 3;
    const uint32_t tracks = format == 0 ? 1 : 1 + in.Byte() % 3;
    const bool smpte = in.Byte() % 4 == 0;
    static const int Rates[] = {24, 25, 29, 30};
    const int fps = Rates[in.Byte() % 4];
    const uint32_t ticksPerFrame = 1 + in.Byte() % 255;
    const uint32_t ppq = 1 + in.Word() % 0x7FFF;
    const uint32_t division = smpte ? uint32_t(uint8_t(-fps)) << 8 | ticksPerFrame : ppq;

    Built built;
    built.bytes = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, uint8_t(format), 0, uint8_t(tracks)};
    built.bytes.push_back(uint8_t(division >> 8));
    built.bytes.push_back(uint8_t(division));
    std::map<uint64_t, uint32_t> tempoAt; // a later change at the same tick wins
    std::vector<std::pair<uint64_t, std::map<uint64_t, uint32_t>>> ends;
    for (uint32_t t = 0; t < tracks; ++t) {
        if (in.Byte() % 5 == 0) {
            built.bytes.insert(built.bytes.end(), {'X', 'x', 'y', 'z', 0, 0, 0, 2, 1, 2});
        }
        std::vector<uint8_t> track;
        std::map<uint64_t, uint32_t> ownTempo;
        uint64_t tick = 0;
        uint8_t running = 0;
        const uint32_t events = in.Byte() % 24;
        for (uint32_t e = 0; e <= events; ++e) {
            uint32_t delta = in.Byte();
            delta = delta >= 250 ? (delta << 20 | in.Word() << 4) & 0x0FFFFFFF : delta;
            tick += delta;
            PutNumber(track, delta);
            if (e == events) {
                track.insert(track.end(), {0xFF, 0x2F, 0x00});
                break;
            }
            const uint32_t kind = in.Byte() % 6;
            if (kind <= 1) { // a note; the status repeated only when it may be left out
                const uint8_t status = uint8_t((kind == 0 ? 0x90 : 0x80) | (in.Byte() & 0x0F));
                if (status != running || in.Byte() % 2 == 0) {
                    track.push_back(status);
                }
                track.insert(track.end(), {uint8_t(in.Byte() & 0x7F), uint8_t(in.Byte() & 0x7F)});
                running = status;
            } else if (kind == 2) {
                track.insert(track.end(), {uint8_t(0xC0 | (in.Byte() & 0x0F)), uint8_t(in.Byte() & 0x7F)});
                running = track[track.size() - 2];
            } else if (kind == 3) {
                const uint32_t tempo = (in.Byte() << 16 | in.Word()) & 0xFFFFFF;
                track.insert(track.end(),
                             {0xFF, 0x51, 0x03, uint8_t(tempo >> 16), uint8_t(tempo >> 8), uint8_t(tempo)});
                (format == 2 ? ownTempo : tempoAt)[tick] = tempo;
                running = 0;
            } else {
                const uint32_t length = in.Byte() % 9;
                if (kind == 4) {
                    track.insert(track.end(), {0xFF, 0x01}); // a text
                } else {
                    track.push_back(0xF0);
                }
                PutNumber(track, length);
                track.insert(track.end(), length, 0x41);
                running = 0;
            }
        }
        built.bytes.insert(built.bytes.end(), {'M', 'T', 'r', 'k'});
        Put32(built.bytes, uint32_t(track.size()));
        built.bytes.insert(built.bytes.end(), track.begin(), track.end());
        ends.emplace_back(tick, ownTempo);
    }

    // Seconds to `end` at the tempo changes of `changes`, 120 beats a minute before the first.
    const auto seconds = [&](uint64_t end, const std::map<uint64_t, uint32_t>& changes) {
        if (smpte) {
            return static_cast<double>(end) / ((fps == 29 ? 29.97 : fps) * ticksPerFrame);
        }
        double total = 0;
        uint64_t at = 0;
        double tempo = 500000;
        for (auto it = changes.begin(); it != changes.end() && it->first < end; ++it) {
            total += static_cast<double>(it->first - at) * tempo;
            at = it->first;
            tempo = it->second;
        }
        return (total + static_cast<double>(end - at) * tempo) / 1e6 / ppq;
    };
    uint64_t longest = 0;
    for (const auto& [end, own] : ends) {
        built.seconds += format == 2 ? seconds(end, own) : 0;
        longest = std::max(longest, end);
    }
    if (format != 2) {
        built.seconds = seconds(longest, tempoAt);
    }
    return built;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::optional<double> raw = MidiFileSeconds(data, size);
    Check(!raw || (std::isfinite(*raw) && *raw >= 0));
    MemorySource source(data, size);
    Check(ReadMidiFileSeconds(source) == (size == 0 ? std::nullopt : raw));

    Choices choices(data, size);
    const Built built = Build(choices);
    const std::optional<double> read = MidiFileSeconds(built.bytes.data(), built.bytes.size());
    Check(read && std::fabs(*read - built.seconds) <= 1e-9 * std::max(1.0, built.seconds));
    return 0;
}
