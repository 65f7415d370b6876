#include "writer/CustomizationRecord.h"

#include "app/CustomizationState.h"
#include "catalog/SoundCatalogs.h"
#include "platform/ByteStream.h"
#include "platform/Prompt.h"
#include "platform/StickPath.h"
#include "stick/ModelProfiles.h"

#include <cstdint>
#include <memory>

namespace {

constexpr size_t ExtensionLength = 4; // ".MWC"

// Reads a record as the text mode of the platform that wrote the first records does: a CR
// directly followed by LF is one LF, any other CR is kept. Lines come out as fgets with a
// 128-byte buffer gives them, so a long line arrives in pieces exactly as it did there.
class TextModeLines {
public:
    explicit TextModeLines(ByteSource& source) : m_source(source) {}

    // At most RecordLineLimit + 1 characters, up to and including the first LF. False at the
    // end of the data, when nothing could be read.
    bool Next(std::string& piece) {
        piece.clear();
        while (piece.size() < RecordLineLimit + 1) {
            int c = NextChar();
            if (c < 0) {
                break;
            }
            piece.push_back(static_cast<char>(c));
            if (c == '\n') {
                break;
            }
        }
        return !piece.empty();
    }

private:
    int NextChar() {
        int c = NextByte();
        if (c != '\r') {
            return c;
        }
        int next = NextByte();
        if (next == '\n') {
            return '\n';
        }
        m_pushedBack = next;
        return c;
    }

    int NextByte() {
        if (m_pushedBack >= 0) {
            int c = m_pushedBack;
            m_pushedBack = -1;
            return c;
        }
        if (m_pos == m_length) {
            if (m_ended) {
                return -1;
            }
            m_length = m_source.Read(m_buffer, sizeof m_buffer);
            m_pos = 0;
            if (m_length == 0) {
                // A device that failed once is not asked again: what it hands out later would
                // not follow on from what was read.
                m_ended = true;
                return -1;
            }
        }
        return m_buffer[m_pos++];
    }

    ByteSource& m_source;
    uint8_t m_buffer[4096];
    size_t m_pos = 0;
    size_t m_length = 0;
    bool m_ended = false;
    int m_pushedBack = -1;
};

bool IsComment(const std::string& line) {
    // The line is a C string there: a zero byte ends it, so a line starting with one is empty.
    return line.empty() || line[0] == ';';
}

// A line that the reader would not give back as written is left out: it would make the next
// start fail with "Bad format .UNS file", or split into two lines. Names that long cannot be
// packed for the robot anyway (custom sound names take at most 32 characters of file name).
bool CanBeReadBack(const std::string& line) {
    return line.size() <= RecordLineLimit && line.find_first_of(std::string("\n\0", 2)) == std::string::npos;
}

} // namespace

std::string MakeRecordPath(const std::string& mwcPath) {
    // Replaced the way the .ORG backup path is made, so the two always sit side by side.
    size_t keep = mwcPath.size() >= ExtensionLength ? mwcPath.size() - ExtensionLength : 0;
    return mwcPath.substr(0, keep) + ".CUS";
}

bool ReadCustomizationRecord(ByteSource& source, const RecordAssignment& assign) {
    TextModeLines lines(source);
    std::string piece;
    while (lines.Next(piece)) {
        std::string line = piece.substr(0, piece.find('\0'));
        if (IsComment(line)) {
            // A comment is skipped to its line end however long it is. Taken piece by piece like
            // any other line, its tail would count as a line of its own: it would end the load as
            // bad format, or apply a choice the user had commented out.
            while (piece.back() != '\n' && lines.Next(piece)) {
            }
            continue;
        }
        size_t lineFeed = line.find('\n');
        size_t equals = line.find('=');
        if (lineFeed == std::string::npos || equals == std::string::npos) {
            ShowMessage("Bad format .UNS file");
            return false;
        }
        std::string key = line.substr(0, equals);
        std::string value = line.substr(equals + 1, lineFeed - equals - 1);
        if (!assign(key, value)) {
            ShowMessage("Warning: can't reuse old customization\n'" + key + "'='" + value +
                        "'\nwill be ignored (using default)");
        }
    }
    return true;
}

bool LoadCustomizationRecord(CustomizationState& state, const CComboBox& list) {
    if (state.ActiveProfile == nullptr) {
        return true;
    }
    std::unique_ptr<FileSource> record =
        FileSource::Open(ResolveStickPath(MakeRecordPath(state.ActiveProfile->mwcPath)));
    if (record == nullptr) {
        return true;
    }
    return ReadCustomizationRecord(*record, [&](const std::string& key, const std::string& value) {
        return AssignByKey(state, list, key, value);
    });
}

bool WriteCustomizationRecord(const CustomizationState& state, ByteSink& sink) {
    bool ok = true;
    if (state.ActiveProfile != nullptr && state.Assignments) {
        const ModelProfile& profile = *state.ActiveProfile;
        const AssignmentTable& slots = *state.Assignments;
        for (int i = 0; i < profile.catalogCount && static_cast<size_t>(i) < slots.size() && ok; ++i) {
            const CatalogEntry& entry = profile.catalog[i];
            const std::optional<std::string>& slot = slots[static_cast<size_t>(i)];
            if (!IsStockSound(entry) || !slot) {
                continue;
            }
            std::string line = std::string(entry.key) + "=" + *slot;
            if (!CanBeReadBack(line)) {
                continue;
            }
            line += "\r\n";
            ok = WriteItem(sink, line.data(), line.size());
        }
    }
    return sink.Close() && ok;
}
