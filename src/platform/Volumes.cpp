#include "platform/Volumes.h"

#include <QStorageInfo>

namespace {

std::optional<std::vector<std::string>>& TestRoots() {
    static std::optional<std::vector<std::string>> roots;
    return roots;
}

// Looking into a network share can wait on the network; a memory stick is never one.
bool IsNetworkShare(const QByteArray& type) {
    return type.startsWith("nfs") || type.startsWith("cifs") || type.startsWith("smb") || type == "fuse.sshfs";
}

} // namespace

std::vector<std::string> MountedVolumeRoots() {
    if (TestRoots()) {
        return *TestRoots();
    }
    std::vector<std::string> roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && volume.isReady() && !IsNetworkShare(volume.fileSystemType())) {
            roots.push_back(volume.rootPath().toLocal8Bit().toStdString());
        }
    }
    return roots;
}

void SetMountedVolumeRootsForTest(std::optional<std::vector<std::string>> roots) {
    TestRoots() = std::move(roots);
}
