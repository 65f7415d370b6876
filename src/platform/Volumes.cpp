#include "platform/Volumes.h"

#include "platform/MountInfo.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <system_error>
#include <thread>
#include <unordered_map>

namespace {

std::optional<std::vector<std::string>>& TestRoots() {
    static std::optional<std::vector<std::string>> roots;
    return roots;
}

// File systems the search never touches, judged by the mount table alone. A memory stick is FAT
// (vfat, msdos, exfat; through FUSE fuseblk, fuse or fuse.fusefat), perhaps NTFS; a copy of one
// may sit on any local disk or in RAM (tmpfs, where the tests mount theirs). What is left out:
// - network file systems, and FUSE ones served over the network or by a desktop service: looking
//   into one waits on the server, for minutes once it is gone; autofs, because looking at it
//   mounts, perhaps from the network;
// - the kernel's own views (processes, devices, control groups, ...), which hold no stick files;
// - read-only images (CDs, packages), which are not sticks and may wait for a drive to spin up.
// Anything else is probed, off the window's thread and with a time limit, so a local mount that
// hangs costs a thread, not the program. A name ending in * stands for every name it begins.
bool IsLeftAlone(const std::string& type) {
    static const char kLeftAlone[] =
        "nfs* cifs smb* afs ceph gfs2 glusterfs 9p ncpfs coda lustre ocfs2 davfs beegfs gpfs orangefs fuse.sshfs "
        "fuse.rclone fuse.s3fs fuse.gcsfuse fuse.curlftpfs fuse.httpdirfs fuse.glusterfs fuse.ceph-fuse "
        "fuse.gvfsd-fuse fuse.portal autofs "
        "proc sysfs devtmpfs devpts mqueue cgroup* securityfs debugfs tracefs configfs fusectl pstore efivarfs bpf "
        "hugetlbfs binfmt_misc rpc_pipefs nsfs selinuxfs fuse.lxcfs "
        "iso9660 udf squashfs";
    std::istringstream names(kLeftAlone);
    for (std::string name; names >> name;) {
        const bool prefix = name.back() == '*';
        if (prefix ? type.compare(0, name.size() - 1, name, 0, name.size() - 1) == 0 : type == name) {
            return true;
        }
    }
    return false;
}

// What one call of VolumesWhere hears back; its probe threads share it, and may outlive the call.
struct Answers {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<bool> found;
    size_t waiting = 0;
};

// The roots whose probe has not come back, over all calls. Made once and never destroyed: a stuck
// probe may come back while the program exits, after static objects are gone.
struct InFlight {
    std::mutex mutex;
    std::set<std::string> roots;
};
InFlight& Probing() {
    static InFlight* const probing = new InFlight;
    return *probing;
}

void Answer(const std::shared_ptr<Answers>& answers, size_t index, const std::string& root, bool found) {
    {
        std::lock_guard<std::mutex> lock(Probing().mutex);
        Probing().roots.erase(root);
    }
    {
        std::lock_guard<std::mutex> lock(answers->mutex);
        answers->found[index] = found;
        --answers->waiting;
    }
    answers->changed.notify_all();
}

} // namespace

std::vector<std::string> VolumeRootsFromMountInfo(ByteSource& mountinfo) {
    const std::vector<MountEntry> entries = ParseMountInfo(mountinfo);
    std::unordered_map<std::string, size_t> last;
    for (size_t i = 0; i < entries.size(); ++i) {
        last[entries[i].mountPoint] = i;
    }
    std::vector<std::string> roots;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (last[entries[i].mountPoint] == i && !IsLeftAlone(entries[i].type)) {
            roots.push_back(entries[i].mountPoint);
        }
    }
    return roots;
}

std::vector<std::string> MountedVolumeRoots() {
    if (TestRoots()) {
        return *TestRoots();
    }
    std::unique_ptr<FileSource> mountinfo = FileSource::Open("/proc/self/mountinfo");
    return mountinfo ? VolumeRootsFromMountInfo(*mountinfo) : std::vector<std::string>{};
}

// Threads rather than a pool: a thread stuck in a mount cannot be stopped, and a pool's threads
// are joined when it is destroyed, so the exit would wait for the mount after all. Each probe runs
// on a detached thread that owns what it touches (its root, a share of the answers), so it may
// stay stuck, or come back after the call or the program has moved on, without harm. Nothing waits
// for it at exit either: the kernel ends it with the process, and drops the request a stopped FUSE
// daemon never took (one a daemon took and then hangs on is the daemon's to answer).
std::vector<std::string> VolumesWhere(const std::vector<std::string>& roots, VolumeProbe probe,
                                      std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    auto answers = std::make_shared<Answers>();
    answers->found.assign(roots.size(), false);
    for (size_t i = 0; i < roots.size(); ++i) {
        {
            // A root still stuck from an earlier call is not probed again: one thread per dead
            // mount, however often the dialog opens.
            std::lock_guard<std::mutex> lock(Probing().mutex);
            if (!Probing().roots.insert(roots[i]).second) {
                continue;
            }
        }
        {
            std::lock_guard<std::mutex> lock(answers->mutex);
            ++answers->waiting;
        }
        try {
            std::thread([answers, i, root = roots[i], probe] { Answer(answers, i, root, probe(root)); }).detach();
        } catch (const std::system_error&) {
            Answer(answers, i, roots[i], false); // no thread to be had: the root goes unprobed
        }
    }
    std::unique_lock<std::mutex> lock(answers->mutex);
    answers->changed.wait_until(lock, deadline, [&] { return answers->waiting == 0; });
    std::vector<std::string> found;
    for (size_t i = 0; i < roots.size(); ++i) {
        if (answers->found[i]) {
            found.push_back(roots[i]);
        }
    }
    return found;
}

void SetMountedVolumeRootsForTest(std::optional<std::vector<std::string>> roots) {
    TestRoots() = std::move(roots);
}
