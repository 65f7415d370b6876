#pragma once
// What a save makes sure of before it writes anything: that every chosen sound can reach the robot
// as chosen, and that the stick can take the new files. A save that would quietly leave a choice
// out, or stop half-way on a full or locked stick, is refused with the reason instead. Each check
// yields the message to show, or nothing when the save may go ahead.
#include <optional>
#include <string>

struct CustomizationState;

struct StickRoom;

// Every assigned replacement must get a custom sound name (at most 32 characters, a ".", no "/"
// or "\"), must have no control character in its name (the record of the choices could not keep
// it), must still be a regular, readable file in `soundsFolder` that is not empty, and must not
// share its custom sound name (case ignored, as the archive looks names up) with another assigned
// file. The message names each offending file and what to do about it.
std::optional<std::string> CheckReplacements(const CustomizationState& state, const std::string& soundsFolder);

// The stick must be writable wherever a save writes: a card's lock, or a file or folder mounted
// read-only on its own.
std::optional<std::string> CheckWritable(const CustomizationState& state);

// The refusal of a save that does not fit in `room`, or nothing when it fits.
std::optional<std::string> CheckStickRoom(const StickRoom& room);
