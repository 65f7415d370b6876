#pragma once
// What the save tests share: a program folder holding the real compressor, the files a save should
// leave on the stick worked out here from the file formats alone (never by the code under test),
// and ways to run a save in another process.
#include "ContainerBuilder.h"
#include "TempDir.h"
#include "app/CustomizationState.h"
#include "app/InstallationPaths.h"
#include "stick/ModelProfiles.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

// Every folder ("name/") and file under a root with its contents; `foldCase` lowers the names, so
// sticks that differ only in letter case compare equal.
using Snapshot = std::map<std::string, std::vector<uint8_t>>;
Snapshot TakeSnapshot(const std::string& root, bool foldCase = false);

// The archive: each distinct custom sound name ("u_" + the file name up to its first ".", lowered;
// none for a name over 32 characters) once, in catalog order, with the bytes of the file first
// assigned under it; nothing when no sound is assigned.
std::vector<uint8_t> ExpectedArchive(const AssignmentTable& slots, const std::string& soundsFolder);
// The container with every sound-name record that matches, in catalog order, an assigned key
// renamed to the assignment's custom sound name; `replaced` counts the renamed records.
MwcContainer ExpectedRewrite(MwcContainer container, const ModelProfile& profile, const AssignmentTable& slots,
                             int& replaced);
// The record as it lies on the stick: one "key=file" line per assignment, CR LF ended.
std::string ExpectedRecord(const ModelProfile& profile, const AssignmentTable& slots);
// The summary of a save that packed `sounds` custom sounds and renamed `entries` records.
std::string ExpectedSummary(int sounds, int entries, const ModelProfile& profile);
int DistinctSounds(const AssignmentTable& slots);

// A WAV as the robot plays it (8000 Hz mono PCM) of `sampleCount` samples; `seed` varies them.
std::vector<uint8_t> RobotWave(size_t sampleCount, uint8_t seed, uint16_t bitsPerSample = 8);

// The program folder of a test: the build's Crushkit beside a work folder, and a sounds folder.
// The installation globals point at them while it lives and are restored afterwards.
class SaveWorld {
public:
    explicit SaveWorld(const std::string& root);
    ~SaveWorld() {
        ProgramFolder = m_savedProgram;
        SoundsFolder = m_savedSounds;
        WorkFolder = m_savedWork;
    }
    SaveWorld(const SaveWorld&) = delete;
    SaveWorld& operator=(const SaveWorld&) = delete;

    // False when the build's Crushkit cannot be found (TW_PROGRAM_DIR unset or not built).
    bool HasCompressor() const { return m_hasCompressor; }
    const std::string& Program() const { return m_program; }
    const std::string& Sounds() const { return m_sounds; }
    std::string Compressor() const { return m_program + "/Crushkit"; }
    void AddSound(const std::string& name, const std::vector<uint8_t>& bytes) const {
        WriteFileBytes(m_sounds + "/" + name, bytes);
    }
    // Puts a shell script in the compressor's place.
    void ReplaceCompressor(const std::string& script) const;
    // The names in the work folder besides the compressor and the sounds.
    std::vector<std::string> WorkLeftovers() const;

private:
    std::string m_program, m_sounds;
    bool m_hasCompressor = false;
    std::string m_savedProgram, m_savedSounds, m_savedWork;
};

// Runs a program (argv[0] a full path) and waits for it; its standard output goes to `outputPath`
// and its standard error to `logPath`, or both to `logPath`. The exit status, 128 + the signal
// number when a signal ended it, 127 when it could not be started.
int RunProgram(const std::vector<std::string>& argv, const std::string& logPath = "/dev/null",
               const std::string& outputPath = "");
// The full path of a program found on PATH (or in /usr/sbin, /sbin), or nothing.
std::optional<std::string> FindProgram(const std::string& name);

// --- Saves in another process (SaveDriver, built beside the test programs) ---
//
// For a save that must run where a test cannot run itself: in a private mount namespace, where the
// stick can be read-only or full, or under a tracer. Root ignores file permissions, so mounts are
// the way to write-protect a stick.

struct DriverReport {
    int status = -1;                  // 0 saved, 1 kept open, 3 stick not opened, 90 mount refused
    std::string outcome;              // "Saved", "KeepOpen" or "NotOpened"; empty when it ended early
    std::vector<std::string> prompts; // every message shown, the open-file dialog's title first
};

std::optional<std::string> SaveDriverPath();
// Runs `wrapper` + "SaveDriver STICK PROGRAM SOUNDS REPORT ROW=FILE..." (ROW a catalog row); the
// driver's output goes to `logPath`.
DriverReport RunSaveDriver(const std::vector<std::string>& wrapper, const std::string& stickRoot,
                           const SaveWorld& world, const std::vector<std::string>& assignments,
                           const std::string& logPath);
// The argument vector that runs `script` (as "sh -c script sh ARGS...") as root of a private mount
// namespace; nothing when this process cannot make one. A script exits with 90 when its mount is
// refused.
std::optional<std::vector<std::string>> PrivateMount(const std::string& script);
// A PrivateMount wrapper whose first argument is bind-mounted read-only over itself before the
// rest of the arguments run as a command.
std::optional<std::vector<std::string>> ReadOnlyMount();
