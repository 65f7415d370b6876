#include "app/InstallationPaths.h"

#include "platform/FileOps.h"

std::string ProgramFolder;
std::string SoundsFolder;
std::string WorkFolder;

const char* const InstallationRefusalMessage = "Can not run Tonewright from that directory\n"
                                               "Installation directory name contains spaces\n"
                                               "Please reinstall in a simpler folder\n"
                                               "(suggestion C:\\AIBO\\Tonewright)";

namespace {

// The executable's folder with its trailing separator, as a path splitter yields it.
std::string FolderOf(const std::string& executablePath) {
    size_t slash = executablePath.rfind('/');
    return slash == std::string::npos ? std::string() : executablePath.substr(0, slash + 1);
}

} // namespace

void StripTrailingBackslash(std::string& path) {
    if (!path.empty() && path.back() == '/') {
        path.pop_back();
    }
}

void BuildInstallationPathsFrom(const std::string& executablePath) {
    const std::string folder = FolderOf(executablePath);

    ProgramFolder = folder;
    StripTrailingBackslash(ProgramFolder);

    SoundsFolder = folder + "SOUNDS";
    StripTrailingBackslash(SoundsFolder);

    WorkFolder = folder;
    StripTrailingBackslash(WorkFolder);
}

void BuildInstallationPaths() {
    BuildInstallationPathsFrom(ExecutablePath());
}

bool InstallationPathHasSpace() {
    return ProgramFolder.find(' ') != std::string::npos || WorkFolder.find(' ') != std::string::npos;
}
