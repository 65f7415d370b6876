#include "platform/StickPath.h"

#include <dirent.h>
#include <sys/stat.h>
#include <vector>

namespace {

char LowerChar(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

// Finds the entry of `folder` whose name equals `name` without regard to case.
bool FindEntryNoCase(const std::string& folder, const std::string& name, std::string& found) {
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) {
        return false;
    }
    bool hit = false;
    while (dirent* entry = readdir(dir)) {
        if (EqualsNoCase(entry->d_name, name)) {
            found = entry->d_name;
            hit = true;
            break;
        }
    }
    closedir(dir);
    return hit;
}

} // namespace

bool EqualsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

int CompareNoCase(const std::string& a, const std::string& b) {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        auto ca = static_cast<unsigned char>(LowerChar(a[i]));
        auto cb = static_cast<unsigned char>(LowerChar(b[i]));
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

std::string LowerAscii(std::string text) {
    for (char& c : text) {
        c = LowerChar(c);
    }
    return text;
}

std::string ResolveStickPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '\\' || c == '/') {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(part);

    bool absolute = !path.empty() && (path[0] == '/' || path[0] == '\\');
    std::string result = absolute ? "/" : "";
    bool searching = true;
    for (const std::string& name : parts) {
        if (name.empty()) {
            continue;
        }
        std::string component = name;
        if (searching && name != "." && name != "..") {
            std::string candidate = result + name;
            if (!Exists(candidate)) {
                std::string found;
                if (FindEntryNoCase(result, name, found)) {
                    component = found;
                } else {
                    searching = false;
                }
            }
        }
        result += component;
        result += '/';
    }
    if (!result.empty() && result != "/") {
        result.pop_back();
    }
    // A path that ended in a separator names a folder; keep that visible to the caller.
    if (!path.empty() && (path.back() == '\\' || path.back() == '/') && result != "/") {
        result += '/';
    }
    return result;
}
