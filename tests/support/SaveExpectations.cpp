#include "SaveExpectations.h"

#include "WaveBuilder.h"
#include "app/InstallationPaths.h"
#include "catalog/SoundCatalogs.h"
#include "platform/FileOps.h"
#include "platform/Spawn.h"
#include "platform/StickPath.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// "u_" + the file name up to its first ".", lowered; none for a name over 32 characters.
std::optional<std::string> CustomName(const std::string& fileName) {
    const size_t dot = fileName.find('.');
    return fileName.size() > 32 || dot == std::string::npos ? std::nullopt
                                                            : std::optional("u_" + LowerAscii(fileName.substr(0, dot)));
}

// "?" stands for any one character at its place, a "*" ending for any rest.
bool KeyMatches(const std::string& key, std::string name) {
    const size_t any = key.find('?'), rest = key.find('*');
    return any != std::string::npos    ? name.size() == key.size() && name.replace(any, 1, "?") == key
           : rest != std::string::npos ? name.size() >= rest && name.compare(0, rest, key, 0, rest) == 0
                                       : name == key;
}

// Each distinct custom sound name with the file first assigned under it, in catalog order.
std::vector<std::pair<std::string, std::string>> Packed(const AssignmentTable& slots) {
    std::vector<std::pair<std::string, std::string>> packed;
    for (const std::optional<std::string>& slot : slots) {
        const std::optional<std::string> name = slot ? CustomName(*slot) : std::nullopt;
        if (name && std::none_of(packed.begin(), packed.end(), [&](const auto& p) { return p.first == *name; })) {
            packed.emplace_back(*name, *slot);
        }
    }
    return packed;
}

} // namespace

Snapshot TakeSnapshot(const std::string& root, bool foldCase) {
    Snapshot snapshot;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = fs::relative(it->path(), root).string(), key = foldCase ? LowerAscii(name) : name;
        snapshot[it->is_directory() ? key + "/" : key] =
            it->is_directory() ? std::vector<uint8_t>() : ReadFileBytes(it->path());
    }
    return snapshot;
}

std::vector<uint8_t> ExpectedArchive(const AssignmentTable& slots, const std::string& soundsFolder) {
    const auto packed = Packed(slots);
    // Header: magic, 0, version 3, entry count, entry size; 64 bytes. Then one 144-byte entry per
    // sound: type, zero-filled name, data offset and size at 132; then the data in entry order.
    std::vector<uint8_t> out = {'O', 'D', 'A', 'R', 0, 0, 3, 0}, data;
    const auto put32 = [&out](size_t value) {
        for (int shift = 0; shift < 32; shift += 8) {
            out.push_back(static_cast<uint8_t>(value >> shift));
        }
    };
    put32(packed.size());
    put32(144);
    out.resize(64);
    for (const auto& [name, file] : packed) {
        const size_t row = out.size();
        const std::string type = LowerAscii(file.substr(file.rfind('.'))) == ".mid" ? "MIDI" : "WAVE";
        out.insert(out.end(), type.begin(), type.end());
        out.insert(out.end(), name.begin(), name.end());
        out.resize(row + 132);
        const std::vector<uint8_t> bytes = ReadFileBytes(soundsFolder + "/" + file);
        put32(64 + 144 * packed.size() + data.size());
        put32(bytes.size());
        out.resize(row + 144);
        data.insert(data.end(), bytes.begin(), bytes.end());
    }
    out.insert(out.end(), data.begin(), data.end());
    return packed.empty() ? std::vector<uint8_t>() : out;
}

MwcContainer ExpectedRewrite(MwcContainer container, const ModelProfile& profile, const AssignmentTable& slots,
                             int& replaced) {
    replaced = 0;
    for (MwcBlock& block : container.blocks) {
        for (MwcRecord& record : block.records) {
            // Names shorter than four characters, and keys whose first four differ, never match.
            for (int i = 0; record.kind == SoundRecordKind && record.text.size() >= 4 && i < profile.catalogCount;
                 ++i) {
                const std::string key = profile.catalog[i].key != nullptr ? profile.catalog[i].key : "";
                const std::optional<std::string>& slot = slots[static_cast<size_t>(i)];
                if (slot && CustomName(*slot) && key.compare(0, 4, record.text, 0, 4) == 0 &&
                    KeyMatches(key, record.text)) {
                    record.text = *CustomName(*slot);
                    ++replaced;
                    break;
                }
            }
        }
    }
    return container;
}

std::string ExpectedRecord(const ModelProfile& profile, const AssignmentTable& slots) {
    std::string text;
    for (int i = 0; i < profile.catalogCount; ++i) {
        if (const std::optional<std::string>& slot = slots[static_cast<size_t>(i)]; slot && profile.catalog[i].key) {
            text += std::string(profile.catalog[i].key) + "=" + *slot + "\r\n";
        }
    }
    return text;
}

std::string ExpectedSummary(int sounds, int entries, const ModelProfile& profile) {
    const std::string mwc = profile.mwcPath;
    return "Saved Custom Sounds\n   " + std::to_string(sounds) +
           " custom sounds saved to AUDIO.ODA (uncompressed)\n   " + std::to_string(entries) +
           " modified entries saved to " + mwc + " (compressed)\n" + "   customization info saved in " +
           mwc.substr(0, mwc.size() - 4) + ".CUS\n\nTry it out in your AIBO";
}

int DistinctSounds(const AssignmentTable& slots) {
    return static_cast<int>(Packed(slots).size());
}

std::vector<uint8_t> RobotWave(size_t sampleCount, uint8_t seed, uint16_t bitsPerSample) {
    WaveDescription wave;
    wave.bitsPerSample = bitsPerSample;
    wave.samples.resize(sampleCount * (bitsPerSample / 8u));
    for (size_t i = 0; i < wave.samples.size(); ++i) {
        wave.samples[i] = static_cast<uint8_t>(0x80 + ((i * (seed + 3u)) % 64u) - 32u);
    }
    return BuildWave(wave);
}

SaveWorld::SaveWorld(const std::string& root)
    : m_program(root + "/program"), m_sounds(root + "/program/SOUNDS"), m_savedProgram(ProgramFolder),
      m_savedSounds(SoundsFolder), m_savedWork(WorkFolder) {
    MakeFolders(m_sounds);
    const char* built = std::getenv("TW_PROGRAM_DIR");
    if (built != nullptr && access((std::string(built) + "/Crushkit").c_str(), X_OK) == 0) {
        std::error_code ec;
        fs::create_symlink(std::string(built) + "/Crushkit", Compressor(), ec);
        m_hasCompressor = !ec;
    }
    ProgramFolder = WorkFolder = m_program;
    SoundsFolder = m_sounds;
}

void SaveWorld::ReplaceCompressor(const std::string& script) const {
    std::error_code ec;
    fs::remove(Compressor(), ec);
    WriteFileText(Compressor(), "#!/bin/sh\n" + script + "\n");
    chmod(Compressor().c_str(), 0755);
}

std::vector<std::string> SaveWorld::WorkLeftovers() const {
    std::vector<std::string> names = ListFolder(m_program);
    std::erase_if(names, [](const std::string& name) { return name == "Crushkit" || name == "SOUNDS"; });
    return names;
}

int RunProgram(const std::vector<std::string>& argv, const std::string& logPath, const std::string& outputPath) {
    // The shell only sets up the redirections, then becomes the program.
    std::vector<std::string> shell = {
        "/bin/sh",
        "-c",
        R"(log=$1 out=$2; shift 2; [ -n "$out" ] && exec "$@" > "$out" 2> "$log"; exec "$@" > "$log" 2>&1)",
        "sh",
        logPath,
        outputPath};
    shell.insert(shell.end(), argv.begin(), argv.end());
    int error = 0;
    return SpawnAndWait(shell, &error);
}

std::optional<std::string> FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(std::string(path != nullptr ? path : "") + ":/usr/sbin:/sbin:/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');) {
        if (!folder.empty() && access((folder + "/" + name).c_str(), X_OK) == 0) {
            return folder + "/" + name;
        }
    }
    return std::nullopt;
}

std::optional<std::string> SaveDriverPath() {
    const std::string self = ExecutablePath(), driver = self.substr(0, self.rfind('/')) + "/SaveDriver";
    return access(driver.c_str(), X_OK) == 0 ? std::optional(driver) : std::nullopt;
}

DriverReport RunSaveDriver(const std::vector<std::string>& wrapper, const std::string& stickRoot,
                           const SaveWorld& world, const std::vector<std::string>& assignments,
                           const std::string& logPath) {
    const std::string report = logPath + ".report";
    std::remove(report.c_str());
    std::vector<std::string> argv = wrapper;
    argv.insert(argv.end(),
                {SaveDriverPath().value_or("SaveDriver"), stickRoot, world.Program(), world.Sounds(), report});
    argv.insert(argv.end(), assignments.begin(), assignments.end());
    DriverReport result;
    result.status = RunProgram(argv, logPath);
    // The outcome, then the messages, each ended by a NUL.
    std::istringstream fields(ReadFileText(report));
    for (std::string field; std::getline(fields, field, '\0');) {
        (result.outcome.empty() ? result.outcome : result.prompts.emplace_back()) = field;
    }
    return result;
}

std::optional<std::vector<std::string>> PrivateMount(const std::string& script) {
    std::optional<std::string> unshare = FindProgram("unshare");
    if (!unshare || geteuid() != 0 || RunProgram({*unshare, "-m", "true"}) != 0) {
        return std::nullopt;
    }
    return std::vector<std::string>{*unshare, "-m", "sh", "-c", script, "sh"};
}

std::optional<std::vector<std::string>> ReadOnlyMount() {
    return PrivateMount(R"(mount --bind "$1" "$1" && mount -o remount,bind,ro "$1" || exit 90; shift; exec "$@")");
}
