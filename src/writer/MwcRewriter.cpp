#include "writer/MwcRewriter.h"

#include "app/CustomizationState.h"
#include "catalog/KeyPatterns.h"
#include "catalog/SoundCatalogs.h"
#include "platform/ByteStream.h"
#include "platform/Endian.h"
#include "stick/ModelProfiles.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace {

constexpr size_t FileHeaderSize = 16;
constexpr size_t BlockHeaderSize = 12;
constexpr size_t RecordHeaderSize = 24;
// Room for the longest text and its terminator, and slack for a callback that overshoots: a text
// left longer than the format allows is caught instead of overrunning the buffer.
constexpr size_t TextBufferSize = 256;
// Sound names are told apart by their first four characters before the full pattern match.
constexpr size_t KeyPrefixLength = 4;

// Owns one open stream and closes it on every way out, including an exception from a callback.
// A stream closed on purpose is released first, so it is never closed twice.
template <class Stream> class ScopedFile {
public:
    explicit ScopedFile(std::unique_ptr<Stream> stream) : m_stream(std::move(stream)) {}
    ~ScopedFile() { m_stream.reset(); }
    ScopedFile(const ScopedFile&) = delete;
    ScopedFile& operator=(const ScopedFile&) = delete;

    Stream* Get() const { return m_stream.get(); }
    explicit operator bool() const { return m_stream != nullptr; }
    // Hands the stream over so that its owner can close it and see the result.
    std::unique_ptr<Stream> Release() { return std::move(m_stream); }

private:
    std::unique_ptr<Stream> m_stream;
};

bool HasMagic(const uint8_t* header, const char* magic) {
    return std::memcmp(header, magic, 4) == 0;
}

// A container is read and written in pieces of a few bytes, tens of thousands of them; these
// fixed buffers make each piece a memory copy. Like a one-item read or write, a piece of zero
// bytes is a failure.
class BufferedInput {
public:
    explicit BufferedInput(ByteSource& source) : m_source(source) {}

    // An item whose size is known here is copied inline when it lies whole in the buffer, as most
    // do: a call to memcpy for a header of a few bytes costs more than the copy.
    template <size_t N> bool ReadFixed(void* out) {
        if (N <= m_end - m_pos) {
            std::memcpy(out, m_buffer + m_pos, N);
            m_pos += N;
            return true;
        }
        return ReadItem(out, N);
    }

    bool ReadItem(void* out, size_t n) {
        auto* p = static_cast<uint8_t*>(out);
        if (n == 0) {
            return false;
        }
        while (n > 0) {
            if (m_pos == m_end) {
                m_pos = 0;
                m_end = m_source.Read(m_buffer, sizeof m_buffer);
                if (m_end == 0) {
                    return false;
                }
            }
            const size_t take = std::min(n, m_end - m_pos);
            std::memcpy(p, m_buffer + m_pos, take);
            m_pos += take;
            p += take;
            n -= take;
        }
        return true;
    }

private:
    ByteSource& m_source;
    uint8_t m_buffer[64 * 1024];
    size_t m_pos = 0;
    size_t m_end = 0;
};

// Whatever was written reaches the sink on every way out, so a failed rewrite leaves its output
// as far as it got.
class BufferedOutput {
public:
    explicit BufferedOutput(ByteSink& sink) : m_sink(sink) {}
    ~BufferedOutput() { Flush(); }
    BufferedOutput(const BufferedOutput&) = delete;
    BufferedOutput& operator=(const BufferedOutput&) = delete;

    template <size_t N> bool WriteFixed(const void* data) {
        if (!m_failed && m_used + N <= sizeof m_buffer) {
            std::memcpy(m_buffer + m_used, data, N);
            m_used += N;
            return true;
        }
        return WriteItem(data, N);
    }

    bool WriteItem(const void* data, size_t n) {
        if (n == 0 || n > sizeof m_buffer || m_failed) {
            return false;
        }
        if (m_used + n > sizeof m_buffer && !Flush()) {
            return false;
        }
        std::memcpy(m_buffer + m_used, data, n);
        m_used += n;
        return true;
    }

    bool Flush() {
        if (m_used > 0) {
            m_failed = m_failed || m_sink.Write(m_buffer, m_used) != m_used;
            m_used = 0;
        }
        return !m_failed;
    }

private:
    ByteSink& m_sink;
    uint8_t m_buffer[64 * 1024];
    size_t m_used = 0;
    bool m_failed = false;
};

// Reads a header as one item, checks its magic and copies it out unchanged.
template <size_t N>
bool CopyHeader(BufferedInput& input, BufferedOutput* output, uint8_t (&header)[N], const char* magic) {
    if (!input.ReadFixed<N>(header) || !HasMagic(header, magic)) {
        return false;
    }
    return output == nullptr || output->WriteFixed<N>(header);
}

// The text's length up to its first zero byte, eight bytes at a time: it runs for every record,
// and a library call costs more than a short text's scan. A word's lowest flagged byte is its
// first zero byte; flags above it may be false.
size_t TextLength(const char (&text)[TextBufferSize]) {
    if constexpr (std::endian::native != std::endian::little) {
        return strnlen(text, TextBufferSize);
    }
    for (size_t at = 0; at < TextBufferSize; at += 8) {
        uint64_t word = 0;
        std::memcpy(&word, text + at, 8);
        const uint64_t zero = (word - 0x0101010101010101ULL) & ~word & 0x8080808080808080ULL;
        if (zero != 0) {
            return at + static_cast<size_t>(std::countr_zero(zero)) / 8;
        }
    }
    return TextBufferSize;
}

bool RewriteRecord(BufferedInput& input, BufferedOutput* output, uint32_t blockId, const MwcTextCallback& callback) {
    uint8_t header[RecordHeaderSize];
    // The header goes out before the length byte is read, so a damaged length leaves it in the
    // partial output just as far as the walk got.
    if (!CopyHeader(input, output, header, "CMAC")) {
        return false;
    }
    const uint32_t kind = ReadLE32(header + 4);

    uint8_t length = 0;
    if (!input.ReadFixed<1>(&length) || length < MinMwcTextLength || length > MaxMwcTextLength) {
        return false;
    }
    char text[TextBufferSize];
    if (!input.ReadItem(text, length)) {
        return false;
    }
    text[length] = '\0';
    if (callback) {
        callback(blockId, kind, text);
    }
    if (output == nullptr) {
        return true;
    }
    // The text ends at its first zero byte. Cut or replaced down to fewer than 2 bytes, or left
    // longer than 99, it would need a length byte that the format rejects: the copy would be a
    // file that neither the robot nor this walk can read back.
    const size_t newLength = TextLength(text);
    if (newLength < MinMwcTextLength || newLength > MaxMwcTextLength) {
        return false;
    }
    const auto lengthByte = static_cast<uint8_t>(newLength);
    return output->WriteFixed<1>(&lengthByte) && output->WriteItem(text, newLength);
}

int WalkBuffered(BufferedInput& input, BufferedOutput* output, const MwcTextCallback& callback) {
    uint8_t fileHeader[FileHeaderSize];
    if (!input.ReadItem(fileHeader, sizeof fileHeader) || !HasMagic(fileHeader, "MWCM") ||
        ReadLE32Signed(fileHeader + 4) != 1) {
        return -1;
    }
    if (output != nullptr && !output->WriteItem(fileHeader, sizeof fileHeader)) {
        return -1;
    }
    // Counts are signed: zero or less means no blocks or records, not four billion of them.
    const int32_t blockCount = ReadLE32Signed(fileHeader + 8);
    for (int32_t block = 0; block < blockCount; ++block) {
        uint8_t blockHeader[BlockHeaderSize];
        if (!CopyHeader(input, output, blockHeader, "MCID")) {
            return -1;
        }
        const uint32_t blockId = ReadLE32(blockHeader + 4);
        const int32_t recordCount = ReadLE32Signed(blockHeader + 8);
        for (int32_t record = 0; record < recordCount; ++record) {
            if (!RewriteRecord(input, output, blockId, callback)) {
                return -1;
            }
        }
    }
    return output == nullptr || output->Flush() ? 0 : -1;
}

int Walk(ByteSource& source, ByteSink* sink, const MwcTextCallback& callback) {
    // Two 64 KiB buffers: on the heap rather than the stack of whatever thread calls this.
    auto input = std::make_unique<BufferedInput>(source);
    std::unique_ptr<BufferedOutput> output = sink != nullptr ? std::make_unique<BufferedOutput>(*sink) : nullptr;
    return WalkBuffered(*input, output.get(), callback);
}

} // namespace

int RewriteMwcEntries(ByteSource& input, ByteSink* output, const MwcTextCallback& callback) {
    // The callback is outside code; whatever it throws ends the walk as a failure, not the save.
    try {
        return Walk(input, output, callback);
    } catch (...) {
        return -1;
    }
}

int RewriteMwcEntries(const std::string& inputPath, const std::optional<std::string>& outputPath,
                      const MwcTextCallback& callback) {
    // Declared input first, so that on the way out the output is closed before the input.
    ScopedFile<FileSource> input(FileSource::Open(inputPath));
    if (!input) {
        return -1; // and no output is created
    }
    ScopedFile<FileSink> output(outputPath ? FileSink::Create(*outputPath) : nullptr);
    if (outputPath && !output) {
        return -1;
    }
    if (RewriteMwcEntries(*input.Get(), output.Get(), callback) != 0) {
        return -1;
    }
    input.Release().reset();
    if (output) {
        // Buffered data that cannot reach the file make the copy incomplete.
        std::unique_ptr<FileSink> sink = output.Release();
        if (!sink->Close()) {
            return -1;
        }
    }
    return 0;
}

namespace {

// The substitution, prepared once for a whole rewrite. A configuration names tens of thousands of
// sounds and a catalog holds up to 166 keys that often share their first four characters, so
// trying every key on every name would be most of a save's time. The result is the same: the
// first assigned key in catalog order that matches the name gives the replacement, and since every
// custom sound name starts with "u_", which no key does, nothing after it can match again.
class PreparedSubstitution {
public:
    explicit PreparedSubstitution(CustomizationState& state) : m_state(state) {
        const ModelProfile* profile = state.ActiveProfile;
        if (profile == nullptr || profile->catalog == nullptr || !state.Assignments) {
            return;
        }
        const AssignmentTable& slots = *state.Assignments;
        for (int32_t i = 0; i < profile->catalogCount && static_cast<size_t>(i) < slots.size(); ++i) {
            const CatalogEntry& entry = profile->catalog[i];
            const std::optional<std::string>& slot = slots[static_cast<size_t>(i)];
            std::string customName;
            bool isMidi = false;
            if (!IsStockSound(entry) || !slot || !MakeCustomSoundName(*slot, customName, isMidi) ||
                customName.size() > MaxMwcTextLength) {
                continue;
            }
            (std::strpbrk(entry.key, "?*") == nullptr ? m_exact : m_patterns)
                .push_back(Candidate{i, entry.key, customName});
        }
        // At most half full, so that a name is found or missed within a probe or two.
        size_t size = 1;
        while (size < 2 * m_exact.size()) {
            size *= 2;
        }
        m_table.assign(size, Empty);
        for (size_t i = 0; i < m_exact.size(); ++i) {
            if (FindExact(m_exact[i].key) == nullptr) { // the first of equal keys wins
                size_t slot = Hash(m_exact[i].key) & (size - 1);
                while (m_table[slot] != Empty) {
                    slot = (slot + 1) & (size - 1);
                }
                m_table[slot] = i;
            }
        }
    }

    void operator()(uint32_t /*blockId*/, uint32_t kind, char* text) const {
        const std::string_view name = kind == SoundNameRecordKind && text != nullptr ? text : "";
        if (name.size() < KeyPrefixLength) {
            return;
        }
        const Candidate* best = FindExact(name);
        for (const Candidate& pattern : m_patterns) {
            if (best != nullptr && pattern.index > best->index) {
                break;
            }
            if (std::strncmp(pattern.key.data(), text, KeyPrefixLength) == 0 &&
                MatchSoundKey(pattern.key.data(), text)) {
                best = &pattern;
                break;
            }
        }
        if (best != nullptr) {
            std::memcpy(text, best->customName.c_str(), best->customName.size() + 1);
            ++m_state.ModifiedEntryCount;
        }
    }

private:
    struct Candidate {
        int32_t index;
        std::string_view key;
        std::string customName;
    };
    // The catalogs' keys differ in their length or their last eight characters; mixing those
    // costs no division, unlike the node-based map's bucket choice.
    static size_t Hash(std::string_view name) {
        // A fixed eight-byte copy stays a register load; a variable one is a library call here.
        uint64_t last = 0;
        if (name.size() >= 8) {
            std::memcpy(&last, name.data() + name.size() - 8, 8);
        } else {
            std::memcpy(&last, name.data(), name.size());
        }
        return static_cast<size_t>(((last ^ name.size()) * 0x9E3779B97F4A7C15ULL) >> 32);
    }
    const Candidate* FindExact(std::string_view name) const {
        const size_t mask = m_table.size() - 1;
        for (size_t slot = Hash(name) & mask; m_table[slot] != Empty; slot = (slot + 1) & mask) {
            if (m_exact[m_table[slot]].key == name) {
                return &m_exact[m_table[slot]];
            }
        }
        return nullptr;
    }

    CustomizationState& m_state;
    std::vector<Candidate> m_exact, m_patterns; // each in catalog order
    // Where each exact key is in m_exact, placed by Hash with open addressing. Indices rather than
    // pointers: the callback is copied into the walk.
    static constexpr size_t Empty = SIZE_MAX;
    std::vector<size_t> m_table = {Empty};
};

} // namespace

MwcTextCallback SubstituteSoundName(CustomizationState& state) {
    return PreparedSubstitution(state);
}
