#pragma once
// File and process operations the program needs from the host, kept to what is called.
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
    bool isDirectory = false;
};

// The entries of `folder` whose name ends in "." + extension, letter case ignored in the
// extension, in the order the file system lists them. Directories are reported as such.
std::vector<FoundFile> FindFiles(const std::string& folder, const std::string& extension);
