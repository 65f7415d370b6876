// Whole saves with the real compressor, checked against the archive, configuration and record
// worked out from the file formats (SaveExpectations), and every way a save can stop: what the
// user is told, what the stick holds afterwards (each file old or new, never torn, no unfinished
// copy left), what stays in the work folder, and that the choices survive. Write-protected and full
// sticks and killed or failing saves run SaveDriver in a private mount or under strace.
#include "writer/SavePipeline.h"

#include "DemoStick.h"
#include "DesignFacts.h"
#include "Gunzip.h"
#include "ProgramTexts.h"
#include "SampleSticks.h"
#include "SaveExpectations.h"
#include "SoundFixtures.h"
#include "StickBuilder.h"
#include "app/InstallationPaths.h"
#include "catalog/SoundCatalogs.h"
#include "platform/FileOps.h"
#include "platform/Prompt.h"
#include "stick/StickPreparation.h"
#include "writer/CustomizationRecord.h"
#include "writer/SaveChecks.h"
#include "writer/StickRoom.h"

#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <sstream>
#include <sys/statvfs.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// In expected messages: this save's summary, the compressor's path and the work folder. A message
// ending in "' (" stands for any that begins so: the compressor's last error number is unforeseen.
const std::string kSummary = "<summary>", kUnpackSpawn = Msg::Spawn("<tool>", "-d", "<work>/$TMP$.MWC.gz"),
                  kToolMissing = kUnpackSpawn + "2)", kPackSpawn = Msg::Spawn("<tool>", "-6", "<work>/$TMP$.ODA");
const std::string kPacked = "$TMP$.ODA.gz";
// The stick files a save replaces, in the order it replaces them.
enum StickFile { Archive, Configuration, Record };

using Bytes = std::optional<std::vector<uint8_t>>;
Bytes BytesOf(const Snapshot& snapshot, const std::string& name) {
    const auto it = snapshot.find(name);
    return it == snapshot.end() ? Bytes() : it->second;
}

// SafeFile's unfinished copies: "." + the file's name + ".tw-" + six of mkstemp's characters.
bool IsLeftoverCopy(const std::string& path) {
    const std::string name = fs::path(path).filename().string();
    const size_t mark = name.rfind(".tw-");
    return name.starts_with(".") && mark != std::string::npos && mark > 1 && name.size() == mark + 10 &&
           std::all_of(name.begin() + long(mark) + 4, name.end(), [](char c) { return std::isalnum(uint8_t(c)); });
}

// `text` with every `from` replaced by `to`.
std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// A WAV for every "?" and "*" key and the last plain key (packed once), a MIDI file, a name with
// two dots (packed from that very file, not from my.wav, whose custom name is the same) and names
// in upper case.
AssignmentTable FirstChoices(const ModelProfile& profile) {
    AssignmentTable slots(static_cast<size_t>(profile.catalogCount));
    std::vector<size_t> plain;
    for (size_t row = 0; row < slots.size(); ++row) {
        if (const char* key = profile.catalog[row].key; key != nullptr && std::strpbrk(key, "?*") != nullptr) {
            slots[row] = "bark.wav";
        } else if (key != nullptr) {
            plain.push_back(row);
        }
    }
    slots[plain.back()] = "bark.wav";
    const char* files[] = {"tune.mid", "my.song.wav", "Sample.wav", "Hello.WAV"};
    for (size_t i = 0; i < std::size(files); ++i) {
        slots[plain[i]] = files[i];
    }
    return slots;
}

} // namespace

class SaveTest : public ::testing::Test {
public: // the WaysOut table reaches in
    void SetUp() override {
        PromptScript::Activate();
        // LeakSanitizer cannot run under strace, and the driver's leaks are not what is tested here.
        setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
        if (!m_world.HasCompressor() || !FindProgram("gzip")) {
            GTEST_SKIP() << "needs the build's Crushkit (TW_PROGRAM_DIR) and Debian's gzip";
        }
        AddSounds();
    }
    void AddSounds() const {
        for (const auto& [name, bytes] : std::map<std::string, std::vector<uint8_t>>{
                 {"bark.wav", RobotWave(1000, 1)},
                 {"Hello.WAV", RobotWave(700, 2, 16)},
                 {"tune.mid", MidiFileMaker().Note(60, 0, 96).Note(64, 96, 96).Bytes()},
                 {"my.song.wav", RobotWave(300, 3)},
                 {"my.wav", RobotWave(500, 9)},
                 {"Sample.wav", RobotWave(200, 5)},
                 {"sample.mid", MidiFileMaker().Note(72, 0, 48).Bytes()}}) {
            m_world.AddSound(name, bytes);
        }
    }
    void TearDown() override { PromptScript::Deactivate(); }

    // Builds the stick; every save starts from `stock`, the configuration it was built with.
    void Build(const StickBuilder& stick, const MwcContainer& stock) {
        m_stick = stick;
        m_stock = stock;
        m_profile = stick.Options().profile;
        m_slots = AssignmentTable(static_cast<size_t>(m_profile->catalogCount));
        ASSERT_TRUE(m_stick.Build(m_root));
    }
    // An earlier customization (its own configuration, archive and record) over the backup every
    // save starts from, so that an old file can be told from a new one; and choices of one WAV for a
    // "*" and a "?" key (wake*, sit_happy_joy3_t?s) and a MIDI file for a plain key.
    void BuildCustomized() {
        MwcContainer earlier = TypicalContainer(ProfileTable[2]);
        earlier.blocks.front().records.front().text = "u_earlier";
        const StickBuilder stock(ProfileTable[2]);
        ASSERT_NO_FATAL_FAILURE(Build(StickBuilder(stock)
                                          .MwcBytes(GzipBytes(BuildContainer(earlier)))
                                          .Backup(*stock.Options().mwc)
                                          .Record("wake*=earlier.wav\r\n")
                                          .AudioArchive(SampleArchive("an earlier archive")),
                                      TypicalContainer(ProfileTable[2])));
        m_slots[1] = m_slots[4] = "bark.wav";
        m_slots[2] = "tune.mid";
    }

    std::string Host(const std::string& stickPath) const { return m_stick.HostPath(m_root, stickPath); }
    std::string File(StickFile which) const {
        const std::string mwc = m_profile->mwcPath;
        return Host(which == Archive ? std::string(m_profile->dataFolder) + "\\AUDIO.ODA"
                                     : (which == Configuration ? mwc : MakeRecordPath(mwc)));
    }
    std::string Relative(StickFile which) const { return fs::relative(File(which), m_root).string(); }
    std::vector<uint8_t> NewConfiguration() {
        return BuildContainer(ExpectedRewrite(m_stock, *m_profile, m_slots, m_replaced));
    }

    void Open(CustomizationState& state, bool modified = true) {
        PromptScript::SetNextFileName(Host(*m_stick.Options().memstickName));
        ASSERT_TRUE(OpenStick(state));
        state.Assignments = m_slots;
        state.Modified = modified;
        PromptScript::Clear();
    }

    // Saves the choices in a new run on the stick as it stands and, once `between` has run, checks
    // all that it leaves.
    void SaveAndCheck(const std::function<void()>& between = [] {}) {
        CustomizationState state;
        ASSERT_NO_FATAL_FAILURE(Open(state));
        const Snapshot before = TakeSnapshot(m_root);
        ASSERT_EQ(SaveCustomization(state), SaveOutcome::Saved) << ::testing::PrintToString(PromptScript::ShownTexts());
        ASSERT_NO_FATAL_FAILURE(between());
        Expect(PromptScript::ShownTexts(), {kSummary}, before, "NNN");
        EXPECT_EQ(state.Assignments, std::optional(m_slots));
    }

    // The messages shown; the stick (at `root`, or where it was built) against `before`, each file
    // a save replaces old or new as `fates` says ("O" or "N", in the order of StickFile), everything
    // else as it was, and no unfinished copy (those of an earlier save cleared); the work folder.
    void Expect(const std::vector<std::string>& shown, std::vector<std::string> messages, const Snapshot& before,
                const std::string& fates, const std::vector<std::string>& workLeft = {}, const std::string& root = "") {
        const std::vector<uint8_t> configuration = NewConfiguration();
        for (std::string& message : messages) {
            message = Replaced(Replaced(message, "<tool>", m_world.Compressor()), "<work>", m_world.Program());
            message = message == kSummary ? ExpectedSummary(DistinctSounds(m_slots), m_replaced, *m_profile) : message;
        }
        EXPECT_EQ(shown.size(), messages.size()) << ::testing::PrintToString(shown);
        for (size_t i = 0; i < std::min(shown.size(), messages.size()); ++i) {
            EXPECT_EQ(messages[i].ends_with("' (") ? shown[i].substr(0, messages[i].size()) : shown[i], messages[i]);
        }
        const std::string stick = root.empty() ? m_root : root, record = ExpectedRecord(*m_profile, m_slots);
        Snapshot after = TakeSnapshot(stick), rest = before;
        for (StickFile which : {Archive, Configuration, Record}) {
            const std::string name = Relative(which);
            SCOPED_TRACE(name + (fates[which] == 'N' ? " should be new" : " should be as before"));
            if (fates[which] == 'O') {
                EXPECT_EQ(BytesOf(after, name), BytesOf(before, name));
            } else if (which == Configuration) {
                ExpectWholeGzip(stick + "/" + name, configuration);
            } else {
                const std::vector<uint8_t> bytes = which == Record ? std::vector<uint8_t>(record.begin(), record.end())
                                                                   : ExpectedArchive(m_slots, m_world.Sounds());
                EXPECT_EQ(BytesOf(after, name), which == Archive && bytes.empty() ? Bytes() : bytes);
            }
            after.erase(name);
            rest.erase(name);
        }
        std::erase_if(rest, [](const auto& entry) { return IsLeftoverCopy(entry.first); });
        EXPECT_EQ(after, rest) << "only the files a save replaces may change";
        EXPECT_EQ(m_world.WorkLeftovers(), workLeft);
    }

    // The configuration as a stick must hold it: a whole gzip stream, for zlib and for gzip.
    void ExpectWholeGzip(const std::string& path, const std::vector<uint8_t>& content) {
        EXPECT_EQ(GunzipBytes(ReadFileBytes(path)), content) << path;
        EXPECT_EQ(RunProgram({*FindProgram("gzip"), "-t", path}), 0) << "gzip -t refuses " << path;
    }

    DriverReport Drive(const std::vector<std::string>& wrapper, const std::string& stickRoot) {
        std::vector<std::string> pairs;
        for (size_t row = 0; row < m_slots.size(); ++row) {
            if (m_slots[row]) {
                pairs.push_back(std::to_string(row) + "=" + *m_slots[row]);
            }
        }
        return RunSaveDriver(wrapper, stickRoot, m_world, pairs, m_dir / "driver.log");
    }
    // A save SaveDriver ran that stopped, after the dialog's title, with `message` and wrote nothing.
    void ExpectRefused(const DriverReport& report, const std::string& message, const Snapshot& before) {
        EXPECT_EQ(report.outcome, "KeepOpen") << ReadFileText(m_dir / "driver.log");
        Expect(report.prompts, {Msg::OpenStickTitle, message}, before, "OOO");
    }

    TempDir m_dir;
    SaveWorld m_world{m_dir.Path()};
    std::string m_root = m_dir / "stick";
    StickBuilder m_stick;
    MwcContainer m_stock;
    const ModelProfile* m_profile = nullptr;
    AssignmentTable m_slots;
    int m_replaced = 0;
};

// --- Whole saves ---

class EveryProfile : public SaveTest, public ::testing::WithParamInterface<std::tuple<int, bool>> {};

// For each of the design's rows, on a stick with its files where the design puts them and on the
// demo stick that `make run` opens: a first save, a later one whose choices must not stack on it,
// and one with everything back to stock (no archive, the stock configuration, an empty record),
// each written where the design says.
TEST_P(EveryProfile, EachSaveAppliesExactlyItsOwnChoicesToTheStockConfiguration) {
    const ModelProfile& profile = DesignProfile(std::get<0>(GetParam()));
    ASSERT_NO_FATAL_FAILURE(std::get<1>(GetParam()) ? Build(DemoStick(profile), DemoContainer(profile))
                                                    : Build(StickBuilder(profile), TypicalContainer(profile)));
    m_slots = FirstChoices(profile);
    ASSERT_NO_FATAL_FAILURE(SaveAndCheck());
    // Every assigned key names a record of the configuration, or the checks prove little.
    EXPECT_GE(m_replaced, std::count_if(m_slots.begin(), m_slots.end(), [](const auto& slot) { return slot; }));
    std::replace_if(
        m_slots.begin(), m_slots.end(), [](const auto& slot) { return slot != "Hello.WAV"; }, std::nullopt);
    ASSERT_NO_FATAL_FAILURE(SaveAndCheck());
    EXPECT_GE(m_replaced, 1);
    m_slots = AssignmentTable(m_slots.size());
    ASSERT_NO_FATAL_FAILURE(SaveAndCheck());
}

INSTANTIATE_TEST_SUITE_P(Profiles, EveryProfile,
                         ::testing::Combine(::testing::Range(0, ProfileCount), ::testing::Bool()));

TEST_F(SaveTest, NothingChangedTouchesNeitherTheStickNorTheWorkFolder) {
    ASSERT_NO_FATAL_FAILURE(BuildCustomized());
    CustomizationState state;
    ASSERT_NO_FATAL_FAILURE(Open(state, false)); // choices reloaded from a record are no change
    const Snapshot stick = TakeSnapshot(m_root), program = TakeSnapshot(m_world.Program());
    EXPECT_EQ(SaveCustomization(state), SaveOutcome::NothingChanged);
    EXPECT_EQ(PromptScript::ShownTexts(), std::vector<std::string>{Msg::NothingChanged});
    EXPECT_TRUE(TakeSnapshot(m_root) == stick && TakeSnapshot(m_world.Program()) == program);
}

// Each file is replaced where it is, under its own spelling; no second one appears beside it.
TEST_F(SaveTest, ALowerCaseStickIsSavedUnderItsOwnNames) {
    StickBuilder stick = StickBuilder(ProfileTable[4])
                             .HostNames(LowerAscii)
                             .AudioArchive(SampleArchive("AUDIO"))
                             .Record("old=line.wav\r\n");
    ASSERT_NO_FATAL_FAILURE(Build(stick.Backup(*stick.Options().mwc), TypicalContainer(ProfileTable[4])));
    m_slots = FirstChoices(ProfileTable[4]);
    SaveAndCheck();
}

// The robot's own sticks: 8 MB of FAT12 in 8 KB clusters, through FUSE. A save needs, at its fullest
// moment, the clusters of each new file written beside the one it replaces (the archive, then the
// configuration, then the record), less those of the files already replaced. With exactly that
// free the save goes through and the stick checks clean; with one cluster less it is refused and
// the stick is left as it was.
TEST_F(SaveTest, OnARealFat12StickASaveFitsItsExactNeedAndOneClusterLessIsRefused) {
    std::map<std::string, std::string> tool;
    for (const char* name : {"mkfs.vfat", "fusefat", "fusermount", "fsck.fat", "pgrep"}) {
        if (!FindProgram(name) || access("/dev/fuse", R_OK | W_OK) != 0) {
            GTEST_SKIP() << "needs " << name << " (packages dosfstools, fusefat, procps) and /dev/fuse";
        }
        tool[name] = *FindProgram(name);
    }
    constexpr int64_t kCluster = 8192;
    const std::string pristine = m_dir / "pristine.img", fsckLog = m_dir / "fsck.log";
    ASSERT_TRUE(RunProgram({tool["mkfs.vfat"], "-F", "12", "-s", "16", "-C", pristine, "8192"}) == 0 &&
                MakeFolders(m_root));
    std::string mounted;
    const auto mount = [&](const std::string& image, const char* mode) {
        mounted = RunProgram({tool["fusefat"], "-o", mode, image, m_root}) == 0 ? image : "";
        return !mounted.empty();
    };
    // Opening the stick made it the current folder, which would keep it busy, and FUSE releases a
    // closed file a moment later: until then the stick is busy too. Once unmounted, the file system
    // still writes its last changes into the image before it ends; only then is the image whole.
    const auto serving = [&](const std::string& image) { return RunProgram({tool["pgrep"], "-f", image}) == 0; };
    const auto unmount = [&] {
        for (int tries = 0; tries < 300 && !mounted.empty() && ChangeDirectory(m_dir.Path()); ++tries) {
            if (RunProgram({tool["fusermount"], "-u", m_root}) == 0) {
                for (int wait = 0; wait < 600 && serving(mounted); ++wait) {
                    usleep(50 * 1000);
                }
                mounted.clear();
                return true;
            }
            usleep(100 * 1000);
        }
        return mounted.empty();
    };
    const std::shared_ptr<void> unmountAtTheEnd(nullptr, [&](void*) { unmount(); });
    const auto clean = [&](const std::string& image) {
        EXPECT_EQ(RunProgram({tool["fsck.fat"], "-n", image}, fsckLog), 0) << ReadFileText(fsckLog);
    };
    const auto freeBytes = [&] {
        struct statvfs vfs {};
        return statvfs(m_root.c_str(), &vfs) == 0 ? int64_t(vfs.f_bavail * vfs.f_frsize) : int64_t(-1);
    };
    const auto size = [&](StickFile which) { return int64_t(ReadFileBytes(File(which)).size()); }; // none: 0
    const auto sizes = [&] { return std::vector<int64_t>{size(Archive), size(Configuration), size(Record)}; };

    // The stick as the robot left it, opened once: FUSE cannot rename without replacing atomically,
    // so the backup made on opening takes the way that looks first.
    ASSERT_TRUE(mount(pristine, "rw+"));
    // A configuration as large as a real robot's (about 270 KB packed), in texts that pack little.
    MwcContainer stock = TypicalContainer(ProfileTable[2]);
    std::mt19937 random(7);
    MwcBlock& texts = stock.blocks.emplace_back();
    for (int i = 0; i < 18000; ++i) {
        MwcRecord& record = texts.records.emplace_back();
        record.kind = 0x3000;
        record.text.resize(24);
        std::generate(record.text.begin(), record.text.end(), [&] { return char('a' + random() % 26); });
    }
    StickBuilder stick(ProfileTable[2]);
    stick.Container(stock).AudioArchive(SampleArchive("an earlier archive")).Record("wake*=earlier.wav\r\n");
    ASSERT_NO_FATAL_FAILURE(Build(stick, stock));
    m_slots = FirstChoices(ProfileTable[2]);
    {
        CustomizationState state;
        ASSERT_NO_FATAL_FAILURE(Open(state));
    }
    EXPECT_EQ(ReadFileBytes(Host(MakeBackupPath(m_profile->mwcPath))), *stick.Options().mwc);
    const std::vector<int64_t> old = sizes();
    ASSERT_TRUE(unmount());

    // With room to spare: the files a save leaves, read back from a clean stick mounted read-only.
    const std::string roomy = m_dir / "roomy.img";
    fs::copy_file(pristine, roomy);
    ASSERT_TRUE(mount(roomy, "rw+"));
    SaveAndCheck([&] {
        ASSERT_TRUE(unmount());
        clean(roomy);
        ASSERT_TRUE(mount(roomy, "ro"));
    });
    const std::vector<int64_t> made = sizes();
    ASSERT_TRUE(unmount());
    const auto clusters = [&](int64_t bytes) { return (bytes + kCluster - 1) / kCluster * kCluster; };
    int64_t grown = 0, need = 0;
    for (size_t i = 0; i < made.size(); ++i) {
        need = std::max(need, grown + clusters(made[i]));
        grown += clusters(made[i]) - clusters(old[i]);
    }

    for (const int64_t room : {need, need - kCluster}) {
        SCOPED_TRACE(room == need ? "exactly the need free" : "one cluster less");
        const std::string image = m_dir / (std::to_string(room) + ".img");
        fs::copy_file(pristine, image);
        ASSERT_TRUE(mount(image, "rw+"));
        ASSERT_TRUE(WriteFileBytes(m_root + "/FILLER", std::vector<uint8_t>(size_t(freeBytes() - room))));
        ASSERT_EQ(freeBytes(), room);
        CustomizationState state;
        ASSERT_NO_FATAL_FAILURE(Open(state));
        // The window's line says the same before Save is pressed.
        const std::optional<StickRoom> estimate = EstimateStickRoom(state, m_world.Sounds());
        ASSERT_TRUE(estimate.has_value());
        EXPECT_EQ(estimate->needBytes, uint64_t(need));
        EXPECT_EQ(DescribeStickRoom(*estimate), room == need
                                                    ? Msg::RoomAfterSaving(FormatSize(uint64_t(room - grown), false))
                                                    : Msg::RoomMissing("9 KB")); // 8192 bytes
        const Snapshot before = TakeSnapshot(m_root);
        const SaveOutcome outcome = SaveCustomization(state);
        if (room == need) {
            EXPECT_EQ(outcome, SaveOutcome::Saved) << ::testing::PrintToString(PromptScript::ShownTexts());
        } else {
            EXPECT_EQ(outcome, SaveOutcome::KeepOpen);
            EXPECT_EQ(PromptScript::ShownTexts(),
                      std::vector<std::string>{
                          Msg::StickFull(FormatSize(uint64_t(room), false), FormatSize(uint64_t(need), true))});
            EXPECT_EQ(TakeSnapshot(m_root), before);
        }
        ASSERT_TRUE(unmount());
        clean(image);
    }
}

// --- Every way out of a save, in one process ---

// A way out: the messages, the fates of the archive, the configuration and the record, what is left
// in the work folder besides the compressor, a script in the compressor's place (or none), and a
// shell command that stages the rest, given the archive, configuration, record, backup and work
// folder as $1 to $5.
struct WayOut {
    const char* name;
    std::vector<std::string> messages;
    const char* fates;
    std::vector<std::string> workLeft;
    std::string compressor, stage;
};

void PrintTo(const WayOut& way, std::ostream* os) {
    *os << way.name;
}

class WaysOut : public SaveTest, public ::testing::WithParamInterface<WayOut> {};

// Stand-in compressors that unpack as gzip does and then fail or fail to pack, or pack and then
// fail; stale files of an earlier run in the work folder; copies a cut-off replacement left.
const std::string kFailsToPack = R"(case "$1" in -d) exec gzip -d "$2";; *) exit 1;; esac)";
const std::string kUnpacksButFails =
    R"(case "$1" in -d) gzip -dc "$2" > "${2%.gz}"; exit 1;; *) exec gzip -n "$1" "$2";; esac)";
const std::string kPacksButFails = R"(case "$1" in -d) exec gzip -d "$2";; *) gzip -n -6 "$2"; exit 1;; esac)";
const std::string kStaleUnpacked = R"(gzip -dc "$4" > "$5"/'$TMP$.MWC')",
                  kStalePacked = R"(echo old | gzip > "$5"/'$TMP$.ODA.gz')";
const std::string kCutOffCopies = R"(for f in "$1" "$2" "$3"; do echo cut > "${f%/*}/.${f##*/}.tw-Xk29aQ"; done)";
// A compressor that, while it unpacks, takes away a sound the save has already checked.
const std::string kRemovesASound =
    R"(case "$1" in -d) rm "${2%/*}/SOUNDS/tune.mid"; exec gzip -d "$2";; *) exec gzip -n "$1" "$2";; esac)";

// The new configuration is made whole in the work folder before the stick is touched: a way out
// there leaves every stick file as it was.
const WayOut kWaysOut[] = {
    {"BackupRemovedAfterOpening", {Msg::NoBackup}, "OOO", {}, "", R"(rm "$4")"},
    // A folder in the place of the configuration's copy in the work folder, which the save leaves.
    {"WorkFolderCannotTakeTheCopy", {Msg::NoBackup}, "OOO", {"$TMP$.MWC.gz"}, "", R"(mkdir -p "$5"/'$TMP$.MWC.gz'/in)"},
    {"CompressorMissing", {kToolMissing, Msg::UnpackFailed}, "OOO", {}, "", R"(rm "$5/Crushkit")"},
    {"CompressorFailsToUnpackAndLeavesNothing", {kUnpackSpawn, Msg::UnpackFailed}, "OOO", {}, "exit 1", ""},
    {"StaleFilesDoNotHideAFailedUnpack", {kUnpackSpawn, Msg::UnpackFailed}, "OOO", {}, "exit 1", kStaleUnpacked},
    // The unpacked copy counts; the tool's input is the tool's to remove, and it did not.
    {"CompressorUnpacksButReportsFailure", {kUnpackSpawn, kSummary}, "NNN", {"$TMP$.MWC.gz"}, kUnpacksButFails, ""},
    {"BackupIsGzipButNoContainer", {Msg::RewriteFailed}, "OOO", {}, "", R"(echo none | gzip > "$4")"},
    {"CompressorFailsToPackAndLeavesNothing", {kPackSpawn, Msg::PackFailed}, "OOO", {}, kFailsToPack, ""},
    {"StaleFilesDoNotHideAFailedPack", {kPackSpawn, Msg::PackFailed}, "OOO", {}, kFailsToPack, kStalePacked},
    {"CompressorPacksButReportsFailure", {kPackSpawn, kSummary}, "NNN", {}, kPacksButFails, ""},
    // A sound checked at the start of the save and gone before its archive is written: the archive
    // writer opens every sound before it writes a byte.
    {"SoundRemovedAfterTheCheck", {Msg::ArchiveFailed}, "OOO", {}, kRemovesASound, ""},
    // What could not be copied to the stick stays in the work folder, whole.
    {"ConfigurationIsAFolder", {Msg::CopyFailed}, "NOO", {kPacked}, "", R"(rm "$2" && mkdir -p "$2/inside")"},
    {"RecordIsAFolder", {Msg::RecordFailed}, "NNO", {}, "", R"(rm "$3" && mkdir -p "$3/inside")"},
    // Ways through that look like trouble but are not.
    {"ReadOnlyConfigurationIsReplacedAllTheSame", {kSummary}, "NNN", {}, "", R"(chmod 444 "$2")"},
    {"UnfinishedCopiesOfAnEarlierSaveAreCleared", {kSummary}, "NNN", {}, "", kCutOffCopies},
};

TEST_P(WaysOut, TellsTheUserLeavesTheStickWholeAndKeepsTheChoices) {
    const WayOut& way = GetParam();
    ASSERT_NO_FATAL_FAILURE(BuildCustomized());
    CustomizationState state;
    ASSERT_NO_FATAL_FAILURE(Open(state));
    // Hidden files of the user's beside the archive are no unfinished copies and must stay, even
    // when their names come close to one.
    for (const char* mine : {".AUDIO.ODA.mine01", ".AUDIO.ODA.tw-my.bak", ".audio.oda.TW-mine01"}) {
        WriteFileText(fs::path(File(Archive)).parent_path() / mine, "not ours");
    }
    if (!way.compressor.empty()) {
        m_world.ReplaceCompressor(way.compressor);
    }
    ASSERT_EQ(RunProgram({"/bin/sh", "-c", way.stage, "sh", File(Archive), File(Configuration), File(Record),
                          Host(MakeBackupPath(m_profile->mwcPath)), m_world.Program()}),
              0);
    const Snapshot before = TakeSnapshot(m_root);
    const auto descriptors = [] { return std::distance(fs::directory_iterator("/proc/self/fd"), {}); };
    const long open = descriptors();
    // Twice: the next Save, with nothing put right, starts afresh and ends the same way.
    for (int save = 0; save < 2; ++save) {
        PromptScript::Clear();
        AddSounds(); // as they were when the choices were made
        EXPECT_EQ(SaveCustomization(state),
                  way.messages.back() == kSummary ? SaveOutcome::Saved : SaveOutcome::KeepOpen);
        EXPECT_EQ(descriptors(), open) << "a file was left open";
        Expect(PromptScript::ShownTexts(), way.messages, before, way.fates, way.workLeft);
        EXPECT_EQ(state.Assignments, std::optional(m_slots));
        EXPECT_TRUE(state.Modified);
    }
    if (way.workLeft == std::vector<std::string>{kPacked}) {
        ExpectWholeGzip(m_world.Program() + "/" + kPacked, NewConfiguration());
    }
}

INSTANTIATE_TEST_SUITE_P(Table, WaysOut, ::testing::ValuesIn(kWaysOut),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Saves refused before they write anything, run by SaveDriver ---

TEST_F(SaveTest, ChoicesThatCouldNotReachTheRobotAreNamedInOneMessageAndNothingIsWritten) {
    ASSERT_TRUE(SaveDriverPath().has_value());
    ASSERT_NO_FATAL_FAILURE(BuildCustomized());
    const std::string name32 = std::string(28, 'b') + ".wav", name33 = std::string(29, 'a') + ".wav";
    for (const std::string& name :
         {name32, name33, std::string("a\\b.wav"), std::string("line\nbreak.wav"), std::string("del\x7f.mid")}) {
        m_world.AddSound(name, RobotWave(100, 4));
    }
    m_world.AddSound("empty.wav", {});
    m_world.AddSound("noextension", RobotWave(100, 4));
    ASSERT_TRUE(MakeFolders(m_world.Sounds() + "/folder.wav") && fs::remove(m_world.Sounds() + "/bark.wav"));
    const std::string more[] = {"Sample.wav",   "sample.mid",      "a\\b.wav",    "TUNE.MID",
                                "sub/bark.wav", "folder.wav",      name32,        name33,
                                "empty.wav",    "line\nbreak.wav", "del\x7f.mid", "noextension"};
    std::copy(std::begin(more), std::end(more), m_slots.begin() + 5);
    const Snapshot before = TakeSnapshot(m_root);
    const DriverReport report = Drive({}, m_root);
    // One line for each offending file, in catalog order; 32 characters are not too many, and
    // TUNE.MID is tune.mid in other letters: one sound, no clash.
    ExpectRefused(report,
                  Msg::NotAsChosen + "\n" + Msg::MissingSound("bark.wav") + "\n" +
                      Msg::SameName("Sample.wav", "sample.mid", "u_sample") + "\n" + Msg::SlashInName("a\\b.wav") +
                      "\n" + Msg::SlashInName("sub/bark.wav") + "\n" + Msg::MissingSound("folder.wav") + "\n" +
                      Msg::NameTooLong(name33) + "\n" + Msg::EmptySound("empty.wav") + "\n" +
                      Msg::ControlInName("line?break.wav") + "\n" + Msg::ControlInName("del?.mid") + "\n" +
                      Msg::NoExtension("noextension") + "\n" + Msg::NothingSaved,
                  before);
}

// Write-protected: the whole stick, the configuration's folder or the record alone, by read-only
// bind mounts in a private mount namespace.
class WriteProtected : public SaveTest, public ::testing::WithParamInterface<int> {};

TEST_P(WriteProtected, IsSaidSoBeforeAnythingIsWritten) {
    std::optional<std::vector<std::string>> wrapper = ReadOnlyMount();
    if (!wrapper || !SaveDriverPath()) {
        GTEST_SKIP() << "needs SaveDriver and a private mount namespace (root and unshare)";
    }
    ASSERT_NO_FATAL_FAILURE(BuildCustomized());
    wrapper->push_back(GetParam() == 0   ? m_root
                       : GetParam() == 1 ? fs::path(File(Configuration)).parent_path().string()
                                         : File(Record));
    const Snapshot before = TakeSnapshot(m_root);
    const DriverReport report = Drive(*wrapper, m_root);
    if (report.status == 90) {
        GTEST_SKIP() << "read-only bind mounts are not permitted here";
    }
    ExpectRefused(report, Msg::WriteProtected, before);
}

INSTANTIATE_TEST_SUITE_P(WholeStickConfigurationFolderRecord, WriteProtected, ::testing::Range(0, 3));

TEST(SaveChecks, SizesAreRoundedTheCautiousWay) {
    // What is free never looks larger, and what is needed never smaller, than it is.
    EXPECT_EQ(FormatSize(1'250'000, false), "1.2 MB");
    EXPECT_EQ(FormatSize(1'200'001, true), "1.3 MB");
    EXPECT_EQ(FormatSize(999'001, true), "1000 KB");
    EXPECT_EQ(FormatSize(1'999, false), "1 KB");
    EXPECT_EQ(FormatSize(53'419'999'999, false), "53.4 GB");
}

// --- The process killed, or a system call failing, at every step of replacing a stick file ---

// A strace line without its result, and with SafeFile's random copy names made alike.
std::string Normalized(const std::string& line) {
    std::string text = line.substr(0, line.rfind(" = "));
    for (size_t at = text.find(".tw-"); at != std::string::npos; at = text.find(".tw-", at + 1)) {
        text.erase(at + 4, 6);
    }
    return text;
}

// A first save under strace lists the driver's system calls that touch the stick, from the first
// file it creates there, numbered per call as strace's "when=" counts them; each later save, on a
// fresh copy of the same stick, has one of those calls killed or failed.
class TracedSave : public SaveTest {
public:
    struct Point {
        std::string call;
        int ordinal;
        std::string line;
    };

    void SetUp() override {
        SaveTest::SetUp();
        // Only a tracer that cannot trace at all skips: a driver that crashes or ends early under
        // strace is a failure.
        if (IsSkipped() || !SaveDriverPath() || !m_strace ||
            RunProgram({*m_strace, "-o", "/dev/null", FindProgram("true").value_or("/bin/true")}) != 0) {
            GTEST_SKIP() << "needs SaveDriver and strace able to trace here";
        }
        ASSERT_NO_FATAL_FAILURE(BuildCustomized());
        fs::copy(m_root, m_pristine, fs::copy_options::recursive);
        m_before = TakeSnapshot(m_root);
        const std::string log = m_dir / "calls.log";
        const std::string calls =
            "openat,write,fsync,fdatasync,close,rename,renameat,renameat2,unlink,unlinkat,chmod,fchmod";
        ASSERT_EQ(Drive({*m_strace, "-o", log, "-y", "-e", "trace=" + calls}, m_root).outcome, "Saved")
            << ReadFileText(m_dir / "driver.log");
        std::map<std::string, int> seen;
        std::istringstream lines(ReadFileText(log));
        for (std::string line; std::getline(lines, line);) {
            const size_t paren = line.find('(');
            if (paren == std::string::npos || line.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789") != paren) {
                continue;
            }
            const int ordinal = ++seen[line.substr(0, paren)];
            if (line.find("OPEN-R") != std::string::npos &&
                (!m_points.empty() || line.find("O_CREAT") != std::string::npos)) {
                m_points.push_back({line.substr(0, paren), ordinal, Normalized(line)});
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
        const std::string log = m_dir / "inject.log",
                          inject = point.call + ":" + effect + ":when=" + std::to_string(point.ordinal);
        const DriverReport report =
            Drive({*m_strace, "-o", log, "-y", "-e", "trace=" + point.call, "-e", "inject=" + inject}, m_root);
        // The call acted on, marked injected or the last before the kill, is the point's; another
        // means the driver's calls came in another order than in the first save.
        std::string acted;
        std::istringstream lines(ReadFileText(log));
        for (std::string line;
             std::getline(lines, line) && line.rfind("+++", 0) != 0 && !acted.ends_with("(INJECTED)");) {
            acted = line;
        }
        EXPECT_EQ(Normalized(acted), point.line);
        return report;
    }

    std::optional<std::string> m_strace = FindProgram("strace");
    std::string m_pristine = m_dir / "pristine";
    Snapshot m_before;
    std::vector<Point> m_points;
};

TEST_F(TracedSave, AKilledSaveLeavesEveryStickFileOldOrNewAndTheNextSaveFinishesTheJob) {
    std::set<std::string> states;
    for (const Point& point : m_points) {
        SCOPED_TRACE("killed at " + point.call + " #" + std::to_string(point.ordinal) + ": " + point.line);
        ASSERT_EQ(SaveWith(point, "signal=KILL").status, 128 + SIGKILL);
        std::string fates;
        for (StickFile which : {Archive, Configuration, Record}) {
            fates += ReadFileBytes(File(which)) == BytesOf(m_before, Relative(which)).value_or(std::vector<uint8_t>())
                         ? 'O'
                         : 'N';
        }
        states.insert(fates);
        // Each file old or new, whole; a newer file never precedes an older one in the save's order.
        EXPECT_TRUE(fates == "OOO" || fates == "NOO" || fates == "NNO" || fates == "NNN") << fates;
        ExpectWholeGzip(File(Configuration), fates[1] == 'N'
                                                 ? NewConfiguration()
                                                 : *GunzipBytes(*BytesOf(m_before, Relative(Configuration))));
        // A killed process cannot clear its unfinished copies; the save that follows must, and leave
        // nothing else behind.
        const DriverReport again = Drive({}, m_root);
        Expect(again.prompts, {Msg::OpenStickTitle, kSummary}, m_before, "NNN");
        if (HasFailure()) {
            break;
        }
    }
    // The kills fell before, between and after the replacements.
    EXPECT_EQ(states, (std::set<std::string>{"OOO", "NOO", "NNO", "NNN"}));
}

TEST_F(TracedSave, AFailingWriteSyncCloseOrRenameOfAStickFileIsReportedAndLeavesTheOldFile) {
    // Each call on an unfinished copy (creating, writing, syncing, closing, renaming it into place)
    // fails in turn, as a full or failing stick makes it fail; the copy's permissions do not count.
    const std::tuple<std::string, std::string, const char*, std::vector<std::string>> stops[] = {
        {".AUDIO.ODA.", Msg::ArchiveFailed, "OOO", {}},
        {".ERS-210.MWC.", Msg::CopyFailed, "NOO", {kPacked}},
        {".ERS-210.CUS.", Msg::RecordFailed, "NNO", {}}};
    std::set<std::string> failed;
    for (const Point& point : m_points) {
        for (const auto& [copy, message, fates, workLeft] : stops) {
            if (point.line.find(copy) != std::string::npos && point.call != "fchmod") {
                SCOPED_TRACE("failed " + point.call + " #" + std::to_string(point.ordinal) + ": " + point.line);
                const DriverReport report = SaveWith(point, point.call == "write" ? "error=ENOSPC" : "error=EIO");
                EXPECT_EQ(report.outcome, "KeepOpen");
                Expect(report.prompts, {Msg::OpenStickTitle, message}, m_before, fates, workLeft);
                failed.insert(copy + point.call);
            }
        }
        if (HasFailure()) {
            break;
        }
    }
    // Each copy met its creation, a write, the sync, the close and the rename.
    EXPECT_EQ(failed.size(), 15u) << ::testing::PrintToString(failed);
}
