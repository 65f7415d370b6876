#include "writer/SaveChecks.h"

#include "app/CustomizationState.h"
#include "catalog/KeyPatterns.h"
#include "platform/ByteStream.h"
#include "platform/FileOps.h"
#include "platform/StickPath.h"
#include "stick/ModelProfiles.h"
#include "stick/StickPreparation.h"
#include "writer/CustomizationRecord.h"
#include "writer/StickRoom.h"

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

const char* const kNothingSaved = "Nothing was saved.";

struct NamedFile {
    std::string file;
    std::string customName;
    std::string path;
};

std::string Quoted(const std::string& file) {
    return "'" + file + "'";
}

bool IsReadableFile(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec) && FileSource::Open(path) != nullptr;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

bool IsEmptyFile(const std::string& path) {
    std::error_code ec;
    return fs::file_size(path, ec) == 0 && !ec;
}

bool IsControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 32 || byte == 127;
}

// The name as a message box can show it: a line break inside it would split the line.
std::string Printable(std::string name) {
    std::replace_if(name.begin(), name.end(), IsControl, '?');
    return name;
}

} // namespace

std::optional<std::string> CheckReplacements(const CustomizationState& state, const std::string& soundsFolder) {
    std::vector<std::string> problems;
    std::vector<std::string> judged;
    std::vector<NamedFile> named;
    for (const std::optional<std::string>& slot : *state.Assignments) {
        if (!slot || std::find(judged.begin(), judged.end(), *slot) != judged.end()) {
            continue;
        }
        const std::string& file = *slot;
        judged.push_back(file);
        std::string customName;
        bool isMidi = false;
        if (file.find_first_of("/\\") != std::string::npos) {
            problems.push_back("- " + Quoted(file) +
                               ": the robot cannot take a name with \"/\" or \"\\\". Rename the file in the SOUNDS "
                               "folder and start Tonewright again, or add it again with Add Sounds.");
            continue;
        }
        if (std::any_of(file.begin(), file.end(), IsControl)) {
            problems.push_back("- " + Quoted(Printable(file)) +
                               ": the name has a control character in it (such as a line break), which the record "
                               "of your choices cannot keep. Rename the file in the SOUNDS folder and start "
                               "Tonewright again.");
            continue;
        }
        if (!MakeCustomSoundName(file, customName, isMidi)) {
            problems.push_back(file.size() > MaxReplacementFileName
                                   ? "- " + Quoted(file) + ": the name has " + std::to_string(file.size()) +
                                         " characters, and the robot takes at most " +
                                         std::to_string(MaxReplacementFileName) +
                                         ". Shorten it in the SOUNDS folder and start Tonewright again, or add "
                                         "it again with Add Sounds, which gives it a name the robot takes."
                                   : "- " + Quoted(file) +
                                         ": the name has no extension. Rename the file in the SOUNDS folder and "
                                         "start Tonewright again.");
            continue;
        }
        const std::string path = ResolveStickPath(soundsFolder + "/" + file);
        if (!IsReadableFile(path)) {
            problems.push_back("- " + Quoted(file) +
                               " is missing from the SOUNDS folder or cannot be read. Put it back, or choose "
                               "another sound.");
            continue;
        }
        if (IsEmptyFile(path)) {
            problems.push_back("- " + Quoted(file) +
                               " is empty. Choose another sound, or add the recording again with Add Sounds.");
            continue;
        }
        // Two spellings of one file are one sound; two files under one name would both be played
        // as whichever of them the archive holds.
        const auto clash = std::find_if(named.begin(), named.end(), [&](const NamedFile& other) {
            return EqualsNoCase(other.customName, customName) && other.path != path;
        });
        if (clash != named.end()) {
            problems.push_back("- " + Quoted(clash->file) + " and " + Quoted(file) + " would both reach the robot as " +
                               customName +
                               ". Rename one of the two files in the SOUNDS folder and start Tonewright again, "
                               "or choose only one of them.");
            continue;
        }
        named.push_back({file, customName, path});
    }
    if (problems.empty()) {
        return std::nullopt;
    }
    std::string message = "These sounds would not reach the robot as you chose them:";
    for (const std::string& problem : problems) {
        message += "\n" + problem;
    }
    return message + "\n" + kNothingSaved;
}

std::optional<std::string> CheckWritable(const CustomizationState& state) {
    const ModelProfile& profile = *state.ActiveProfile;
    const std::string archive = ResolveStickPath(std::string(profile.dataFolder) + "\\AUDIO.ODA");
    const std::string mwc = ResolveStickPath(profile.mwcPath);
    const std::string record = ResolveStickPath(MakeRecordPath(profile.mwcPath));
    for (const std::string& target : {archive, mwc, record}) {
        for (const std::string& path : {target, FolderOf(target)}) {
            std::optional<VolumeInfo> volume = QueryVolume(path);
            if (volume && volume->readOnly) {
                return std::string("The stick is write-protected: it is mounted read-only, so nothing can be "
                                   "saved on it.\n"
                                   "If the memory stick or its card reader has a lock switch, slide it to unlock. "
                                   "Then take the stick out and put it back in (or mount it again with write "
                                   "access) and save again.\n") +
                       kNothingSaved;
            }
        }
    }
    return std::nullopt;
}

std::optional<std::string> CheckStickRoom(const StickRoom& room) {
    if (room.Fits()) {
        return std::nullopt;
    }
    return "The stick has " + FormatSize(room.freeBytes, false) + " free; this save needs " +
           FormatSize(room.needBytes, true) +
           ".\nMake room on the stick, or choose fewer or shorter sounds, then save again.\n" + kNothingSaved;
}
