#pragma once
// Devices that misbehave. FailSink behaves like a device that fills up: it takes `capacity` bytes
// and then fails. The write that crosses the limit is short and every later one writes nothing, so
// a writer can be made to meet a failing write at each offset of its output in turn. Close can
// fail as well, as a file whose buffered data cannot reach the disk does.
#include "platform/ByteStream.h"

#include <algorithm>
#include <cstdint>
#include <vector>

class FailSink : public ByteSink {
public:
    explicit FailSink(size_t capacity, bool failOnClose = false) : m_capacity(capacity), m_failOnClose(failOnClose) {}

    size_t Write(const void* data, size_t n) override {
        size_t room = m_capacity - std::min(m_capacity, m_bytes.size());
        size_t taken = std::min(n, room);
        const auto* bytes = static_cast<const uint8_t*>(data);
        m_bytes.insert(m_bytes.end(), bytes, bytes + taken);
        if (taken < n) {
            m_failed = true;
        }
        return taken;
    }

    bool Close() override {
        m_closed = true;
        return !m_failOnClose;
    }

    const std::vector<uint8_t>& Bytes() const { return m_bytes; }
    // Whether a write was cut short.
    bool Failed() const { return m_failed; }
    bool Closed() const { return m_closed; }

private:
    size_t m_capacity;
    bool m_failOnClose;
    bool m_failed = false;
    bool m_closed = false;
    std::vector<uint8_t> m_bytes;
};

// A source that hands out at most `perRead` bytes per read, as a slow or failing device does.
class TrickleSource : public ByteSource {
public:
    TrickleSource(std::vector<uint8_t> bytes, size_t perRead) : m_bytes(std::move(bytes)), m_perRead(perRead) {}

    size_t Read(void* buffer, size_t n) override {
        size_t count = std::min({n, m_perRead, m_bytes.size() - m_pos});
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
