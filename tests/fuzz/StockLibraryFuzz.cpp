// Treats arbitrary bytes as a stock sound library: every lookup stays inside it, and a library
// that walks cleanly to its terminator is exactly what the builder makes of its records.
#include "FuzzCheck.h"
#include "sounds/StockLibraryReader.h"

#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace {

std::vector<uint8_t> ReadData(LibraryReader& reader, int32_t length) {
    std::vector<uint8_t> data;
    for (int32_t i = 0; i < length; ++i) {
        data.push_back(ReadLibraryByte(reader));
    }
    return data;
}

// Looks `id` up as preview does and reads the record's data.
std::optional<std::vector<uint8_t>> Lookup(const uint8_t* bytes, size_t size, int32_t id) {
    LibraryReader reader{bytes, size};
    std::optional<int32_t> length = FindLibraryRecord(reader, id);
    Check(reader.cursor <= size && reader.counter == static_cast<uint32_t>(reader.cursor));
    if (!length) {
        return std::nullopt;
    }
    Check(*length >= 0 && static_cast<size_t>(*length) <= size - reader.cursor);
    return ReadData(reader, *length);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy, so a read past the end is caught.
    auto bytes = std::make_unique<uint8_t[]>(size);
    std::copy(data, data + size, bytes.get());

    // Walk every record the way a lookup does, keeping the first of each id.
    std::vector<StockRecord> records;
    std::map<int32_t, std::vector<uint8_t>> firstById;
    LibraryReader reader{bytes.get(), size};
    bool terminated = false;
    while (size - reader.cursor >= 4) {
        int32_t id = ReadLibraryWord(reader);
        if (id == LibraryTerminator) {
            terminated = true;
            break;
        }
        if (size - reader.cursor < 4) {
            break;
        }
        int32_t length = ReadLibraryWord(reader);
        if (length < 0 || static_cast<size_t>(length) > size - reader.cursor) {
            break;
        }
        records.push_back({id, ReadData(reader, length)});
        firstById.emplace(id, records.back().data);
    }

    if (terminated) {
        Check(BuildStockLibrary(records) == std::vector<uint8_t>(data, data + reader.cursor));
        for (const auto& [id, expected] : firstById) {
            std::optional<std::vector<uint8_t>> found = Lookup(bytes.get(), size, id);
            Check(found.has_value() && *found == expected);
        }
    }
    for (int32_t id : {0, 1, 5, 27, 50, 173, LibraryTerminator, INT32_MIN, INT32_MAX}) {
        std::optional<std::vector<uint8_t>> found = Lookup(bytes.get(), size, id);
        if (found && terminated) {
            Check(firstById.count(id) == 1 && *found == firstById[id]);
        }
    }
    return 0;
}
