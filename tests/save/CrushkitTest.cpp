// Crushkit, the compressor beside Tonewright: gzip-compatible in both directions and refusing
// damaged input.
#include "platform/Gzip.h"

#include "ContainerBuilder.h"
#include "FailSink.h"
#include "SaveExpectations.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sstream>

namespace {

using namespace std::string_literals;

// Runs of text with some noise: compressible, but not trivially.
std::vector<uint8_t> SampleBytes(size_t size) {
    std::vector<uint8_t> bytes(size);
    uint32_t x = 12345;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1103515245 + 12345;
        bytes[i] = (i / 64) % 3 == 0 ? static_cast<uint8_t>(x >> 24) : static_cast<uint8_t>('a' + i % 17);
    }
    return bytes;
}

// Through GunzipStream (level 0), or GzipStream at `level`, into a device that takes `capacity` bytes.
std::optional<std::vector<uint8_t>> Through(const std::vector<uint8_t>& bytes, int level, size_t capacity = SIZE_MAX) {
    MemorySource source(bytes.data(), bytes.size());
    FailSink sink(capacity);
    return (level == 0 ? GunzipStream(source, sink) : GzipStream(source, sink, level)) ? std::optional(sink.Bytes())
                                                                                       : std::nullopt;
}

class CrushkitTool : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(PathExists(m_tool)) << m_tool;
        ASSERT_TRUE(m_gzip.has_value()) << "gzip is not installed";
        ASSERT_TRUE(MakeFolders(m_work));
    }
    // The status; what the program wrote to standard error is left in m_errors.
    int Run(const std::vector<std::string>& argv, const std::string& output = "/dev/null") {
        const int status = RunProgram(argv, m_dir / "errors", output);
        m_errors = ReadFileText(m_dir / "errors");
        return status;
    }

    TempDir m_dir;
    std::string m_work = m_dir / "work", m_errors;
    // The tool lies in the program folder; the build also says where it put it.
    std::string m_tool =
        std::getenv("TW_PROGRAM_DIR") ? std::getenv("TW_PROGRAM_DIR") + "/Crushkit"s : CRUSHKIT_BUILT_AT;
    std::optional<std::string> m_gzip = FindProgram("gzip");
};

// Nothing, one byte and several of the tool's buffers; each command replaces its input by its
// output.
TEST_F(CrushkitTool, PacksWhatGzipUnpacksAndUnpacksWhatGzipPacked) {
    const std::string path = m_work + "/$TMP$.ODA", packed = path + ".gz";
    for (size_t size : {size_t{0}, size_t{1}, size_t{300000}}) {
        SCOPED_TRACE(size);
        const std::vector<uint8_t> plain = SampleBytes(size);
        ASSERT_TRUE(WriteFileBytes(path, plain));
        ASSERT_EQ(Run({m_tool, "-6", path}), 0) << m_errors;
        EXPECT_EQ(m_errors, "");
        EXPECT_EQ(ListFolder(m_work), std::vector<std::string>{"$TMP$.ODA.gz"});
        ASSERT_EQ(Run({*m_gzip, "-dc", packed}, m_dir / "unpacked"), 0);
        EXPECT_EQ(ReadFileBytes(m_dir / "unpacked"), plain);

        ASSERT_EQ(Run({*m_gzip, "-9c", m_dir / "unpacked"}, packed), 0); // with the file's name in its header
        ASSERT_EQ(Run({m_tool, "-d", packed}), 0) << m_errors;
        EXPECT_EQ(ReadFileBytes(path), plain);
        EXPECT_EQ(ListFolder(m_work), std::vector<std::string>{"$TMP$.ODA"});
    }
}

// A wrong command line prints the usage and exits with 2; an input it cannot take fails with 1 and
// one line naming it. Either way the folder stays as it was.
TEST_F(CrushkitTool, RefusesWhatItCannotTakeAndLeavesTheFolderAsItWas) {
    std::vector<uint8_t> damaged = GzipBytes(SampleBytes(5000));
    damaged[damaged.size() - 8] ^= 0xFF; // the checksum
    const std::string w = m_work + "/";
    ASSERT_TRUE(WriteFileText(w + "file", "data") && WriteFileText(w + "plain.mwc", "data") &&
                WriteFileBytes(w + "packed.gz", GzipBytes(SampleBytes(10))) && WriteFileBytes(w + "bad.gz", damaged) &&
                MakeFolders(w + "folder"));
    const Snapshot before = TakeSnapshot(m_work);
    // The exit status, then the arguments, files of the work folder; no output name can be made from
    // plain.mwc.
    for (const std::string line : {"2", "2 file", "2 -9 file", "2 -6 file file", "1 -d missing.gz", "1 -6 missing",
                                   "1 -d bad.gz", "1 -d plain.mwc", "1 -6 packed.gz", "1 -6 folder"}) {
        SCOPED_TRACE(line);
        std::istringstream words(line);
        int status = 0;
        words >> status;
        std::vector<std::string> argv{m_tool};
        for (std::string word; words >> word;) {
            argv.push_back(word[0] == '-' ? word : w + word);
        }
        EXPECT_EQ(Run(argv), status);
        const bool oneLineNamingIt =
            status == 1 && m_errors.find('\n') == m_errors.size() - 1 && m_errors.find(argv[2]) != std::string::npos;
        EXPECT_TRUE(status == 2 ? m_errors.rfind("usage: Crushkit", 0) == 0 : oneLineNamingIt) << m_errors;
        EXPECT_EQ(TakeSnapshot(m_work), before);
    }
}

// The seed replays of CrushkitInflateFuzz hold what the streams accept and refuse to zlib's own
// reading; here, devices that fill up.
TEST(CrushkitStreams, AnUnwritableStreamIsRefused) {
    const std::vector<uint8_t> plain = SampleBytes(100000), packed = GzipBytes(plain);
    for (size_t capacity : {size_t{0}, size_t{1}, size_t{10}, packed.size() / 2, packed.size() - 1}) {
        EXPECT_EQ(Through(plain, 6, capacity), std::nullopt) << capacity;
    }
    for (size_t capacity : {size_t{0}, size_t{1}, size_t{65536}, plain.size() - 1}) {
        EXPECT_EQ(Through(packed, 0, capacity), std::nullopt) << capacity;
    }
}

} // namespace
