#include "writer/CustomSoundRegistry.h"

#include "catalog/KeyPatterns.h"
#include "platform/StickPath.h"

#include <filesystem>
#include <limits>

CustomSoundRegistry::CustomSoundRegistry(std::string soundsFolder) : m_soundsFolder(std::move(soundsFolder)) {
    m_entries.reserve(Capacity);
}

void CustomSoundRegistry::ClearCustomSounds() {
    m_entries.clear();
}

bool CustomSoundRegistry::RegisterCustomSound(const std::string& fileName) {
    // A replacement is a file of the sounds folder itself; a name with a folder part would read
    // from elsewhere.
    if (fileName.find_first_of("/\\") != std::string::npos) {
        return false;
    }
    std::string customName;
    bool isMidi = false;
    if (!MakeCustomSoundName(fileName, customName, isMidi)) {
        return false;
    }
    if (FindCustomSound(customName) >= 0) {
        return true;
    }
    if (Count() >= Capacity) {
        return false;
    }
    m_entries.push_back(CustomSoundEntry{isMidi, std::move(customName), fileName, 0});
    CustomSoundEntry& entry = m_entries.back();

    std::unique_ptr<ByteSource> source = OpenCustomSoundSource(entry);
    if (source == nullptr) {
        return false;
    }
    // The archive records sizes and offsets in 32 bits; a larger file cannot be packed.
    int64_t size = source->Size();
    if (size < 0 || size > std::numeric_limits<int32_t>::max()) {
        return false;
    }
    entry.size = static_cast<int32_t>(size);
    return true;
}

void CustomSoundRegistry::RegisterCustomSounds(const AssignmentTable& slots) {
    ClearCustomSounds();
    for (const std::optional<std::string>& slot : slots) {
        if (slot) {
            RegisterCustomSound(*slot);
        }
    }
}

int32_t CustomSoundRegistry::FindCustomSound(const std::string& customName) const {
    for (int32_t i = 0; i < Count(); ++i) {
        if (EqualsNoCase(m_entries[static_cast<size_t>(i)].name, customName)) {
            return i;
        }
    }
    return -1;
}

std::string CustomSoundRegistry::SourcePath(const CustomSoundEntry& entry) const {
    // The file is named as the user named it; case-blind resolution still finds it when the
    // choice came back from a record written on a system that ignores case.
    return ResolveStickPath(m_soundsFolder + "/" + entry.fileName);
}

std::unique_ptr<ByteSource> CustomSoundRegistry::OpenCustomSoundSource(const CustomSoundEntry& entry) const {
    std::string path = SourcePath(entry);
    // A folder opens for reading too, but has no sound data and no meaningful size.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        return nullptr;
    }
    return FileSource::Open(path);
}
