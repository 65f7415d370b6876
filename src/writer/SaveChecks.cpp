#include "writer/SaveChecks.h"

#include "app/CustomizationState.h"
#include "catalog/KeyPatterns.h"
#include "platform/ByteStream.h"
#include "platform/FileOps.h"
#include "platform/StickPath.h"
#include "stick/ModelProfiles.h"
#include "stick/StickPreparation.h"
#include "writer/AudioOda.h"
#include "writer/CustomSoundRegistry.h"
#include "writer/CustomizationRecord.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
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

uint64_t SizeOf(const std::string& path) {
    std::error_code ec;
    const uintmax_t size = fs::file_size(path, ec);
    return ec ? 0 : static_cast<uint64_t>(size);
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

std::optional<std::string> CheckStickRoom(const CustomizationState& state, const CustomSoundRegistry& registry) {
    const ModelProfile& profile = *state.ActiveProfile;
    const std::string archive = ResolveStickPath(std::string(profile.dataFolder) + "\\AUDIO.ODA");
    const std::string mwc = ResolveStickPath(profile.mwcPath);
    const std::string record = ResolveStickPath(MakeRecordPath(profile.mwcPath));

    // A file or folder mounted read-only on its own counts as much as a locked card.
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

    std::optional<VolumeInfo> volume = QueryVolume(FolderOf(archive));
    if (!volume) {
        volume = QueryVolume(".");
    }
    if (!volume) {
        return std::nullopt; // the save itself will say what is wrong
    }
    const uint64_t block = std::max<uint64_t>(volume->blockSize, 1);
    const auto occupied = [block](uint64_t bytes) { return (bytes + block - 1) / block * block; };

    uint64_t archiveBytes = 0;
    if (registry.Count() > 0) {
        archiveBytes = OdaHeaderSize + OdaEntrySize * static_cast<uint64_t>(registry.Count());
        for (const CustomSoundEntry& entry : registry.Entries()) {
            archiveBytes += static_cast<uint64_t>(entry.size);
        }
    }
    // The configuration is the backup with some names changed, packed the same way; an eighth
    // and a few blocks more covers names longer than those they replace.
    const uint64_t backupBytes = SizeOf(ResolveStickPath(MakeBackupPath(profile.mwcPath)));
    const uint64_t configurationBytes = backupBytes + backupBytes / 8 + 4 * block;
    MemorySink recordText;
    WriteCustomizationRecord(state, recordText);

    // The replacements in the order the save makes them: each new file is complete before the
    // old one goes.
    const std::pair<uint64_t, std::string> steps[] = {
        {archiveBytes, archive}, {configurationBytes, mwc}, {recordText.Bytes().size(), record}};
    int64_t grown = 0;
    uint64_t need = 0;
    for (const auto& [newBytes, oldPath] : steps) {
        // A new name may take one more block for its entry in the folder.
        const int64_t added = newBytes == 0 ? 0 : static_cast<int64_t>(occupied(newBytes) + block);
        need = std::max<uint64_t>(need, static_cast<uint64_t>(std::max<int64_t>(grown + added, 0)));
        grown += added - static_cast<int64_t>(occupied(SizeOf(oldPath)));
    }
    if (need <= volume->freeBytes) {
        return std::nullopt;
    }
    return "The stick has " + FormatSize(volume->freeBytes, false) + " free; this save needs " +
           FormatSize(need, true) + ".\nMake room on the stick, or choose fewer or shorter sounds, then save again.\n" +
           kNothingSaved;
}

std::string FormatSize(uint64_t bytes, bool roundUp) {
    const auto scaled = [roundUp](double value) { return roundUp ? std::ceil(value) : std::floor(value); };
    char text[64];
    if (bytes >= 1000 * 1000) {
        std::snprintf(text, sizeof text, "%.1f MB", scaled(static_cast<double>(bytes) / 100000.0) / 10.0);
    } else {
        std::snprintf(text, sizeof text, "%.0f KB", scaled(static_cast<double>(bytes) / 1000.0));
    }
    return text;
}
