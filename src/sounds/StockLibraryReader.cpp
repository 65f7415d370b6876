#include "sounds/StockLibraryReader.h"

uint8_t ReadLibraryByte(LibraryReader& reader) {
    if (reader.cursor >= reader.size) {
        return 0;
    }
    uint8_t plain =
        static_cast<uint8_t>(reader.bytes[reader.cursor] ^ static_cast<uint8_t>(reader.counter & 0xFF) ^ LibraryMask);
    ++reader.cursor;
    ++reader.counter;
    return plain;
}

int32_t ReadLibraryWord(LibraryReader& reader) {
    uint32_t value = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        value |= static_cast<uint32_t>(ReadLibraryByte(reader)) << shift;
    }
    return static_cast<int32_t>(value);
}

std::optional<int32_t> FindLibraryRecord(LibraryReader& reader, int32_t id) {
    // Every bound below is tested before the bytes are touched: the libraries are built in, but a
    // damaged one must end in "no record" rather than in reads beyond it or a walk backwards.
    for (;;) {
        size_t remaining = reader.cursor <= reader.size ? reader.size - reader.cursor : 0;
        if (remaining < sizeof(int32_t)) {
            return std::nullopt;
        }
        int32_t recordId = ReadLibraryWord(reader);
        if (recordId == LibraryTerminator || remaining < LibraryRecordHeaderSize) {
            return std::nullopt;
        }
        int32_t length = ReadLibraryWord(reader);
        if (length < 0 || static_cast<size_t>(length) > remaining - LibraryRecordHeaderSize) {
            return std::nullopt;
        }
        if (recordId == id) {
            return length;
        }
        // Skipped data is never unscrambled; the counter simply keeps pace with the cursor.
        reader.cursor += static_cast<size_t>(length);
        reader.counter += static_cast<uint32_t>(length);
    }
}
