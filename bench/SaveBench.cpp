// The save on a large stick, the configuration rewrite inside it, and the memory a save needs,
// each against the work that no implementation of the same save could leave out.
#include "Benchmarks.h"

#include "BenchSupport.h"
#include "platform/Gzip.h"
#include "SaveExpectations.h"
#include "StickBuilder.h"
#include "TempDir.h"
#include "app/InstallationPaths.h"
#include "platform/ByteStream.h"
#include "platform/Prompt.h"
#include "platform/StickPath.h"
#include "stick/StickPreparation.h"
#include "writer/MwcRewriter.h"
#include "writer/SavePipeline.h"
#include "writer/StickRoom.h"

#include <cstdio>
#include <malloc.h>
#include <memory>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int RecognitionProfile = 6;
constexpr int SavePairs = 25;
constexpr int RewritePairs = 101;
constexpr int MemoryRuns = 3;
constexpr int RoomPairs = 15;
constexpr size_t CopyBufferBytes = size_t{1} << 16;

// A stick of the Recognition software with a large configuration, the program folder with the
// real compressor, and every stock sound assigned; opened as the dialog opens it.
class LargeSave {
public:
    LargeSave() : m_world(m_dir.Path()) {}

    bool Prepare(std::string& problem) {
        const ModelProfile& profile = ProfileTable[RecognitionProfile];
        if (!m_world.HasCompressor()) {
            problem = "Crushkit not found in TW_PROGRAM_DIR";
            return false;
        }
        if (!WriteReplacementFiles(m_world.Sounds())) {
            problem = "cannot write the replacement sounds";
            return false;
        }
        StickBuilder builder(profile);
        builder.Container(LargeContainer(profile, LargeContainerRecords, LargeContainerBlocks));
        m_stick = m_dir / "stick";
        if (!builder.Build(m_stick)) {
            problem = "cannot build the stick";
            return false;
        }
        PromptScript::Activate();
        PromptScript::Clear();
        PromptScript::SetNextFileName(builder.HostPath(m_stick, "MEMSTICK.IND"));
        if (!OpenStick(m_state) || m_state.ActiveProfile != &profile) {
            problem = "the stick did not open as Recognition (210)";
            return false;
        }
        m_state.Assignments = AssignEveryStockSound(profile);
        m_state.Modified = true;
        m_backup = ResolveStickPath(MakeBackupPath(profile.mwcPath));
        m_dataFolder = ResolveStickPath(profile.dataFolder);
        m_recordPath = ResolveStickPath(profile.mwcPath);
        m_recordPath.replace(m_recordPath.size() - 4, 4, ".CUS");
        return true;
    }

    // One save as the Save button runs it; nothing when it did not end with the summary.
    std::optional<double> TimedSave() {
        PromptScript::Clear();
        m_state.Modified = true;
        auto start = BenchClock::now();
        SaveOutcome outcome = SaveCustomization(m_state);
        double ms = MillisecondsSince(start);
        if (outcome != SaveOutcome::Saved || m_state.ModifiedEntryCount <= 0) {
            return std::nullopt;
        }
        return ms;
    }

    // What any save of the same choices has to do: the distinct replacement files' bytes into one
    // file, the container unpacked and packed again at level 6 (zlib in this process, through
    // Crushkit's own stream code, so the compression work is the same), and the record; each
    // output file synced to the device as the save syncs its files.
    std::optional<double> TimedBaseline() {
        auto start = BenchClock::now();
        bool ok = CopyIntoOneFile();
        const std::string plain = m_world.Program() + "/baseline.mwc";
        const std::string packed = m_world.Program() + "/baseline.mwc.gz";
        ok = ok && Unpack(m_backup, plain) && Pack(plain, packed);
        ok = ok && WriteRecordLike();
        double ms = MillisecondsSince(start);
        std::remove(plain.c_str());
        std::remove(packed.c_str());
        return ok ? std::optional<double>(ms) : std::nullopt;
    }

    CustomizationState& State() { return m_state; }
    const std::string& Backup() const { return m_backup; }
    const std::string& WorkFolderPath() const { return m_world.Program(); }
    const std::string& SoundsFolderPath() const { return m_world.Sounds(); }

    static bool Unpack(const std::string& from, const std::string& to) {
        std::unique_ptr<FileSource> in = FileSource::Open(from);
        std::unique_ptr<FileSink> out = FileSink::Create(to);
        return in && out && GunzipStream(*in, *out) && out->Close();
    }

private:
    bool CopyIntoOneFile() {
        std::unique_ptr<FileSink> out = FileSink::Create(m_dataFolder + "/BASELINE.ODA");
        if (!out) {
            return false;
        }
        std::vector<uint8_t> buffer(CopyBufferBytes);
        for (int i = 0; i < ReplacementFileCount; ++i) {
            std::unique_ptr<FileSource> in = FileSource::Open(m_world.Sounds() + "/" + ReplacementFileName(i));
            if (!in) {
                return false;
            }
            for (size_t n = 0; (n = in->Read(buffer.data(), buffer.size())) > 0;) {
                if (out->Write(buffer.data(), n) != n) {
                    return false;
                }
            }
        }
        return out->Close();
    }

    static bool Pack(const std::string& from, const std::string& to) {
        std::unique_ptr<FileSource> in = FileSource::Open(from);
        std::unique_ptr<FileSink> out = FileSink::Create(to);
        return in && out && GzipStream(*in, *out, 6) && out->Close();
    }

    bool WriteRecordLike() {
        const std::string text = ExpectedRecord(*m_state.ActiveProfile, *m_state.Assignments);
        std::unique_ptr<FileSink> out = FileSink::Create(m_recordPath + ".baseline");
        return out && out->Write(text.data(), text.size()) == text.size() && out->Close();
    }

    TempDir m_dir;
    SaveWorld m_world;
    std::string m_stick;
    std::string m_backup;
    std::string m_dataFolder;
    std::string m_recordPath;
    CustomizationState m_state;
};

// A plain copy through stdio with a 64 KiB buffer, synced as the rewrite syncs its output. Both
// write a new file, as the rewrite does in a save (the compressor removed the last one):
// truncating the previous output would cost as much again as the copy itself.
std::optional<double> TimedCopy(const std::string& from, const std::string& to) {
    std::remove(to.c_str());
    auto start = BenchClock::now();
    FILE* in = std::fopen(from.c_str(), "rb");
    FILE* out = std::fopen(to.c_str(), "wb");
    bool ok = in != nullptr && out != nullptr;
    std::vector<char> buffer(CopyBufferBytes);
    for (size_t n = 0; ok && (n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0;) {
        ok = std::fwrite(buffer.data(), 1, n, out) == n;
    }
    if (out != nullptr) {
        ok = std::fflush(out) == 0 && fsync(fileno(out)) == 0 && ok;
        ok = std::fclose(out) == 0 && ok;
    }
    if (in != nullptr) {
        std::fclose(in);
    }
    double ms = MillisecondsSince(start);
    return ok ? std::optional<double>(ms) : std::nullopt;
}

std::optional<double> TimedRewrite(CustomizationState& state, const std::string& from, const std::string& to) {
    state.ModifiedEntryCount = 0;
    std::remove(to.c_str());
    auto start = BenchClock::now();
    int result = RewriteMwcEntries(from, to, SubstituteSoundName(state));
    double ms = MillisecondsSince(start);
    return result == 0 && state.ModifiedEntryCount > 0 ? std::optional<double>(ms) : std::nullopt;
}

// The room line after a choice: the configuration rewritten and packed in memory, the sizes of
// the other files and the stick's free room.
std::optional<double> TimedRoomEstimate(const CustomizationState& state, const std::string& sounds) {
    auto start = BenchClock::now();
    const std::optional<StickRoom> room = EstimateStickRoom(state, sounds);
    double ms = MillisecondsSince(start);
    return room && room->needBytes > 0 ? std::optional<double>(ms) : std::nullopt;
}

// What any exact figure must do: pack the unpacked configuration once, in memory.
std::optional<double> TimedPackInMemory(const std::vector<uint8_t>& plain) {
    auto start = BenchClock::now();
    MemorySource source(plain.data(), plain.size());
    MemorySink packed;
    const bool ok = GzipStream(source, packed, 6);
    double ms = MillisecondsSince(start);
    return ok ? std::optional<double>(ms) : std::nullopt;
}

struct SaveMemory {
    long beforeKb = 0;
    long peakKb = 0;
    long compressorPeakKb = 0;
    bool saved = false;
};

// The child's resident high-water mark starts again from what it holds now. Free heap left by the
// saves before would otherwise stay resident in it, and a save reusing that memory would not
// show; so it is handed back first.
void RestartHighWaterMark() {
    malloc_trim(0);
    if (FILE* refs = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", refs);
        std::fclose(refs);
    }
}

// The save runs in a child of this process, so its peak is its own: the child's high-water mark
// is taken just before the save, and whatever it rises to is the save's doing.
std::optional<SaveMemory> MeasureSaveMemory(CustomizationState& state) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        return std::nullopt;
    }
    std::fflush(nullptr);
    pid_t child = fork();
    if (child < 0) {
        return std::nullopt;
    }
    if (child == 0) {
        close(pipeEnds[0]);
        SaveMemory memory;
        RestartHighWaterMark();
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        memory.beforeKb = usage.ru_maxrss;
        state.Modified = true;
        memory.saved = SaveCustomization(state) == SaveOutcome::Saved;
        getrusage(RUSAGE_SELF, &usage);
        memory.peakKb = usage.ru_maxrss;
        getrusage(RUSAGE_CHILDREN, &usage);
        memory.compressorPeakKb = usage.ru_maxrss;
        ssize_t written = write(pipeEnds[1], &memory, sizeof memory);
        _exit(written == static_cast<ssize_t>(sizeof memory) ? 0 : 1);
    }
    close(pipeEnds[1]);
    SaveMemory memory;
    ssize_t got = read(pipeEnds[0], &memory, sizeof memory);
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (got != static_cast<ssize_t>(sizeof memory) || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return std::nullopt;
    }
    return memory;
}

BenchRow ErrorRow(const std::string& what, const std::string& problem) {
    BenchRow row;
    row.what = what;
    row.measured = problem;
    row.verdict = BenchRow::Verdict::Error;
    return row;
}

} // namespace

SaveBenchResult RunSaveBenchmarks() {
    SaveBenchResult result;
    const char* const saveWhat = "1 Save: Recognition, 166 sounds/60 WAVs, 50k records";
    const char* const rewriteWhat = "2 RewriteMwcEntries of it vs 64 KiB copy";
    const char* const memoryWhat = "5 Save peak memory (forked child, growth)";
    const char* const roomWhat = "8 Room line after a choice, 50k records";

    LargeSave save;
    std::string problem;
    if (!save.Prepare(problem)) {
        result.save = ErrorRow(saveWhat, problem);
        result.rewrite = ErrorRow(rewriteWhat, problem);
        result.memory = ErrorRow(memoryWhat, problem);
        result.room = ErrorRow(roomWhat, problem);
        return result;
    }

    // 1. Whole saves against their baselines, in pairs.
    std::optional<PairedRuns> saves = RunPairs(
        SavePairs, [&] { return save.TimedSave(); }, [&] { return save.TimedBaseline(); });
    if (!saves) {
        result.save = ErrorRow(saveWhat, "save or baseline failed");
    } else {
        BenchRow& row = result.save;
        row.what = saveWhat;
        row.measured = FormatMs(Median(saves->a));
        row.baseline = FormatMs(Median(saves->b));
        row.ratio = saves->RatioSpread();
        row.target = "save/base <= 1.5";
        row.verdict = saves->MedianRatio() <= 1.5 ? BenchRow::Verdict::Pass : BenchRow::Verdict::Miss;
    }

    // 2. A copy of the unpacked container against its rewrite, in pairs.
    const std::string plain = save.WorkFolderPath() + "/bench-plain.mwc";
    const std::string rewritten = save.WorkFolderPath() + "/bench-rewritten.mwc";
    const std::string copied = save.WorkFolderPath() + "/bench-copied.mwc";
    std::optional<PairedRuns> rewrites, rooms;
    if (LargeSave::Unpack(save.Backup(), plain)) {
        const std::vector<uint8_t> unpacked = ReadFileBytes(plain);
        result.containerMb = static_cast<double>(unpacked.size()) / (1024.0 * 1024.0);
        rewrites = RunPairs(
            RewritePairs, [&] { return TimedCopy(plain, copied); },
            [&] { return TimedRewrite(save.State(), plain, rewritten); });
        // 7. The first estimate of a run also unpacks the backup; the line is redrawn after every
        // choice, which the pairs measure.
        rooms = RunPairs(
            RoomPairs, [&] { return TimedRoomEstimate(save.State(), save.SoundsFolderPath()); },
            [&] { return TimedPackInMemory(unpacked); });
    }
    if (!rooms) {
        result.room = ErrorRow(roomWhat, "estimate or packing failed");
    } else {
        BenchRow& row = result.room;
        row.what = roomWhat;
        row.measured = FormatMs(Median(rooms->a));
        row.baseline = FormatMs(Median(rooms->b));
        row.ratio = rooms->RatioSpread();
        row.target = "room/pack <= 1.5";
        row.verdict = rooms->MedianRatio() <= 1.5 ? BenchRow::Verdict::Pass : BenchRow::Verdict::Miss;
    }
    if (!rewrites) {
        result.rewrite = ErrorRow(rewriteWhat, "rewrite or copy failed");
    } else {
        BenchRow& row = result.rewrite;
        row.what = rewriteWhat;
        row.measured = FormatMs(Median(rewrites->b));
        row.baseline = FormatMs(Median(rewrites->a));
        row.ratio = rewrites->RatioSpread("");
        row.target = "copy/rewrite >= 0.5";
        row.verdict = rewrites->MedianRatio() >= 0.5 ? BenchRow::Verdict::Pass : BenchRow::Verdict::Miss;
    }
    std::remove(plain.c_str());
    std::remove(rewritten.c_str());
    std::remove(copied.c_str());

    // 5. The save's own memory, the largest of a few runs.
    std::optional<SaveMemory> worst;
    bool failed = false;
    for (int run = 0; run < MemoryRuns && !failed; ++run) {
        std::optional<SaveMemory> m = MeasureSaveMemory(save.State());
        failed = !m || !m->saved;
        if (!failed && (!worst || m->peakKb - m->beforeKb > worst->peakKb - worst->beforeKb)) {
            worst = m;
        }
    }
    if (failed || !worst) {
        result.memory = ErrorRow(memoryWhat, "the save in the child failed");
    } else {
        const double growthMb = static_cast<double>(worst->peakKb - worst->beforeKb) / 1024.0;
        const double limitMb = static_cast<double>(ReplacementFileBytes) / (1024.0 * 1024.0) + 32.0;
        BenchRow& row = result.memory;
        row.what = memoryWhat;
        row.measured = FormatMb(growthMb);
        row.baseline = FormatMb(static_cast<double>(worst->beforeKb) / 1024.0) + " before";
        char ratio[32];
        std::snprintf(ratio, sizeof ratio, "%.2f", growthMb / limitMb);
        row.ratio = ratio;
        row.target = "growth <= " + FormatMb(limitMb);
        row.verdict = growthMb <= limitMb ? BenchRow::Verdict::Pass : BenchRow::Verdict::Miss;
        result.compressorPeakMb = static_cast<double>(worst->compressorPeakKb) / 1024.0;
    }
    PromptScript::Deactivate();
    return result;
}
