#include "platform/ByteStream.h"

#include <cstring>
#include <unistd.h>

size_t MemorySource::Read(void* buffer, size_t n) {
    size_t available = m_pos < m_size ? m_size - m_pos : 0;
    size_t count = n < available ? n : available;
    if (count > 0) {
        std::memcpy(buffer, m_data + m_pos, count);
    }
    m_pos += count;
    return count;
}

bool MemorySource::Seek(int64_t position) {
    if (position < 0) {
        return false;
    }
    m_pos = static_cast<size_t>(position);
    return true;
}

size_t MemorySink::Write(const void* data, size_t n) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    m_bytes.insert(m_bytes.end(), bytes, bytes + n);
    return n;
}

namespace {

// Format code reads and writes in pieces of a few bytes; a larger buffer and stdio's unlocked
// calls keep each piece a memory copy (a stream is only ever used by one thread).
constexpr size_t kStreamBuffer = 64 * 1024;

} // namespace

std::unique_ptr<FileSource> FileSource::Open(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        return nullptr;
    }
    std::setvbuf(f, nullptr, _IOFBF, kStreamBuffer);
    return std::unique_ptr<FileSource>(new FileSource(f));
}

FileSource::~FileSource() {
    std::fclose(m_file);
}

size_t FileSource::Read(void* buffer, size_t n) {
    return fread_unlocked(buffer, 1, n, m_file);
}

bool FileSource::Seek(int64_t position) {
    return position >= 0 && fseeko(m_file, static_cast<off_t>(position), SEEK_SET) == 0;
}

int64_t FileSource::Size() {
    off_t here = ftello(m_file);
    if (here < 0 || fseeko(m_file, 0, SEEK_END) != 0) {
        return -1;
    }
    off_t end = ftello(m_file);
    fseeko(m_file, here, SEEK_SET);
    return static_cast<int64_t>(end);
}

std::unique_ptr<FileSink> FileSink::Create(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        return nullptr;
    }
    std::setvbuf(f, nullptr, _IOFBF, kStreamBuffer);
    return std::unique_ptr<FileSink>(new FileSink(f));
}

FileSink::~FileSink() {
    if (m_file != nullptr) {
        std::fclose(m_file);
    }
}

size_t FileSink::Write(const void* data, size_t n) {
    return fwrite_unlocked(data, 1, n, m_file);
}

bool FileSink::Close() {
    if (m_file == nullptr) {
        return false;
    }
    bool ok = std::fflush(m_file) == 0 && std::ferror(m_file) == 0;
    ok = fsync(fileno(m_file)) == 0 && ok;
    ok = std::fclose(m_file) == 0 && ok;
    m_file = nullptr;
    return ok;
}
