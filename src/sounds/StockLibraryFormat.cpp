#include "sounds/StockLibraryFormat.h"

namespace {
void AppendLE32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}
} // namespace

std::vector<uint8_t> BuildStockLibrary(const std::vector<StockRecord>& records) {
    std::vector<uint8_t> plain;
    for (const StockRecord& record : records) {
        AppendLE32(plain, static_cast<uint32_t>(record.id));
        AppendLE32(plain, static_cast<uint32_t>(record.data.size()));
        plain.insert(plain.end(), record.data.begin(), record.data.end());
    }
    AppendLE32(plain, static_cast<uint32_t>(LibraryTerminator));
    for (size_t n = 0; n < plain.size(); ++n) {
        plain[n] = ScrambleLibraryByte(plain[n], n);
    }
    return plain;
}
