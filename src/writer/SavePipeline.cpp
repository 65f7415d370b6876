#include "writer/SavePipeline.h"

#include "app/CustomizationState.h"
#include "app/InstallationPaths.h"
#include "platform/ByteStream.h"
#include "platform/FileOps.h"
#include "platform/Prompt.h"
#include "platform/SafeFile.h"
#include "platform/StickPath.h"
#include "stick/ModelProfiles.h"
#include "stick/StickPreparation.h"
#include "writer/AudioOda.h"
#include "writer/CompressorBridge.h"
#include "writer/CustomSoundRegistry.h"
#include "writer/CustomizationRecord.h"
#include "writer/MwcRewriter.h"
#include "writer/SaveChecks.h"
#include "writer/StickRoom.h"

#include <algorithm>
#include <cstdio>

namespace {

bool SaveRecord(const CustomizationState& state, const std::string& recordPath) {
    const std::string recordFile = ResolveStickPath(recordPath);
    SafeFile record(recordFile);
    // A record that could not be written in full is as good as none: the next run would
    // forget choices the user believes saved, so it is reported instead of the summary.
    return record.Open() && WriteCustomizationRecord(state, record.Sink()) && record.Commit();
}

// Makes the new configuration whole in the work folder, at PackedResultPath(): the backup
// unpacked, its sound names replaced by the choices and packed again. The configuration is always
// rebuilt from the backup, so saves never stack. False after telling the user why; nothing of it
// is then left in the work folder but what the failed step leaves by design.
bool BuildConfiguration(CustomizationState& state) {
    const ModelProfile& profile = *state.ActiveProfile;
    state.ModifiedEntryCount = 0;
    const std::string backup = ResolveStickPath(MakeBackupPath(profile.mwcPath));
    const std::string plain = PlainCopyPath();
    const std::string packed = PackedCopyPath();
    if (!CopyFile(backup, packed, false)) {
        // A copy that broke off half-way (a full work folder, a backup that cannot be read to its
        // end) must not stay behind in the work folder.
        RemoveFile(packed);
        ShowMessage("ERROR: Error finding .MWC file");
        return false;
    }
    // A file left by an interrupted run must not pass for the tool's output.
    RemoveFile(plain);
    RunCompressor(packed, "-d");
    if (!FileExists(plain)) {
        RemoveFile(plain);
        RemoveFile(packed);
        ShowMessage("ERROR: Error uncompressing .MWC file");
        return false;
    }

    const std::string rewritten = RewrittenPath();
    int rewrite = RewriteMwcEntries(plain, rewritten, SubstituteSoundName(state));
    RemoveFile(plain);
    if (rewrite == -1) {
        ShowMessage("ERROR: Failed to save updated entries to .MWC file");
        RemoveFile(rewritten);
        return false;
    }

    const std::string packedResult = PackedResultPath();
    RemoveFile(packedResult);
    RunCompressor(rewritten, "-6");
    if (!FileExists(packedResult)) {
        RemoveFile(rewritten);
        RemoveFile(packedResult);
        ShowMessage("ERROR: Error compressing .MWC file");
        return false;
    }
    return true;
}

uint64_t SizeOfFile(const std::string& path) {
    std::unique_ptr<FileSource> file = FileSource::Open(path);
    return file ? static_cast<uint64_t>(std::max<int64_t>(file->Size(), 0)) : 0;
}

} // namespace

std::string PlainCopyPath() {
    return WorkFolder + "/$TMP$.MWC";
}

std::string PackedCopyPath() {
    return PlainCopyPath() + ".gz";
}

std::string RewrittenPath() {
    return WorkFolder + "/$TMP$.ODA";
}

std::string PackedResultPath() {
    return RewrittenPath() + ".gz";
}

SaveOutcome SaveCustomization(CustomizationState& state) {
    if (!state.Modified) {
        ShowMessage("Nothing changed, nothing saved");
        return SaveOutcome::NothingChanged;
    }
    // Refused before anything is written: a choice that could not reach the robot as made, or a
    // stick that cannot take the new files.
    std::optional<std::string> problem = CheckReplacements(state, SoundsFolder);
    problem = problem ? problem : CheckWritable(state);
    if (problem) {
        ShowMessage(*problem);
        return SaveOutcome::KeepOpen;
    }
    CustomSoundRegistry registry(SoundsFolder);
    registry.RegisterCustomSounds(*state.Assignments);

    // The configuration is made before the stick is touched, so that the room the save needs is
    // known from the real sizes of everything it writes there.
    if (!BuildConfiguration(state)) {
        return SaveOutcome::KeepOpen;
    }
    const std::string packedResult = PackedResultPath();
    const std::optional<StickRoom> room =
        MeasureStickRoom(state, {ArchiveSize(registry), SizeOfFile(packedResult), RecordSize(state)});
    if (std::optional<std::string> full = room ? CheckStickRoom(*room) : std::nullopt) {
        RemoveFile(packedResult);
        ShowMessage(*full);
        return SaveOutcome::KeepOpen;
    }

    const ModelProfile& profile = *state.ActiveProfile;
    std::string summary = "Saved Custom Sounds\n";

    // The archive is written beside the old one and renamed over it only when complete.
    const std::string archivePath = std::string(profile.dataFolder) + "\\AUDIO.ODA";
    const int32_t sounds = WriteAudioOda(registry, archivePath);
    if (sounds == -1) {
        RemoveFile(packedResult);
        ShowMessage("ERROR: Failed to save custom sounds to AUDIO.ODA file");
        return SaveOutcome::KeepOpen;
    }
    char line[600];
    std::snprintf(line, sizeof line, "   %d custom sounds saved to AUDIO.ODA (uncompressed)\n", sounds);
    summary += line;

    const std::string mwc = ResolveStickPath(profile.mwcPath);
    ClearReadOnly(mwc);
    // Written beside the old file and renamed over it: the robot finds either the old
    // configuration or the new one, never a torn one.
    if (!ReplaceFileSafely(packedResult, mwc)) {
        ShowMessage("ERROR: Error copying new .MWC file to stick");
        return SaveOutcome::KeepOpen;
    }
    RemoveFile(packedResult);
    std::snprintf(line, sizeof line, "   %d modified entries saved to %s (compressed)\n", state.ModifiedEntryCount,
                  profile.mwcPath);
    summary += line;

    const std::string recordPath = MakeRecordPath(profile.mwcPath);
    if (!SaveRecord(state, recordPath)) {
        ShowMessage("ERROR: Error creating summary file");
        return SaveOutcome::KeepOpen;
    }
    summary += "   customization info saved in " + recordPath + "\n";
    summary += "\nTry it out in your AIBO";
    ShowMessage(summary);
    return SaveOutcome::Saved;
}
