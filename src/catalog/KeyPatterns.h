#pragma once
// How catalog keys match the sound names of the configuration file, and the names under which
// replacement files are stored on the stick.
#include <string>

// Whether the key pattern matches the sound name. A key with "?" matches a name of the same
// length that differs at most at the first "?"; otherwise a key with "*" matches every name
// that begins with the text before the "*"; otherwise key and name must be equal. Case counts.
// A null key or name matches nothing.
bool MatchSoundKey(const char* key, const char* name);

// The longest replacement file name that gets a custom sound name.
constexpr size_t MaxReplacementFileName = 32;

// "u_" and the file name up to its first ".", with ASCII letters lowered; isMidi tells whether
// the file's real extension (the text after its last ".") starts with "m". False, and nothing
// written, for a name longer than 32 characters, one without "." or one holding a zero byte.
bool MakeCustomSoundName(const std::string& fileName, std::string& customName, bool& isMidi);
