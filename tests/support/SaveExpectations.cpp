#include "SaveExpectations.h"

#include "SoundFixtures.h"
#include "WaveBuilder.h"
#include "app/InstallationPaths.h"
#include "catalog/SoundCatalogs.h"
#include "platform/FileOps.h"
#include "platform/Spawn.h"
#include "platform/StickPath.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

void PutLE16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void PutLE32(std::vector<uint8_t>& out, uint32_t value) {
    PutLE16(out, value & 0xFFFF);
    PutLE16(out, value >> 16);
}

} // namespace

Snapshot TakeSnapshot(const std::string& root, bool foldCase) {
    Snapshot snapshot;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        std::string name = fs::relative(it->path(), root).string();
        name = foldCase ? LowerAscii(name) : name;
        if (it->is_directory()) {
            snapshot[name + "/"] = {};
        } else {
            snapshot[name] = ReadFileBytes(it->path().string());
        }
    }
    return snapshot;
}

std::vector<std::string> HiddenEntries(const std::string& root) {
    std::vector<std::string> hidden;
    for (const auto& [name, bytes] : TakeSnapshot(root)) {
        if (fs::path(name).filename().string().rfind('.', 0) == 0) {
            hidden.push_back(name);
        }
    }
    return hidden;
}

std::optional<std::string> ExpectedCustomName(const std::string& fileName) {
    size_t dot = fileName.find('.');
    if (fileName.size() > 32 || dot == std::string::npos) {
        return std::nullopt;
    }
    return "u_" + LowerAscii(fileName.substr(0, dot));
}

bool ExpectedKeyMatch(const std::string& key, const std::string& name) {
    size_t any = key.find('?');
    if (any != std::string::npos) {
        if (key.size() != name.size()) {
            return false;
        }
        for (size_t i = 0; i < key.size(); ++i) {
            if (i != any && key[i] != name[i]) {
                return false;
            }
        }
        return true;
    }
    size_t rest = key.find('*');
    if (rest != std::string::npos) {
        return name.compare(0, rest, key, 0, rest) == 0 && name.size() >= rest;
    }
    return key == name;
}

std::vector<uint8_t> ExpectedArchive(const ModelProfile& profile, const AssignmentTable& slots,
                                     const std::string& soundsFolder) {
    struct Entry {
        std::string name;
        bool midi;
        std::vector<uint8_t> data;
    };
    std::vector<Entry> entries;
    for (int i = 0; i < profile.catalogCount; ++i) {
        const std::optional<std::string>& slot = slots[static_cast<size_t>(i)];
        if (!slot) {
            continue;
        }
        std::optional<std::string> name = ExpectedCustomName(*slot);
        if (!name) {
            continue;
        }
        bool seen = false;
        for (const Entry& e : entries) {
            seen = seen || LowerAscii(e.name) == LowerAscii(*name);
        }
        if (seen) {
            continue;
        }
        const std::string extension = LowerAscii(slot->substr(slot->rfind('.') + 1));
        entries.push_back(
            {*name, !extension.empty() && extension[0] == 'm', ReadFileBytes(soundsFolder + "/" + *slot)});
    }
    if (entries.empty()) {
        return {};
    }

    std::vector<uint8_t> out = {'O', 'D', 'A', 'R'};
    PutLE16(out, 0);
    PutLE16(out, 3);
    PutLE32(out, static_cast<uint32_t>(entries.size()));
    PutLE32(out, 144);
    out.resize(64, 0);
    uint32_t offset = static_cast<uint32_t>(64 + 144 * entries.size());
    for (const Entry& e : entries) {
        size_t start = out.size();
        const char* type = e.midi ? "MIDI" : "WAVE";
        out.insert(out.end(), type, type + 4);
        out.insert(out.end(), e.name.begin(), e.name.end());
        out.resize(start + 132, 0);
        PutLE32(out, offset);
        PutLE32(out, static_cast<uint32_t>(e.data.size()));
        out.resize(start + 144, 0);
        offset += static_cast<uint32_t>(e.data.size());
    }
    for (const Entry& e : entries) {
        out.insert(out.end(), e.data.begin(), e.data.end());
    }
    return out;
}

MwcContainer ExpectedRewrite(MwcContainer container, const ModelProfile& profile, const AssignmentTable& slots,
                             int& replaced) {
    replaced = 0;
    for (MwcBlock& block : container.blocks) {
        for (MwcRecord& record : block.records) {
            if (record.kind != SoundRecordKind || record.text.size() < 4) {
                continue;
            }
            for (int i = 0; i < profile.catalogCount; ++i) {
                const char* key = profile.catalog[i].key;
                const std::optional<std::string>& slot = slots[static_cast<size_t>(i)];
                if (key == nullptr || !slot || std::string(key).compare(0, 4, record.text, 0, 4) != 0 ||
                    !ExpectedKeyMatch(key, record.text)) {
                    continue;
                }
                if (std::optional<std::string> name = ExpectedCustomName(*slot)) {
                    record.text = *name;
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
        const std::optional<std::string>& slot = slots[static_cast<size_t>(i)];
        if (profile.catalog[i].key != nullptr && slot) {
            text += std::string(profile.catalog[i].key) + "=" + *slot + "\r\n";
        }
    }
    return text;
}

std::string ExpectedSummary(int sounds, int entries, const ModelProfile& profile) {
    const std::string mwc = profile.mwcPath;
    return "Saved Custom Sounds\n"
           "   " +
           std::to_string(sounds) +
           " custom sounds saved to AUDIO.ODA (uncompressed)\n"
           "   " +
           std::to_string(entries) + " modified entries saved to " + mwc +
           " (compressed)\n"
           "   customization info saved in " +
           mwc.substr(0, mwc.size() - 4) +
           ".CUS\n"
           "\nTry it out in your AIBO";
}

int DistinctSounds(const AssignmentTable& slots) {
    std::vector<std::string> names;
    for (const std::optional<std::string>& slot : slots) {
        std::optional<std::string> name = slot ? ExpectedCustomName(*slot) : std::nullopt;
        if (name && std::find(names.begin(), names.end(), LowerAscii(*name)) == names.end()) {
            names.push_back(LowerAscii(*name));
        }
    }
    return static_cast<int>(names.size());
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
    ProgramFolder = m_program;
    WorkFolder = m_program;
    SoundsFolder = m_sounds;
}

SaveWorld::~SaveWorld() {
    ProgramFolder = m_savedProgram;
    SoundsFolder = m_savedSounds;
    WorkFolder = m_savedWork;
}

void SaveWorld::AddSound(const std::string& name, const std::vector<uint8_t>& bytes) const {
    WriteFileBytes(m_sounds + "/" + name, bytes);
}

void SaveWorld::ReplaceCompressor(const std::string& script) const {
    std::error_code ec;
    fs::remove(Compressor(), ec);
    WriteFileText(Compressor(), "#!/bin/sh\n" + script + "\n");
    chmod(Compressor().c_str(), 0755);
}

std::vector<std::string> SaveWorld::WorkLeftovers() const {
    std::vector<std::string> names;
    for (const std::string& name : ListFolder(m_program)) {
        if (name != "Crushkit" && name != "SOUNDS") {
            names.push_back(name);
        }
    }
    return names;
}

void AddStandardSounds(const SaveWorld& world) {
    world.AddSound("bark.wav", RobotWave(1000, 1));
    world.AddSound("Hello.WAV", RobotWave(700, 2, 16));
    world.AddSound("tune.mid", MidiFileMaker().Note(60, 0, 96).Note(64, 96, 96).Bytes());
    world.AddSound("my.song.wav", RobotWave(300, 3));
    world.AddSound("my.wav", RobotWave(500, 9)); // u_my as well; must not be packed for my.song.wav
    world.AddSound("Sample.wav", RobotWave(200, 5));
    world.AddSound("sample.mid", MidiFileMaker().Note(72, 0, 48).Bytes());
}

int RunProgram(const std::vector<std::string>& argv, const std::string& logPath, const std::string& outputPath) {
    // The shell only sets up the redirections, then becomes the program.
    std::vector<std::string> shell = {"/bin/sh",
                                      "-c",
                                      "log=$1 out=$2; shift 2; [ -n \"$out\" ] && exec \"$@\" >\"$out\" 2>\"$log\"; "
                                      "exec \"$@\" >\"$log\" 2>&1",
                                      "sh",
                                      logPath,
                                      outputPath};
    shell.insert(shell.end(), argv.begin(), argv.end());
    int error = 0;
    return SpawnAndWait(shell, &error);
}

std::optional<std::string> FindProgram(const std::string& name) {
    std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    path += ":/usr/sbin:/sbin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(':', start);
        std::string folder = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!folder.empty() && access((folder + "/" + name).c_str(), X_OK) == 0) {
            return folder + "/" + name;
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return std::nullopt;
}

std::optional<bool> GzipAccepts(const std::string& path) {
    std::optional<std::string> gzip = FindProgram("gzip");
    if (!gzip) {
        return std::nullopt;
    }
    return RunProgram({*gzip, "-t", path}) == 0;
}

std::optional<std::string> SaveDriverPath() {
    const std::string self = ExecutablePath();
    const std::string driver = self.substr(0, self.rfind('/')) + "/SaveDriver";
    return access(driver.c_str(), X_OK) == 0 ? std::optional<std::string>(driver) : std::nullopt;
}

DriverReport RunSaveDriver(const std::vector<std::string>& wrapper, const std::string& stickRoot,
                           const SaveWorld& world, const std::vector<std::string>& assignments,
                           const std::string& logPath) {
    const std::string report = logPath + ".report";
    std::error_code ec;
    fs::remove(report, ec);
    std::vector<std::string> argv = wrapper;
    argv.insert(argv.end(),
                {SaveDriverPath().value_or("SaveDriver"), stickRoot, world.Program(), world.Sounds(), report});
    argv.insert(argv.end(), assignments.begin(), assignments.end());
    DriverReport result;
    result.status = RunProgram(argv, logPath);
    // The outcome, the state, then one prompt a line with its line feeds written as "\n".
    const std::string text = ReadFileText(report);
    std::vector<std::string> lines;
    for (size_t start = 0; start < text.size();) {
        const size_t end = std::min(text.find('\n', start), text.size());
        std::string line;
        for (size_t i = start; i < end; ++i) {
            const bool escape = text[i] == '\\' && i + 1 < end;
            line += escape ? (text[++i] == 'n' ? '\n' : text[i]) : text[i];
        }
        lines.push_back(line);
        start = end + 1;
    }
    if (lines.size() >= 2) {
        result.outcome = lines[0];
        result.state = lines[1];
        result.prompts.assign(lines.begin() + 2, lines.end());
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
