#pragma once
// The decompressed configuration container ("MWCM" header, "MCID" blocks of "CMAC" records, each
// record carrying one short text) and the one walk over it: every record's text is handed to a
// callback that may change it before the record is copied out. Saving uses this to replace the
// stock sound names by the names of the user's replacements.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class ByteSource;
class ByteSink;
struct CustomizationState;

// Records of this kind name the sound the robot plays.
constexpr uint32_t SoundNameRecordKind = 0x2010;
// A record's text has 2 to 99 bytes; the length byte of any other value marks a damaged file.
constexpr size_t MinMwcTextLength = 2;
constexpr size_t MaxMwcTextLength = 99;

// Receives a record's block id, kind and text, zero-terminated in a writable buffer. It may replace
// the text in place by another zero-terminated text of at most MaxMwcTextLength characters.
using MwcTextCallback = std::function<void(uint32_t blockId, uint32_t kind, char* text)>;

// Walks the container at inputPath record by record, calling `callback` for each record's text,
// and with an outputPath writes a copy (created or truncated) in which each text is as the
// callback left it, up to its first zero byte, with its length byte to match. Everything else is
// copied byte for byte; bytes after the last counted record are not. Returns 0 when the whole
// container was read and, with an output, written and closed without error; -1 when a file cannot
// be opened, the container is malformed or ends early, a text to write is left shorter than 2 or
// longer than 99 bytes, or a write or the final close fails. A failed output stays on disk as far
// as it was written.
int RewriteMwcEntries(const std::string& inputPath, const std::optional<std::string>& outputPath,
                      const MwcTextCallback& callback);

// The same walk over streams; a null output only reads and checks. The output is not closed.
int RewriteMwcEntries(ByteSource& input, ByteSink* output, const MwcTextCallback& callback);

// The callback that replaces a sound name (a text of a record of SoundNameRecordKind) that matches,
// in catalog order, the key of a stock sound of the active profile with an assigned replacement,
// by that replacement's custom sound name, and counts the replacement in `state`'s
// ModifiedEntryCount. Other texts, and names whose replacement has no custom sound name, are left
// as they are. `state` must outlive it; its choices are read when it is made.
MwcTextCallback SubstituteSoundName(CustomizationState& state);
