#pragma once
// The room a save takes on the stick, worked out from the sizes of the files it writes there. Each
// of them (the archive, the configuration, the record) is written beside the file it replaces and
// renamed over it, in that order, so for a moment both take room; the old one's room comes back
// only after the rename. The stick hands out room in whole allocation units (a FAT cluster), so
// every size counts as the units it takes. Save judges by this before it writes anything, and the
// window shows the same figures while the owner chooses.
#include <cstdint>
#include <optional>
#include <string>

struct CustomizationState;
class CustomSoundRegistry;

// The bytes of the three files a save writes to the stick.
struct SaveSizes {
    uint64_t archive = 0; // 0: there is no archive to write, and the old one is deleted
    uint64_t configuration = 0;
    uint64_t record = 0;
};

struct StickRoom {
    uint64_t freeBytes = 0; // free on the stick now
    uint64_t needBytes = 0; // free room the save needs at its fullest moment
    int64_t grownBytes = 0; // how much more the stick holds once the save is over (less if negative)
    uint64_t unitBytes = 1; // the allocation unit everything above is counted in

    bool Fits() const { return needBytes <= freeBytes; }
};

// The stick's free room and the save's need for files of `sizes`, given the files the active
// profile's save replaces as they are now. Nothing when the stick cannot be examined.
std::optional<StickRoom> MeasureStickRoom(const CustomizationState& state, const SaveSizes& sizes);

// The archive's size for the sounds of `registry`, as the archive writer lays it out.
uint64_t ArchiveSize(const CustomSoundRegistry& registry);
// The record's size for the current choices.
uint64_t RecordSize(const CustomizationState& state);

// The configuration the current choices make, packed as Crushkit packs it (gzip level 6), counted
// in memory from the stick's backup without writing anything. The unpacked backup is kept for the
// rest of the run while the backup stays as it is. Nothing when the backup cannot be read.
std::optional<uint64_t> EstimateConfigurationSize(const CustomizationState& state);

// MeasureStickRoom for the choices as they stand, with the sounds read from `soundsFolder`.
std::optional<StickRoom> EstimateStickRoom(const CustomizationState& state, const std::string& soundsFolder);

// The window's line under the tree: "Room on the stick after saving: 1.2 MB", or "The chosen
// sounds need 120 KB more than the stick has", rounded as Save's refusal rounds.
std::string DescribeStickRoom(const StickRoom& room);

// "2.5 GB", "1.2 MB" or "350 KB" (decimal units, as file managers show them), rounded down or up.
std::string FormatSize(uint64_t bytes, bool roundUp);
