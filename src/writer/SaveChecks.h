#pragma once
// What a save makes sure of before it writes anything: that every chosen sound can reach the robot
// as chosen, and that the stick can take the new files. A save that would quietly leave a choice
// out, or stop half-way on a full or locked stick, is refused with the reason instead. Each check
// yields the message to show, or nothing when the save may go ahead.
#include <cstdint>
#include <optional>
#include <string>

struct CustomizationState;
class CustomSoundRegistry;

// Every assigned replacement must get a custom sound name (at most 32 characters, a ".", no "/"
// or "\"), must still be a regular, readable file in `soundsFolder`, and must not share its
// custom sound name (case ignored, as the archive looks names up) with another assigned file.
// The message names each offending file and what to do about it.
std::optional<std::string> CheckReplacements(const CustomizationState& state, const std::string& soundsFolder);

// The stick must be writable, and must have room for the new archive (the sounds in `registry`),
// configuration and record. Each is written beside the file it replaces and renamed over it, so
// for a moment both take room; the configuration's new size is estimated from its backup.
std::optional<std::string> CheckStickRoom(const CustomizationState& state, const CustomSoundRegistry& registry);

// "1.2 MB" or "350 KB" (decimal units, as file managers show them), rounded down or up.
std::string FormatSize(uint64_t bytes, bool roundUp);
