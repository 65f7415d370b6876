#pragma once
// The layout of a stock sound library: records of id, length and data (32-bit little-endian
// integers), ended by the id -1, with every byte scrambled by its position. Shared by the reader
// and by the build's generator of the built-in libraries, so both sides agree on one definition.
#include <cstddef>
#include <cstdint>
#include <vector>

// The fixed key of the scramble, the same for every library.
constexpr uint8_t LibraryMask = 0xA5;
constexpr int32_t LibraryTerminator = -1;
// An id and a length precede each record's data.
constexpr size_t LibraryRecordHeaderSize = 8;

// A stored byte depends only on the plain byte and its position, so the scramble is its own
// inverse and a record can be unscrambled without touching the bytes before it.
inline uint8_t ScrambleLibraryByte(uint8_t byte, size_t position) {
    return static_cast<uint8_t>(byte ^ static_cast<uint8_t>(position & 0xFF) ^ LibraryMask);
}

struct StockRecord {
    int32_t id;
    std::vector<uint8_t> data;
};

// The scrambled library holding the records in the given order, terminator included.
std::vector<uint8_t> BuildStockLibrary(const std::vector<StockRecord>& records);
