// Feeds arbitrary bytes to the VERSION reader as the whole file.
#include "FuzzCheck.h"
#include "platform/ByteStream.h"
#include "stick/StickDiscovery.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemorySource source(data, size);
    const SoftwareCode untouched{0xA5, 0x5A, 0xC3, 0x3C};
    SoftwareCode code = untouched;
    const bool valid = ParseVersionFile(source, code);
    if (!valid) {
        // A refused file leaves the caller's code as it was.
        Check(code == untouched);
        return 0;
    }
    // An accepted file holds both blocks whole, and the code is the third word of the second.
    Check(size >= 32 && std::memcmp(data, "VERS", 4) == 0 && std::memcmp(data + 8, "COME", 4) == 0);
    const uint64_t second = 16 + (static_cast<uint64_t>(data[12]) | static_cast<uint64_t>(data[13]) << 8 |
                                  static_cast<uint64_t>(data[14]) << 16 | static_cast<uint64_t>(data[15]) << 24);
    Check(second + 16 <= size);
    Check(std::memcmp(data + second, "VERS", 4) == 0 && std::memcmp(code.data(), data + second + 8, 4) == 0);
    return 0;
}
