#pragma once
// Replaces a file without ever leaving it torn. The new contents are written to a temporary file
// in the same folder, flushed and synced to the device, and only then renamed over the old file
// (a rename within one folder is all-or-nothing). A stick pulled out, a full stick or a failed
// write leaves the old file whole; the temporary file is removed on every way out but success.
#include "platform/ByteStream.h"

#include <memory>
#include <string>

class SafeFile {
public:
    explicit SafeFile(std::string targetPath);
    ~SafeFile();
    SafeFile(const SafeFile&) = delete;
    SafeFile& operator=(const SafeFile&) = delete;

    // Creates the temporary file; false when the folder cannot take it.
    bool Open();
    // Where the new contents go. Only valid after a successful Open.
    ByteSink& Sink();
    // Flushes, syncs, closes and renames over the target. False, with the target untouched and
    // the temporary file removed, when any of that fails. With keepExisting a target that exists
    // by then is never replaced, and that counts as a failure.
    bool Commit(bool keepExisting = false);
    // Drops the new contents; the target stays as it was.
    void Discard();

    const std::string& TemporaryPath() const { return m_tempPath; }

private:
    class TempSink;
    std::string m_target;
    std::string m_tempPath;
    std::unique_ptr<ByteSink> m_sink;
    int m_fd = -1;
};

// Copies `source` to `target` through a SafeFile: the target is either its old self or the whole
// copy. With failIfExists an existing target is left alone and the copy fails.
bool CopyFileSafely(const std::string& source, const std::string& target, bool failIfExists);

inline bool ReplaceFileSafely(const std::string& source, const std::string& target) {
    return CopyFileSafely(source, target, false);
}
