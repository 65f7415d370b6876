// The WAV header check over arbitrary bytes: never reads past what it was given, and accepts
// exactly the headers of mono PCM at 8000 Hz whose first chunk is the format chunk.
#include "sounds/CustomSoundLibrary.h"

#include "FuzzCheck.h"
#include "platform/ByteStream.h"
#include "platform/Endian.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemorySource source(data, size);
    bool accepted = IsAcceptedWaveHeader(source);
    bool expected = size >= WaveHeaderSize && std::memcmp(data, "RIFF", 4) == 0 &&
                    std::memcmp(data + 8, "WAVE", 4) == 0 && std::memcmp(data + 12, "fmt ", 4) == 0 &&
                    ReadLE16(data + 20) == 1 && ReadLE16(data + 22) == 1 && ReadLE32(data + 24) == 8000;
    Check(accepted == expected);
    return 0;
}
