#include "sounds/SoundImport.h"

#include "catalog/KeyPatterns.h"
#include "platform/ByteStream.h"
#include "platform/FileOps.h"
#include "platform/SafeFile.h"
#include "platform/StickPath.h"
#include "platform/TextFolding.h"
#include "sounds/SoundDecoder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace {

// Shares of the progress: decoding and resampling take nearly all of an import's time.
constexpr double DecodeShare = 0.9;
constexpr double LoudnessShare = 0.05;
constexpr size_t WriteChunk = 64 * 1024;
// A MIDI file is copied through memory; real ones are a few kilobytes.
constexpr int64_t MaxMidiBytes = 16 * 1024 * 1024;
// Names taken from under an import one after another: only a runaway process does that.
constexpr int MaxNameAttempts = 100;

const char* const WriteFailure = "The sound could not be written to the SOUNDS folder.";

ImportResult Failed(std::string reason) {
    return {ImportStatus::Failed, {}, std::move(reason)};
}

ImportResult Cancelled() {
    return {ImportStatus::Cancelled, {}, {}};
}

ImportResult Done(std::string fileName = {}) {
    return {ImportStatus::Imported, std::move(fileName), {}};
}

bool IsAsciiAlnum(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

std::string CleanStem(const std::string& sourceFileName) {
    const std::string name = sourceFileName.substr(sourceFileName.rfind('/') + 1);
    const std::string raw = FoldToBaseLetters(name.substr(0, name.rfind('.')));
    std::string stem;
    for (const unsigned char c : raw) {
        if (IsAsciiAlnum(c)) {
            stem += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        } else if (!stem.empty() && stem.back() != '_') {
            stem += '_';
        }
    }
    while (!stem.empty() && stem.back() == '_') {
        stem.pop_back();
    }
    return stem.empty() ? "sound" : stem;
}

// Every .wav and .mid entry, directories too: a directory holds its name as well as a file does.
std::vector<std::string> SoundsFolderNames(const std::string& folder) {
    std::vector<std::string> names;
    for (const char* extension : {"wav", "mid"}) {
        for (const FoundFile& found : FindFiles(folder, extension)) {
            names.push_back(found.name);
        }
    }
    return names;
}

bool ReadWhole(ByteSource& source, std::vector<uint8_t>& bytes) {
    const int64_t size = source.Size();
    if (size < 0 || size > MaxMidiBytes || !source.Seek(0)) {
        return false;
    }
    bytes.resize(static_cast<size_t>(size));
    return bytes.empty() || ReadItem(source, bytes.data(), bytes.size());
}

// The recording as the robot's WAV file, in `wave`; progress runs from 0 to DecodeShare +
// LoudnessShare.
ImportResult ConvertRecording(ByteSource& source, const ImportProgress& progress, std::vector<uint8_t>& wave) {
    std::string reason;
    const std::unique_ptr<SoundDecoder> decoder = SoundDecoder::Open(source, reason);
    if (decoder == nullptr) {
        return Failed(reason);
    }
    Resampler resampler(decoder->Rate(), RobotPlaybackRate);
    if (!resampler.Ok()) {
        return Failed("The recording's sample rate cannot be converted.");
    }
    std::vector<float> mono8k;
    std::vector<float> block;
    for (;;) {
        if (!decoder->Read(block, reason)) {
            return Failed(reason);
        }
        if (block.empty()) {
            break;
        }
        if (decoder->Channels() == 1) {
            resampler.Push(block.data(), block.size(), mono8k);
        } else {
            const std::vector<float> mono = MixToMono(block, decoder->Channels());
            resampler.Push(mono.data(), mono.size(), mono8k);
        }
        if (progress && !progress(DecodeShare * decoder->Fraction())) {
            return Cancelled();
        }
    }
    resampler.Finish(mono8k);
    if (mono8k.empty()) {
        return Failed("The recording is too short.");
    }
    TrimSilence(mono8k);
    if (mono8k.empty()) {
        return Failed("The recording is silent.");
    }
    ImportProgress loudnessProgress;
    if (progress) {
        loudnessProgress = [&progress](double fraction) { return progress(DecodeShare + LoudnessShare * fraction); };
    }
    if (!NormalizeLoudness(mono8k, RobotPlaybackRate, loudnessProgress)) {
        return Cancelled();
    }
    wave = EncodeRobotWave(mono8k);
    return wave.empty() ? Failed(WriteFailure) : Done();
}

// Writes `bytes` into the folder under a name no file there has, beside it first and then renamed
// without replacing: a file that takes the name in the meantime is left alone and the next name
// tried. Progress runs from `start` to 1.
ImportResult WriteNewSound(const std::string& sourcePath, const std::string& folder, bool isMidi,
                           const std::vector<uint8_t>& bytes, double start, const ImportProgress& progress) {
    std::string refused;
    for (int attempt = 0; attempt < MaxNameAttempts; ++attempt) {
        const std::vector<std::string> names = SoundsFolderNames(folder);
        // A rename refused while the name was still free failed for another reason than the name.
        if (!refused.empty() && std::find(names.begin(), names.end(), refused) == names.end()) {
            return Failed(WriteFailure);
        }
        const std::string name = ImportedFileName(sourcePath, isMidi, names);
        SafeFile file(folder + "/" + name);
        if (!file.Open()) {
            return Failed("The SOUNDS folder cannot be written to.");
        }
        for (size_t at = 0; at < bytes.size(); at += WriteChunk) {
            const size_t n = std::min(WriteChunk, bytes.size() - at);
            if (!WriteItem(file.Sink(), bytes.data() + at, n)) {
                return Failed(WriteFailure);
            }
            const double written = static_cast<double>(at + n) / static_cast<double>(bytes.size());
            if (progress && !progress(start + (1 - start) * written)) {
                return Cancelled();
            }
        }
        if (file.Commit(true)) {
            return Done(name);
        }
        refused = name;
    }
    return Failed(WriteFailure);
}

} // namespace

std::string ImportedFileName(const std::string& sourceFileName, bool isMidi,
                             const std::vector<std::string>& namesInSounds) {
    const std::string stem = CleanStem(sourceFileName);
    const std::string extension = isMidi ? ".mid" : ".wav";
    std::vector<std::string> taken;
    for (const std::string& name : namesInSounds) {
        std::string customName;
        bool midi = false;
        if (MakeCustomSoundName(name, customName, midi)) {
            taken.push_back(std::move(customName));
        }
    }
    for (size_t number = 1;; ++number) {
        const std::string suffix = number == 1 ? std::string() : "_" + std::to_string(number);
        std::string candidate = stem.substr(0, MaxReplacementFileName - extension.size() - suffix.size());
        while (!candidate.empty() && candidate.back() == '_') {
            candidate.pop_back();
        }
        candidate += suffix;
        const std::string customName = "u_" + candidate;
        if (std::none_of(taken.begin(), taken.end(),
                         [&](const std::string& t) { return EqualsNoCase(t, customName); })) {
            return candidate + extension;
        }
    }
}

ImportResult ImportSound(const std::string& sourcePath, const std::string& soundsFolder,
                         const ImportProgress& progress) {
    // Opening a pipe for reading would wait for a writer that never comes, and a folder or a
    // device holds no recording either.
    std::error_code ec;
    if (std::filesystem::exists(sourcePath, ec) && !std::filesystem::is_regular_file(sourcePath, ec)) {
        return Failed("It is not a file that holds a recording (a folder, a pipe or a device).");
    }
    const std::unique_ptr<FileSource> source = FileSource::Open(sourcePath);
    if (source == nullptr) {
        return Failed(std::string("The file cannot be opened: ") + std::strerror(errno) + ".");
    }
    // MIDI goes to the robot as it is; only the file's own first bytes tell what it is.
    uint8_t head[4];
    const bool isMidi = ReadItem(*source, head, sizeof head) && std::memcmp(head, "MThd", sizeof head) == 0;
    std::vector<uint8_t> bytes;
    if (isMidi) {
        if (!ReadWhole(*source, bytes)) {
            return Failed("The MIDI file cannot be read, or is larger than " + std::to_string(MaxMidiBytes >> 20) +
                          " MB.");
        }
        return WriteNewSound(sourcePath, soundsFolder, true, bytes, 0, progress);
    }
    ImportResult converted = ConvertRecording(*source, progress, bytes);
    if (converted.status != ImportStatus::Imported) {
        return converted;
    }
    return WriteNewSound(sourcePath, soundsFolder, false, bytes, DecodeShare + LoudnessShare, progress);
}
