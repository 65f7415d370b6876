#pragma once
// The volumes the desktop has mounted, where a memory stick in a card reader shows up. Nothing
// here waits on a mount: a dead network share or a FUSE daemon that stopped answering would
// otherwise hold the program up for ever.
#include "platform/ByteStream.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

// The root folder of every mounted volume that may hold a stick, from the mount table alone: no
// mount is touched. Network and pseudo file systems are left out; so is a mount hidden by a later
// one on the same folder.
std::vector<std::string> MountedVolumeRoots();
// The same over a mountinfo text.
std::vector<std::string> VolumeRootsFromMountInfo(ByteSource& mountinfo);

// Of `roots`, those `probe` answers true for, in their order. Each root is probed on a thread of
// its own and the answers are awaited for `limit` in all; a root that has not answered by then is
// left out, and so is one whose probe from an earlier call is still stuck.
using VolumeProbe = bool (*)(const std::string& root);
std::vector<std::string> VolumesWhere(const std::vector<std::string>& roots, VolumeProbe probe,
                                      std::chrono::milliseconds limit);

// Tests stand in for the machine's mounts; nothing goes back to the real ones.
void SetMountedVolumeRootsForTest(std::optional<std::vector<std::string>> roots);
