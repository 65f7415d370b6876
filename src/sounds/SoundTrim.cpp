#include "sounds/SoundTrim.h"

#include "catalog/KeyPatterns.h"
#include "platform/ByteStream.h"
#include "platform/Endian.h"
#include "platform/FileOps.h"
#include "platform/SafeFile.h"
#include "platform/StickPath.h"
#include "sounds/CustomSoundLibrary.h"
#include "sounds/SoundDecoder.h"
#include "sounds/SoundImport.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

constexpr size_t HeaderBytes = 44;
// The header up to and including the bits per sample of a format chunk that comes first.
constexpr size_t FormatHeadBytes = 36;
// Where the data chunk stands when the format chunk has its usual 16 bytes.
constexpr int64_t UsualDataChunk = 36;
// Names taken from under a write one after another: only a runaway process does that.
constexpr int MaxNameAttempts = 100;
const char* const WriteFailure = "The sound could not be written to the SOUNDS folder.";

bool ReadChunkHeader(ByteSource& source, int64_t at, char (&id)[4], uint32_t& size) {
    uint8_t head[8];
    if (!source.Seek(at) || !ReadItem(source, head, sizeof head)) {
        return false;
    }
    std::memcpy(id, head, 4);
    size = ReadLE32(head + 4);
    return true;
}

// The chunks after the format chunk, by their sizes. The list accepts a file whose format chunk
// size is wrong, as some tools write it; such a file is still read when its data chunk stands
// where a 16-byte format chunk puts it.
bool FindDataChunk(ByteSource& source, int64_t fileSize, int64_t& offset, uint32_t& declared) {
    char id[4];
    for (int64_t at = 12; at + 8 <= fileSize;) {
        uint32_t size = 0;
        if (!ReadChunkHeader(source, at, id, size)) {
            break;
        }
        if (std::memcmp(id, "data", 4) == 0) {
            offset = at + 8;
            declared = size;
            return true;
        }
        at += 8 + static_cast<int64_t>(size) + (size & 1);
    }
    if (ReadChunkHeader(source, UsualDataChunk, id, declared) && std::memcmp(id, "data", 4) == 0) {
        offset = UsualDataChunk + 8;
        return true;
    }
    return false;
}

// An earlier cut's "_trim" or "_trim_N" at the end of a cleaned stem.
std::string WithoutTrimMark(const std::string& stem) {
    size_t end = stem.size();
    while (end > 0 && stem[end - 1] >= '0' && stem[end - 1] <= '9') {
        --end;
    }
    if (end < stem.size()) {
        if (end == 0 || stem[end - 1] != '_') {
            return stem;
        }
        --end;
    }
    const std::string mark = "_trim";
    if (end > mark.size() && stem.compare(end - mark.size(), mark.size(), mark) == 0) {
        return stem.substr(0, end - mark.size());
    }
    return stem;
}

std::vector<std::string> SoundsFolderNames(const std::string& folder) {
    std::vector<std::string> names;
    for (const char* extension : {"wav", "mid"}) {
        for (const FoundFile& found : FindFiles(folder, extension)) {
            names.push_back(found.name);
        }
    }
    return names;
}

TrimResult Failed(std::string reason) {
    return {false, {}, std::move(reason)};
}

} // namespace

bool ReadWaveLayout(ByteSource& source, WaveLayout& layout, std::string& reason) {
    uint8_t head[FormatHeadBytes];
    MemorySource listed(head, sizeof head);
    if (!source.Seek(0) || !ReadItem(source, head, sizeof head) || !IsAcceptedWaveHeader(listed)) {
        reason = "It is not a WAV file of 8000 Hz mono PCM.";
        return false;
    }
    const int bits = ReadLE16(head + 34);
    if (bits != 8 && bits != 16) {
        reason = "Only sounds of 8 or 16 bits a sample can be cut; this one has " + std::to_string(bits) + ".";
        return false;
    }
    const int64_t fileSize = source.Size();
    int64_t offset = 0;
    uint32_t declared = 0;
    if (fileSize < 0 || !FindDataChunk(source, fileSize, offset, declared)) {
        reason = "The file holds no sound data.";
        return false;
    }
    // Writers that stream often leave the size at its largest value: the file's end is the end.
    int64_t bytes = std::min<int64_t>(declared, std::max<int64_t>(0, fileSize - offset));
    bytes -= bytes % (bits / 8);
    if (bytes / (bits / 8) > static_cast<int64_t>(MaxImportSeconds) * TrimRate) {
        reason = "The sound is longer than " + std::to_string(static_cast<int>(MaxImportSeconds / 60)) + " minutes.";
        return false;
    }
    layout = WaveLayout{bits, offset, bytes};
    return true;
}

bool ReadWaveSamples(ByteSource& source, std::vector<int16_t>& samples, std::string& reason) {
    WaveLayout layout;
    if (!ReadWaveLayout(source, layout, reason)) {
        return false;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(layout.dataBytes));
    if (!source.Seek(layout.dataOffset) || (!bytes.empty() && !ReadItem(source, bytes.data(), bytes.size()))) {
        reason = "The file cannot be read.";
        return false;
    }
    samples.resize(layout.SampleCount());
    if (layout.bitsPerSample == 8) {
        for (size_t i = 0; i < samples.size(); ++i) {
            samples[i] = static_cast<int16_t>((bytes[i] - 128) * 256);
        }
    } else {
        for (size_t i = 0; i < samples.size(); ++i) {
            samples[i] = static_cast<int16_t>(ReadLE16(bytes.data() + 2 * i));
        }
    }
    return true;
}

std::vector<int16_t> CutWithFades(const std::vector<int16_t>& samples, size_t first, size_t end) {
    end = std::min(end, samples.size());
    first = std::min(first, end);
    std::vector<int16_t> cut(samples.begin() + static_cast<std::ptrdiff_t>(first),
                             samples.begin() + static_cast<std::ptrdiff_t>(end));
    const size_t fade = std::min(TrimFadeSamples, cut.size() / 2);
    if (fade == 0) {
        return cut;
    }
    // Linear gain from 0 at the cut: the first sample kept and the last one are silent, and
    // every sample of a fade is quieter than the one it stands for.
    const auto scale = [fade](int16_t sample, size_t step) {
        const auto scaled = static_cast<long>(sample) * static_cast<long>(step);
        const auto half = static_cast<long>(fade / 2);
        return static_cast<int16_t>(scaled >= 0 ? (scaled + half) / static_cast<long>(fade)
                                                : (scaled - half) / static_cast<long>(fade));
    };
    for (size_t i = 0; i < fade; ++i) {
        if (first > 0) {
            cut[i] = scale(cut[i], i);
        }
        if (end < samples.size()) {
            cut[cut.size() - 1 - i] = scale(cut[cut.size() - 1 - i], i);
        }
    }
    return cut;
}

uint64_t TrimmedFileBytes(size_t samples) {
    return HeaderBytes + 2 * static_cast<uint64_t>(samples);
}

std::vector<uint8_t> EncodeTrimmedWave(const std::vector<int16_t>& samples) {
    const uint64_t dataBytes = 2 * static_cast<uint64_t>(samples.size());
    if (dataBytes > std::numeric_limits<uint32_t>::max() - (HeaderBytes - 8)) {
        return {};
    }
    std::vector<uint8_t> wave(HeaderBytes + dataBytes);
    uint8_t* p = wave.data();
    std::memcpy(p, "RIFF", 4);
    WriteLE32(p + 4, static_cast<uint32_t>(HeaderBytes - 8 + dataBytes));
    std::memcpy(p + 8, "WAVEfmt ", 8);
    WriteLE32(p + 16, 16);           // format chunk size
    WriteLE16(p + 20, 1);            // PCM
    WriteLE16(p + 22, 1);            // mono
    WriteLE32(p + 24, TrimRate);     // frames per second
    WriteLE32(p + 28, TrimRate * 2); // bytes per second
    WriteLE16(p + 32, 2);            // bytes per frame
    WriteLE16(p + 34, 16);           // bits per sample
    std::memcpy(p + 36, "data", 4);
    WriteLE32(p + 40, static_cast<uint32_t>(dataBytes));
    p += HeaderBytes;
    for (const int16_t sample : samples) {
        WriteLE16(p, static_cast<uint16_t>(sample));
        p += 2;
    }
    return wave;
}

bool IsTrimmableName(const std::string& fileName) {
    return fileName.size() > 4 && EqualsNoCase(fileName.substr(fileName.size() - 4), ".wav");
}

std::string TrimmedFileName(const std::string& sourceFileName, const std::vector<std::string>& namesInSounds) {
    // The import's cleaning of the name, asked of the import itself with nothing in the way.
    std::string stem = ImportedFileName(sourceFileName, false, {});
    stem = WithoutTrimMark(stem.substr(0, stem.size() - 4));
    for (size_t number = 1;; ++number) {
        const std::string mark = number == 1 ? std::string("_trim") : "_trim_" + std::to_string(number);
        // The stem gives way, so the mark and its number are never cut.
        std::string base = stem.substr(0, std::max<size_t>(1, MaxReplacementFileName - 4 - mark.size()));
        while (base.size() > 1 && base.back() == '_') {
            base.pop_back();
        }
        // A clean name comes back as it is exactly when no file of the folder holds its custom name.
        const std::string candidate = base + mark + ".wav";
        if (ImportedFileName(candidate, false, namesInSounds) == candidate) {
            return candidate;
        }
    }
}

TrimResult WriteTrimmedSound(const std::string& soundsFolder, const std::string& sourceFileName,
                             const std::vector<int16_t>& cut) {
    const std::vector<uint8_t> bytes = EncodeTrimmedWave(cut);
    if (bytes.empty()) {
        return Failed(WriteFailure);
    }
    std::string refused;
    for (int attempt = 0; attempt < MaxNameAttempts; ++attempt) {
        const std::vector<std::string> names = SoundsFolderNames(soundsFolder);
        // A rename refused while the name was still free failed for another reason than the name.
        if (!refused.empty() && std::find(names.begin(), names.end(), refused) == names.end()) {
            return Failed(WriteFailure);
        }
        const std::string name = TrimmedFileName(sourceFileName, names);
        SafeFile file(soundsFolder + "/" + name);
        if (!file.Open()) {
            return Failed("The SOUNDS folder cannot be written to.");
        }
        if (!WriteItem(file.Sink(), bytes.data(), bytes.size())) {
            return Failed(WriteFailure);
        }
        if (file.Commit(true)) {
            return {true, name, {}};
        }
        refused = name;
    }
    return Failed(WriteFailure);
}

TrimResult TrimSoundFile(const std::string& soundsFolder, const std::string& fileName, size_t first, size_t end) {
    const std::unique_ptr<FileSource> source = FileSource::Open(soundsFolder + "/" + fileName);
    std::vector<int16_t> samples;
    std::string reason;
    if (source == nullptr) {
        return Failed("The file cannot be opened.");
    }
    if (!ReadWaveSamples(*source, samples, reason)) {
        return Failed(reason);
    }
    return WriteTrimmedSound(soundsFolder, fileName, CutWithFades(samples, first, end));
}
