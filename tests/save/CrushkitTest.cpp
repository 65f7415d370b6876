#include "CrushkitCore.h"

#include "ContainerBuilder.h"
#include "FailSink.h"
#include "SaveExpectations.h"
#include "TempDir.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

struct RunResult {
    int status = -1;
    std::string errors; // what the program wrote to stderr
};

std::vector<uint8_t> SampleBytes(size_t size) {
    std::vector<uint8_t> bytes(size);
    uint32_t x = 12345;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1103515245 + 12345;
        // Runs of text with some noise: compressible, but not trivially.
        bytes[i] = (i / 64) % 3 == 0 ? static_cast<uint8_t>(x >> 24) : static_cast<uint8_t>('a' + i % 17);
    }
    return bytes;
}

class CrushkitTool : public ::testing::Test {
protected:
    void SetUp() override {
        // The tool lies in the program folder; the build also says where it put it.
        const char* programDir = std::getenv("TW_PROGRAM_DIR");
        m_tool = programDir != nullptr ? std::string(programDir) + "/Crushkit" : std::string(CRUSHKIT_BUILT_AT);
        ASSERT_TRUE(PathExists(m_tool)) << m_tool;
        ASSERT_TRUE(MakeFolders(m_work));
    }

    RunResult Crushkit(const std::vector<std::string>& args) {
        std::vector<std::string> argv{m_tool};
        argv.insert(argv.end(), args.begin(), args.end());
        const int status = RunProgram(argv, m_dir / "stderr.txt", "/dev/null");
        return {status, ReadFileText(m_dir / "stderr.txt")};
    }

    // Runs Debian's gzip with `args`, its output to `output`; skips the test without gzip.
    int Gzip(const std::vector<std::string>& args, const std::string& output = "/dev/null") {
        std::optional<std::string> gzip = FindProgram("gzip");
        if (!gzip) {
            ADD_FAILURE() << "gzip is not installed";
            return -1;
        }
        std::vector<std::string> argv{*gzip};
        argv.insert(argv.end(), args.begin(), args.end());
        return RunProgram(argv, m_dir / "gzip.txt", output);
    }

    // A failed run leaves exactly one line on stderr, keeps its input and makes nothing else.
    void ExpectCleanFailure(const RunResult& result, const std::string& input, const std::vector<uint8_t>& before) {
        EXPECT_NE(result.status, 0);
        ASSERT_FALSE(result.errors.empty());
        EXPECT_EQ(result.errors.find('\n'), result.errors.size() - 1) << result.errors;
        EXPECT_EQ(ReadFileBytes(m_work + "/" + input), before);
        EXPECT_EQ(ListFolder(m_work), std::vector<std::string>{input});
    }

    TempDir m_dir;
    std::string m_work = m_dir / "work";
    std::string m_tool;
};

TEST_F(CrushkitTool, CompressesToAStandardGzipStreamAndBackKeepingThePermissions) {
    // Nothing, one byte, and several of the tool's buffers.
    for (size_t size : {size_t{0}, size_t{1}, size_t{300000}}) {
        SCOPED_TRACE(size);
        const std::vector<uint8_t> plain = SampleBytes(size);
        const std::string path = m_work + "/$TMP$.ODA";
        ASSERT_TRUE(WriteFileBytes(path, plain));
        ASSERT_EQ(chmod(path.c_str(), 0640), 0);
        RunResult result = Crushkit({"-6", path});
        ASSERT_EQ(result.status, 0) << result.errors;
        EXPECT_EQ(result.errors, "");
        EXPECT_EQ(ListFolder(m_work), std::vector<std::string>{"$TMP$.ODA.gz"});
        EXPECT_EQ(Gzip({"-t", path + ".gz"}), 0);
        ASSERT_EQ(Gzip({"-dc", path + ".gz"}, m_dir / "unpacked"), 0);
        EXPECT_EQ(ReadFileBytes(m_dir / "unpacked"), plain);

        ASSERT_EQ(Crushkit({"-d", path + ".gz"}).status, 0);
        EXPECT_EQ(ReadFileBytes(path), plain);
        struct stat st {};
        ASSERT_EQ(stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0640u);
        EXPECT_EQ(ListFolder(m_work), std::vector<std::string>{"$TMP$.ODA"});
        std::remove(path.c_str());
    }
}

TEST_F(CrushkitTool, DecompressesWhatGzipWrote) {
    const std::vector<uint8_t> plain = BuildContainer(
        {1, 0, {{5, {{SoundRecordKind, "up1_joy1_x2s", {}, std::nullopt}}, std::nullopt}}, std::nullopt, {}});
    ASSERT_TRUE(WriteFileBytes(m_dir / "ERS-210.MWC", plain));
    ASSERT_EQ(Gzip({"-9c", m_dir / "ERS-210.MWC"}, m_work + "/$TMP$.MWC.gz"), 0);

    RunResult result = Crushkit({"-d", m_work + "/$TMP$.MWC.gz"});
    ASSERT_EQ(result.status, 0) << result.errors;
    EXPECT_EQ(ListFolder(m_work), std::vector<std::string>{"$TMP$.MWC"});
    EXPECT_EQ(ReadFileBytes(m_work + "/$TMP$.MWC"), plain);
}

TEST_F(CrushkitTool, AcceptsConcatenatedMembersAsGzipDoes) {
    std::vector<uint8_t> packed = GzipBytes(SampleBytes(10));
    std::vector<uint8_t> second = GzipBytes(SampleBytes(20), 1);
    packed.insert(packed.end(), second.begin(), second.end());
    ASSERT_TRUE(WriteFileBytes(m_work + "/two.gz", packed));
    ASSERT_EQ(Crushkit({"-d", m_work + "/two.gz"}).status, 0);
    std::vector<uint8_t> expected = SampleBytes(10);
    std::vector<uint8_t> tail = SampleBytes(20);
    expected.insert(expected.end(), tail.begin(), tail.end());
    EXPECT_EQ(ReadFileBytes(m_work + "/two"), expected);
}

TEST_F(CrushkitTool, AMissingInputIsReportedAndCreatesNothing) {
    RunResult result = Crushkit({"-d", m_work + "/$TMP$.MWC.gz"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.errors.find("$TMP$.MWC.gz"), std::string::npos) << result.errors;
    EXPECT_TRUE(ListFolder(m_work).empty());
    EXPECT_EQ(Crushkit({"-6", m_work + "/$TMP$.ODA"}).status, 1);
    EXPECT_TRUE(ListFolder(m_work).empty());
}

TEST_F(CrushkitTool, ADamagedStreamIsRefusedKeepingTheInputAndLeavingNoOutput) {
    std::vector<uint8_t> packed = GzipBytes(SampleBytes(5000));
    packed[packed.size() - 8] ^= 0xFF; // the checksum
    ASSERT_TRUE(WriteFileBytes(m_work + "/$TMP$.MWC.gz", packed));
    ExpectCleanFailure(Crushkit({"-d", m_work + "/$TMP$.MWC.gz"}), "$TMP$.MWC.gz", packed);
}

TEST_F(CrushkitTool, RefusesNamesItCannotDeriveAnOutputFromAndFolders) {
    ASSERT_TRUE(WriteFileText(m_work + "/plain.mwc", "data"));
    ExpectCleanFailure(Crushkit({"-d", m_work + "/plain.mwc"}), "plain.mwc", ReadFileBytes(m_work + "/plain.mwc"));
    std::remove((m_work + "/plain.mwc").c_str());

    ASSERT_TRUE(WriteFileBytes(m_work + "/packed.gz", GzipBytes(SampleBytes(10))));
    ExpectCleanFailure(Crushkit({"-6", m_work + "/packed.gz"}), "packed.gz", GzipBytes(SampleBytes(10)));
    std::remove((m_work + "/packed.gz").c_str());

    ASSERT_TRUE(MakeFolders(m_work + "/folder"));
    EXPECT_EQ(Crushkit({"-6", m_work + "/folder"}).status, 1);
    EXPECT_EQ(ListFolder(m_work), std::vector<std::string>{"folder"});
}

TEST_F(CrushkitTool, AWrongCommandLinePrintsTheUsageAndExitsWith2) {
    const std::string file = m_work + "/file";
    ASSERT_TRUE(WriteFileText(file, "data"));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {file}, {"-9", file}, std::vector<std::string>{"-6", file, file}}) {
        SCOPED_TRACE(::testing::PrintToString(args));
        RunResult result = Crushkit(args);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.errors.rfind("usage: Crushkit", 0), 0u) << result.errors;
        EXPECT_EQ(ListFolder(m_work), std::vector<std::string>{"file"});
        EXPECT_EQ(ReadFileText(file), "data");
    }
}

TEST(CrushkitStreams, RoundTripThroughMemory) {
    const std::vector<uint8_t> plain = SampleBytes(150000);
    for (int level : {MinGzipLevel, 6, MaxGzipLevel}) {
        SCOPED_TRACE(level);
        MemorySource source(plain.data(), plain.size());
        MemorySink packed;
        ASSERT_TRUE(GzipStream(source, packed, level));
        // Another gzip reader (zlib's, used by the tests' builder) agrees.
        EXPECT_EQ(GunzipBytes(packed.Bytes()), plain);
        MemorySource again(packed.Bytes().data(), packed.Bytes().size());
        MemorySink unpacked;
        ASSERT_TRUE(GunzipStream(again, unpacked));
        EXPECT_EQ(unpacked.Bytes(), plain);
    }
}

TEST(CrushkitStreams, RefusesLevelsGzipDoesNotHave) {
    uint8_t byte = 1;
    for (int level : {0, 10, -1}) {
        MemorySource source(&byte, 1);
        MemorySink sink;
        EXPECT_FALSE(GzipStream(source, sink, level)) << level;
        EXPECT_TRUE(sink.Bytes().empty());
    }
}

TEST(CrushkitStreams, ADamagedStreamIsRefused) {
    const std::vector<uint8_t> good = GzipBytes(SampleBytes(3000));
    std::vector<std::vector<uint8_t>> damaged = {{'M', 'W', 'C', 'M', 1, 0}, good, good, good};
    damaged[1][good.size() - 8] ^= 0xFF;                       // the checksum
    damaged[2][good.size() - 1] ^= 0x01;                       // the length
    damaged[3].insert(damaged[3].end(), {'j', 'u', 'n', 'k'}); // something after the stream
    for (size_t length = 0; length < good.size(); ++length) {
        damaged.emplace_back(good.begin(), good.begin() + static_cast<long>(length)); // cut anywhere
    }
    for (const std::vector<uint8_t>& bytes : damaged) {
        SCOPED_TRACE(bytes.size());
        MemorySource source(bytes.data(), bytes.size());
        MemorySink sink;
        EXPECT_FALSE(GunzipStream(source, sink));
    }
}

TEST(CrushkitStreams, AFailingSinkFailsBothDirections) {
    const std::vector<uint8_t> plain = SampleBytes(100000);
    const std::vector<uint8_t> packed = GzipBytes(plain);
    for (size_t capacity : {size_t{0}, size_t{1}, size_t{10}, packed.size() / 2, packed.size() - 1}) {
        SCOPED_TRACE(capacity);
        MemorySource source(plain.data(), plain.size());
        FailSink sink(capacity);
        EXPECT_FALSE(GzipStream(source, sink, 6));
    }
    for (size_t capacity : {size_t{0}, size_t{1}, size_t{65536}, plain.size() - 1}) {
        SCOPED_TRACE(capacity);
        MemorySource source(packed.data(), packed.size());
        FailSink sink(capacity);
        EXPECT_FALSE(GunzipStream(source, sink));
    }
}

} // namespace
