#pragma once
// What the window tells of a sound file at a glance: how long it plays and how much of the stick
// it takes.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// "1.2 s, 19 KB": the length in seconds with one decimal, then the size in kilobytes of 1000
// bytes, rounded to the nearest and never shown as 0 for a file that has any bytes. Only the
// size ("19 KB") when the length cannot be told. Digits are written without regard to the
// desktop's language, as every other text of the window is.
std::string SoundSummaryText(std::optional<double> seconds, uint64_t bytes);

// The summary of a file: a MIDI file's length from its tracks and tempo, a WAV file's from its
// data chunk. Empty when the file cannot be read at all.
std::string DescribeSoundFile(const std::string& path);

// "1.234 s (19.8 KB)": a cut of `samples` samples, its length in seconds with three decimals and
// the size of its 16-bit file (header included) in kilobytes of 1000 bytes with one decimal, both
// rounded to the nearest.
std::string CutLengthText(size_t samples);
