#pragma once
// How long a Standard MIDI File plays: from its start to the end of its longest track, through
// every tempo change on the way.
#include <cstddef>
#include <cstdint>
#include <optional>

class ByteSource;

// The tempo a file plays at until it sets one: 120 beats a minute.
constexpr uint32_t DefaultMidiTempo = 500000; // microseconds a quarter note

// Seconds from the start to the last track's end (its End of Track event, or its last event when
// it has none). Tempo changes in any track of a format 0 or 1 file apply to all its tracks; the
// tracks of a format 2 file are independent tunes, played one after another, each with its own
// tempo. A division in SMPTE frames plays at a fixed rate. Nothing when the bytes are not a
// Standard MIDI File: a header, at least as many tracks as it announces, each wholly inside the
// bytes and made of whole, well-formed events.
std::optional<double> MidiFileSeconds(const uint8_t* data, size_t size);

// The same for a whole file; nothing when it cannot be read or is larger than any tune.
std::optional<double> ReadMidiFileSeconds(ByteSource& source);
