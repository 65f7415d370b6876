// Feeds arbitrary bytes to the model file reader as the whole file, and the same bytes made into a
// model file that names a robot.
#include "FuzzCheck.h"
#include "platform/ByteStream.h"
#include "stick/ModelProfiles.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemorySource source(data, size);
    // Only a file of exactly 97 bytes can name a model.
    Check(size == 97 || ParseRobotModel(source) == 0);

    // A 96-byte block with "ERS-210" or "ERS-220" at 64, scrambled as our tools write it (byte i
    // of the key is 0x5A + 29 i), and one byte more: the model is read whatever the rest holds.
    std::vector<uint8_t> file(data, data + std::min<size_t>(size, 97));
    file.resize(97);
    const int model = size > 0 && (data[0] & 1) != 0 ? 220 : 210;
    std::memcpy(&file[64], model == 210 ? "ERS-210" : "ERS-220", 8);
    for (size_t i = 0; i < 96; ++i) {
        file[i] ^= static_cast<uint8_t>(0x5A + 29 * i);
    }
    MemorySource named(file.data(), file.size());
    Check(ParseRobotModel(named) == model);
    return 0;
}
