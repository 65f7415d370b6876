#include "SoundFixtures.h"

#include "WaveBuilder.h"

#include "platform/AudioOut.h"
#include "sounds/StockLibrary.h"
#include "sounds/StockLibraryReader.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <numbers>

void CaptureAudioTo(const std::string& path) {
    setenv("SDL_AUDIODRIVER", "disk", 0);
    setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);
}

std::vector<int16_t> ReadCapturedAudio(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int16_t> samples(bytes.size() / sizeof(int16_t));
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] =
            static_cast<int16_t>(static_cast<uint8_t>(bytes[2 * i]) | (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
    }
    return samples;
}

double AudibleSpan::Seconds() const {
    return Empty() ? 0.0 : static_cast<double>(last - first + 1) / AudioOutRate;
}

AudibleSpan FindAudibleSpan(const std::vector<int16_t>& samples, int threshold) {
    AudibleSpan span;
    for (size_t i = 0; i < samples.size(); ++i) {
        if (std::abs(static_cast<int>(samples[i])) > threshold) {
            long frame = static_cast<long>(i / AudioOutChannels);
            if (span.first < 0) {
                span.first = frame;
            }
            span.last = frame;
        }
    }
    return span;
}

int PeakLevel(const std::vector<int16_t>& samples, size_t firstSample) {
    int peak = 0;
    for (size_t i = firstSample; i < samples.size(); ++i) {
        peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
    }
    return peak;
}

long SoundOffset(const std::vector<int16_t>& played, const std::vector<int16_t>& sound) {
    auto audible = [](int16_t sample) { return sample != 0; };
    const long offset = (std::find_if(played.begin(), played.end(), audible) - played.begin()) -
                        (std::find_if(sound.begin(), sound.end(), audible) - sound.begin());
    const bool whole = offset >= 0 && played.size() - static_cast<size_t>(offset) >= sound.size() &&
                       std::equal(sound.begin(), sound.end(), played.begin() + offset);
    return whole ? offset : -1;
}

namespace {
void PutLE(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}
void PutBE(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}
void PutVarLength(std::vector<uint8_t>& out, uint32_t value) {
    std::vector<uint8_t> groups{static_cast<uint8_t>(value & 0x7F)};
    while ((value >>= 7) != 0) {
        groups.push_back(static_cast<uint8_t>((value & 0x7F) | 0x80));
    }
    out.insert(out.end(), groups.rbegin(), groups.rend());
}
} // namespace

std::vector<uint8_t> MakeSineWave(int rate, int channels, int bits, double seconds, double hertz) {
    WaveDescription wave;
    wave.sampleRate = static_cast<uint32_t>(rate);
    wave.channels = static_cast<uint16_t>(channels);
    wave.bitsPerSample = static_cast<uint16_t>(bits);
    wave.samples.clear();
    for (long i = 0; i < std::lround(rate * seconds); ++i) {
        double value = 0.5 * std::sin(2.0 * std::numbers::pi * hertz * static_cast<double>(i) / rate);
        for (int c = 0; c < channels; ++c) {
            if (bits == 8) {
                wave.samples.push_back(static_cast<uint8_t>(std::lround(128 + 127 * value)));
            } else {
                PutLE(wave.samples, static_cast<uint16_t>(static_cast<int16_t>(std::lround(32767 * value))), 2);
            }
        }
    }
    return BuildWave(wave);
}

MidiFileMaker::MidiFileMaker(int tempo) : m_tempo(tempo) {}

MidiFileMaker& MidiFileMaker::Program(int program) {
    m_events.push_back({0, 0, {0xC0, static_cast<uint8_t>(program)}});
    return *this;
}

MidiFileMaker& MidiFileMaker::Note(int pitch, int startTick, int lengthTicks, int velocity) {
    HeldNote(pitch, startTick, velocity);
    m_events.push_back({startTick + lengthTicks, 1, {0x80, static_cast<uint8_t>(pitch), 0}});
    m_end = std::max(m_end, startTick + lengthTicks);
    return *this;
}

MidiFileMaker& MidiFileMaker::HeldNote(int pitch, int startTick, int velocity) {
    m_events.push_back({startTick, 2, {0x90, static_cast<uint8_t>(pitch), static_cast<uint8_t>(velocity)}});
    m_end = std::max(m_end, startTick);
    return *this;
}

MidiFileMaker& MidiFileMaker::Controller(int tick, int controller, int value) {
    m_events.push_back({tick, 0, {0xB0, static_cast<uint8_t>(controller), static_cast<uint8_t>(value)}});
    m_end = std::max(m_end, tick);
    return *this;
}

MidiFileMaker& MidiFileMaker::EndAt(int tick) {
    m_end = tick;
    return *this;
}

double MidiFileMaker::SecondsAt(int tick) const {
    return tick / 96.0 * 60.0 / m_tempo;
}

std::vector<uint8_t> MidiFileMaker::Bytes() const {
    std::vector<Event> events = m_events;
    std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
        return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
    });
    std::vector<uint8_t> track;
    uint32_t microsPerQuarter = static_cast<uint32_t>(60000000 / m_tempo);
    PutVarLength(track, 0);
    track.insert(track.end(), {0xFF, 0x51, 0x03});
    PutBE(track, microsPerQuarter, 3);
    int previous = 0;
    for (const Event& event : events) {
        PutVarLength(track, static_cast<uint32_t>(event.tick - previous));
        track.insert(track.end(), event.bytes.begin(), event.bytes.end());
        previous = event.tick;
    }
    PutVarLength(track, static_cast<uint32_t>(std::max(0, m_end - previous)));
    track.insert(track.end(), {0xFF, 0x2F, 0x00});
    std::vector<uint8_t> out = {'M', 'T', 'h', 'd'};
    PutBE(out, 6, 4);
    PutBE(out, 0, 2);
    PutBE(out, 1, 2);
    PutBE(out, 96, 2);
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    PutBE(out, static_cast<uint32_t>(track.size()), 4);
    out.insert(out.end(), track.begin(), track.end());
    return out;
}

std::vector<uint8_t> StockRecordData(const StockSoundLibrary& library, int index) {
    LibraryReader reader{library.bytes, library.size};
    std::optional<int32_t> length = FindLibraryRecord(reader, index);
    std::vector<uint8_t> data;
    for (int32_t i = 0; length && i < *length; ++i) {
        data.push_back(ReadLibraryByte(reader));
    }
    return data;
}
