#include "sounds/StockLibrary.h"

// Until the tunes are generated, each library holds only its terminator (-1 scrambled at
// positions 0 to 3 with the mask 0xA5).
namespace {
const uint8_t kEmptyLibrary[4] = {0x5A, 0x5B, 0x58, 0x59};
}

const StockSoundLibrary AiboLife1Library{kEmptyLibrary, sizeof kEmptyLibrary};
const StockSoundLibrary Ers310Library{kEmptyLibrary, sizeof kEmptyLibrary};
const StockSoundLibrary Ers210Library{kEmptyLibrary, sizeof kEmptyLibrary};
const StockSoundLibrary Ers220Library{kEmptyLibrary, sizeof kEmptyLibrary};
