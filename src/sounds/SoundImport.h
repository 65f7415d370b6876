#pragma once
// Bringing an owner's recording into the SOUNDS folder in the form the robot plays: decoded,
// mixed to mono, resampled to 8000 Hz, trimmed, brought to the common loudness and written as
// 16-bit PCM WAV under a name of its own; a MIDI file is copied as it is. Results are returned,
// never shown: the window decides what the owner is told.
#include "sounds/SignalSteps.h"

#include <string>
#include <vector>

// The name an import gets in SOUNDS: the source's base name without its extension, in lower-case
// ASCII letters, digits and "_" (a letter with accents keeps its base letter, any other character
// becomes "_", runs of "_" become one and none is left at either end; nothing left makes "sound"),
// then "_2", "_3", ... until no file among namesInSounds has the same custom sound name, shortened
// so that the whole name with ".wav" or ".mid" fits MaxReplacementFileName.
std::string ImportedFileName(const std::string& sourceFileName, bool isMidi,
                             const std::vector<std::string>& namesInSounds);

enum class ImportStatus { Imported, Failed, Cancelled };

struct ImportResult {
    ImportStatus status = ImportStatus::Failed;
    std::string fileName; // in soundsFolder, when imported
    std::string reason;   // why not, when failed: a plain sentence for the owner
};

// Imports one file into soundsFolder without ever replacing a file there. The progress (may be
// empty) is called often enough for a window to keep repainting; when it returns false the
// import stops. Whatever the outcome but Imported, soundsFolder is left as it was.
ImportResult ImportSound(const std::string& sourcePath, const std::string& soundsFolder,
                         const ImportProgress& progress);
