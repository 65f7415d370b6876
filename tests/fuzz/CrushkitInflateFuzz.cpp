// Feeds gzip streams to Crushkit's decompressor, from memory to memory.
#include "platform/Gzip.h"
#include "FuzzCheck.h"

#include <cstdint>
#include <cstdlib>
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemorySource source(data, size);
    BoundedSink plain;
    if (!GunzipStream(source, plain)) {
        return 0;
    }
    // Accepted input was at least one whole member: repacking and unpacking gives the same bytes.
    Check(size >= 18);
    MemorySource again(plain.Bytes().data(), plain.Bytes().size());
    MemorySink packed;
    Check(GzipStream(again, packed, 6));
    MemorySource repacked(packed.Bytes().data(), packed.Bytes().size());
    BoundedSink roundTrip;
    Check(GunzipStream(repacked, roundTrip));
    Check(roundTrip.Bytes() == plain.Bytes());
    return 0;
}
