#pragma once
// Builds decompressed configuration containers ("MWCM" header, "MCID" blocks, "CMAC" records)
// from a readable description, for tests, benchmarks and the demo stick.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

constexpr uint32_t SoundRecordKind = 0x2010;

struct MwcRecord {
    uint32_t kind = SoundRecordKind;
    std::string text; // 2 to 99 bytes in a well-formed container
    std::array<uint8_t, 16> details{};
    std::optional<uint8_t> lengthOverride; // writes this length byte instead of text.size()
};

struct MwcBlock {
    uint32_t blockId = 0;
    std::vector<MwcRecord> records;
    std::optional<int32_t> recordCountOverride;
};

struct MwcContainer {
    int32_t format = 1;
    uint32_t reserved = 0;
    std::vector<MwcBlock> blocks;
    std::optional<int32_t> blockCountOverride;
    std::vector<uint8_t> trailing; // bytes after the last counted record
};

std::vector<uint8_t> BuildContainer(const MwcContainer& container);

// Standard gzip streams, as the stick carries the container.
std::vector<uint8_t> GzipBytes(const std::vector<uint8_t>& plain, int level = 6);
