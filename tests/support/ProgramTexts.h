#pragma once
// Every message and question the program shows, with its buttons, written here once: the design's
// own texts as the design gives them, and the few of this program's own (its checks before a save,
// imports and cuts) as the guide quotes them. Tests expect these; a test that took them from the
// program's strings would compare the code with itself. (The summary of a save is worked out in
// SaveExpectations from its format lines.)
#include <string>

namespace Msg {

inline const std::string OK = "OK", YesNo = "Yes|No";

// Opening the stick.
inline const std::string OpenStickTitle = "Open MEMSTICK.IND file at root of OpenR directory";
inline const std::string OlderCustomization = "This stick contains existing customization\n"
                                              "(probably from the AIBO Fun Pack)\n"
                                              "Do you want to delete the old customizations ?"; // YesNo
inline const std::string BackupFailed = "Failed to backup original .MWC file\nStick may be write protected";
inline const std::string MultipleModels = "This stick supports multiple AIBO models\n"
                                          "Please run that memory stick in your AIBO first,\n"
                                          "then press the chest pause button";
inline const std::string WhichAibo = "Which AIBO is this memory stick for?",
                         WhichAiboButtons = "ERS-210|ERS-220|Cancel";
inline const std::string Unsupported = "That memory stick is not supported by Tonewright";

// The list, the record, the window.
inline std::string BadWave(const std::string& file) {
    return "WAVE file '" + file + "' in bad format";
}
inline const std::string BadRecord = "Bad format .UNS file";
inline std::string RecordWarning(const std::string& key, const std::string& value) {
    return "Warning: can't reuse old customization\n'" + key + "'='" + value + "'\nwill be ignored (using default)";
}
inline const std::string LostSound = "Internal error: lost sound string";
inline const std::string CancelQuestion = "Cancel and ignore changes?";           // YesNo
inline const std::string ResetQuestion = "Reset every sound to its stock sound?"; // YesNo
inline const std::string AboutCaption = "About Tonewright", AboutText = "Tonewright Version 2.0.02";

// Preview.
inline const std::string SelectFirst = "Please select an AIBO sound first";
inline const std::string PlayError = "Play error";
inline const std::string OpenError = "Error trying to play sound file";
inline const std::string PlaybackError = "Error trying to play sound file (2)";
inline const std::string NoStockLibrary = "Default sound is a .WAV file";
inline const std::string PlayingInProgress = "Playing already in progress";

// Saving.
inline const std::string NothingChanged = "Nothing changed, nothing saved";
inline const std::string ArchiveFailed = "ERROR: Failed to save custom sounds to AUDIO.ODA file";
inline const std::string NoBackup = "ERROR: Error finding .MWC file";
inline const std::string UnpackFailed = "ERROR: Error uncompressing .MWC file";
inline const std::string RewriteFailed = "ERROR: Failed to save updated entries to .MWC file";
inline const std::string PackFailed = "ERROR: Error compressing .MWC file";
inline const std::string CopyFailed = "ERROR: Error copying new .MWC file to stick";
inline const std::string RecordFailed = "ERROR: Error creating summary file";
inline std::string Spawn(const std::string& tool, const std::string& option, const std::string& file) {
    return "Error spawning '" + tool + " " + option + " " + file + "' ("; // then the error number and ")"
}

// What Save refuses before it writes anything: a heading, a line per file, and the closing line.
inline const std::string NotAsChosen = "These sounds would not reach the robot as you chose them:";
inline const std::string NothingSaved = "Nothing was saved.";
inline std::string SlashInName(const std::string& file) {
    return "- '" + file +
           "': the robot cannot take a name with \"/\" or \"\\\". Rename the file in the SOUNDS "
           "folder and start Tonewright again, or add it again with Add Sounds.";
}
inline std::string ControlInName(const std::string& shown) {
    return "- '" + shown +
           "': the name has a control character in it (such as a line break), which the record of "
           "your choices cannot keep. Rename the file in the SOUNDS folder and start Tonewright "
           "again.";
}
inline std::string NameTooLong(const std::string& file) {
    return "- '" + file + "': the name has " + std::to_string(file.size()) +
           " characters, and the robot takes at most 32. Shorten it in the SOUNDS folder and start Tonewright "
           "again, or add it again with Add Sounds, which gives it a name the robot takes.";
}
inline std::string NoExtension(const std::string& file) {
    return "- '" + file +
           "': the name has no extension. Rename the file in the SOUNDS folder and start Tonewright "
           "again.";
}
inline std::string MissingSound(const std::string& file) {
    return "- '" + file +
           "' is missing from the SOUNDS folder or cannot be read. Put it back, or choose another "
           "sound.";
}
inline std::string EmptySound(const std::string& file) {
    return "- '" + file + "' is empty. Choose another sound, or add the recording again with Add Sounds.";
}
inline std::string SameName(const std::string& first, const std::string& second, const std::string& customName) {
    return "- '" + first + "' and '" + second + "' would both reach the robot as " + customName +
           ". Rename one of the two files in the SOUNDS folder and start Tonewright again, or choose only one of "
           "them.";
}
inline const std::string WriteProtected =
    "The stick is write-protected: it is mounted read-only, so nothing can be saved on it.\n"
    "If the memory stick or its card reader has a lock switch, slide it to unlock. Then take the stick out and "
    "put it back in (or mount it again with write access) and save again.\n"
    "Nothing was saved.";
inline std::string StickFull(const std::string& free, const std::string& need) {
    return "The stick has " + free + " free; this save needs " + need +
           ".\nMake room on the stick, or choose fewer or shorter sounds, then save again.\nNothing was saved.";
}
// The line under the tree.
inline std::string RoomAfterSaving(const std::string& size) {
    return "Room on the stick after saving: " + size;
}
inline std::string RoomMissing(const std::string& size) {
    return "The chosen sounds need " + size + " more than the stick has";
}

// Imports and cuts.
inline std::string CouldNotAdd(const std::string& file, const std::string& reason) {
    return "Could not add '" + file + "':\n" + reason;
}
inline std::string CouldNotTrim(const std::string& file, const std::string& reason) {
    return "Could not trim '" + file + "':\n" + reason;
}
inline const std::string Silent = "The recording is silent.", TooShort = "The recording is too short.",
                         TooLong = "The recording is longer than 10 minutes.";

} // namespace Msg
