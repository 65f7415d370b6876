// Feeds key patterns and sound names to the matcher, and file names to the custom name maker.
// Input: the key, a zero byte, then the rest. The rest up to its first zero byte is the sound
// name; the whole rest, zero bytes included, is the replacement file name.
#include "FuzzCheck.h"
#include "catalog/KeyPatterns.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Fuzzing builds may define NDEBUG, so the checks must not vanish with assert.

std::string LowerAscii(std::string text) {
    for (char& ch : text) {
        if (ch >= 'A' && ch <= 'Z') {
            ch = static_cast<char>(ch - 'A' + 'a');
        }
    }
    return text;
}

void CheckMatching(const std::string& key, const std::string& name) {
    const bool matches = MatchSoundKey(key.c_str(), name.c_str());

    const size_t question = key.find('?');
    const size_t star = key.find('*');
    if (question != std::string::npos) {
        Check(MatchSoundKey(key.c_str(), key.c_str()));
        if (matches) {
            Check(key.size() == name.size());
            for (size_t i = 0; i < key.size(); ++i) {
                Check(i == question || key[i] == name[i]);
            }
        }
        // Any non-zero character in the wildcard's place is accepted.
        std::string filled = key;
        filled[question] = name.empty() ? 'x' : name[0];
        Check(MatchSoundKey(key.c_str(), filled.c_str()));
    } else if (star != std::string::npos) {
        Check(matches == (name.compare(0, star, key, 0, star) == 0 && name.size() >= star));
        Check(MatchSoundKey(key.c_str(), key.c_str()));
        Check(MatchSoundKey(key.c_str(), key.substr(0, star).c_str()));
    } else {
        Check(matches == (key == name));
        Check(MatchSoundKey(key.c_str(), key.c_str()));
    }
}

void CheckCustomName(const std::string& fileName) {
    std::string customName = "\x01untouched";
    bool isMidi = true;
    const bool made = MakeCustomSoundName(fileName, customName, isMidi);
    if (!made) {
        Check(customName == "\x01untouched");
        Check(isMidi);
        return;
    }
    Check(fileName.size() <= MaxReplacementFileName);
    const size_t firstDot = fileName.find('.');
    Check(firstDot != std::string::npos);
    Check(customName.size() == 2 + firstDot);
    Check(customName.compare(0, 2, "u_") == 0);
    Check(customName.find('.') == std::string::npos);
    Check(LowerAscii(customName) == customName);
    const std::string extension = fileName.substr(fileName.rfind('.') + 1);
    Check(isMidi == (!extension.empty() && (extension[0] == 'm' || extension[0] == 'M')));

    // Names that differ only in ASCII case refer to the same custom sound and type.
    std::string lowered;
    bool loweredMidi = !isMidi;
    Check(MakeCustomSoundName(LowerAscii(fileName), lowered, loweredMidi));
    Check(lowered == customName);
    Check(loweredMidi == isMidi);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find('\0');
    const std::string key = input.substr(0, split);
    const std::string rest = split == std::string::npos ? std::string() : input.substr(split + 1);
    const std::string name = rest.substr(0, rest.find('\0'));

    CheckMatching(key, name);
    CheckCustomName(rest);
    return 0;
}
