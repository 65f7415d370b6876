#pragma once
// Paths on the memory stick are written with backslashes, relative to the stick root (the
// current directory), and name files regardless of letter case. A stick copied onto a
// case-sensitive file system may carry any spelling, so every stick path goes through here.
#include <string>

// Turns a stick path ("OPEN-R\APP\VERSION") into a host path. Each component that exists is
// found case-blind (an exact match wins); from the first missing component on, the spelling
// given is kept, so files are created under the names the stick format uses. Absolute paths
// and forward slashes are accepted too; "." and ".." pass through unchanged.
std::string ResolveStickPath(const std::string& path);

// Case-blind comparison over ASCII letters; other bytes compare as they are.
bool EqualsNoCase(const std::string& a, const std::string& b);
int CompareNoCase(const std::string& a, const std::string& b);
std::string LowerAscii(std::string text);
