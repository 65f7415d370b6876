#include "platform/MountInfo.h"

#include <optional>

namespace {

// The kernel writes a space, tab, newline and backslash inside a field as \ and three octal
// digits; any other backslash means the text is not what the kernel wrote.
std::optional<std::string> Unescape(const std::string& field) {
    std::string text;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            text += field[i];
            continue;
        }
        if (i + 3 >= field.size()) {
            return std::nullopt;
        }
        int value = 0;
        for (size_t k = 1; k <= 3; ++k) {
            const char digit = field[i + k];
            if (digit < '0' || digit > '7') {
                return std::nullopt;
            }
            value = value * 8 + (digit - '0');
        }
        if (value > 0xFF) {
            return std::nullopt;
        }
        text += static_cast<char>(value);
        i += 3;
    }
    return text;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields(1);
    for (char c : line) {
        if (c == ' ') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

// ID PARENT MAJOR:MINOR ROOT MOUNT-POINT OPTIONS [OPTIONAL...] - TYPE SOURCE SUPER-OPTIONS
std::optional<MountEntry> ParseLine(const std::string& line) {
    constexpr size_t kMountPointField = 4, kFixedFields = 6;
    const std::vector<std::string> fields = Fields(line);
    size_t separator = kFixedFields;
    while (separator < fields.size() && fields[separator] != "-") {
        ++separator;
    }
    if (separator + 4 != fields.size()) {
        return std::nullopt;
    }
    for (const std::string& field : fields) {
        if (field.empty()) {
            return std::nullopt;
        }
    }
    std::optional<std::string> mountPoint = Unescape(fields[kMountPointField]);
    std::optional<std::string> type = Unescape(fields[separator + 1]);
    if (!mountPoint || !type || mountPoint->front() != '/' || mountPoint->find('\0') != std::string::npos) {
        return std::nullopt;
    }
    return MountEntry{*mountPoint, *type};
}

} // namespace

std::vector<MountEntry> ParseMountInfo(ByteSource& source) {
    std::string text;
    char buffer[4096];
    for (size_t got = sizeof buffer; got == sizeof buffer;) {
        got = source.Read(buffer, sizeof buffer);
        text.append(buffer, got);
    }
    std::vector<MountEntry> entries;
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        if (std::optional<MountEntry> entry = ParseLine(text.substr(start, end - start))) {
            entries.push_back(std::move(*entry));
        }
    }
    return entries;
}
