#pragma once
// The AUDIO.ODA archive, from which the robot software loads the replacement sounds by name: a
// 64-byte header, a table of 144-byte entries and the sounds' bytes back to back.
#include "writer/CustomSoundRegistry.h"

#include <cstdint>
#include <string>

constexpr size_t OdaHeaderSize = 64;
constexpr size_t OdaEntrySize = 144;
constexpr size_t OdaNameFieldSize = 128;

// Writes the registry as an archive to `sink`, which is left open for the caller to close. Returns
// the number of entries written; 0, writing nothing, for an empty registry; -1 when a write is
// short, a source file cannot be opened, no longer has the size it was registered with or cannot
// be read in full (a file of 0 bytes included), or the archive would not fit the format's 32-bit
// offsets. Every source is opened before the first byte is written; what was written before a
// later failure stays.
int32_t WriteAudioOda(const CustomSoundRegistry& registry, ByteSink& sink);

// The same into the file at `archivePath` (a stick path, resolved case-blind), which is replaced
// only by a complete, synced archive; a source that cannot be opened fails it before the file's
// folder is touched. An empty registry deletes the file instead and returns 0.
int32_t WriteAudioOda(const CustomSoundRegistry& registry, const std::string& archivePath);
