#pragma once
// zlib's own reading of gzip data, as gzip reads it: member after member, each read whole by
// inflate. The expectation that the configuration a save writes and Crushkit's decompressor are
// held to.
#include <cstdint>
#include <optional>
#include <vector>
#include <zlib.h>

// Nothing unless the input is whole, valid members with nothing after the last, inflating to at
// most `limit` bytes.
inline std::optional<std::vector<uint8_t>> GunzipBytes(const std::vector<uint8_t>& packed, size_t limit = SIZE_MAX) {
    z_stream zs{};
    if (packed.empty() || inflateInit2(&zs, 15 + 16) != Z_OK) {
        return std::nullopt;
    }
    zs.next_in = const_cast<Bytef*>(packed.data());
    zs.avail_in = static_cast<uInt>(packed.size());
    std::vector<uint8_t> out;
    uint8_t buffer[16384];
    int rc = Z_OK;
    while (rc == Z_OK && out.size() <= limit) {
        zs.next_out = buffer;
        zs.avail_out = sizeof buffer;
        rc = inflate(&zs, Z_NO_FLUSH);
        out.insert(out.end(), buffer, buffer + (sizeof buffer - zs.avail_out));
        if (rc == Z_STREAM_END && zs.avail_in > 0) {
            rc = inflateReset(&zs);
        }
    }
    inflateEnd(&zs);
    return rc == Z_STREAM_END && out.size() <= limit ? std::optional(out) : std::nullopt;
}
