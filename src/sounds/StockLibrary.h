#pragma once
// The built-in, scrambled containers of each software's stock sounds as MIDI data, for preview.
#include <cstddef>
#include <cstdint>

struct StockSoundLibrary {
    const uint8_t* bytes;
    size_t size;
};

extern const StockSoundLibrary AiboLife1Library;
extern const StockSoundLibrary Ers310Library;
extern const StockSoundLibrary Ers210Library;
extern const StockSoundLibrary Ers220Library;
