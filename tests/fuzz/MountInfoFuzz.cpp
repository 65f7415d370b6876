// The mount table reader over arbitrary bytes, followed by a line the kernel could have written for
// a mount point and type made of the same bytes: whatever comes before, that line reads back as
// exactly that mount point and type, and adding it changes nothing of what was read before it.
#include "FuzzCheck.h"
#include "platform/MountInfo.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

namespace {

std::string Escaped(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        char code[5] = {c, '\0'};
        if (c == ' ' || c == '\t' || c == '\n' || c == '\\') {
            std::snprintf(code, sizeof code, "\\%03o", static_cast<unsigned char>(c));
        }
        escaped += code;
    }
    return escaped;
}

std::vector<MountEntry> Parse(const std::string& text) {
    MemorySource source(text.data(), text.size());
    return ParseMountInfo(source);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::vector<MountEntry> before = Parse(text + "\n");
    for (const MountEntry& entry : before) {
        Check(!entry.mountPoint.empty() && entry.mountPoint[0] == '/' &&
              entry.mountPoint.find('\0') == std::string::npos && !entry.type.empty());
    }
    // A mount point and a type a kernel may list: no NUL, and a type of a few bytes.
    std::string mountPoint = "/" + text.substr(0, 200), type = "fuse." + text.substr(size / 2, 16);
    std::replace(mountPoint.begin(), mountPoint.end(), '\0', '0');
    std::replace(type.begin(), type.end(), '\0', '0');
    const std::vector<MountEntry> after = Parse(text + "\n36 35 0:41 / " + Escaped(mountPoint) +
                                                " rw,relatime shared:7 - " + Escaped(type) + " /dev/sdb1 rw\n");
    Check(after.size() == before.size() + 1);
    for (size_t i = 0; i < before.size(); ++i) {
        Check(after[i].mountPoint == before[i].mountPoint && after[i].type == before[i].type);
    }
    Check(after.back().mountPoint == mountPoint && after.back().type == type);
    return 0;
}
