// Feeds arbitrary bytes to the model file reader as the whole file.
#include "FuzzCheck.h"
#include "platform/ByteStream.h"
#include "stick/ModelProfiles.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemorySource source(data, size);
    const int model = ParseRobotModel(source);
    // Only a file of exactly 97 bytes can name a model.
    Check(size == 97 || model == 0);
    // Whatever else, the same bytes give the same answer.
    MemorySource again(data, size);
    Check(ParseRobotModel(again) == model);
    return 0;
}
