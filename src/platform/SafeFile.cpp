#include "platform/SafeFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool WriteAll(int fd, const void* data, size_t n) {
    const auto* p = static_cast<const uint8_t*>(data);
    while (n > 0) {
        ssize_t w = write(fd, p, n);
        if (w < 0 && errno == EINTR) {
            continue;
        }
        if (w <= 0) {
            return false;
        }
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

// The rename itself must reach the device too, or a power cut can bring back the old name.
void SyncFolder(const std::string& folder) {
    int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
}

// The unfinished copy of a replacement is named "." + the file's name + ".tw-" + six characters
// of mkstemp's alphabet. The "tw-" marks it as ours: a user's own hidden file beside a stick file
// (".AUDIO.ODA.mine01", ".AUDIO.ODA.tw-my.bak", ".audio.oda.TW-mine01") must never look like one.
constexpr const char* kCopyMark = "tw-";
constexpr size_t kUniqueLength = 6;

bool IsCopyName(const std::string& found, const std::string& prefix) {
    if (found.size() != prefix.size() + kUniqueLength || found.compare(0, prefix.size(), prefix) != 0) {
        return false;
    }
    return std::all_of(found.begin() + static_cast<std::ptrdiff_t>(prefix.size()), found.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    });
}

// A replacement cut short by a pulled stick or a killed process leaves its unfinished copy beside
// the file it was replacing. Nothing reads such a copy; it is cleared before the next one is made,
// so they cannot pile up on a stick that has little room to spare.
void RemoveLeftoverCopies(const std::string& targetPath) {
    namespace fs = std::filesystem;
    const fs::path target(targetPath);
    const std::string prefix = "." + target.filename().string() + "." + kCopyMark;
    std::error_code ec;
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    // Stepped with an error code: a folder that cannot be read must not stop the replacement.
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code ignored;
        if (IsCopyName(it->path().filename().string(), prefix) && it->is_regular_file(ignored)) {
            fs::remove(it->path(), ignored);
        }
    }
}

} // namespace

// Unbuffered on purpose: every byte handed over is on its way to the device, and a failed write
// (a full stick) is seen at the call that caused it.
class SafeFile::TempSink : public ByteSink {
public:
    explicit TempSink(int fd) : m_fd(fd) {}
    size_t Write(const void* data, size_t n) override {
        if (m_failed || !WriteAll(m_fd, data, n)) {
            m_failed = true;
            return 0;
        }
        return n;
    }
    bool Close() override { return !m_failed; }
    bool Failed() const { return m_failed; }

private:
    int m_fd;
    bool m_failed = false;
};

SafeFile::SafeFile(std::string targetPath) : m_target(std::move(targetPath)) {}

SafeFile::~SafeFile() {
    Discard();
}

bool SafeFile::Open() {
    Discard();
    RemoveLeftoverCopies(m_target);
    std::string pattern =
        FolderOf(m_target) + "/." + NameOf(m_target) + "." + kCopyMark + std::string(kUniqueLength, 'X');
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    m_fd = mkostemp(name.data(), O_CLOEXEC);
    if (m_fd < 0) {
        return false;
    }
    m_tempPath = name.data();
    // The new file takes the old one's permissions, or the usual ones for a new file.
    struct stat st {};
    mode_t mode = 0644;
    if (stat(m_target.c_str(), &st) == 0) {
        mode = (st.st_mode & 07777) | S_IWUSR;
    }
    fchmod(m_fd, mode);
    m_sink = std::make_unique<TempSink>(m_fd);
    return true;
}

ByteSink& SafeFile::Sink() {
    return *m_sink;
}

namespace {

// Renames without replacing an existing target. File systems that cannot say so atomically get
// a look first; the window that leaves is only the program racing itself.
bool RenameNoReplace(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    struct stat st {};
    if (lstat(to.c_str(), &st) == 0) {
        return false;
    }
    return std::rename(from.c_str(), to.c_str()) == 0;
}

} // namespace

bool SafeFile::Commit(bool keepExisting) {
    if (m_fd < 0) {
        return false;
    }
    bool ok = !static_cast<TempSink&>(*m_sink).Failed();
    ok = ok && fsync(m_fd) == 0;
    ok = close(m_fd) == 0 && ok;
    m_fd = -1;
    bool renamed = ok && (keepExisting ? RenameNoReplace(m_tempPath, m_target)
                                       : std::rename(m_tempPath.c_str(), m_target.c_str()) == 0);
    if (renamed) {
        SyncFolder(FolderOf(m_target));
        m_tempPath.clear();
        m_sink.reset();
        return true;
    }
    Discard();
    return false;
}

void SafeFile::Discard() {
    if (m_fd >= 0) {
        close(m_fd);
        m_fd = -1;
    }
    if (!m_tempPath.empty()) {
        unlink(m_tempPath.c_str());
        m_tempPath.clear();
    }
    m_sink.reset();
}

bool CopyFileSafely(const std::string& source, const std::string& target, bool failIfExists) {
    int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        return false;
    }
    SafeFile out(target);
    bool ok = out.Open();
    char buffer[65536];
    while (ok) {
        const ssize_t n = read(in, buffer, sizeof buffer);
        // The end of the file first: errno tells of a failed read only, and may hold EINTR from
        // any earlier call.
        if (n == 0) {
            break;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        ok = n > 0 && out.Sink().Write(buffer, static_cast<size_t>(n)) == static_cast<size_t>(n);
    }
    close(in);
    return ok && out.Commit(failIfExists);
}
