#pragma once
// What only tests build into sticks.
#include "StickBuilder.h"
#include "platform/StickPath.h" // LowerAscii spells a stick as one copied to a case-sensitive disk may

#include <string>
#include <vector>

// An archive whose contents say `tag`, so that tests can tell archives apart.
inline std::vector<uint8_t> SampleArchive(const std::string& tag) {
    std::vector<uint8_t> bytes = {'O', 'D', 'A', 'R', static_cast<uint8_t>(tag.size()), 0, 0, 0};
    bytes.insert(bytes.end(), tag.begin(), tag.end());
    return bytes;
}

// The stick with another software code in its VERSION file.
inline StickBuilder WithCode(StickBuilder stick, const SoftwareCode& code) {
    VersionLayout layout = stick.Options().version.value_or(VersionLayout{});
    layout.code = code;
    return stick.Version(layout);
}
