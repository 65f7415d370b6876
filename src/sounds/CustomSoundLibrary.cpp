#include "sounds/CustomSoundLibrary.h"

#include "app/InstallationPaths.h"
#include "platform/ByteStream.h"
#include "platform/ComboBox.h"
#include "platform/Endian.h"
#include "platform/FileOps.h"
#include "platform/Prompt.h"
#include "sounds/SoundImport.h"

#include <cstdint>
#include <cstring>
#include <filesystem>

namespace {

constexpr uint16_t PcmFormatTag = 1;
constexpr uint16_t MonoChannelCount = 1;
constexpr uint32_t RobotSampleRate = 8000;

bool HasTag(const uint8_t* header, size_t offset, const char (&tag)[5]) {
    return std::memcmp(header + offset, tag, 4) == 0;
}

} // namespace

bool IsAcceptedWaveHeader(ByteSource& source) {
    uint8_t header[WaveHeaderSize];
    if (!ReadItem(source, header, sizeof header)) {
        return false;
    }
    // The sizes at offsets 4 and 16 are not trusted: tools write them wrongly often enough, and
    // the robot only cares about the format fields. The format chunk must come first, though,
    // because these offsets are where the robot looks for it.
    return HasTag(header, 0, "RIFF") && HasTag(header, 8, "WAVE") && HasTag(header, 12, "fmt ") &&
           ReadLE16(header + 20) == PcmFormatTag && ReadLE16(header + 22) == MonoChannelCount &&
           ReadLE32(header + 24) == RobotSampleRate;
}

bool IsAcceptedWave(const std::string& fileName) {
    std::unique_ptr<FileSource> file = FileSource::Open(SoundsFolder + "/" + fileName);
    return file != nullptr && IsAcceptedWaveHeader(*file);
}

void FillReplacementList(CComboBox& list) {
    list.ResetContent();
    for (const FoundFile& found : FindFiles(SoundsFolder, "WAV")) {
        if (!found.isFile) {
            continue;
        }
        if (IsAcceptedWave(found.name)) {
            list.AddString(found.name);
        } else {
            ShowMessage("WAVE file '" + found.name + "' in bad format");
        }
    }
    // MIDI files are passed through to the robot as they are; there is nothing to check.
    for (const FoundFile& found : FindFiles(SoundsFolder, "MID")) {
        if (found.isFile) {
            list.AddString(found.name);
        }
    }
    // Inserted by position after the sorted fill, so it stays first whatever its sort rank.
    list.InsertString(0, "(default)");
    list.SetCurSel(-1);
    list.EnableWindow(false);
}

std::vector<std::string> ImportIntoLibrary(const std::vector<std::string>& sourcePaths, CComboBox& list) {
    std::vector<std::string> added;
    if (sourcePaths.empty()) {
        return added;
    }
    // A program folder without SOUNDS is fine until the first sound is brought in.
    std::error_code ec;
    std::filesystem::create_directories(SoundsFolder, ec);
    ProgressPrompt progress("Adding sounds...");
    const double count = static_cast<double>(sourcePaths.size());
    for (size_t i = 0; i < sourcePaths.size(); ++i) {
        const std::string name = std::filesystem::path(sourcePaths[i]).filename().string();
        progress.SetText("Adding '" + name + "' (" + std::to_string(i + 1) + " of " +
                         std::to_string(sourcePaths.size()) + ")...");
        const ImportResult result = ImportSound(sourcePaths[i], SoundsFolder, [&](double fraction) {
            return progress.Update((static_cast<double>(i) + fraction) / count);
        });
        if (result.status == ImportStatus::Cancelled) {
            break;
        }
        if (result.status == ImportStatus::Failed) {
            ShowMessage("Could not add '" + name + "':\n" + result.reason);
            continue;
        }
        list.AddString(result.fileName);
        added.push_back(result.fileName);
    }
    return added;
}
