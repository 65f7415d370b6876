// Feeds gzip streams to Crushkit's decompressor, from memory to memory, and holds it to zlib's own
// reading of the same bytes; what it accepts, packed again, reads back the same through both.
#include "CrushkitCore.h"
#include "FuzzCheck.h"
#include "Gunzip.h"

#include <cstdint>
#include <vector>

namespace {

// A few kilobytes can inflate to gigabytes; past this much the output is refused like a full disk.
constexpr size_t OutputLimit = size_t{32} << 20;

class BoundedSink : public ByteSink {
public:
    size_t Write(const void* data, size_t n) override {
        if (m_bytes.size() + n > OutputLimit) {
            return 0;
        }
        const auto* bytes = static_cast<const uint8_t*>(data);
        m_bytes.insert(m_bytes.end(), bytes, bytes + n);
        return n;
    }
    bool Close() override { return true; }
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
};

std::optional<std::vector<uint8_t>> CrushkitGunzip(const std::vector<uint8_t>& packed) {
    MemorySource source(packed.data(), packed.size());
    BoundedSink plain;
    return GunzipStream(source, plain) ? std::optional(plain.Bytes()) : std::nullopt;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> input(data, data + size);
    const std::optional<std::vector<uint8_t>> plain = CrushkitGunzip(input);
    Check(plain == GunzipBytes(input, OutputLimit));
    if (plain) {
        MemorySource again(plain->data(), plain->size());
        MemorySink packed;
        Check(GzipStream(again, packed, 6));
        Check(GunzipBytes(packed.Bytes()) == plain && CrushkitGunzip(packed.Bytes()) == plain);
    }
    return 0;
}
