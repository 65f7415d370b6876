#pragma once
// One stock tune as written in the tune source: a General MIDI instrument, a tempo and a line of
// notes, and its place in a library.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One sounding event: the notes struck together, or none for a rest.
struct TuneNote {
    std::vector<int> pitches;       // MIDI note numbers
    std::optional<int> glideTarget; // a single pitch sliding to this one over the note
    int startTick = 0;
    int lengthTicks = 0;   // until the next event starts
    int soundingTicks = 0; // how long the key is held, at most lengthTicks
    int velocity = 96;
};

struct Tune {
    std::string library;
    int32_t index = 0;
    int program = 0;    // General MIDI program, 0 to 127
    bool drums = false; // played on the percussion channel; pitches are drum keys
    int tempo = 120;    // quarter notes per minute
    std::vector<TuneNote> notes;
    int lineNumber = 0;

    int EndTick() const { return notes.empty() ? 0 : notes.back().startTick + notes.back().lengthTicks; }
    double Seconds() const;
};

constexpr int TicksPerQuarter = 96;

struct TuneSource {
    std::vector<Tune> tunes;
    // "copy A B": library A holds the tunes of library B under the same indices.
    std::vector<std::pair<std::string, std::string>> copies;
};

// Parses the tune source text; on a mistake, an empty result and a message naming the line.
std::optional<TuneSource> ParseTuneSource(const std::string& text, std::string& error);
