#pragma once
// The three folders the program works with, derived once at start-up from where its own
// executable lies, and the one test made on them.
#include <string>

extern std::string ProgramFolder; // the executable's folder, no trailing separator
extern std::string SoundsFolder;  // ProgramFolder + "/SOUNDS": the user's replacement sounds
extern std::string WorkFolder;    // same text as ProgramFolder: temporary files live here

// The four-line message shown when the installation path contains a space.
extern const char* const InstallationRefusalMessage;

void BuildInstallationPaths();
// The same, from a given executable path, so tests can place the program anywhere.
void BuildInstallationPathsFrom(const std::string& executablePath);

// A space in a folder would split the unquoted paths handed to the player and the compressor.
bool InstallationPathHasSpace();

// Removes one trailing separator, if there is one.
void StripTrailingBackslash(std::string& path);
