// Every way a save can stop, met under real conditions: what the user is told, in order, what the
// stick holds afterwards (each file old or new, never torn, no unfinished copy left), what stays in
// the work folder, and that the choices survive for the next attempt. The stick carries an earlier
// customization throughout, so an old file can be told from a new one.
//
// Write-protected and full sticks and a process killed half-way cannot be staged inside this
// process; those cases run the SaveDriver program (beside this one) inside a private mount or under
// strace, and skip when the facility is missing.
#include "writer/SavePipeline.h"

#include "SaveExpectations.h"
#include "StickBuilder.h"
#include "TempDir.h"
#include "app/CustomizationState.h"
#include "app/InstallationPaths.h"
#include "catalog/SoundCatalogs.h"
#include "platform/FileOps.h"
#include "platform/Prompt.h"
#include "stick/ModelProfiles.h"
#include "stick/StickPreparation.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

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
// Stands for the summary of this save in a list of expected messages.
const std::string kSummary = "<the summary>";
// Ends an expected message whose number, the compressor's last errno, cannot be foreseen.
const std::string kAnyNumber = "(#)";

const std::string kPackedCopy = "$TMP$.MWC.gz";
const std::string kPackedResult = "$TMP$.ODA.gz";

// The expected message, with kAnyNumber matching "(" an integer ")".
bool MessageMatches(const std::string& expected, const std::string& actual) {
    if (expected.size() < kAnyNumber.size() ||
        expected.compare(expected.size() - kAnyNumber.size(), kAnyNumber.size(), kAnyNumber) != 0) {
        return expected == actual;
    }
    const std::string prefix = expected.substr(0, expected.size() - kAnyNumber.size()) + "(";
    if (actual.size() < prefix.size() + 2 || actual.compare(0, prefix.size(), prefix) != 0 || actual.back() != ')') {
        return false;
    }
    std::string number = actual.substr(prefix.size(), actual.size() - prefix.size() - 1);
    if (!number.empty() && number[0] == '-') {
        number.erase(0, 1);
    }
    return !number.empty() && number.find_first_not_of("0123456789") == std::string::npos;
}

std::string Spawn(const std::string& tool, const std::string& option, const std::string& file,
                  const std::string& number = kAnyNumber) {
    return "Error spawning '" + tool + " " + option + " " + file + "' " + number;
}

// What a stick file holds after the save.
enum class Fate { Old, New };

bool IsLeftoverCopy(const std::string& relativePath) {
    // SafeFile's unfinished copies: "." + the file's name + "." + six characters.
    const std::string name = fs::path(relativePath).filename().string();
    for (const char* file : {"AUDIO.ODA", "ERS-210.MWC", "ERS-210.CUS"}) {
        const std::string prefix = std::string(".") + file + ".";
        if (name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string Unescaped(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            out += text[i + 1] == 'n' ? '\n' : text[i + 1];
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

// What SaveDriver reports about a save it ran in another process.
struct DriverReport {
    int status = -1;
    std::string outcome;
    std::string state;
    std::vector<std::string> prompts;
};

} // namespace

class SaveFaultTest : public ::testing::Test {
protected:
    const ModelProfile& m_profile = ProfileTable[2];

    void SetUp() override {
        PromptScript::Activate();
        // LeakSanitizer cannot run under strace, and the driver's leaks are not what is tested here.
        setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
        if (!m_world.HasCompressor()) {
            GTEST_SKIP() << "the build's Crushkit was not found (TW_PROGRAM_DIR)";
        }
        if (!FindProgram("gzip")) {
            GTEST_SKIP() << "Debian's gzip is needed to judge the configuration on the stick";
        }
        AddStandardSounds(m_world);

        StickBuilder stock(m_profile);
        m_stockGz = *stock.Options().mwc;
        // The earlier customization: its own configuration, archive and record, over the backup
        // that every save starts from.
        MwcContainer earlier = TypicalContainer(m_profile);
        earlier.blocks.front().records.front().text = "u_earlier";
        m_stick = StickBuilder(m_profile)
                      .MwcBytes(GzipBytes(BuildContainer(earlier)))
                      .Backup(m_stockGz)
                      .Record("wake*=earlier.wav\r\n")
                      .AudioArchive(SampleArchive("an earlier archive"));
        ASSERT_TRUE(m_stick.Build(m_root));

        m_slots = AssignmentTable(static_cast<size_t>(m_profile.catalogCount));
        bool anyChar = false, exact = false, anyRest = false;
        for (int i = 0; i < m_profile.catalogCount; ++i) {
            const char* key = m_profile.catalog[i].key;
            if (key == nullptr) {
                continue;
            }
            std::string text = key;
            bool& taken = text.find('?') != std::string::npos   ? anyChar
                          : text.find('*') != std::string::npos ? anyRest
                                                                : exact;
            if (!taken) {
                taken = true;
                m_slots[static_cast<size_t>(i)] =
                    text.find_first_of("?*") != std::string::npos ? "bark.wav" : "tune.mid";
            }
        }
    }

    void TearDown() override {
        for (auto undo = m_undo.rbegin(); undo != m_undo.rend(); ++undo) {
            (*undo)();
        }
        PromptScript::Deactivate();
    }

    std::string Host(const std::string& stickPath) const { return m_stick.HostPath(m_root, stickPath); }
    std::string ArchiveFile() const { return Host(std::string(m_profile.dataFolder) + "\\AUDIO.ODA"); }
    std::string DataFolder() const { return Host(m_profile.dataFolder); }
    std::string MwcFile() const { return Host(m_profile.mwcPath); }
    std::string BackupFile() const { return Host(MakeBackupPath(m_profile.mwcPath)); }
    std::string RecordFile() const {
        const std::string mwc = m_profile.mwcPath;
        return Host(mwc.substr(0, mwc.size() - 4) + ".CUS");
    }
    std::string Relative(const std::string& host) const { return fs::relative(host, m_root).string(); }

    std::string PackedCopy() const { return m_world.Program() + "/" + kPackedCopy; }
    std::string Rewritten() const { return m_world.Program() + "/$TMP$.ODA"; }

    std::vector<std::string> Assignments() const {
        std::vector<std::string> pairs;
        for (int i = 0; i < m_profile.catalogCount; ++i) {
            if (m_slots[static_cast<size_t>(i)]) {
                pairs.push_back(std::string(m_profile.catalog[i].key) + "=" + *m_slots[static_cast<size_t>(i)]);
            }
        }
        return pairs;
    }

    std::string ExpectedSummaryNow() const {
        int replaced = 0;
        ExpectedRewrite(TypicalContainer(m_profile), m_profile, m_slots, replaced);
        return ExpectedSummary(DistinctSounds(m_slots), replaced, m_profile);
    }

    std::vector<uint8_t> NewContainer() const {
        int replaced = 0;
        return BuildContainer(ExpectedRewrite(TypicalContainer(m_profile), m_profile, m_slots, replaced));
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
        for (size_t i = 0; i < shown.size(); ++i) {
            const std::string want = expected[i] == kSummary ? ExpectedSummaryNow() : expected[i];
            EXPECT_TRUE(MessageMatches(want, shown[i]))
                << "message " << i << ": " << shown[i] << "\nexpected: " << want;
        }
    }

    // The configuration as a stick must hold it: a whole gzip stream, for zlib and for gzip.
    void ExpectWholeGzip(const std::string& path, const std::vector<uint8_t>& content) {
        std::optional<std::vector<uint8_t>> plain = GunzipBytes(ReadFileBytes(path));
        ASSERT_TRUE(plain.has_value()) << path << " is no whole gzip stream";
        EXPECT_EQ(*plain, content);
        if (std::optional<bool> accepted = GzipAccepts(path)) {
            EXPECT_TRUE(*accepted) << "gzip -t refuses " << path;
        }
    }

    // Checks the stick against `before`: each of the three files old (as before) or new (as this
    // save must write it), everything else unchanged, no unfinished copy anywhere.
    void ExpectStick(const Snapshot& before, Fate archive, Fate mwc, Fate record, const std::string& root = "") {
        const std::string stickRoot = root.empty() ? m_root : root;
        Snapshot after = TakeSnapshot(stickRoot);
        auto check = [&](const std::string& host, Fate fate, const std::function<void(const std::string&)>& isNew) {
            const std::string name = Relative(host);
            const std::string path = stickRoot + "/" + name;
            if (fate == Fate::New) {
                SCOPED_TRACE(name + " should be new");
                isNew(path);
            } else {
                EXPECT_EQ(after.count(name), before.count(name)) << name << " should be as before";
                if (before.count(name) != 0 && after.count(name) != 0) {
                    EXPECT_TRUE(after.at(name) == before.at(name)) << name << " changed";
                }
            }
            after.erase(name);
        };
        Snapshot rest = before;
        check(ArchiveFile(), archive, [&](const std::string& p) {
            EXPECT_EQ(ReadFileBytes(p), ExpectedArchive(m_profile, m_slots, m_world.Sounds()));
        });
        check(MwcFile(), mwc, [&](const std::string& p) { ExpectWholeGzip(p, NewContainer()); });
        check(RecordFile(), record,
              [&](const std::string& p) { EXPECT_EQ(ReadFileText(p), ExpectedRecord(m_profile, m_slots)); });
        for (const std::string& host : {ArchiveFile(), MwcFile(), RecordFile()}) {
            rest.erase(Relative(host));
        }
        for (auto it = rest.begin(); it != rest.end();) {
            it = IsLeftoverCopy(it->first) ? rest.erase(it) : std::next(it);
        }
        // Everything else is exactly as it was: the backup, the stick's other files, folders.
        EXPECT_EQ(after.size(), rest.size());
        for (const auto& [name, bytes] : rest) {
            ASSERT_EQ(after.count(name), 1u) << name << " disappeared";
            EXPECT_TRUE(after.at(name) == bytes) << name << " changed";
        }
        for (const auto& [name, bytes] : after) {
            EXPECT_EQ(rest.count(name), 1u) << name << " appeared";
        }
        std::vector<std::string> hidden;
        for (const std::string& name : HiddenEntries(stickRoot)) {
            if (IsLeftoverCopy(name)) {
                hidden.push_back(name);
            }
        }
        EXPECT_TRUE(hidden.empty()) << "unfinished copies left on the stick: " << ::testing::PrintToString(hidden);
    }

    // Runs "chattr +i" on a path, undone when the test ends; false when the file system or the
    // process cannot set it.
    bool MakeImmutable(const std::string& path) {
        std::optional<std::string> chattr = FindProgram("chattr");
        if (!chattr || RunProgram({*chattr, "+i", path}) != 0) {
            return false;
        }
        m_undo.push_back([chattr, path] { RunProgram({*chattr, "-i", path}); });
        return true;
    }

    // --- The driver: a save in its own process ---

    std::optional<std::string> Driver() const {
        std::string self = ExecutablePath();
        std::string driver = self.substr(0, self.rfind('/')) + "/SaveDriver";
        return access(driver.c_str(), X_OK) == 0 ? std::optional<std::string>(driver) : std::nullopt;
    }

    // Runs `wrapper` + the driver's command line for the stick at `stickRoot`; the report is read
    // back afterwards.
    DriverReport RunDriver(const std::vector<std::string>& wrapper, const std::string& stickRoot,
                           const std::vector<std::string>& assignments) {
        const std::string report = m_dir / "report.txt";
        fs::remove(report);
        std::vector<std::string> argv = wrapper;
        argv.insert(argv.end(), {*Driver(), stickRoot, m_world.Program(), m_world.Sounds(), report});
        argv.insert(argv.end(), assignments.begin(), assignments.end());
        DriverReport result;
        result.status = RunProgram(argv, m_dir / "driver.log");
        std::vector<std::string> lines = SplitLines(ReadFileText(report));
        if (lines.size() >= 2) {
            result.outcome = lines[0];
            result.state = lines[1];
            for (size_t i = 2; i < lines.size(); ++i) {
                result.prompts.push_back(Unescaped(lines[i]));
            }
        }
        return result;
    }

    std::string StateLine() const {
        std::string line = "modified";
        for (const std::string& pair : Assignments()) {
            line += " " + pair;
        }
        return line;
    }

    // Runs `script` as root of a private mount namespace (sh -c script sh args...); exit 90 from
    // it means the namespace could not be set up, and the test skips.
    std::optional<std::vector<std::string>> PrivateMount(const std::string& script) {
        std::optional<std::string> unshare = FindProgram("unshare");
        if (!unshare || geteuid() != 0 || RunProgram({*unshare, "-m", "true"}) != 0) {
            return std::nullopt;
        }
        return std::vector<std::string>{*unshare, "-m", "sh", "-c", script, "sh"};
    }

    TempDir m_dir;
    SaveWorld m_world{m_dir.Path()};
    std::string m_root = m_dir / "stick";
    StickBuilder m_stick;
    std::vector<uint8_t> m_stockGz;
    AssignmentTable m_slots;
    std::vector<std::function<void()>> m_undo;
};

// --- The failure table: every way out of a save, in one process ---

struct WayOut {
    const char* name;
    // Stages the condition on the opened stick; may skip when the facility is missing.
    std::function<void(SaveFaultTest&, CustomizationState&)> arrange;
    std::vector<std::string> messages;
    Fate archive, mwc, record;
    std::vector<std::string> workLeft; // besides the compressor
};

// Names the case in failure reports instead of dumping its bytes.
void PrintTo(const WayOut& way, std::ostream* os) {
    *os << way.name;
}

class WaysOut : public SaveFaultTest, public ::testing::WithParamInterface<WayOut> {
public:
    // The fixture's helpers, for the arrangements of the table.
    using SaveFaultTest::ArchiveFile;
    using SaveFaultTest::BackupFile;
    using SaveFaultTest::DataFolder;
    using SaveFaultTest::MakeImmutable;
    using SaveFaultTest::MwcFile;
    using SaveFaultTest::RecordFile;
    const SaveWorld& World() const { return m_world; }
};

namespace {

void Compressor(SaveFaultTest& test, const std::string& script) {
    if (!FindProgram("gzip")) {
        GTEST_SKIP() << "the stand-in compressor needs gzip";
    }
    static_cast<WaysOut&>(test).World().ReplaceCompressor(script);
}

void ReplaceByFolder(const std::string& path) {
    fs::remove_all(path);
    MakeFolders(path + "/inside");
    WriteFileText(path + "/inside/keep", "kept");
}

WaysOut& W(SaveFaultTest& test) {
    return static_cast<WaysOut&>(test);
}

std::string Tool(SaveFaultTest& test) {
    return W(test).World().Compressor();
}

const std::vector<WayOut>& Table() {
    static const std::vector<WayOut> table = {
        {"ArchiveFolderIsAFile",
         [](SaveFaultTest& t, CustomizationState&) {
             fs::remove_all(W(t).DataFolder());
             WriteFileText(W(t).DataFolder(), "a file where the data folder belongs");
         },
         {kArchiveFailed},
         Fate::Old,
         Fate::Old,
         Fate::Old,
         {}},
        {"SoundFileRemovedAfterItWasChosen",
         [](SaveFaultTest& t, CustomizationState&) { fs::remove(W(t).World().Sounds() + "/bark.wav"); },
         {kArchiveFailed},
         Fate::Old,
         Fate::Old,
         Fate::Old,
         {}},
        {"SoundFileEmpty",
         [](SaveFaultTest& t, CustomizationState&) { W(t).World().AddSound("tune.mid", {}); },
         {kArchiveFailed},
         Fate::Old,
         Fate::Old,
         Fate::Old,
         {}},
        {"ImmutableDataFolder",
         [](SaveFaultTest& t, CustomizationState&) {
             if (!W(t).MakeImmutable(W(t).DataFolder())) {
                 GTEST_SKIP() << "chattr +i is not available here";
             }
         },
         {kArchiveFailed},
         Fate::Old,
         Fate::Old,
         Fate::Old,
         {}},
        {"BackupRemovedAfterOpening",
         [](SaveFaultTest& t, CustomizationState&) { fs::remove(W(t).BackupFile()); },
         {kNoBackup},
         Fate::New,
         Fate::Old,
         Fate::Old,
         {}},
        {"BackupIsAFolder",
         [](SaveFaultTest& t, CustomizationState&) { ReplaceByFolder(W(t).BackupFile()); },
         {kNoBackup},
         Fate::New,
         Fate::Old,
         Fate::Old,
         {}},
        {"WorkFolderMissing",
         [](SaveFaultTest& t, CustomizationState&) { WorkFolder = W(t).World().Program() + "/gone"; },
         {kNoBackup},
         Fate::New,
         Fate::Old,
         Fate::Old,
         {}},
        {"CompressorMissing",
         [](SaveFaultTest& t, CustomizationState&) { fs::remove(Tool(t)); },
         {"<missing>", kUnpackFailed},
         Fate::New,
         Fate::Old,
         Fate::Old,
         {}},
        {"CompressorFailsToUnpackAndLeavesNothing",
         [](SaveFaultTest& t, CustomizationState&) { Compressor(t, "exit 1"); },
         {"<spawn -d>", kUnpackFailed},
         Fate::New,
         Fate::Old,
         Fate::Old,
         {}},
        {"StaleTemporariesDoNotHideAFailedUnpack",
         [](SaveFaultTest& t, CustomizationState&) {
             Compressor(t, "exit 1");
             WriteFileBytes(W(t).World().Program() + "/$TMP$.MWC", BuildContainer(TypicalContainer(ProfileTable[2])));
         },
         {"<spawn -d>", kUnpackFailed},
         Fate::New,
         Fate::Old,
         Fate::Old,
         {}},
        {"CompressorUnpacksButReportsFailure",
         [](SaveFaultTest& t, CustomizationState&) {
             Compressor(
                 t, "case \"$1\" in -d) gzip -dc \"$2\" > \"${2%.gz}\"; exit 1;; *) exec gzip -n \"$1\" \"$2\";; esac");
         },
         // The unpacked copy counts; the tool's input is the tool's to remove, and it did not.
         {"<spawn -d>", kSummary},
         Fate::New,
         Fate::New,
         Fate::New,
         {kPackedCopy}},
        {"BackupIsNotGzip",
         [](SaveFaultTest& t, CustomizationState&) { WriteFileText(W(t).BackupFile(), "not a gzip stream at all"); },
         {"<spawn -d>", kUnpackFailed},
         Fate::New,
         Fate::Old,
         Fate::Old,
         {}},
        {"BackupIsGzipButNoContainer",
         [](SaveFaultTest& t, CustomizationState&) {
             WriteFileBytes(W(t).BackupFile(), GzipBytes({'n', 'o', ' ', 'c', 'o', 'n', 't', 'a', 'i', 'n', 'e', 'r'}));
         },
         {kRewriteFailed},
         Fate::New,
         Fate::Old,
         Fate::Old,
         {}},
        {"CompressorFailsToPackAndLeavesNothing",
         [](SaveFaultTest& t, CustomizationState&) {
             Compressor(t, "case \"$1\" in -d) exec gzip -d \"$2\";; *) exit 1;; esac");
         },
         {"<spawn -6>", kPackFailed},
         Fate::New,
         Fate::Old,
         Fate::Old,
         {}},
        {"StaleTemporariesDoNotHideAFailedPack",
         [](SaveFaultTest& t, CustomizationState&) {
             Compressor(t, "case \"$1\" in -d) exec gzip -d \"$2\";; *) exit 1;; esac");
             WriteFileBytes(W(t).World().Program() + "/" + kPackedResult, GzipBytes({'o', 'l', 'd'}));
         },
         {"<spawn -6>", kPackFailed},
         Fate::New,
         Fate::Old,
         Fate::Old,
         {}},
        {"CompressorPacksButReportsFailure",
         [](SaveFaultTest& t, CustomizationState&) {
             Compressor(t, "case \"$1\" in -d) exec gzip -d \"$2\";; *) gzip -n -6 \"$2\"; exit 1;; esac");
         },
         {"<spawn -6>", kSummary},
         Fate::New,
         Fate::New,
         Fate::New,
         {}},
        {"ConfigurationIsAFolder",
         [](SaveFaultTest& t, CustomizationState&) { ReplaceByFolder(W(t).MwcFile()); },
         {kCopyFailed},
         Fate::New,
         Fate::Old,
         Fate::Old,
         {kPackedResult}},
        {"ImmutableConfiguration",
         [](SaveFaultTest& t, CustomizationState&) {
             if (!W(t).MakeImmutable(W(t).MwcFile())) {
                 GTEST_SKIP() << "chattr +i is not available here";
             }
         },
         {kCopyFailed},
         Fate::New,
         Fate::Old,
         Fate::Old,
         {kPackedResult}},
        {"RecordIsAFolder",
         [](SaveFaultTest& t, CustomizationState&) { ReplaceByFolder(W(t).RecordFile()); },
         {kRecordFailed},
         Fate::New,
         Fate::New,
         Fate::Old,
         {}},
        {"ImmutableRecord",
         [](SaveFaultTest& t, CustomizationState&) {
             if (!W(t).MakeImmutable(W(t).RecordFile())) {
                 GTEST_SKIP() << "chattr +i is not available here";
             }
         },
         {kRecordFailed},
         Fate::New,
         Fate::New,
         Fate::Old,
         {}},
        // Ways through that look like trouble but are not.
        {"ReadOnlyConfigurationIsReplacedAllTheSame",
         [](SaveFaultTest& t, CustomizationState&) { chmod(W(t).MwcFile().c_str(), 0444); },
         {kSummary},
         Fate::New,
         Fate::New,
         Fate::New,
         {}},
        {"UnfinishedCopiesOfAnEarlierSaveAreCleared",
         [](SaveFaultTest& t, CustomizationState&) {
             WriteFileText(W(t).DataFolder() + "/.AUDIO.ODA.Xk29aQ", "ODAR, cut off");
             WriteFileText(fs::path(W(t).MwcFile()).parent_path().string() + "/.ERS-210.MWC.a1b2c3", "\x1f\x8b");
             WriteFileText(fs::path(W(t).MwcFile()).parent_path().string() + "/.ERS-210.CUS.zzzzzz", "wake*=");
         },
         {kSummary},
         Fate::New,
         Fate::New,
         Fate::New,
         {}},
    };
    return table;
}

} // namespace

TEST_P(WaysOut, TellsTheUserLeavesTheStickWholeAndKeepsTheChoices) {
    const WayOut& way = GetParam();
    CustomizationState state;
    ASSERT_NO_FATAL_FAILURE(Open(state));
    // A hidden file of the user's beside the archive is not an unfinished copy and must stay.
    WriteFileText(DataFolder() + "/.AUDIO.ODA.mine", "not ours");
    way.arrange(*this, state);
    if (IsSkipped()) {
        return;
    }
    const Snapshot before = TakeSnapshot(m_root);

    const SaveOutcome outcome = SaveCustomization(state);
    WorkFolder = m_world.Program();

    std::vector<std::string> expected;
    for (const std::string& message : way.messages) {
        if (message == "<missing>") {
            expected.push_back(Spawn(m_world.Compressor(), "-d", PackedCopy(), "(2)"));
        } else if (message == "<spawn -d>") {
            expected.push_back(Spawn(m_world.Compressor(), "-d", PackedCopy()));
        } else if (message == "<spawn -6>") {
            expected.push_back(Spawn(m_world.Compressor(), "-6", Rewritten()));
        } else {
            expected.push_back(message);
        }
    }
    ExpectMessages(PromptScript::ShownTexts(), expected);
    const bool saved = way.messages.back() == kSummary;
    EXPECT_EQ(outcome, saved ? SaveOutcome::Saved : SaveOutcome::KeepOpen);
    ExpectStick(before, way.archive, way.mwc, way.record);

    std::vector<std::string> left = m_world.WorkLeftovers();
    EXPECT_EQ(left, way.workLeft);
    if (std::find(left.begin(), left.end(), kPackedResult) != left.end() && way.mwc == Fate::Old) {
        // What could not be copied to the stick is the finished configuration.
        ExpectWholeGzip(m_world.Program() + "/" + kPackedResult, NewContainer());
    }
    EXPECT_FALSE(PathExists(m_world.Program() + "/gone"));
    ASSERT_TRUE(state.Assignments.has_value());
    EXPECT_EQ(*state.Assignments, m_slots);
    EXPECT_TRUE(state.Modified);
}

INSTANTIATE_TEST_SUITE_P(Table, WaysOut, ::testing::ValuesIn(Table()),
                         [](const ::testing::TestParamInfo<WayOut>& info) { return std::string(info.param.name); });

// --- After a failure the user saves again, and the whole sequence runs once more ---

TEST_F(SaveFaultTest, ASaveAfterAFailureRepeatsEverythingFromTheArchiveOn) {
    CustomizationState state;
    ASSERT_NO_FATAL_FAILURE(Open(state));
    const std::vector<uint8_t> bark = ReadFileBytes(m_world.Sounds() + "/bark.wav");
    fs::remove(m_world.Sounds() + "/bark.wav");
    const Snapshot before = TakeSnapshot(m_root);
    ASSERT_EQ(SaveCustomization(state), SaveOutcome::KeepOpen);
    ExpectStick(before, Fate::Old, Fate::Old, Fate::Old);

    // The file is back, but the compressor is gone: the archive is written this time.
    m_world.AddSound("bark.wav", bark);
    fs::remove(m_world.Compressor());
    PromptScript::Clear();
    ASSERT_EQ(SaveCustomization(state), SaveOutcome::KeepOpen);
    ExpectMessages(PromptScript::ShownTexts(), {Spawn(m_world.Compressor(), "-d", PackedCopy(), "(2)"), kUnpackFailed});
    ExpectStick(before, Fate::New, Fate::Old, Fate::Old);

    // Everything in place: the third Save goes through.
    fs::create_symlink(std::string(std::getenv("TW_PROGRAM_DIR")) + "/Crushkit", m_world.Compressor());
    PromptScript::Clear();
    ASSERT_EQ(SaveCustomization(state), SaveOutcome::Saved);
    ExpectMessages(PromptScript::ShownTexts(), {kSummary});
    ExpectStick(before, Fate::New, Fate::New, Fate::New);
    EXPECT_TRUE(m_world.WorkLeftovers().empty());
}

// --- Write-protected sticks: read-only mounts in a private mount namespace ---

class WriteProtected : public SaveFaultTest, public ::testing::WithParamInterface<int> {};

TEST_P(WriteProtected, ASaveOnAReadOnlyPartOfTheStickStopsWithTheOldFilesWhole) {
    std::optional<std::string> driver = Driver();
    if (!driver) {
        GTEST_SKIP() << "SaveDriver is not built";
    }
    // The read-only part: the whole stick, the configuration's folder, or the record alone.
    struct Case {
        std::string target;
        std::vector<std::string> messages;
        Fate archive, mwc, record;
        std::vector<std::string> workLeft;
    };
    const Case cases[] = {
        {m_root, {kArchiveFailed}, Fate::Old, Fate::Old, Fate::Old, {}},
        {fs::path(MwcFile()).parent_path().string(), {kCopyFailed}, Fate::New, Fate::Old, Fate::Old, {kPackedResult}},
        {RecordFile(), {kRecordFailed}, Fate::New, Fate::New, Fate::Old, {}},
    };
    const Case& c = cases[GetParam()];
    // A bind mount of a file over itself, read-only, stands for a record that cannot be replaced.
    std::optional<std::vector<std::string>> wrapper =
        PrivateMount("mount --bind \"$1\" \"$1\" && mount -o remount,bind,ro \"$1\" || exit 90; shift; exec \"$@\"");
    if (!wrapper) {
        GTEST_SKIP() << "no private mount namespace (needs root and unshare)";
    }
    wrapper->push_back(c.target);
    const Snapshot before = TakeSnapshot(m_root);

    DriverReport report = RunDriver(*wrapper, m_root, Assignments());
    if (report.status == 90) {
        GTEST_SKIP() << "read-only bind mounts are not permitted here";
    }
    ASSERT_EQ(report.status, 1) << ReadFileText(m_dir / "driver.log");
    EXPECT_EQ(report.outcome, "KeepOpen");
    std::vector<std::string> expected = {kDialogTitle};
    expected.insert(expected.end(), c.messages.begin(), c.messages.end());
    ExpectMessages(report.prompts, expected);
    EXPECT_EQ(report.state, StateLine());
    ExpectStick(before, c.archive, c.mwc, c.record);
    EXPECT_EQ(m_world.WorkLeftovers(), c.workLeft);
}

namespace {
std::string ProtectedPartName(const ::testing::TestParamInfo<int>& info) {
    const char* names[] = {"WholeStick", "ConfigurationFolder", "Record"};
    return names[info.param];
}
} // namespace

INSTANTIATE_TEST_SUITE_P(Parts, WriteProtected, ::testing::Range(0, 3), ProtectedPartName);

// --- A full stick: a small tmpfs in a private mount namespace ---

TEST_F(SaveFaultTest, AFullStickStopsTheSaveWithTheOldFilesWholeAndNoCopyLeft) {
    std::optional<std::string> driver = Driver();
    if (!driver) {
        GTEST_SKIP() << "SaveDriver is not built";
    }
    // The stick is copied onto a fresh tmpfs, a filler leaves exactly `room` bytes free, the save
    // runs, and the stick is copied back out for the checks (the filler is not part of it).
    const std::string script = R"(
        mnt=$1 src=$2 out=$3 room=$4; shift 4
        mount -t tmpfs -o size=2m tmpfs "$mnt" || exit 90
        cp -a "$src/." "$mnt/" || exit 91
        avail=$(df --output=avail -B1 "$mnt" | tail -n 1)
        fill=$((avail - room))
        if [ "$fill" -gt 0 ]; then head -c "$fill" /dev/zero > "$mnt/FILLER" || exit 92; fi
        "$@"; status=$?
        rm -f "$mnt/FILLER"
        cp -a "$mnt/." "$out/" || exit 93
        exit $status)";
    std::optional<std::vector<std::string>> wrapper = PrivateMount(script);
    if (!wrapper || !FindProgram("df") || !FindProgram("head")) {
        GTEST_SKIP() << "no private mount namespace (needs root, unshare and coreutils)";
    }
    // A replacement far larger than the room left.
    m_world.AddSound("bark.wav", RobotWave(64 * 1024, 7));
    const std::string mountPoint = m_dir / "mnt";
    MakeFolders(mountPoint);
    constexpr size_t Page = 4096;

    {
        SCOPED_TRACE("no room for the archive");
        const std::string out = m_dir / "after-archive";
        MakeFolders(out);
        std::vector<std::string> argv = *wrapper;
        argv.insert(argv.end(), {mountPoint, m_root, out, std::to_string(Page)});
        const Snapshot before = TakeSnapshot(m_root);
        DriverReport report = RunDriver(argv, mountPoint, Assignments());
        if (report.status == 90) {
            GTEST_SKIP() << "tmpfs cannot be mounted here";
        }
        ASSERT_EQ(report.status, 1) << ReadFileText(m_dir / "driver.log");
        ExpectMessages(report.prompts, {kDialogTitle, kArchiveFailed});
        EXPECT_EQ(report.state, StateLine());
        ExpectStick(before, Fate::Old, Fate::Old, Fate::Old, out);
        EXPECT_TRUE(m_world.WorkLeftovers().empty());
    }
    {
        SCOPED_TRACE("room for the archive, none for the configuration");
        fs::remove(ArchiveFile());
        const std::vector<uint8_t> archive = ExpectedArchive(m_profile, m_slots, m_world.Sounds());
        const size_t room = (archive.size() + Page - 1) / Page * Page;
        const std::string out = m_dir / "after-configuration";
        MakeFolders(out);
        std::vector<std::string> argv = *wrapper;
        argv.insert(argv.end(), {mountPoint, m_root, out, std::to_string(room)});
        const Snapshot before = TakeSnapshot(m_root);
        DriverReport report = RunDriver(argv, mountPoint, Assignments());
        ASSERT_EQ(report.status, 1) << ReadFileText(m_dir / "driver.log");
        ExpectMessages(report.prompts, {kDialogTitle, kCopyFailed});
        ExpectStick(before, Fate::New, Fate::Old, Fate::Old, out);
        EXPECT_EQ(m_world.WorkLeftovers(), std::vector<std::string>{kPackedResult});
    }
}

// --- The process killed, or a system call failing, at every step of replacing a stick file ---

// Saves run by SaveDriver under strace. A first, traced save lists the driver's own system calls
// that touch the stick, numbered per call as strace's "when=" counts them; each later save has one
// of those calls killed or failed, on a fresh copy of the same stick.
class TracedSave : public SaveFaultTest {
protected:
    struct Point {
        std::string call;
        int ordinal;
        std::string line;
    };

    void SetUp() override {
        SaveFaultTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        m_strace = FindProgram("strace");
        if (!Driver() || !m_strace) {
            GTEST_SKIP() << "needs SaveDriver and strace";
        }
        m_pristine = m_dir / "pristine";
        fs::copy(m_root, m_pristine, fs::copy_options::recursive);
        m_before = TakeSnapshot(m_root);

        const std::string log = m_dir / "calls.log";
        DriverReport traced = RunDriver({*m_strace, "-o", log, "-y", "-e",
                                         "trace=openat,write,fsync,fdatasync,close,rename,renameat,renameat2,unlink,"
                                         "unlinkat,chmod,fchmod"},
                                        m_root, Assignments());
        if (traced.status != 0 && traced.outcome.empty()) {
            GTEST_SKIP() << "strace cannot trace here: " << ReadFileText(m_dir / "driver.log");
        }
        ASSERT_EQ(traced.outcome, "Saved") << ::testing::PrintToString(traced.prompts);
        ExpectStick(m_before, Fate::New, Fate::New, Fate::New);

        std::map<std::string, int> seen;
        bool writing = false;
        for (const std::string& line : SplitLines(ReadFileText(log))) {
            const size_t paren = line.find('(');
            if (paren == std::string::npos || line.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789") != paren) {
                continue;
            }
            const std::string call = line.substr(0, paren);
            const int ordinal = ++seen[call];
            const bool onStick = line.find("OPEN-R") != std::string::npos;
            // From the first file the save creates on the stick on; the reads of the opening
            // before it cannot harm a file.
            writing = writing || (onStick && line.find("O_CREAT") != std::string::npos);
            if (writing && onStick) {
                m_points.push_back({call, ordinal, line.substr(0, 160)});
            }
        }
        ASSERT_GE(m_points.size(), 15u) << ReadFileText(log);
    }

    // The stick as before the first save, and an empty work folder.
    void Fresh() {
        fs::remove_all(m_root);
        fs::copy(m_pristine, m_root, fs::copy_options::recursive);
        for (const std::string& left : m_world.WorkLeftovers()) {
            fs::remove_all(m_world.Program() + "/" + left);
        }
    }

    DriverReport SaveWith(const Point& point, const std::string& effect) {
        const std::string inject = "inject=" + point.call + ":" + effect + ":when=" + std::to_string(point.ordinal);
        return RunDriver({*m_strace, "-o", "/dev/null", "-e", "trace=" + point.call, "-e", inject}, m_root,
                         Assignments());
    }

    Fate FateOf(const Snapshot& after, const std::string& host) const {
        const std::string name = Relative(host);
        const bool old = after.count(name) == m_before.count(name) &&
                         (m_before.count(name) == 0 || after.at(name) == m_before.at(name));
        return old ? Fate::Old : Fate::New;
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
        Fresh();
        DriverReport killed = SaveWith(point, "signal=KILL");
        ASSERT_EQ(killed.status, 128 + SIGKILL) << "the save was not killed there";

        // Each file is old or new, whole; a newer file never precedes an older one in the save's order.
        const Snapshot after = TakeSnapshot(m_root);
        const Fate archive = FateOf(after, ArchiveFile()), mwc = FateOf(after, MwcFile()),
                   record = FateOf(after, RecordFile());
        killedBeforeArchive += archive == Fate::Old ? 1 : 0;
        killedAfterRecord += record == Fate::New ? 1 : 0;
        EXPECT_FALSE(mwc == Fate::New && archive == Fate::Old);
        EXPECT_FALSE(record == Fate::New && mwc == Fate::Old);
        ExpectWholeGzip(MwcFile(), mwc == Fate::New ? NewContainer() : *GunzipBytes(m_before.at(Relative(MwcFile()))));
        // ExpectStick would call unfinished copies a fault; a killed process cannot clear them,
        // so they are checked by the save that follows.
        for (const std::string& hidden : HiddenEntries(m_root)) {
            EXPECT_TRUE(IsLeftoverCopy(hidden)) << hidden;
        }

        // The user saves again: every file new, no unfinished copy left.
        DriverReport again = RunDriver({}, m_root, Assignments());
        ASSERT_EQ(again.outcome, "Saved") << ::testing::PrintToString(again.prompts);
        ExpectStick(m_before, Fate::New, Fate::New, Fate::New);
        if (HasFailure()) {
            break;
        }
    }
    // The kills fell before, between and after the replacements.
    EXPECT_GT(killedBeforeArchive, 0);
    EXPECT_GT(killedAfterRecord, 0);
    std::printf("[          ] %zu kill points on the stick\n", m_points.size());
}

TEST_F(TracedSave, AFailingWriteSyncCloseOrRenameOfAStickFileIsReportedAndLeavesTheOldFile) {
    // Each call on an unfinished copy (creating it, writing, syncing, closing, renaming it into
    // place) fails in turn, as a full or failing stick makes it fail; the copy's permissions are
    // a nicety whose failure does not count.
    struct Stage {
        const char* copy;
        std::string message;
        Fate archive, mwc, record;
        std::vector<std::string> workLeft;
    };
    const Stage stages[] = {
        {".AUDIO.ODA.", kArchiveFailed, Fate::Old, Fate::Old, Fate::Old, {}},
        {".ERS-210.MWC.", kCopyFailed, Fate::New, Fate::Old, Fate::Old, {kPackedResult}},
        {".ERS-210.CUS.", kRecordFailed, Fate::New, Fate::New, Fate::Old, {}},
    };
    int failed = 0;
    for (const Point& point : m_points) {
        const Stage* stage = nullptr;
        for (const Stage& s : stages) {
            stage = point.line.find(s.copy) != std::string::npos ? &s : stage;
        }
        if (stage == nullptr || point.call == "fchmod") {
            continue;
        }
        SCOPED_TRACE("failed " + point.call + " #" + std::to_string(point.ordinal) + ": " + point.line);
        Fresh();
        DriverReport report = SaveWith(point, point.call == "write" ? "error=ENOSPC" : "error=EIO");
        ASSERT_EQ(report.status, 1) << ReadFileText(m_dir / "driver.log");
        ExpectMessages(report.prompts, {kDialogTitle, stage->message});
        EXPECT_EQ(report.state, StateLine());
        ExpectStick(m_before, stage->archive, stage->mwc, stage->record);
        EXPECT_EQ(m_world.WorkLeftovers(), stage->workLeft);
        ++failed;
        if (HasFailure()) {
            break;
        }
    }
    // Every file met at least its creation, a write, the sync, the close and the rename.
    EXPECT_GE(failed, 15);
    std::printf("[          ] %d failing calls on the stick\n", failed);
}
