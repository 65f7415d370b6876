#include "writer/AudioOda.h"

#include "platform/Endian.h"
#include "platform/FileOps.h"
#include "platform/SafeFile.h"
#include "platform/StickPath.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

namespace {

constexpr uint16_t OdaVersion = 3;
constexpr size_t OdaNameOffset = 4;
constexpr size_t OdaDataOffsetField = 132;
constexpr size_t OdaDataSizeField = 136;
// Sound files are copied through a buffer of this size, so memory use does not grow with them.
constexpr size_t CopyChunkSize = size_t{1} << 16;

// Builds the entry table, with each entry's data placed right after the previous one's. False
// when the data would reach past what a 32-bit offset can address.
bool BuildEntryTable(const CustomSoundRegistry& registry, std::vector<uint8_t>& table) {
    const std::vector<CustomSoundEntry>& entries = registry.Entries();
    table.assign(OdaEntrySize * entries.size(), 0);
    uint64_t dataOffset = OdaHeaderSize + OdaEntrySize * entries.size();
    for (size_t i = 0; i < entries.size(); ++i) {
        const CustomSoundEntry& entry = entries[i];
        uint8_t* row = table.data() + OdaEntrySize * i;
        if (entry.size < 0 || entry.name.size() >= OdaNameFieldSize) {
            return false;
        }
        std::memcpy(row, entry.isMidi ? "MIDI" : "WAVE", 4);
        std::memcpy(row + OdaNameOffset, entry.name.c_str(), entry.name.size() + 1);
        WriteLE32(row + OdaDataOffsetField, static_cast<uint32_t>(dataOffset));
        WriteLE32(row + OdaDataSizeField, static_cast<uint32_t>(entry.size));
        dataOffset += static_cast<uint64_t>(entry.size);
        if (dataOffset > std::numeric_limits<uint32_t>::max()) {
            return false;
        }
    }
    return true;
}

// Copies exactly `size` bytes. Nothing to copy is a failure: a sound of 0 bytes is no sound.
bool CopyExactly(ByteSource& source, ByteSink& sink, size_t size) {
    if (size == 0) {
        return false;
    }
    std::vector<uint8_t> buffer(std::min(size, CopyChunkSize));
    size_t left = size;
    while (left > 0) {
        size_t piece = std::min(left, buffer.size());
        if (!ReadItem(source, buffer.data(), piece) || !WriteItem(sink, buffer.data(), piece)) {
            return false;
        }
        left -= piece;
    }
    return true;
}

// Every entry's source, opened, each still of the size it was registered with; nothing when one
// cannot be opened or has changed since.
std::optional<std::vector<std::unique_ptr<ByteSource>>> OpenSources(const CustomSoundRegistry& registry) {
    std::vector<std::unique_ptr<ByteSource>> sources;
    for (const CustomSoundEntry& entry : registry.Entries()) {
        std::unique_ptr<ByteSource> source = registry.OpenCustomSoundSource(entry);
        if (source == nullptr || source->Size() != entry.size) {
            return std::nullopt;
        }
        sources.push_back(std::move(source));
    }
    return sources;
}

int32_t WriteArchive(const CustomSoundRegistry& registry, std::vector<std::unique_ptr<ByteSource>>& sources,
                     ByteSink& sink) {
    const int32_t count = registry.Count();
    uint8_t header[OdaHeaderSize] = {};
    std::memcpy(header, "ODAR", 4);
    WriteLE16(header + 6, OdaVersion);
    WriteLE32(header + 8, static_cast<uint32_t>(count));
    WriteLE32(header + 12, static_cast<uint32_t>(OdaEntrySize));

    std::vector<uint8_t> table;
    if (!BuildEntryTable(registry, table)) {
        return -1;
    }
    if (!WriteItem(sink, header, sizeof header) || !WriteItem(sink, table.data(), table.size())) {
        return -1;
    }
    for (size_t i = 0; i < sources.size(); ++i) {
        if (!CopyExactly(*sources[i], sink, static_cast<size_t>(registry.Entries()[i].size))) {
            return -1;
        }
    }
    return count;
}

} // namespace

int32_t WriteAudioOda(const CustomSoundRegistry& registry, ByteSink& sink) {
    if (registry.Count() == 0) {
        return 0;
    }
    std::optional<std::vector<std::unique_ptr<ByteSource>>> sources = OpenSources(registry);
    return sources ? WriteArchive(registry, *sources, sink) : -1;
}

int32_t WriteAudioOda(const CustomSoundRegistry& registry, const std::string& archivePath) {
    const std::string path = ResolveStickPath(archivePath);
    if (registry.Count() == 0) {
        RemoveFile(path); // a missing archive is what is wanted
        return 0;
    }
    // Every sound is opened before the stick is touched: one that has gone since the choice was
    // checked stops the save with the stick as it was.
    std::optional<std::vector<std::unique_ptr<ByteSource>>> sources = OpenSources(registry);
    if (!sources) {
        return -1;
    }
    // Written beside the old archive and renamed over it only when whole: a failed or cut-off
    // write leaves the previous archive as it was.
    SafeFile archive(path);
    if (!archive.Open()) {
        return -1;
    }
    const int32_t written = WriteArchive(registry, *sources, archive.Sink());
    return written >= 0 && archive.Commit() ? written : -1;
}
