#include "writer/StickRoom.h"

#include "app/CustomizationState.h"
#include "platform/ByteStream.h"
#include "platform/FileOps.h"
#include "platform/Gzip.h"
#include "platform/StickPath.h"
#include "stick/ModelProfiles.h"
#include "stick/StickPreparation.h"
#include "writer/AudioOda.h"
#include "writer/CustomSoundRegistry.h"
#include "writer/CustomizationRecord.h"
#include "writer/MwcRewriter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Save asks Crushkit for "-6", which packs with zlib's defaults at this level.
constexpr int ConfigurationGzipLevel = 6;

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

uint64_t SizeOf(const std::string& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        return 0;
    }
    const uintmax_t size = fs::file_size(path, ec);
    return ec ? 0 : static_cast<uint64_t>(size);
}

class CountingSink : public ByteSink {
public:
    size_t Write(const void*, size_t n) override {
        m_count += n;
        return n;
    }
    bool Close() override { return true; }
    uint64_t Count() const { return m_count; }

private:
    uint64_t m_count = 0;
};

// The backup unpacked, kept while the file stays as it is: it is the same for every estimate of a
// run, and unpacking it is most of an estimate's work.
const std::vector<uint8_t>* UnpackedBackup(const std::string& path) {
    struct Cache {
        std::string path;
        uint64_t size = 0;
        fs::file_time_type written;
        std::vector<uint8_t> plain;
    };
    static Cache cache;
    std::error_code ec;
    const fs::file_time_type written = fs::last_write_time(path, ec);
    if (ec) {
        return nullptr;
    }
    const uint64_t size = SizeOf(path);
    if (cache.path == path && cache.size == size && cache.written == written) {
        return &cache.plain;
    }
    cache = Cache{};
    std::unique_ptr<FileSource> packed = FileSource::Open(path);
    MemorySink plain;
    if (!packed || !GunzipStream(*packed, plain)) {
        return nullptr;
    }
    cache = Cache{path, size, written, plain.Bytes()};
    return &cache.plain;
}

} // namespace

std::optional<StickRoom> MeasureStickRoom(const CustomizationState& state, const SaveSizes& sizes) {
    const ModelProfile& profile = *state.ActiveProfile;
    // In the order the save replaces them.
    const std::string targets[] = {ResolveStickPath(std::string(profile.dataFolder) + "\\AUDIO.ODA"),
                                   ResolveStickPath(profile.mwcPath),
                                   ResolveStickPath(MakeRecordPath(profile.mwcPath))};
    const uint64_t newBytes[] = {sizes.archive, sizes.configuration, sizes.record};

    // The unit is the largest any of the folders gives: a FAT stick through FUSE tells its cluster
    // size only for the folders below its root.
    std::optional<VolumeInfo> volume;
    uint64_t unit = 1;
    for (const std::string& target : targets) {
        if (std::optional<VolumeInfo> info = QueryVolume(FolderOf(target))) {
            volume = volume ? volume : info;
            unit = std::max<uint64_t>(unit, info->blockSize);
        }
    }
    if (!volume) {
        return std::nullopt;
    }
    const auto occupied = [unit](uint64_t bytes) { return static_cast<int64_t>((bytes + unit - 1) / unit * unit); };

    StickRoom room;
    room.freeBytes = volume->freeBytes;
    room.unitBytes = unit;
    for (size_t i = 0; i < std::size(targets); ++i) {
        const int64_t peak = room.grownBytes + occupied(newBytes[i]);
        room.needBytes = std::max<uint64_t>(room.needBytes, static_cast<uint64_t>(std::max<int64_t>(peak, 0)));
        room.grownBytes = peak - occupied(SizeOf(targets[i]));
    }
    return room;
}

uint64_t ArchiveSize(const CustomSoundRegistry& registry) {
    if (registry.Count() == 0) {
        return 0;
    }
    uint64_t bytes = OdaHeaderSize + OdaEntrySize * static_cast<uint64_t>(registry.Count());
    for (const CustomSoundEntry& entry : registry.Entries()) {
        bytes += static_cast<uint64_t>(std::max<int32_t>(entry.size, 0));
    }
    return bytes;
}

uint64_t RecordSize(const CustomizationState& state) {
    MemorySink record;
    WriteCustomizationRecord(state, record);
    return record.Bytes().size();
}

std::optional<uint64_t> EstimateConfigurationSize(const CustomizationState& state) {
    const std::vector<uint8_t>* plain = UnpackedBackup(ResolveStickPath(MakeBackupPath(state.ActiveProfile->mwcPath)));
    if (plain == nullptr) {
        return std::nullopt;
    }
    // The substitution counts what it replaces in the state it is given; the run's own count is
    // Save's to keep.
    CustomizationState scratch = state;
    MemorySource source(plain->data(), plain->size());
    MemorySink rewritten;
    if (RewriteMwcEntries(source, &rewritten, SubstituteSoundName(scratch)) != 0) {
        return std::nullopt;
    }
    MemorySource again(rewritten.Bytes().data(), rewritten.Bytes().size());
    CountingSink packed;
    if (!GzipStream(again, packed, ConfigurationGzipLevel)) {
        return std::nullopt;
    }
    return packed.Count();
}

std::optional<StickRoom> EstimateStickRoom(const CustomizationState& state, const std::string& soundsFolder) {
    const std::optional<uint64_t> configuration = EstimateConfigurationSize(state);
    if (!configuration) {
        return std::nullopt;
    }
    CustomSoundRegistry registry(soundsFolder);
    registry.RegisterCustomSounds(*state.Assignments);
    return MeasureStickRoom(state, {ArchiveSize(registry), *configuration, RecordSize(state)});
}

std::string DescribeStickRoom(const StickRoom& room) {
    if (room.Fits()) {
        const uint64_t after = static_cast<uint64_t>(static_cast<int64_t>(room.freeBytes) - room.grownBytes);
        return "Room on the stick after saving: " + FormatSize(after, false);
    }
    return "The chosen sounds need " + FormatSize(room.needBytes - room.freeBytes, true) + " more than the stick has";
}

std::string FormatSize(uint64_t bytes, bool roundUp) {
    const auto scaled = [roundUp](double value) { return roundUp ? std::ceil(value) : std::floor(value); };
    char text[64];
    if (bytes >= 1000 * 1000 * 1000) {
        std::snprintf(text, sizeof text, "%.1f GB", scaled(static_cast<double>(bytes) / 100000000.0) / 10.0);
    } else if (bytes >= 1000 * 1000) {
        std::snprintf(text, sizeof text, "%.1f MB", scaled(static_cast<double>(bytes) / 100000.0) / 10.0);
    } else {
        std::snprintf(text, sizeof text, "%.0f KB", scaled(static_cast<double>(bytes) / 1000.0));
    }
    return text;
}
