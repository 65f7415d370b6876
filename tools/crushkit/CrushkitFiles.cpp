#include "CrushkitFiles.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Reads a whole file descriptor; a short read means the end, and a read error is remembered so
// that it is not taken for the end of the data.
class DescriptorSource : public ByteSource {
public:
    explicit DescriptorSource(int fd) : m_fd(fd) {}
    size_t Read(void* buffer, size_t n) override {
        auto* bytes = static_cast<uint8_t*>(buffer);
        size_t done = 0;
        while (done < n) {
            ssize_t got = ::read(m_fd, bytes + done, n - done);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0) {
                m_error = errno;
                break;
            }
            if (got == 0) {
                break;
            }
            done += static_cast<size_t>(got);
        }
        return done;
    }
    bool Seek(int64_t position) override { return position >= 0 && ::lseek(m_fd, position, SEEK_SET) == position; }
    int64_t Size() override {
        struct stat st {};
        return ::fstat(m_fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
    }
    int Error() const { return m_error; }

private:
    int m_fd;
    int m_error = 0;
};

class DescriptorSink : public ByteSink {
public:
    explicit DescriptorSink(int fd) : m_fd(fd) {}
    size_t Write(const void* data, size_t n) override {
        const auto* bytes = static_cast<const uint8_t*>(data);
        size_t done = 0;
        while (done < n) {
            ssize_t put = ::write(m_fd, bytes + done, n - done);
            if (put < 0 && errno == EINTR) {
                continue;
            }
            if (put <= 0) {
                m_error = put < 0 ? errno : EIO;
                break;
            }
            done += static_cast<size_t>(put);
        }
        return done;
    }
    // The descriptor is owned by the caller; closing here only makes sure the data is on the device.
    bool Close() override {
        if (m_error == 0 && ::fsync(m_fd) != 0) {
            m_error = errno;
        }
        return m_error == 0;
    }
    int Error() const { return m_error; }

private:
    int m_fd;
    int m_error = 0;
};

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() { Close(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return m_fd; }
    bool Close() {
        if (m_fd < 0) {
            return true;
        }
        int rc = ::close(m_fd);
        m_fd = -1;
        return rc == 0;
    }

private:
    int m_fd;
};

std::string Describe(const std::string& path, int error) {
    return path + ": " + std::strerror(error);
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A rename is only durable once the folder that holds the new name has reached the device.
void SyncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

bool TransformFile(const std::string& inputPath, const std::string& outputPath, const StreamTransform& transform,
                   const std::string& refusal, std::string& error) {
    struct stat st {};
    if (::lstat(inputPath.c_str(), &st) != 0) {
        error = Describe(inputPath, errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = inputPath + ": not a regular file";
        return false;
    }
    Descriptor input(::open(inputPath.c_str(), O_RDONLY | O_CLOEXEC));
    if (input.Get() < 0) {
        error = Describe(inputPath, errno);
        return false;
    }

    std::string temporaryPath = outputPath + ".XXXXXX";
    Descriptor output(::mkostemp(temporaryPath.data(), O_CLOEXEC));
    if (output.Get() < 0) {
        error = Describe(outputPath, errno);
        return false;
    }

    DescriptorSource source(input.Get());
    DescriptorSink sink(output.Get());
    bool ok = transform(source, sink);
    if (source.Error() != 0) {
        error = Describe(inputPath, source.Error());
    } else if (sink.Error() != 0) {
        error = Describe(outputPath, sink.Error());
    } else if (!ok) {
        error = inputPath + ": " + refusal;
    }
    if (error.empty()) {
        ::fchmod(output.Get(), st.st_mode & 0777);
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        ::futimens(output.Get(), times);
        if (!sink.Close()) {
            error = Describe(outputPath, sink.Error());
        } else if (!output.Close()) {
            error = Describe(outputPath, errno);
        } else if (::rename(temporaryPath.c_str(), outputPath.c_str()) != 0) {
            error = Describe(outputPath, errno);
        }
    }
    if (!error.empty()) {
        output.Close();
        ::unlink(temporaryPath.c_str());
        return false;
    }
    SyncFolder(FolderOf(outputPath));

    input.Close();
    if (::unlink(inputPath.c_str()) != 0) {
        // The output is complete and in place; only the clean-up of the input failed.
        error = Describe(inputPath, errno);
        return false;
    }
    return true;
}
