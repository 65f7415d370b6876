#include "stick/StickPreparation.h"

#include "app/CustomizationState.h"
#include "platform/ByteStream.h"
#include "platform/FileOps.h"
#include "platform/Prompt.h"
#include "platform/SafeFile.h"
#include "platform/StickPath.h"
#include "stick/ModelProfiles.h"
#include "stick/StickDiscovery.h"

#include <filesystem>

namespace {

// Makes the one-time copy of the configuration. Every save rebuilds the configuration from
// this copy, and a copy that is present is never made again, so a half-written one would spoil
// every later save: it is written under another name and only a whole copy takes the name.
bool BackUpConfiguration(const std::string& mwcPath, const std::string& backupPath) {
    return CopyFileSafely(mwcPath, backupPath, true);
}

} // namespace

bool FileExists(const std::string& path) {
    // Only a plain file counts. Folders open for reading on this system but not where the stick
    // format comes from, and opening a pipe named like a stick file would wait for a writer that
    // never comes, holding up the start.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        return false;
    }
    return FileSource::Open(path) != nullptr;
}

std::string MakeBackupPath(const std::string& mwcPath) {
    std::string path = mwcPath;
    path.replace(path.size() >= 4 ? path.size() - 4 : 0, 4, ".ORG");
    return path;
}

bool PrepareStick(CustomizationState& state) {
    const ModelProfile* profile = state.ActiveProfile;
    if (profile == nullptr) {
        return false;
    }
    const std::string dataFolder = profile->dataFolder;
    const std::string audioArchive = ResolveStickPath(dataFolder + "\\AUDIO.ODA");
    const std::string motionArchive = ResolveStickPath(dataFolder + "\\MOTION.ODA");
    const std::string ledArchive = ResolveStickPath(dataFolder + "\\LED.ODA");

    // Only another tool writes motion or LED archives; our own earlier saves leave AUDIO.ODA
    // alone, and that is no reason to ask.
    if (FileExists(motionArchive) || FileExists(ledArchive)) {
        if (!AskYesNo("This stick contains existing customization\n"
                      "(probably from the AIBO Fun Pack)\n"
                      "Do you want to delete the old customizations ?")) {
            return false;
        }
        RemoveFile(audioArchive);
        RemoveFile(motionArchive);
        RemoveFile(ledArchive);
    }

    const std::string backupPath = ResolveStickPath(MakeBackupPath(profile->mwcPath));
    if (!FileExists(backupPath) && !BackUpConfiguration(ResolveStickPath(profile->mwcPath), backupPath)) {
        ShowMessage("Failed to backup original .MWC file\nStick may be write protected");
        return false;
    }

    state.Assignments = AssignmentTable(static_cast<size_t>(profile->catalogCount));
    return true;
}

bool OpenStick(CustomizationState& state) {
    SoftwareCode code{};
    if (!LocateStick(code)) {
        return false;
    }
    // Read even when the code's rows need no model, so every stick is examined alike. A model
    // file that cannot be read (scrambled with a key other than ours) leaves the owner's word.
    int model = ReadRobotModel();
    if (model == 0) {
        model = state.AssumedModel;
    }
    if (!SelectProfile(state, code, model)) {
        return false;
    }
    return PrepareStick(state);
}
