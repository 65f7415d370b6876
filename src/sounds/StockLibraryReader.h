#pragma once
// Reading the built-in stock sound libraries: unscrambling byte by byte and finding the record
// of one catalog row.
#include "sounds/StockLibrary.h"
#include "sounds/StockLibraryFormat.h"

#include <cstddef>
#include <cstdint>
#include <optional>

// The read state over one library. The counter always equals the cursor's position; only its
// low eight bits take part in unscrambling.
struct LibraryReader {
    const uint8_t* bytes;
    size_t size;
    size_t cursor = 0;
    uint32_t counter = 0;
};

// The plain byte at the cursor; cursor and counter move on by one. Past the library's end
// nothing is read and 0 comes back.
uint8_t ReadLibraryByte(LibraryReader& reader);
// Four bytes, the first read being the lowest.
int32_t ReadLibraryWord(LibraryReader& reader);

// Walks the records from the reader's position and stops on the first one whose id is `id`,
// leaving the cursor on its data and returning its length. Nothing when the terminator comes
// first, and nothing either for a damaged library (a length that is negative or runs past the
// end, or no terminator), so the data that follows always lies wholly inside the library.
std::optional<int32_t> FindLibraryRecord(LibraryReader& reader, int32_t id);
