#pragma once
// The narrow byte-stream interface that every format reader and writer goes through, so tests
// and fuzz targets can feed bytes from memory or a failing device instead of a file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Reads up to n bytes; fewer means end of data or an error.
    virtual size_t Read(void* buffer, size_t n) = 0;
    // Moves to an absolute position. A position past the end is allowed: the next read is short.
    virtual bool Seek(int64_t position) = 0;
    // Total size in bytes, or -1 when it cannot be told.
    virtual int64_t Size() = 0;
};

class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Writes up to n bytes and returns how many went out.
    virtual size_t Write(const void* data, size_t n) = 0;
    // Flushes and releases the device; false when buffered data failed to reach it.
    virtual bool Close() = 0;
};

// A fixed-size piece of a format is read or written as one item: all of it or failure. Like a
// one-item fread/fwrite, an item of zero bytes cannot be transferred and counts as a failure.
inline bool ReadItem(ByteSource& source, void* buffer, size_t n) {
    return n > 0 && source.Read(buffer, n) == n;
}
inline bool WriteItem(ByteSink& sink, const void* data, size_t n) {
    return n > 0 && sink.Write(data, n) == n;
}

class MemorySource : public ByteSource {
public:
    MemorySource(const void* data, size_t size) : m_data(static_cast<const uint8_t*>(data)), m_size(size) {}
    size_t Read(void* buffer, size_t n) override;
    bool Seek(int64_t position) override;
    int64_t Size() override { return static_cast<int64_t>(m_size); }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

class MemorySink : public ByteSink {
public:
    size_t Write(const void* data, size_t n) override;
    bool Close() override { return true; }
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
};

// Buffered stdio stream over a file. The stream is closed by Close() or, failing that, by the
// destructor, so every way out of a reader closes what it opened.
class FileSource : public ByteSource {
public:
    static std::unique_ptr<FileSource> Open(const std::string& path);
    ~FileSource() override;
    size_t Read(void* buffer, size_t n) override;
    bool Seek(int64_t position) override;
    int64_t Size() override;

private:
    explicit FileSource(FILE* f) : m_file(f) {}
    FILE* m_file;
};

class FileSink : public ByteSink {
public:
    static std::unique_ptr<FileSink> Create(const std::string& path);
    ~FileSink() override;
    size_t Write(const void* data, size_t n) override;
    // Flushes, syncs the file to its device and closes it.
    bool Close() override;

private:
    explicit FileSink(FILE* f) : m_file(f) {}
    FILE* m_file;
};
