// Seeds for StockLibraryFuzz: the built-in libraries, small ones made by the builder, and
// damaged ones of each kind the reader must survive.
#include "SeedRegistry.h"

#include "sounds/StockLibrary.h"
#include "sounds/StockLibraryFormat.h"

namespace {

std::vector<uint8_t> Bytes(const StockSoundLibrary& library) {
    return std::vector<uint8_t>(library.bytes, library.bytes + library.size);
}

// Plain words and then `extraBytes` bytes, scrambled as a library stores them.
std::vector<uint8_t> Scrambled(std::initializer_list<int32_t> words, size_t extraBytes = 0) {
    std::vector<uint8_t> out;
    for (int32_t word : words) {
        for (int shift = 0; shift < 32; shift += 8) {
            out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(word) >> shift));
        }
    }
    out.insert(out.end(), extraBytes, 0x55);
    for (size_t n = 0; n < out.size(); ++n) {
        out[n] = ScrambleLibraryByte(out[n], n);
    }
    return out;
}

std::vector<Seed> MakeStockLibrarySeeds() {
    std::vector<Seed> seeds;
    seeds.push_back({"aibolife1", Bytes(AiboLife1Library)});
    seeds.push_back({"ers310", Bytes(Ers310Library)});
    seeds.push_back({"ers220", Bytes(Ers220Library)});
    seeds.push_back({"terminator-only", BuildStockLibrary({})});
    seeds.push_back({"small", BuildStockLibrary({{1, {'M', 'T', 'h', 'd'}}, {27, {}}, {1, {9, 9}}, {5, {1, 2, 3}}})});
    std::vector<uint8_t> longRecord(300, 0x42);
    seeds.push_back({"past-256", BuildStockLibrary({{50, longRecord}, {0, {7}}})});
    seeds.push_back({"empty", {}});
    seeds.push_back({"half-terminator", Scrambled({}, 3)});
    seeds.push_back({"no-terminator", Scrambled({1, 0})});
    seeds.push_back({"half-length", Scrambled({1}, 2)});
    seeds.push_back({"negative-length", Scrambled({1, -8, -1})});
    // Ids 1 and 5 are looked up, so record 1 is skipped on the way to 5.
    seeds.push_back({"negative-length-skipped", Scrambled({1, -12, 5, 0, -1})});
    seeds.push_back({"length-past-the-end", Scrambled({1, 100, -1})});
    seeds.push_back({"length-to-the-end", Scrambled({1, 4}, 4)});
    seeds.push_back({"oversized-length", Scrambled({1, 0x7FFFFFFF, -1})});
    std::vector<uint8_t> whole = BuildStockLibrary({{1, {1, 2, 3, 4}}, {5, {}}});
    seeds.push_back({"truncated", std::vector<uint8_t>(whole.begin(), whole.begin() + 14)});
    return seeds;
}

} // namespace

TW_REGISTER_SEEDS(StockLibraryFuzz, MakeStockLibrarySeeds);
