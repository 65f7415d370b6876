#pragma once
// The mount table as the kernel lists it in /proc/self/mountinfo. Reading that file touches no
// mount, so a volume that no longer answers cannot hold the reader up.
#include "platform/ByteStream.h"

#include <string>
#include <vector>

struct MountEntry {
    std::string mountPoint; // absolute, with the kernel's octal escapes undone
    std::string type;       // "vfat", "fuse.fusefat", ...
};

// Every well-formed line of a mountinfo text, in its order. A line that is malformed (too few
// fields, no " - " separator, a broken escape, a mount point that is not an absolute path) or
// not ended by a newline (it may have been cut short) is left out without affecting the others.
std::vector<MountEntry> ParseMountInfo(ByteSource& source);
