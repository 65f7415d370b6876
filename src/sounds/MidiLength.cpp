#include "sounds/MidiLength.h"

#include "platform/ByteStream.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// A tune of a few kilobytes is usual; no MIDI file comes near this.
constexpr int64_t MaxMidiFileBytes = 16 * 1024 * 1024;

struct TempoChange {
    uint64_t tick;
    uint32_t tempo;
};

struct Track {
    uint64_t endTick = 0;
    std::vector<TempoChange> tempos;
};

uint32_t ReadBE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 |
           p[3];
}

class Cursor {
public:
    Cursor(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool AtEnd() const { return m_pos >= m_size; }
    bool Byte(uint8_t& value) {
        if (m_pos >= m_size) {
            return false;
        }
        value = m_data[m_pos++];
        return true;
    }
    bool Peek(uint8_t& value) const {
        if (m_pos >= m_size) {
            return false;
        }
        value = m_data[m_pos];
        return true;
    }
    // A variable-length quantity: seven bits a byte, the highest first, at most four bytes.
    bool Number(uint32_t& value) {
        value = 0;
        for (int i = 0; i < 4; ++i) {
            uint8_t b = 0;
            if (!Byte(b)) {
                return false;
            }
            value = value << 7 | (b & 0x7Fu);
            if ((b & 0x80) == 0) {
                return true;
            }
        }
        return false;
    }
    bool Skip(uint32_t n) {
        if (n > m_size - m_pos) {
            return false;
        }
        m_pos += n;
        return true;
    }
    const uint8_t* Here() const { return m_data + m_pos; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

bool ReadTrack(const uint8_t* data, size_t size, Track& track) {
    Cursor in(data, size);
    uint64_t tick = 0;
    uint8_t running = 0;
    while (!in.AtEnd()) {
        uint32_t delta = 0;
        uint8_t status = 0;
        if (!in.Number(delta) || !in.Peek(status)) {
            return false;
        }
        tick += delta;
        if ((status & 0x80) != 0) {
            in.Skip(1);
        } else if (running != 0) {
            status = running; // the byte is the first data byte of a repeated status
        } else {
            return false;
        }
        if (status == 0xFF) {
            uint8_t type = 0;
            uint32_t length = 0;
            if (!in.Byte(type) || !in.Number(length)) {
                return false;
            }
            const uint8_t* body = in.Here();
            if (!in.Skip(length)) {
                return false;
            }
            if (type == 0x51 && length >= 3) {
                track.tempos.push_back({tick, static_cast<uint32_t>(body[0] << 16 | body[1] << 8 | body[2])});
            }
            running = 0;
            track.endTick = tick;
            if (type == 0x2F) {
                return true; // whatever follows End of Track is not played
            }
        } else if (status == 0xF0 || status == 0xF7) {
            uint32_t length = 0;
            if (!in.Number(length) || !in.Skip(length)) {
                return false;
            }
            running = 0;
            track.endTick = tick;
        } else if (status >= 0x80 && status <= 0xEF) {
            const int dataBytes = (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 1 : 2;
            for (int i = 0; i < dataBytes; ++i) {
                uint8_t value = 0;
                if (!in.Byte(value) || (value & 0x80) != 0) {
                    return false;
                }
            }
            running = status;
            track.endTick = tick;
        } else {
            return false; // system messages other than exclusive ones have no place in a file
        }
    }
    return true;
}

// Seconds to `endTick` at the tempos given (in tick order, possibly past the end).
double Seconds(uint64_t endTick, const std::vector<TempoChange>& tempos, double ticksPerQuarter) {
    double microseconds = 0;
    uint64_t at = 0;
    uint32_t tempo = DefaultMidiTempo;
    for (const TempoChange& change : tempos) {
        if (change.tick >= endTick) {
            break;
        }
        microseconds += static_cast<double>(change.tick - at) * tempo;
        at = change.tick;
        tempo = change.tempo;
    }
    microseconds += static_cast<double>(endTick - at) * tempo;
    return microseconds / 1e6 / ticksPerQuarter;
}

} // namespace

std::optional<double> MidiFileSeconds(const uint8_t* data, size_t size) {
    if (size < 14 || std::memcmp(data, "MThd", 4) != 0 || ReadBE32(data + 4) < 6 || ReadBE32(data + 4) > size - 8) {
        return std::nullopt;
    }
    const unsigned format = data[8] << 8 | data[9];
    const unsigned trackCount = data[10] << 8 | data[11];
    const unsigned division = data[12] << 8 | data[13];
    double ticksPerSecond = 0; // for a division in SMPTE frames
    if ((division & 0x8000) != 0) {
        const int frames = -static_cast<int8_t>(division >> 8);
        const unsigned ticksPerFrame = division & 0xFF;
        if ((frames != 24 && frames != 25 && frames != 29 && frames != 30) || ticksPerFrame == 0) {
            return std::nullopt;
        }
        ticksPerSecond = (frames == 29 ? 29.97 : frames) * ticksPerFrame;
    } else if (division == 0) {
        return std::nullopt;
    }

    std::vector<Track> tracks;
    for (size_t at = 8 + ReadBE32(data + 4); tracks.size() < trackCount;) {
        if (size - at < 8 || ReadBE32(data + at + 4) > size - at - 8) {
            return std::nullopt;
        }
        const size_t length = ReadBE32(data + at + 4);
        if (std::memcmp(data + at, "MTrk", 4) == 0) {
            tracks.emplace_back();
            if (!ReadTrack(data + at + 8, length, tracks.back())) {
                return std::nullopt;
            }
        }
        at += 8 + length; // chunks of other kinds are passed over, as players do
    }

    if (ticksPerSecond > 0) {
        uint64_t end = 0;
        for (const Track& track : tracks) {
            end = format == 2 ? end + track.endTick : std::max(end, track.endTick);
        }
        return static_cast<double>(end) / ticksPerSecond;
    }
    if (format == 2) {
        double seconds = 0;
        for (const Track& track : tracks) {
            seconds += Seconds(track.endTick, track.tempos, division);
        }
        return seconds;
    }
    uint64_t end = 0;
    std::vector<TempoChange> tempos;
    for (const Track& track : tracks) {
        end = std::max(end, track.endTick);
        tempos.insert(tempos.end(), track.tempos.begin(), track.tempos.end());
    }
    // Of changes at one tick the last one read holds, as in a player that merges the tracks.
    std::stable_sort(tempos.begin(), tempos.end(),
                     [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
    return Seconds(end, tempos, division);
}

std::optional<double> ReadMidiFileSeconds(ByteSource& source) {
    const int64_t size = source.Size();
    if (size < 0 || size > MaxMidiFileBytes || !source.Seek(0)) {
        return std::nullopt;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (bytes.empty() || !ReadItem(source, bytes.data(), bytes.size())) {
        return std::nullopt;
    }
    return MidiFileSeconds(bytes.data(), bytes.size());
}
