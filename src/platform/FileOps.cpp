#include "platform/FileOps.h"

#include "platform/StickPath.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

std::string ExecutablePath() {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) {
        return {};
    }
    return std::string(buffer, static_cast<size_t>(n));
}

bool ChangeDirectory(const std::string& folder) {
    return chdir(folder.c_str()) == 0;
}

std::string CurrentDirectory() {
    char buffer[PATH_MAX];
    return getcwd(buffer, sizeof buffer) != nullptr ? std::string(buffer) : std::string();
}

bool CopyFile(const std::string& from, const std::string& to, bool failIfExists) {
    int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        return false;
    }
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (failIfExists ? O_EXCL : O_TRUNC);
    int out = open(to.c_str(), flags, 0644);
    if (out < 0) {
        close(in);
        return false;
    }
    bool ok = true;
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(in, buffer, sizeof buffer);
        // The end of the file first: errno tells of a failed read only, and may hold EINTR from
        // any earlier call.
        if (n == 0) {
            break;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            ok = false;
            break;
        }
        for (ssize_t done = 0; done < n;) {
            ssize_t w = write(out, buffer + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR) {
                continue;
            }
            if (w <= 0) {
                ok = false;
                break;
            }
            done += w;
        }
        if (!ok) {
            break;
        }
    }
    ok = fsync(out) == 0 && ok;
    ok = close(out) == 0 && ok;
    close(in);
    return ok;
}

void ClearReadOnly(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) {
        chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR);
    }
}

bool RemoveFile(const std::string& path) {
    return std::remove(path.c_str()) == 0;
}

std::vector<FoundFile> FindFiles(const std::string& folder, const std::string& extension) {
    std::vector<FoundFile> found;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return found;
    }
    const std::string suffix = "." + extension;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name.size() < suffix.size() || !EqualsNoCase(name.substr(name.size() - suffix.size()), suffix)) {
            continue;
        }
        // An entry that cannot be examined (a dangling link) still counts as a file: reading it
        // then fails, and that failure is reported like any unreadable file's.
        struct stat st {};
        const bool isFile = stat((folder + "/" + name).c_str(), &st) != 0 || S_ISREG(st.st_mode);
        found.push_back({name, isFile});
    }
    closedir(dir);
    return found;
}

std::optional<VolumeInfo> QueryVolume(const std::string& path) {
    struct statvfs vfs {};
    if (statvfs(path.c_str(), &vfs) != 0) {
        return std::nullopt;
    }
    VolumeInfo info;
    const uint64_t fragment = vfs.f_frsize != 0 ? vfs.f_frsize : vfs.f_bsize;
    info.freeBytes = static_cast<uint64_t>(vfs.f_bavail) * fragment;
    // FUSE reports its own fragment size for the whole file system; what a file really takes
    // there (a FAT cluster) shows only in the block size of the files and folders.
    struct stat st {};
    info.blockSize = std::max<uint64_t>(fragment, stat(path.c_str(), &st) == 0 ? st.st_blksize : 0);
    // A mount can be writable as a whole and still refuse this path (a read-only bind mount of
    // one folder or file); access() tells by EROFS.
    info.readOnly = (vfs.f_flag & ST_RDONLY) != 0 || (access(path.c_str(), W_OK) != 0 && errno == EROFS);
    return info;
}
