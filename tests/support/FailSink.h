#pragma once
// Devices that misbehave.
#include "platform/ByteStream.h"

#include <algorithm>
#include <cstdint>
#include <vector>

// A device that fills up: it takes `capacity` bytes, the write that crosses the limit is short and
// every later one writes nothing, so a writer can meet a failing write at each offset in turn.
class FailSink : public ByteSink {
public:
    explicit FailSink(size_t capacity) : m_capacity(capacity) {}

    size_t Write(const void* data, size_t n) override {
        const size_t taken = std::min(n, m_capacity - std::min(m_capacity, m_bytes.size()));
        m_bytes.insert(m_bytes.end(), static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + taken);
        return taken;
    }
    bool Close() override { return true; }
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }

private:
    size_t m_capacity;
    std::vector<uint8_t> m_bytes;
};

// A source that hands out at most `perRead` bytes per read, as a slow or failing device does.
class TrickleSource : public ByteSource {
public:
    TrickleSource(std::vector<uint8_t> bytes, size_t perRead) : m_bytes(std::move(bytes)), m_perRead(perRead) {}

    size_t Read(void* buffer, size_t n) override {
        const size_t count = std::min({n, m_perRead, m_bytes.size() - m_pos});
        std::copy_n(m_bytes.begin() + static_cast<long>(m_pos), count, static_cast<uint8_t*>(buffer));
        m_pos += count;
        return count;
    }
    bool Seek(int64_t) override { return false; }
    int64_t Size() override { return -1; }

private:
    std::vector<uint8_t> m_bytes;
    size_t m_perRead;
    size_t m_pos = 0;
};
