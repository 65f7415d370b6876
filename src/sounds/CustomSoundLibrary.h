#pragma once
// The user's own sounds: the .WAV and .MID files in SoundsFolder, listed once per run into the
// replacement list, which is from then on the only record of what the folder holds.
#include <cstddef>
#include <string>
#include <vector>

class ByteSource;
class CComboBox;

// The leading bytes of a WAV file that decide whether the robot can play it.
constexpr size_t WaveHeaderSize = 34;

// Empties the list and refills it: every acceptable .WAV and every .MID of SoundsFolder, in
// case-blind order, with "(default)" first. Each refused WAV file is reported. The list is left
// disabled and without a current selection.
void FillReplacementList(CComboBox& list);

// True when the file of that name (no folder) in SoundsFolder can be read and starts with a
// RIFF/WAVE header whose first chunk is "fmt " describing mono PCM at 8000 Hz.
bool IsAcceptedWave(const std::string& fileName);

// The same test on the first WaveHeaderSize bytes of any source.
bool IsAcceptedWaveHeader(ByteSource& source);

// Brings each file into SoundsFolder in the form the robot plays and adds it to the list. A file
// that cannot be brought in is reported with the reason, and the others go on; work that takes a
// while shows its progress, and Cancel stops at the file in hand. Returns the names added.
std::vector<std::string> ImportIntoLibrary(const std::vector<std::string>& sourcePaths, CComboBox& list);
