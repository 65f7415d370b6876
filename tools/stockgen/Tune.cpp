#include "Tune.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sstream>

// Notation of one tune line, after "<library> <index> <program|drums> <tempo> :":
//   C5 F#4 Bb3     a note: letter, optional # or b, octave (C4 is middle C)
//   n42            a note by number, for drum keys
//   C5+E5+G5       notes struck together
//   C5~G5          one note sliding to another, at most an octave away
//   R              a rest
//   /8 /16. /4     duration suffix on any of the above: a fraction of a whole note, a dot adds
//                  half; without a suffix the previous duration is kept
//   v100           velocity of the following notes
//   a60            how much of its duration a note is held, in percent (default 85)
// A ';' starts a comment that runs to the end of the line.

double Tune::Seconds() const {
    return static_cast<double>(EndTick()) / TicksPerQuarter * 60.0 / tempo;
}

namespace {

std::optional<int> ParsePitch(const std::string& text) {
    if (text.size() >= 2 && text[0] == 'n') {
        int number = 0;
        for (size_t i = 1; i < text.size(); ++i) {
            if (!std::isdigit(static_cast<unsigned char>(text[i]))) {
                return std::nullopt;
            }
            number = number * 10 + (text[i] - '0');
            if (number > 127) {
                return std::nullopt;
            }
        }
        return number;
    }
    static const int kSteps[7] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
    if (text.empty() || text[0] < 'A' || text[0] > 'G') {
        return std::nullopt;
    }
    int semitone = kSteps[text[0] - 'A'];
    size_t pos = 1;
    if (pos < text.size() && (text[pos] == '#' || text[pos] == 'b')) {
        semitone += text[pos] == '#' ? 1 : -1;
        ++pos;
    }
    if (pos + 1 != text.size() || !std::isdigit(static_cast<unsigned char>(text[pos]))) {
        return std::nullopt;
    }
    int pitch = (text[pos] - '0' + 1) * 12 + semitone;
    if (pitch < 0 || pitch > 127) {
        return std::nullopt;
    }
    return pitch;
}

std::optional<int> ParseDuration(const std::string& text) {
    bool dotted = !text.empty() && text.back() == '.';
    std::string number = dotted ? text.substr(0, text.size() - 1) : text;
    static const std::pair<const char*, int> kValues[] = {{"1", 384}, {"2", 192}, {"4", 96},
                                                          {"8", 48},  {"16", 24}, {"32", 12}};
    for (const auto& [name, ticks] : kValues) {
        if (number == name) {
            return dotted ? ticks * 3 / 2 : ticks;
        }
    }
    return std::nullopt;
}

std::optional<int> ParseNumber(const std::string& text, int low, int high) {
    if (text.empty() || text.size() > 4) {
        return std::nullopt;
    }
    int value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    if (value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string> SplitWords(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    return words;
}

std::vector<std::string> SplitOn(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos) {
            return parts;
        }
        start = end + 1;
    }
}

// Parses the notes of one tune; false with `error` set on the first word it cannot read.
bool ParseNotes(const std::vector<std::string>& words, Tune& tune, std::string& error) {
    int duration = 48;
    int velocity = 96;
    int held = 85;
    int tick = 0;
    for (const std::string& word : words) {
        if (word.size() > 1 && (word[0] == 'v' || word[0] == 'a') &&
            std::isdigit(static_cast<unsigned char>(word[1]))) {
            std::optional<int> value = ParseNumber(word.substr(1), 1, word[0] == 'v' ? 127 : 100);
            if (!value) {
                error = "bad setting '" + word + "'";
                return false;
            }
            (word[0] == 'v' ? velocity : held) = *value;
            continue;
        }
        size_t slash = word.find('/');
        std::string body = word.substr(0, slash);
        if (slash != std::string::npos) {
            std::optional<int> ticks = ParseDuration(word.substr(slash + 1));
            if (!ticks) {
                error = "bad duration in '" + word + "'";
                return false;
            }
            duration = *ticks;
        }
        TuneNote note;
        note.startTick = tick;
        note.lengthTicks = duration;
        note.soundingTicks = std::max(1, duration * held / 100);
        note.velocity = velocity;
        if (body != "R") {
            std::vector<std::string> glide = SplitOn(body, '~');
            std::vector<std::string> chord = SplitOn(glide[0], '+');
            if (glide.size() > 2 || (glide.size() == 2 && chord.size() != 1)) {
                error = "a slide joins exactly two single notes: '" + word + "'";
                return false;
            }
            for (const std::string& name : chord) {
                std::optional<int> pitch = ParsePitch(name);
                if (!pitch) {
                    error = "bad note '" + name + "' in '" + word + "'";
                    return false;
                }
                note.pitches.push_back(*pitch);
            }
            if (glide.size() == 2) {
                std::optional<int> target = ParsePitch(glide[1]);
                if (!target || std::abs(*target - note.pitches[0]) > 12 || tune.drums) {
                    error = "a slide ends at most an octave away, on a melodic instrument: '" + word + "'";
                    return false;
                }
                note.glideTarget = target;
            }
        }
        tune.notes.push_back(note);
        tick += duration;
    }
    return true;
}

} // namespace

std::optional<TuneSource> ParseTuneSource(const std::string& text, std::string& error) {
    TuneSource source;
    std::istringstream in(text);
    int lineNumber = 0;
    for (std::string line; std::getline(in, line);) {
        ++lineNumber;
        std::string where = "line " + std::to_string(lineNumber) + ": ";
        line = line.substr(0, line.find(';'));
        std::vector<std::string> words = SplitWords(line);
        if (words.empty()) {
            continue;
        }
        if (words[0] == "copy") {
            if (words.size() != 3) {
                error = where + "expected 'copy <library> <library>'";
                return std::nullopt;
            }
            source.copies.emplace_back(words[1], words[2]);
            continue;
        }
        size_t colon = line.find(':');
        std::vector<std::string> head = SplitWords(line.substr(0, colon));
        if (colon == std::string::npos || head.size() != 4) {
            error = where + "expected '<library> <index> <program|drums> <tempo> : <notes>'";
            return std::nullopt;
        }
        Tune tune;
        tune.lineNumber = lineNumber;
        tune.library = head[0];
        std::optional<int> index = ParseNumber(head[1], 0, 9999);
        std::optional<int> program = head[2] == "drums" ? std::optional<int>(0) : ParseNumber(head[2], 0, 127);
        std::optional<int> tempo = ParseNumber(head[3], 20, 400);
        if (!index || !program || !tempo) {
            error = where + "bad index, program or tempo";
            return std::nullopt;
        }
        tune.index = *index;
        tune.program = *program;
        tune.drums = head[2] == "drums";
        tune.tempo = *tempo;
        std::string noteError;
        if (!ParseNotes(SplitWords(line.substr(colon + 1)), tune, noteError)) {
            error = where + noteError;
            return std::nullopt;
        }
        if (tune.notes.empty()) {
            error = where + "a tune needs at least one note";
            return std::nullopt;
        }
        source.tunes.push_back(std::move(tune));
    }
    return source;
}
