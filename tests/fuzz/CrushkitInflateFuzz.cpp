// Feeds gzip streams to Crushkit's decompressor, from memory to memory, and holds it to zlib's own
// reading of the same bytes; what it accepts, packed again, reads back the same through both.
#include "platform/Gzip.h"
#include "FailSink.h"
#include "FuzzCheck.h"
#include "Gunzip.h"

#include <cstdint>
#include <vector>

namespace {

// A few kilobytes can inflate to gigabytes; past this much the output meets a full disk.
constexpr size_t OutputLimit = size_t{32} << 20;

std::optional<std::vector<uint8_t>> CrushkitGunzip(const std::vector<uint8_t>& packed) {
    MemorySource source(packed.data(), packed.size());
    FailSink plain(OutputLimit);
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
