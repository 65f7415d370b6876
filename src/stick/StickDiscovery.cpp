#include "stick/StickDiscovery.h"

#include "platform/ByteStream.h"
#include "platform/Endian.h"
#include "platform/FileOps.h"
#include "platform/Prompt.h"
#include "platform/StickPath.h"
#include "platform/Volumes.h"
#include "stick/StickPreparation.h"

#include <chrono>
#include <cstring>

namespace {

constexpr size_t kVersionBlockSize = 16;
constexpr size_t kFirstBlockOffset = 16;
// How long the dialog waits, in all, for the mounted volumes to say whether they hold a stick. A
// card reader answers in milliseconds; what has not answered by then is a mount that hangs.
constexpr std::chrono::milliseconds kMountAnswerTime{1000};

// The folder of a chosen file, as the directory to change to. A bare name lies in the current
// folder.
std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return path.substr(0, slash + 1);
}

bool HoldsMemstickInd(const std::string& folder) {
    return FileExists(ResolveStickPath(folder + "/memstick.ind"));
}

} // namespace

std::vector<std::string> MountedSticks() {
    std::vector<std::string> folders;
    for (const std::string& root : MountedVolumeRoots()) {
        folders.push_back(root.size() > 1 && root.back() == '/' ? root.substr(0, root.size() - 1) : root);
    }
    return VolumesWhere(folders, HoldsMemstickInd, kMountAnswerTime);
}

bool BrowseForMemstickInd(std::string& path) {
    path.clear();
    OpenFileRequest request;
    request.title = "Open MEMSTICK.IND file at root of OpenR directory";
    request.initialFileName = "memstick.ind";
    request.defaultExtension = "ind";
    request.filter = "Memory Stick Files (*.ind)";
    // Started on a stick, the dialog stays there and no mount is looked at; started anywhere
    // else, it goes where the desktop mounted one.
    if (!HoldsMemstickInd(".")) {
        request.sidebarFolders = MountedSticks();
        if (!request.sidebarFolders.empty()) {
            request.startFolder = request.sidebarFolders.front();
        }
    }
    std::optional<std::string> chosen = BrowseForOpenFile(request);
    if (!chosen) {
        return false;
    }
    path = *chosen;
    return true;
}

bool LocateStick(SoftwareCode& code) {
    std::string path;
    for (;;) {
        if (!BrowseForMemstickInd(path)) {
            return false;
        }
        // A folder we cannot enter must not let the folder we are still in pass for the chosen
        // stick: ask again, as for any folder that is not a stick root.
        if (!ChangeDirectory(FolderOf(path))) {
            continue;
        }
        if (ReadVersionFile(code)) {
            return true;
        }
    }
}

bool ReadVersionFile(SoftwareCode& code) {
    if (!FileExists(ResolveStickPath("memstick.ind"))) {
        return false;
    }
    std::unique_ptr<FileSource> version = FileSource::Open(ResolveStickPath("OPEN-R\\APP\\VERSION"));
    if (!version) {
        return false;
    }
    return ParseVersionFile(*version, code);
}

bool ParseVersionFile(ByteSource& source, SoftwareCode& code) {
    uint8_t block[kVersionBlockSize];
    if (!source.Seek(0) || !ReadItem(source, block, sizeof block)) {
        return false;
    }
    if (std::memcmp(block, "VERS", 4) != 0 || ReadLE32(block + 4) != 1 || std::memcmp(block + 8, "COME", 4) != 0) {
        return false;
    }
    // N is a length: read unsigned and added in 64 bits, it can neither wrap nor point before
    // the start, so a bad N always lands past the end and fails the read below.
    const int64_t secondBlock = static_cast<int64_t>(kFirstBlockOffset) + ReadLE32(block + 12);
    if (!source.Seek(secondBlock) || !ReadItem(source, block, sizeof block)) {
        return false;
    }
    if (std::memcmp(block, "VERS", 4) != 0 || ReadLE32(block + 4) != 8) {
        return false;
    }
    std::memcpy(code.data(), block + 8, code.size());
    return true;
}
