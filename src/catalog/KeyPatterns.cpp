#include "catalog/KeyPatterns.h"

#include <cstring>
#include <utility>

namespace {

// Lowering must not depend on the locale: custom sound names end up in files the robot reads, and
// the same replacement must get the same name on every desktop. Bytes above 127 stay as they are.
char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

bool MatchSoundKey(const char* key, const char* name) {
    if (key == nullptr || name == nullptr) {
        return false;
    }

    if (const char* wildcard = std::strchr(key, '?')) {
        const size_t length = std::strlen(key);
        if (length != std::strlen(name)) {
            return false;
        }
        // Compared in place rather than by patching a copy of the key: the result is the same as
        // substituting the name's character at the first "?" and comparing, and a key of any
        // length is safe.
        const size_t wildcardAt = static_cast<size_t>(wildcard - key);
        for (size_t i = 0; i < length; ++i) {
            if (i != wildcardAt && key[i] != name[i]) {
                return false;
            }
        }
        return true;
    }

    if (const char* star = std::strchr(key, '*')) {
        // strncmp stops at the name's terminator, so a name shorter than the prefix cannot match.
        const size_t prefixLength = static_cast<size_t>(star - key);
        return std::strncmp(key, name, prefixLength) == 0;
    }

    return std::strcmp(key, name) == 0;
}

bool MakeCustomSoundName(const std::string& fileName, std::string& customName, bool& isMidi) {
    if (fileName.size() > MaxReplacementFileName) {
        return false;
    }
    // A file name never holds a zero byte; one that does cannot be the file it claims to be.
    if (fileName.find('\0') != std::string::npos) {
        return false;
    }
    const size_t firstDot = fileName.find('.');
    if (firstDot == std::string::npos) {
        return false;
    }

    // The type comes from the real extension, after the last ".": a file called drum.mix.wav holds
    // WAV data, and packing it as MIDI would put a sound on the stick the robot cannot play.
    const size_t lastDot = fileName.rfind('.');
    const bool midi = lastDot + 1 < fileName.size() && LowerAscii(fileName[lastDot + 1]) == 'm';

    std::string name = "u_";
    name.reserve(2 + firstDot);
    for (size_t i = 0; i < firstDot; ++i) {
        name += LowerAscii(fileName[i]);
    }
    customName = std::move(name);
    isMidi = midi;
    return true;
}
