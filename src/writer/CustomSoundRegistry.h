#pragma once
// The distinct replacement files of one save, each under its custom sound name, with its type and
// its size. A save clears it, registers every assigned file, writes the archive from it and clears
// it again; it holds nothing between saves.
#include "app/CustomizationState.h"
#include "platform/ByteStream.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct CustomSoundEntry {
    bool isMidi = false;
    std::string name;     // the custom sound name, as the configuration file refers to the sound
    std::string fileName; // the replacement file in the sounds folder that the data come from
    int32_t size = 0;     // measured at registration; 0 when the file could not be opened then
};

class CustomSoundRegistry {
public:
    // The robot software's archive has room for no more distinct sounds.
    static constexpr int32_t Capacity = 256;

    // Replacement files are read from `soundsFolder`, a host path (the program's SoundsFolder).
    explicit CustomSoundRegistry(std::string soundsFolder);

    // Forgets every entry.
    void ClearCustomSounds();

    // Adds a replacement file (a name with extension, without folder) unless a file with the same
    // custom sound name, case ignored, is there already; then the earlier one stays as it is and
    // the result is true. False when no custom sound name can be derived, when the registry is
    // full, or when the file cannot be measured: that entry stays, with size 0, so that writing
    // the archive fails at it rather than leave the sound out unnoticed.
    bool RegisterCustomSound(const std::string& fileName);

    // Forgets every entry, then registers the file of every assigned slot, in catalog order.
    void RegisterCustomSounds(const AssignmentTable& slots);

    // Index of the entry whose name equals `customName` with ASCII case ignored, or -1.
    int32_t FindCustomSound(const std::string& customName) const;

    // The entry's source file opened for reading, or null when it cannot be opened or is not a
    // regular file.
    std::unique_ptr<ByteSource> OpenCustomSoundSource(const CustomSoundEntry& entry) const;

    int32_t Count() const { return static_cast<int32_t>(m_entries.size()); }
    const std::vector<CustomSoundEntry>& Entries() const { return m_entries; }
    const std::string& SoundsFolderPath() const { return m_soundsFolder; }

private:
    std::string SourcePath(const CustomSoundEntry& entry) const;

    std::string m_soundsFolder;
    std::vector<CustomSoundEntry> m_entries;
};
