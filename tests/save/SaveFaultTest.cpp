// Every way a save can stop, met under real conditions: what the user is told, what the stick holds
// afterwards (each file old or new, never torn, no unfinished copy left), what stays in the work
// folder, and that the choices survive. The stick carries an earlier customization throughout, so
// an old file can be told from a new one. Read-only and full sticks and killed saves run SaveDriver
// in a private mount or under strace, and skip when those are missing.
#include "writer/SavePipeline.h"

#include "SaveExpectations.h"
#include "StickBuilder.h"
#include "TempDir.h"
#include "app/CustomizationState.h"
#include "app/InstallationPaths.h"
#include "catalog/SoundCatalogs.h"
#include "platform/Prompt.h"
#include "stick/StickPreparation.h"
#include "writer/CustomizationRecord.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sstream>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

const std::string kDialogTitle = "Open MEMSTICK.IND file at root of OpenR directory";
const std::string kArchiveFailed = "ERROR: Failed to save custom sounds to AUDIO.ODA file";
const std::string kNoBackup = "ERROR: Error finding .MWC file";
const std::string kUnpackFailed = "ERROR: Error uncompressing .MWC file";
const std::string kRewriteFailed = "ERROR: Failed to save updated entries to .MWC file";
const std::string kPackFailed = "ERROR: Error compressing .MWC file";
const std::string kCopyFailed = "ERROR: Error copying new .MWC file to stick";
const std::string kRecordFailed = "ERROR: Error creating summary file";
// Stand-ins in lists of expected messages: the summary of this save, the compressor's message for
// "-d" (with the error number of a missing file, or any) and for "-6".
const std::string kSummary = "<summary>";
const std::string kToolMissing = "<-d missing>";
const std::string kUnpackSpawn = "<-d>";
const std::string kPackSpawn = "<-6>";
const std::string kPackedResult = "$TMP$.ODA.gz";
const std::string kStickFiles[] = {"AUDIO.ODA", "ERS-210.MWC", "ERS-210.CUS"};

// How a save stops at one of the three stick files: the message, the fates of the archive, the
// configuration and the record (see ExpectStick), and what stays in the work folder.
struct Stop {
    std::string message;
    const char* fates;
    std::vector<std::string> workLeft;
};
const Stop kArchiveStop{kArchiveFailed, "OOO", {}};
const Stop kConfigurationStop{kCopyFailed, "NOO", {kPackedResult}};
const Stop kRecordStop{kRecordFailed, "NNO", {}};

// Ends an expected message whose number, the compressor's last errno, cannot be foreseen.
const std::string kAnyNumber = "(#)";

bool MessageMatches(const std::string& expected, const std::string& actual) {
    const size_t stem = expected.size() - std::min(expected.size(), kAnyNumber.size());
    if (expected.compare(stem, std::string::npos, kAnyNumber) != 0) {
        return expected == actual;
    }
    const std::string number = actual.substr(std::min(stem, actual.size()));
    return actual.compare(0, stem, expected, 0, stem) == 0 && number.size() > 2 && number.front() == '(' &&
           number.find_first_not_of("-0123456789", 1) == number.size() - 1 && number.back() == ')';
}

// SafeFile's unfinished copies: "." + the file's name + ".tw-" + six characters.
bool IsLeftoverCopy(const std::string& relativePath) {
    const std::string name = fs::path(relativePath).filename().string();
    return std::any_of(std::begin(kStickFiles), std::end(kStickFiles), [&](const std::string& file) {
        return name.size() == file.size() + 11 && name.rfind("." + file + ".tw-", 0) == 0;
    });
}

} // namespace

class SaveFaultTest : public ::testing::Test {
public: // the arrangements of the failure table reach in
    const ModelProfile& m_profile = ProfileTable[2];

    void SetUp() override {
        PromptScript::Activate();
        // LeakSanitizer cannot run under strace, and the driver's leaks are not what is tested here.
        setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
        if (!m_world.HasCompressor() || !FindProgram("gzip")) {
            GTEST_SKIP() << "needs the build's Crushkit (TW_PROGRAM_DIR) and Debian's gzip";
        }
        AddStandardSounds(m_world);
        // The earlier customization: its own configuration, archive and record, over the backup
        // that every save starts from.
        MwcContainer earlier = TypicalContainer(m_profile);
        earlier.blocks.front().records.front().text = "u_earlier";
        m_stick = StickBuilder(m_profile)
                      .MwcBytes(GzipBytes(BuildContainer(earlier)))
                      .Backup(*StickBuilder(m_profile).Options().mwc)
                      .Record("wake*=earlier.wav\r\n")
                      .AudioArchive(SampleArchive("an earlier archive"));
        ASSERT_TRUE(m_stick.Build(m_root));

        // One WAV for a "*" and a "?" key (wake*, sit_happy_joy3_t?s), a MIDI file for an exact key.
        m_slots = AssignmentTable(static_cast<size_t>(m_profile.catalogCount));
        m_slots[1] = m_slots[4] = "bark.wav";
        m_slots[2] = "tune.mid";
    }

    void TearDown() override { PromptScript::Deactivate(); }

    std::string Host(const std::string& stickPath) const { return m_stick.HostPath(m_root, stickPath); }
    std::string Root() const { return m_root; }
    std::string ArchiveFile() const { return Host(std::string(m_profile.dataFolder) + "\\AUDIO.ODA"); }
    std::string DataFolder() const { return Host(m_profile.dataFolder); }
    std::string MwcFile() const { return Host(m_profile.mwcPath); }
    std::string ConfigurationFolder() const { return fs::path(MwcFile()).parent_path().string(); }
    std::string BackupFile() const { return Host(MakeBackupPath(m_profile.mwcPath)); }
    std::string RecordFile() const { return Host(MakeRecordPath(m_profile.mwcPath)); }
    std::string Relative(const std::string& host) const { return fs::relative(host, m_root).string(); }

    // The assignments as SaveDriver takes them, and as it reports the state afterwards.
    std::vector<std::string> Assignments() const {
        std::vector<std::string> pairs;
        for (int i = 0; i < m_profile.catalogCount; ++i) {
            if (const auto& slot = m_slots[static_cast<size_t>(i)]) {
                pairs.push_back(std::string(m_profile.catalog[i].key) + "=" + *slot);
            }
        }
        return pairs;
    }
    std::string StateLine() const {
        std::string line = "modified";
        for (const std::string& pair : Assignments()) {
            line += " " + pair;
        }
        return line;
    }

    std::vector<uint8_t> NewContainer(int& replaced) const {
        return BuildContainer(ExpectedRewrite(TypicalContainer(m_profile), m_profile, m_slots, replaced));
    }
    std::vector<uint8_t> NewContainer() const {
        int replaced = 0;
        return NewContainer(replaced);
    }

    void Open(CustomizationState& state) {
        PromptScript::SetNextFileName(Host(*m_stick.Options().memstickName));
        ASSERT_TRUE(OpenStick(state));
        state.Assignments = m_slots;
        state.Modified = true;
        PromptScript::Clear();
    }

    void ExpectMessages(const std::vector<std::string>& shown, const std::vector<std::string>& expected) {
        ASSERT_EQ(shown.size(), expected.size()) << ::testing::PrintToString(shown);
        const std::string spawn = "Error spawning '" + m_world.Compressor();
        const std::string packedCopy = m_world.Program() + "/$TMP$.MWC.gz";
        int replaced = 0;
        NewContainer(replaced);
        const std::map<std::string, std::string> standIns = {
            {kSummary, ExpectedSummary(DistinctSounds(m_slots), replaced, m_profile)},
            {kToolMissing, spawn + " -d " + packedCopy + "' (2)"},
            {kUnpackSpawn, spawn + " -d " + packedCopy + "' " + kAnyNumber},
            {kPackSpawn, spawn + " -6 " + m_world.Program() + "/$TMP$.ODA' " + kAnyNumber}};
        for (size_t i = 0; i < shown.size(); ++i) {
            const std::string want = standIns.count(expected[i]) != 0 ? standIns.at(expected[i]) : expected[i];
            EXPECT_TRUE(MessageMatches(want, shown[i]))
                << "message " << i << ": " << shown[i] << "\nexpected: " << want;
        }
    }

    // The configuration as a stick must hold it: a whole gzip stream, for zlib and for gzip.
    void ExpectWholeGzip(const std::string& path, const std::vector<uint8_t>& content) {
        std::optional<std::vector<uint8_t>> plain = GunzipBytes(ReadFileBytes(path));
        ASSERT_TRUE(plain.has_value()) << path << " is no whole gzip stream";
        EXPECT_EQ(*plain, content);
        EXPECT_NE(GzipAccepts(path), std::optional<bool>(false)) << "gzip -t refuses " << path;
    }

    // Checks the stick against `before`: the archive, the configuration and the record each old
    // (as before) or new (as this save must write it) as `fates` says ("O" or "N" each, in that
    // order), everything else unchanged and no unfinished copy anywhere.
    void ExpectStick(const Snapshot& before, const std::string& fates, const std::string& root = "") {
        const std::string stickRoot = root.empty() ? m_root : root;
        Snapshot after = TakeSnapshot(stickRoot);
        Snapshot rest = before;
        const std::string files[] = {ArchiveFile(), MwcFile(), RecordFile()};
        for (size_t i = 0; i < 3; ++i) {
            const std::string name = Relative(files[i]);
            const std::string path = stickRoot + "/" + name;
            SCOPED_TRACE(name + (fates[i] == 'N' ? " should be new" : " should be as before"));
            if (fates[i] == 'N' && i == 0) {
                EXPECT_EQ(ReadFileBytes(path), ExpectedArchive(m_profile, m_slots, m_world.Sounds()));
            } else if (fates[i] == 'N' && i == 1) {
                ExpectWholeGzip(path, NewContainer());
            } else if (fates[i] == 'N') {
                EXPECT_EQ(ReadFileText(path), ExpectedRecord(m_profile, m_slots));
            } else {
                EXPECT_EQ(after.count(name), before.count(name));
                EXPECT_TRUE(after.count(name) == 0 || before.count(name) == 0 || after.at(name) == before.at(name));
            }
            after.erase(name);
            rest.erase(name);
        }
        // Unfinished copies an earlier save left behind are cleared; everything else stays as it was.
        std::erase_if(rest, [](const auto& entry) { return IsLeftoverCopy(entry.first); });
        std::set<std::string> changed;
        for (const Snapshot* side : {&after, &rest}) {
            for (const auto& [name, bytes] : *side) {
                if (after.count(name) == 0 || rest.count(name) == 0 || after.at(name) != rest.at(name)) {
                    changed.insert(name);
                }
            }
        }
        EXPECT_TRUE(changed.empty()) << "changed, new or gone: " << ::testing::PrintToString(changed);
    }

    // A save that SaveDriver ran and that stopped as `stop` says.
    void ExpectStopped(const DriverReport& report, const Stop& stop, const Snapshot& before,
                       const std::string& root = "") {
        ASSERT_EQ(report.status, 1) << ReadFileText(DriverLog());
        ExpectMessages(report.prompts, {kDialogTitle, stop.message});
        EXPECT_EQ(report.state, StateLine());
        ExpectStick(before, stop.fates, root);
        EXPECT_EQ(m_world.WorkLeftovers(), stop.workLeft);
    }

    // A save that SaveDriver ran and that was refused before it wrote anything, with one message
    // that says each of `mentions`.
    void ExpectRefused(const DriverReport& report, const std::vector<std::string>& mentions, const Snapshot& before,
                       const std::string& root = "") {
        ASSERT_EQ(report.status, 1) << ReadFileText(DriverLog());
        ASSERT_EQ(report.prompts.size(), 2u) << ::testing::PrintToString(report.prompts);
        for (const std::string& mention : mentions) {
            EXPECT_NE(report.prompts[1].find(mention), std::string::npos) << report.prompts[1] << "\nlacks " << mention;
        }
        EXPECT_EQ(report.state, StateLine());
        ExpectStick(before, "OOO", root);
        EXPECT_TRUE(m_world.WorkLeftovers().empty()) << ::testing::PrintToString(m_world.WorkLeftovers());
    }

    DriverReport Drive(const std::vector<std::string>& wrapper, const std::string& stickRoot) {
        return RunSaveDriver(wrapper, stickRoot, m_world, Assignments(), DriverLog());
    }
    std::string DriverLog() const { return m_dir / "driver.log"; }

    TempDir m_dir;
    SaveWorld m_world{m_dir.Path()};
    std::string m_root = m_dir / "stick";
    StickBuilder m_stick;
    AssignmentTable m_slots;
};

// --- The failure table: every way out of a save, in one process ---

class WaysOut;

struct WayOut {
    const char* name;
    std::vector<std::string> messages;
    const char* fates;                     // of the archive, the configuration and the record
    std::vector<std::string> workLeft;     // besides the compressor
    std::function<void(WaysOut&)> arrange; // stages the condition on the opened stick
};

void PrintTo(const WayOut& way, std::ostream* os) {
    *os << way.name;
}

class WaysOut : public SaveFaultTest, public ::testing::WithParamInterface<WayOut> {};

namespace {

void ReplaceByFolder(const std::string& path) {
    fs::remove_all(path);
    MakeFolders(path + "/inside");
    WriteFileText(path + "/inside/keep", "kept");
}

// A stand-in compressor that unpacks as gzip does and fails to pack, leaving nothing.
const char* const kFailsToPack = "case \"$1\" in -d) exec gzip -d \"$2\";; *) exit 1;; esac";

const std::vector<WayOut>& Table() {
    static const std::vector<WayOut> table = {
        WayOut("BackupRemovedAfterOpening", {kNoBackup}, "NOO", {}, [](WaysOut& t) { fs::remove(t.BackupFile()); }),
        WayOut("WorkFolderMissing", {kNoBackup}, "NOO", {},
               [](WaysOut& t) { WorkFolder = t.m_world.Program() + "/gone"; }),
        WayOut("CompressorMissing", {kToolMissing, kUnpackFailed}, "NOO", {},
               [](WaysOut& t) { fs::remove(t.m_world.Compressor()); }),
        WayOut("CompressorFailsToUnpackAndLeavesNothing", {kUnpackSpawn, kUnpackFailed}, "NOO", {},
               [](WaysOut& t) { t.m_world.ReplaceCompressor("exit 1"); }),
        WayOut("StaleTemporariesDoNotHideAFailedUnpack", {kUnpackSpawn, kUnpackFailed}, "NOO", {},
               [](WaysOut& t) {
                   t.m_world.ReplaceCompressor("exit 1");
                   WriteFileBytes(t.m_world.Program() + "/$TMP$.MWC", BuildContainer(TypicalContainer(t.m_profile)));
               }),
        // The unpacked copy counts; the tool's input is the tool's to remove, and it did not.
        WayOut(
            "CompressorUnpacksButReportsFailure", {kUnpackSpawn, kSummary}, "NNN", {"$TMP$.MWC.gz"},
            [](WaysOut& t) {
                t.m_world.ReplaceCompressor(
                    "case \"$1\" in -d) gzip -dc \"$2\" > \"${2%.gz}\"; exit 1;; *) exec gzip -n \"$1\" \"$2\";; esac");
            }),
        WayOut("BackupIsGzipButNoContainer", {kRewriteFailed}, "NOO", {},
               [](WaysOut& t) {
                   WriteFileBytes(t.BackupFile(), GzipBytes({'n', 'o', 'n', 'e'}));
               }),
        WayOut("CompressorFailsToPackAndLeavesNothing", {kPackSpawn, kPackFailed}, "NOO", {},
               [](WaysOut& t) { t.m_world.ReplaceCompressor(kFailsToPack); }),
        WayOut("StaleTemporariesDoNotHideAFailedPack", {kPackSpawn, kPackFailed}, "NOO", {},
               [](WaysOut& t) {
                   t.m_world.ReplaceCompressor(kFailsToPack);
                   WriteFileBytes(t.m_world.Program() + "/" + kPackedResult, GzipBytes({'o', 'l', 'd'}));
               }),
        WayOut("CompressorPacksButReportsFailure", {kPackSpawn, kSummary}, "NNN", {},
               [](WaysOut& t) {
                   t.m_world.ReplaceCompressor(
                       "case \"$1\" in -d) exec gzip -d \"$2\";; *) gzip -n -6 \"$2\"; exit 1;; esac");
               }),
        WayOut("ConfigurationIsAFolder", {kCopyFailed}, "NOO", {kPackedResult},
               [](WaysOut& t) { ReplaceByFolder(t.MwcFile()); }),
        WayOut("RecordIsAFolder", {kRecordFailed}, "NNO", {}, [](WaysOut& t) { ReplaceByFolder(t.RecordFile()); }),
        // Ways through that look like trouble but are not.
        WayOut("ReadOnlyConfigurationIsReplacedAllTheSame", {kSummary}, "NNN", {},
               [](WaysOut& t) { chmod(t.MwcFile().c_str(), 0444); }),
        WayOut("UnfinishedCopiesOfAnEarlierSaveAreCleared", {kSummary}, "NNN", {},
               [](WaysOut& t) {
                   WriteFileText(t.DataFolder() + "/.AUDIO.ODA.tw-Xk29aQ", "ODAR, cut off");
                   WriteFileText(t.ConfigurationFolder() + "/.ERS-210.MWC.tw-a1b2c3", "\x1f\x8b");
                   WriteFileText(t.ConfigurationFolder() + "/.ERS-210.CUS.tw-zzzzzz", "wake*=");
               }),
    };
    return table;
}

} // namespace

TEST_P(WaysOut, TellsTheUserLeavesTheStickWholeAndKeepsTheChoices) {
    const WayOut& way = GetParam();
    CustomizationState state;
    ASSERT_NO_FATAL_FAILURE(Open(state));
    // A hidden file of the user's beside the archive is not an unfinished copy and must stay, even
    // when its name has the length of one.
    WriteFileText(DataFolder() + "/.AUDIO.ODA.mine01", "not ours");
    way.arrange(*this);
    const Snapshot before = TakeSnapshot(m_root);

    const SaveOutcome outcome = SaveCustomization(state);
    WorkFolder = m_world.Program();

    ExpectMessages(PromptScript::ShownTexts(), way.messages);
    EXPECT_EQ(outcome, way.messages.back() == kSummary ? SaveOutcome::Saved : SaveOutcome::KeepOpen);
    ExpectStick(before, way.fates);
    EXPECT_EQ(m_world.WorkLeftovers(), way.workLeft);
    if (way.workLeft == std::vector<std::string>{kPackedResult}) {
        // What could not be copied to the stick is the finished configuration.
        ExpectWholeGzip(m_world.Program() + "/" + kPackedResult, NewContainer());
    }
    EXPECT_EQ(state.Assignments, std::optional<AssignmentTable>(m_slots));
    EXPECT_TRUE(state.Modified);
}

INSTANTIATE_TEST_SUITE_P(Table, WaysOut, ::testing::ValuesIn(Table()),
                         [](const ::testing::TestParamInfo<WayOut>& info) { return std::string(info.param.name); });

TEST_F(SaveFaultTest, ASaveAfterAFailureRepeatsEverythingFromTheArchiveOn) {
    CustomizationState state;
    ASSERT_NO_FATAL_FAILURE(Open(state));
    const std::vector<uint8_t> bark = ReadFileBytes(m_world.Sounds() + "/bark.wav");
    fs::remove(m_world.Sounds() + "/bark.wav");
    const Snapshot before = TakeSnapshot(m_root);
    ASSERT_EQ(SaveCustomization(state), SaveOutcome::KeepOpen);
    ExpectStick(before, "OOO");

    // The file is back, but the compressor is gone: the archive is written this time.
    m_world.AddSound("bark.wav", bark);
    fs::remove(m_world.Compressor());
    PromptScript::Clear();
    ASSERT_EQ(SaveCustomization(state), SaveOutcome::KeepOpen);
    ExpectMessages(PromptScript::ShownTexts(), {kToolMissing, kUnpackFailed});
    ExpectStick(before, "NOO");

    // Everything in place: the third Save goes through.
    fs::create_symlink(std::string(std::getenv("TW_PROGRAM_DIR")) + "/Crushkit", m_world.Compressor());
    PromptScript::Clear();
    ASSERT_EQ(SaveCustomization(state), SaveOutcome::Saved);
    ExpectMessages(PromptScript::ShownTexts(), {kSummary});
    ExpectStick(before, "NNN");
    EXPECT_TRUE(m_world.WorkLeftovers().empty());
}

// --- Saves refused before they write anything ---

TEST_F(SaveFaultTest, ChoicesThatCouldNotReachTheRobotAreNamedInOneMessageAndNothingIsWritten) {
    ASSERT_TRUE(SaveDriverPath().has_value());
    const std::string tooLong = "my_dog_barking_at_the_postman_again.wav";
    m_world.AddSound(tooLong, RobotWave(100, 4));
    m_world.AddSound("a\\b.wav", RobotWave(100, 6));
    fs::remove(m_world.Sounds() + "/bark.wav");
    m_slots[3] = "Sample.wav";
    m_slots[5] = "sample.mid";
    m_slots[6] = tooLong;
    m_slots[7] = "a\\b.wav";
    m_slots[8] = "TUNE.MID"; // tune.mid spelled otherwise is the same file, no clash
    const Snapshot before = TakeSnapshot(m_root);
    ExpectRefused(Drive({}, m_root),
                  {"'bark.wav'", "'Sample.wav' and 'sample.mid'", "u_sample", "'" + tooLong + "'", "'a\\b.wav'"},
                  before);
}

// Write-protected sticks: read-only bind mounts in a private mount namespace.
class WriteProtected : public SaveFaultTest,
                       public ::testing::WithParamInterface<std::string (SaveFaultTest::*)() const> {};

TEST_P(WriteProtected, IsSaidSoBeforeAnythingIsWritten) {
    std::optional<std::vector<std::string>> wrapper = ReadOnlyMount();
    if (!wrapper || !SaveDriverPath()) {
        GTEST_SKIP() << "needs SaveDriver and a private mount namespace (root and unshare)";
    }
    wrapper->push_back((this->*GetParam())());
    const Snapshot before = TakeSnapshot(m_root);

    const DriverReport report = Drive(*wrapper, m_root);
    if (report.status == 90) {
        GTEST_SKIP() << "read-only bind mounts are not permitted here";
    }
    ExpectRefused(report, {"write-protected", "lock switch"}, before);
}

std::string ProtectedPartName(const ::testing::TestParamInfo<WriteProtected::ParamType>& info) {
    const char* const names[] = {"WholeStick", "ConfigurationFolder", "Record"};
    return names[info.index];
}

INSTANTIATE_TEST_SUITE_P(Parts, WriteProtected,
                         ::testing::Values(&SaveFaultTest::Root, &SaveFaultTest::ConfigurationFolder,
                                           &SaveFaultTest::RecordFile),
                         ProtectedPartName);

// A full stick: a small tmpfs in a private mount namespace.
TEST_F(SaveFaultTest, AStickWithoutRoomForTheNewFilesIsSaidSoWithTheNumbers) {
    // The stick is copied onto a fresh tmpfs, a filler leaves exactly `room` bytes free, the save
    // runs, and the stick is copied back out (without the filler) for the checks.
    std::optional<std::vector<std::string>> wrapper = PrivateMount(R"(
        mnt=$1 src=$2 out=$3 room=$4; shift 4
        mount -t tmpfs -o size=2m tmpfs "$mnt" || exit 90
        cp -a "$src/." "$mnt/" || exit 91
        fill=$(($(df --output=avail -B1 "$mnt" | tail -n 1) - room))
        if [ "$fill" -gt 0 ]; then head -c "$fill" /dev/zero > "$mnt/FILLER" || exit 92; fi
        "$@"; status=$?
        rm -f "$mnt/FILLER"
        cp -a "$mnt/." "$out/" || exit 93
        exit $status)");
    if (!wrapper || !SaveDriverPath() || !FindProgram("df") || !FindProgram("head")) {
        GTEST_SKIP() << "needs SaveDriver, a private mount namespace (root and unshare) and coreutils";
    }
    m_world.AddSound("bark.wav", RobotWave(300 * 1000, 7)); // larger than the room left
    const std::string mountPoint = m_dir / "mnt";
    const std::string out = m_dir / "after";
    MakeFolders(mountPoint);
    MakeFolders(out);
    std::vector<std::string> argv = *wrapper;
    argv.insert(argv.end(), {mountPoint, m_root, out, std::to_string(200 * 1000)});
    const Snapshot before = TakeSnapshot(m_root);
    const DriverReport report = Drive(argv, mountPoint);
    if (report.status == 90) {
        GTEST_SKIP() << "tmpfs cannot be mounted here";
    }
    // What is free is the room left rounded down to whole tmpfs pages; the archive alone needs more
    // than the sound's 300 KB.
    ExpectRefused(report, {"The stick has 196 KB free; this save needs "}, before, out);
    const std::string message = report.prompts.back();
    const size_t needs = message.find("needs ");
    ASSERT_NE(needs, std::string::npos);
    EXPECT_GT(std::stoi(message.substr(needs + 6)), 300) << message;
}

// --- The process killed, or a system call failing, at every step of replacing a stick file ---

// A first save under strace lists the driver's system calls that touch the stick, numbered per
// call as strace's "when=" counts them; each later save, on a fresh copy of the same stick, has
// one of those calls killed or failed.
class TracedSave : public SaveFaultTest {
protected:
    struct Point {
        std::string call;
        int ordinal;
        std::string line;
    };

    void SetUp() override {
        SaveFaultTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        m_strace = FindProgram("strace");
        if (!SaveDriverPath() || !m_strace) {
            GTEST_SKIP() << "needs SaveDriver and strace";
        }
        m_pristine = m_dir / "pristine";
        fs::copy(m_root, m_pristine, fs::copy_options::recursive);
        m_before = TakeSnapshot(m_root);

        const std::string log = m_dir / "calls.log";
        DriverReport traced = Drive({*m_strace, "-o", log, "-y", "-e",
                                     "trace=openat,write,fsync,fdatasync,close,rename,renameat,renameat2,unlink,"
                                     "unlinkat,chmod,fchmod"},
                                    m_root);
        if (traced.status != 0 && traced.outcome.empty()) {
            GTEST_SKIP() << "strace cannot trace here: " << ReadFileText(DriverLog());
        }
        ASSERT_EQ(traced.outcome, "Saved") << ::testing::PrintToString(traced.prompts);
        ExpectStick(m_before, "NNN");

        std::map<std::string, int> seen;
        bool writing = false;
        std::istringstream calls(ReadFileText(log));
        for (std::string line; std::getline(calls, line);) {
            const size_t paren = line.find('(');
            if (paren == std::string::npos || line.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789") != paren) {
                continue;
            }
            const std::string call = line.substr(0, paren);
            const int ordinal = ++seen[call];
            const bool onStick = line.find("OPEN-R") != std::string::npos;
            // From the first file the save creates on the stick on; the reads before cannot harm one.
            writing = writing || (onStick && line.find("O_CREAT") != std::string::npos);
            if (writing && onStick) {
                m_points.push_back({call, ordinal, line.substr(0, 160)});
            }
        }
        ASSERT_GE(m_points.size(), 15u) << ReadFileText(log);
    }

    // The stick as before the first save, an empty work folder, and a save with `effect` at `point`.
    DriverReport SaveWith(const Point& point, const std::string& effect) {
        fs::remove_all(m_root);
        fs::copy(m_pristine, m_root, fs::copy_options::recursive);
        for (const std::string& left : m_world.WorkLeftovers()) {
            fs::remove_all(m_world.Program() + "/" + left);
        }
        const std::string inject = "inject=" + point.call + ":" + effect + ":when=" + std::to_string(point.ordinal);
        return Drive({*m_strace, "-o", "/dev/null", "-e", "trace=" + point.call, "-e", inject}, m_root);
    }

    char FateOf(const Snapshot& after, const std::string& host) const {
        const std::string name = Relative(host);
        const bool old = after.count(name) == m_before.count(name) &&
                         (m_before.count(name) == 0 || after.at(name) == m_before.at(name));
        return old ? 'O' : 'N';
    }

    std::optional<std::string> m_strace;
    std::string m_pristine;
    Snapshot m_before;
    std::vector<Point> m_points;
};

TEST_F(TracedSave, AKilledSaveLeavesEveryStickFileOldOrNewAndTheNextSaveFinishesTheJob) {
    int killedBeforeArchive = 0, killedAfterRecord = 0;
    for (const Point& point : m_points) {
        SCOPED_TRACE("killed at " + point.call + " #" + std::to_string(point.ordinal) + ": " + point.line);
        ASSERT_EQ(SaveWith(point, "signal=KILL").status, 128 + SIGKILL) << "the save was not killed there";

        // Each file is old or new, whole; a newer file never precedes an older one in the save's order.
        const Snapshot after = TakeSnapshot(m_root);
        const std::string fates = {FateOf(after, ArchiveFile()), FateOf(after, MwcFile()), FateOf(after, RecordFile())};
        killedBeforeArchive += fates[0] == 'O' ? 1 : 0;
        killedAfterRecord += fates[2] == 'N' ? 1 : 0;
        EXPECT_TRUE(fates == "OOO" || fates == "NOO" || fates == "NNO" || fates == "NNN") << fates;
        ExpectWholeGzip(MwcFile(), fates[1] == 'N' ? NewContainer() : *GunzipBytes(m_before.at(Relative(MwcFile()))));
        // A killed process cannot clear its unfinished copies; the save that follows must.
        for (const std::string& hidden : HiddenEntries(m_root)) {
            EXPECT_TRUE(IsLeftoverCopy(hidden)) << hidden;
        }
        DriverReport again = Drive({}, m_root);
        ASSERT_EQ(again.outcome, "Saved") << ::testing::PrintToString(again.prompts);
        ExpectStick(m_before, "NNN");
        if (HasFailure()) {
            break;
        }
    }
    // The kills fell before, between and after the replacements.
    EXPECT_GT(killedBeforeArchive, 0);
    EXPECT_GT(killedAfterRecord, 0);
}

TEST_F(TracedSave, AFailingWriteSyncCloseOrRenameOfAStickFileIsReportedAndLeavesTheOldFile) {
    // Each call on an unfinished copy (creating, writing, syncing, closing, renaming it into place)
    // fails in turn, as a full or failing stick makes it fail; the copy's permissions do not count.
    const std::pair<std::string, Stop> stages[] = {
        {".AUDIO.ODA.", kArchiveStop}, {".ERS-210.MWC.", kConfigurationStop}, {".ERS-210.CUS.", kRecordStop}};
    int failed = 0;
    for (const Point& point : m_points) {
        for (const auto& [copy, stop] : stages) {
            if (point.line.find(copy) == std::string::npos || point.call == "fchmod") {
                continue;
            }
            SCOPED_TRACE("failed " + point.call + " #" + std::to_string(point.ordinal) + ": " + point.line);
            ExpectStopped(SaveWith(point, point.call == "write" ? "error=ENOSPC" : "error=EIO"), stop, m_before);
            ++failed;
        }
        if (HasFailure()) {
            break;
        }
    }
    // Every file met at least its creation, a write, the sync, the close and the rename.
    EXPECT_GE(failed, 15);
}
