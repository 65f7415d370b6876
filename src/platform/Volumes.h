#pragma once
// The volumes the desktop has mounted, where a memory stick in a card reader shows up.
#include <optional>
#include <string>
#include <vector>

// The root folder of every mounted local volume, in the order the system lists them.
std::vector<std::string> MountedVolumeRoots();

// Tests stand in for the machine's mounts; nothing goes back to the real ones.
void SetMountedVolumeRootsForTest(std::optional<std::vector<std::string>> roots);
