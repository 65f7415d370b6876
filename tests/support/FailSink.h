#pragma once
// A sink that behaves like a device that fills up: it takes `capacity` bytes and then fails. The
// write that crosses the limit is short and every later one writes nothing, so a writer can be
// made to meet a failing write at each offset of its output in turn. Close can fail as well, as
// a file whose buffered data cannot reach the disk does.
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
