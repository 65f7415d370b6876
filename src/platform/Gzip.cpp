#include "platform/Gzip.h"

#include <vector>
#include <zlib.h>

namespace {

constexpr size_t ChunkSize = size_t{1} << 16;

// 15 window bits as gzip uses; adding 16 asks zlib for the gzip wrapper (header, CRC-32 and
// length trailer) and, when inflating, accepts nothing else.
constexpr int GzipWindowBits = 15 + 16;
constexpr int DefaultMemoryLevel = 8;

// Ends a zlib stream on every way out; zlib holds heap memory until then.
class DeflateGuard {
public:
    explicit DeflateGuard(z_stream& stream) : m_stream(stream) {}
    ~DeflateGuard() { deflateEnd(&m_stream); }
    DeflateGuard(const DeflateGuard&) = delete;
    DeflateGuard& operator=(const DeflateGuard&) = delete;

private:
    z_stream& m_stream;
};

class InflateGuard {
public:
    explicit InflateGuard(z_stream& stream) : m_stream(stream) {}
    ~InflateGuard() { inflateEnd(&m_stream); }
    InflateGuard(const InflateGuard&) = delete;
    InflateGuard& operator=(const InflateGuard&) = delete;

private:
    z_stream& m_stream;
};

} // namespace

bool GzipStream(ByteSource& source, ByteSink& sink, int level) {
    if (level < MinGzipLevel || level > MaxGzipLevel) {
        return false;
    }
    z_stream zs{};
    if (deflateInit2(&zs, level, Z_DEFLATED, GzipWindowBits, DefaultMemoryLevel, Z_DEFAULT_STRATEGY) != Z_OK) {
        return false;
    }
    DeflateGuard guard(zs);

    std::vector<uint8_t> in(ChunkSize);
    std::vector<uint8_t> out(ChunkSize);
    int rc = Z_OK;
    int flush = Z_NO_FLUSH;
    while (flush != Z_FINISH) {
        size_t n = source.Read(in.data(), ChunkSize);
        flush = n < ChunkSize ? Z_FINISH : Z_NO_FLUSH;
        zs.next_in = in.data();
        zs.avail_in = static_cast<uInt>(n);
        // Drain until zlib leaves room in the output: then it has taken all of this chunk.
        do {
            zs.next_out = out.data();
            zs.avail_out = static_cast<uInt>(ChunkSize);
            rc = deflate(&zs, flush);
            if (rc == Z_STREAM_ERROR) {
                return false;
            }
            size_t produced = ChunkSize - zs.avail_out;
            if (produced > 0 && !WriteItem(sink, out.data(), produced)) {
                return false;
            }
        } while (zs.avail_out == 0);
    }
    return rc == Z_STREAM_END;
}

bool GunzipStream(ByteSource& source, ByteSink& sink) {
    z_stream zs{};
    if (inflateInit2(&zs, GzipWindowBits) != Z_OK) {
        return false;
    }
    InflateGuard guard(zs);

    std::vector<uint8_t> in(ChunkSize);
    std::vector<uint8_t> out(ChunkSize);
    bool insideMember = true; // the input must begin with a member
    for (;;) {
        if (zs.avail_in == 0) {
            size_t n = source.Read(in.data(), ChunkSize);
            if (n == 0) {
                break;
            }
            zs.next_in = in.data();
            zs.avail_in = static_cast<uInt>(n);
        }
        // gzip itself accepts concatenated members; anything else after a member is an error,
        // which the header check of the next member reports.
        if (!insideMember) {
            if (inflateReset(&zs) != Z_OK) {
                return false;
            }
            insideMember = true;
        }
        zs.next_out = out.data();
        zs.avail_out = static_cast<uInt>(ChunkSize);
        int rc = inflate(&zs, Z_NO_FLUSH);
        size_t produced = ChunkSize - zs.avail_out;
        if (produced > 0 && !WriteItem(sink, out.data(), produced)) {
            return false;
        }
        if (rc == Z_STREAM_END) {
            insideMember = false;
        } else if (rc == Z_BUF_ERROR) {
            // No progress without more input; with input still waiting that cannot happen unless
            // zlib is stuck, which must not turn into an endless loop.
            if (zs.avail_in != 0 && produced == 0) {
                return false;
            }
        } else if (rc != Z_OK) {
            return false; // bad header, bad data, checksum or length mismatch, out of memory
        }
    }
    // Input that ends inside a member is truncated.
    return !insideMember;
}
