#include "platform/MediaCommand.h"

#include "platform/AudioOut.h"
#include "platform/MidiRenderer.h"

#include <cstdio>
#include <map>
#include <optional>
#include <sstream>
#include <vector>

namespace {

// The open devices by alias, upper-cased. Everything runs on the window's thread.
std::map<std::string, PcmAudio>& OpenDevices() {
    static std::map<std::string, PcmAudio> devices;
    return devices;
}

std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    return words;
}

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return std::nullopt;
    }
    std::vector<uint8_t> bytes;
    uint8_t buffer[8192];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        return std::nullopt;
    }
    return bytes;
}

std::string Extension(const std::string& path) {
    size_t slash = path.rfind('/');
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return {};
    }
    return Upper(path.substr(dot + 1));
}

int Open(const std::string& path, const std::string& alias) {
    std::map<std::string, PcmAudio>& devices = OpenDevices();
    if (devices.count(Upper(alias)) != 0) {
        return MediaAliasInUse;
    }
    std::optional<std::vector<uint8_t>> bytes = ReadWholeFile(path);
    if (!bytes) {
        return MediaFileNotFound;
    }
    std::string extension = Extension(path);
    std::optional<PcmAudio> sound;
    if (extension == "WAV") {
        sound = DecodeWave(*bytes);
    } else if (extension == "MID") {
        sound = SharedMidiRenderer().Render(*bytes);
    } else {
        return MediaUnknownDeviceType;
    }
    if (!sound) {
        return MediaCannotDecode;
    }
    devices.emplace(Upper(alias), std::move(*sound));
    return MediaOk;
}

// "open" followed by a quoted path or a path without spaces, then "alias NAME".
int ParseOpen(const std::string& rest) {
    std::string path;
    std::string tail;
    if (!rest.empty() && rest[0] == '"') {
        // The last quote closes the path, so a quote inside a file name does not end it early.
        size_t close = rest.rfind('"');
        if (close == 0) {
            return MediaUnrecognizedCommand;
        }
        path = rest.substr(1, close - 1);
        tail = rest.substr(close + 1);
    } else {
        size_t end = rest.find_first_of(" \t");
        path = rest.substr(0, end);
        tail = end == std::string::npos ? std::string() : rest.substr(end);
    }
    std::vector<std::string> words = Words(tail);
    if (path.empty() || words.size() != 2 || Upper(words[0]) != "ALIAS") {
        return MediaUnrecognizedCommand;
    }
    return Open(path, words[1]);
}

} // namespace

int mciSendString(const std::string& command) {
    std::vector<std::string> words = Words(command);
    if (words.empty()) {
        return MediaUnrecognizedCommand;
    }
    std::string verb = Upper(words[0]);
    std::map<std::string, PcmAudio>& devices = OpenDevices();
    if (verb == "OPEN") {
        size_t start = command.find_first_not_of(" \t");
        size_t afterVerb = command.find_first_not_of(" \t", start + 4);
        if (afterVerb == std::string::npos) {
            return MediaUnrecognizedCommand;
        }
        return ParseOpen(command.substr(afterVerb));
    }
    if (verb == "PLAY" && words.size() == 3 && Upper(words[2]) == "WAIT") {
        auto device = devices.find(Upper(words[1]));
        if (device == devices.end()) {
            return MediaUnknownAlias;
        }
        return PlayToEnd(device->second) ? MediaOk : MediaPlaybackFailed;
    }
    if (verb == "CLOSE" && words.size() == 2) {
        return devices.erase(Upper(words[1])) == 1 ? MediaOk : MediaUnknownAlias;
    }
    return MediaUnrecognizedCommand;
}
