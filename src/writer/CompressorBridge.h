#pragma once
// Runs Crushkit, the gzip-compatible tool beside the program, on one file and waits for it.
// What the tool did is judged by what it leaves on disk; a tool that cannot start or ends with
// an error status is reported here.
#include <string>

// "-d" turns X.gz into X; "-6" turns X into X.gz.
void RunCompressor(const std::string& filePath, const std::string& option);

// The tool's path: ProgramFolder + "/Crushkit".
std::string CompressorPath();
