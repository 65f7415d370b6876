#pragma once
// File and process operations the program needs from the host, kept to what is called.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Full path of the running executable.
std::string ExecutablePath();

// Makes `folder` the process's current directory.
bool ChangeDirectory(const std::string& folder);
std::string CurrentDirectory();

// Copies a file. With failIfExists an existing target is never touched. The copy is flushed to
// its device before success is reported.
bool CopyFile(const std::string& from, const std::string& to, bool failIfExists);

// Lifts a read-only mark so the file can be replaced.
void ClearReadOnly(const std::string& path);

// Deletes a file; false when there was none or it could not be deleted.
bool RemoveFile(const std::string& path);

struct FoundFile {
    std::string name;
    // False for folders, pipes, sockets and devices: nothing that may be read as a sound file.
    // Opening a pipe would wait for a writer that never comes.
    bool isFile = true;
};

// The entries of `folder` whose name ends in "." + extension, letter case ignored in the
// extension, in the order the file system lists them.
std::vector<FoundFile> FindFiles(const std::string& folder, const std::string& extension);

// What the file system holding `path` can take.
struct VolumeInfo {
    uint64_t freeBytes = 0; // what an unprivileged writer may still use
    uint64_t blockSize = 1; // the unit space is handed out in (a FAT cluster): the larger of the
                            // file system's fragment size and the block size it gives for `path`
    bool readOnly = false;  // mounted read-only, as a write-protected card is
};
// Nothing when the path cannot be examined.
std::optional<VolumeInfo> QueryVolume(const std::string& path);
