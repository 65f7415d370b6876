// The player opens whatever the user put in the SOUNDS folder: any bytes handed to the WAV
// decoder or to the MIDI file check must be refused or decoded, never read out of bounds.
#include "platform/AudioOut.h"
#include "platform/MidiRenderer.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    if (std::optional<PcmAudio> audio = DecodeWave(bytes)) {
        // A decoded sound is whole frames of the output format.
        if (audio->samples.size() % AudioOutChannels != 0) {
            std::abort();
        }
    }
    IsStandardMidiFile(bytes);
    return 0;
}
