#include "ContainerBuilder.h"

#include "platform/Endian.h"

#include <cstring>
#include <zlib.h>

namespace {

void Append(std::vector<uint8_t>& out, const void* data, size_t n) {
    const auto* p = static_cast<const uint8_t*>(data);
    out.insert(out.end(), p, p + n);
}

void AppendLE32(std::vector<uint8_t>& out, uint32_t v) {
    uint8_t b[4];
    WriteLE32(b, v);
    Append(out, b, 4);
}

} // namespace

std::vector<uint8_t> BuildContainer(const MwcContainer& container) {
    std::vector<uint8_t> out;
    Append(out, "MWCM", 4);
    AppendLE32(out, static_cast<uint32_t>(container.format));
    AppendLE32(out, static_cast<uint32_t>(
                        container.blockCountOverride.value_or(static_cast<int32_t>(container.blocks.size()))));
    AppendLE32(out, container.reserved);
    for (const MwcBlock& block : container.blocks) {
        Append(out, "MCID", 4);
        AppendLE32(out, block.blockId);
        AppendLE32(
            out, static_cast<uint32_t>(block.recordCountOverride.value_or(static_cast<int32_t>(block.records.size()))));
        for (const MwcRecord& record : block.records) {
            Append(out, "CMAC", 4);
            AppendLE32(out, record.kind);
            Append(out, record.details.data(), record.details.size());
            out.push_back(record.lengthOverride.value_or(static_cast<uint8_t>(record.text.size())));
            Append(out, record.text.data(), record.text.size());
        }
    }
    Append(out, container.trailing.data(), container.trailing.size());
    return out;
}

std::vector<uint8_t> GzipBytes(const std::vector<uint8_t>& plain, int level) {
    z_stream zs{};
    // 15 window bits + 16 asks zlib for a gzip wrapper.
    deflateInit2(&zs, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::vector<uint8_t> out(deflateBound(&zs, static_cast<uLong>(plain.size())) + 32);
    zs.next_in = const_cast<Bytef*>(plain.data());
    zs.avail_in = static_cast<uInt>(plain.size());
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}
