// The reader over well-formed libraries. Damaged ones are replayed from the StockLibraryFuzz seeds,
// whose check holds every lookup inside its library.
#include "sounds/StockLibraryReader.h"

#include <gtest/gtest.h>
#include <memory>

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> out;
    for (int v : values) {
        out.push_back(static_cast<uint8_t>(v));
    }
    return out;
}

// Scrambles plain bytes as a library stores them, whatever they hold.
std::vector<uint8_t> Scramble(std::vector<uint8_t> plain) {
    for (size_t n = 0; n < plain.size(); ++n) {
        plain[n] = ScrambleLibraryByte(plain[n], n);
    }
    return plain;
}

void PutLE32(std::vector<uint8_t>& out, int32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(value) >> shift));
    }
}

// A heap copy of exactly the library's size, so any read beyond it is caught by the sanitizer.
class ExactLibrary {
public:
    explicit ExactLibrary(const std::vector<uint8_t>& bytes)
        : m_size(bytes.size()), m_bytes(std::make_unique<uint8_t[]>(bytes.size())) {
        std::copy(bytes.begin(), bytes.end(), m_bytes.get());
    }
    LibraryReader Reader() const { return LibraryReader{m_bytes.get(), m_size}; }

private:
    size_t m_size;
    std::unique_ptr<uint8_t[]> m_bytes;
};

std::vector<uint8_t> ReadData(LibraryReader& reader, int32_t length) {
    std::vector<uint8_t> data;
    for (int32_t i = 0; i < length; ++i) {
        data.push_back(ReadLibraryByte(reader));
    }
    return data;
}

} // namespace

TEST(LibraryByte, IsUnscrambledByItsPositionAloneAndNeverReadPastTheEnd) {
    ExactLibrary library(std::vector<uint8_t>(300, 0x3C));
    LibraryReader reader = library.Reader();
    std::vector<uint8_t> plain = ReadData(reader, 300);
    EXPECT_EQ(plain[0], 0x3C ^ LibraryMask); // the mask alone
    EXPECT_EQ(plain[1], 0x3C ^ 1 ^ LibraryMask);
    EXPECT_EQ(plain[255], 0x3C ^ 0xFF ^ LibraryMask);
    EXPECT_EQ(plain[256], plain[0]); // the counter of position 0 again
    EXPECT_EQ(reader.counter, 300u);
    EXPECT_EQ(ReadLibraryByte(reader), 0);
    EXPECT_EQ(reader.cursor, 300u);
}

TEST(LibraryWord, FirstByteReadIsTheLowest) {
    ExactLibrary library(Scramble(Bytes({0x78, 0x56, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0x7F})));
    LibraryReader reader = library.Reader();
    EXPECT_EQ(ReadLibraryWord(reader), 0x12345678);
    EXPECT_EQ(ReadLibraryWord(reader), -1);
    EXPECT_EQ(ReadLibraryWord(reader), 0x7FFFFFFE);
}

class FindRecordTest : public ::testing::Test {
protected:
    // Records long enough that the wanted one starts past position 256.
    std::vector<StockRecord> m_records = {{5, std::vector<uint8_t>(200, 0xAA)},
                                          {9, {}},
                                          {3, std::vector<uint8_t>(90, 0x00)},
                                          {12, {'M', 'T', 'h', 'd'}},
                                          {3, {'s', 'e', 'c', 'o', 'n', 'd'}}};
};

TEST_F(FindRecordTest, SkippingRecordsGivesTheSameBytesAsUnscramblingEverything) {
    ExactLibrary library(BuildStockLibrary(m_records));
    LibraryReader reader = library.Reader();
    std::optional<int32_t> length = FindLibraryRecord(reader, 12);
    ASSERT_EQ(length, 4);
    EXPECT_GT(reader.cursor, 256u);
    EXPECT_EQ(reader.counter, reader.cursor);
    EXPECT_EQ(ReadData(reader, *length), Bytes({'M', 'T', 'h', 'd'}));
}

TEST_F(FindRecordTest, TheFirstRecordWithTheIdWins) {
    ExactLibrary library(BuildStockLibrary(m_records));
    LibraryReader reader = library.Reader();
    std::optional<int32_t> length = FindLibraryRecord(reader, 3);
    ASSERT_EQ(length, 90);
    EXPECT_EQ(ReadData(reader, *length), std::vector<uint8_t>(90, 0x00));
}

TEST_F(FindRecordTest, AnIdWithoutRecordEndsAtTheTerminatorAndNothingAfterItIsRead) {
    ExactLibrary library(BuildStockLibrary(m_records));
    for (int32_t id : {4, LibraryTerminator}) {
        LibraryReader reader = library.Reader();
        EXPECT_FALSE(FindLibraryRecord(reader, id).has_value()) << id;
        EXPECT_EQ(reader.cursor, library.Reader().size);
    }
    std::vector<uint8_t> plain;
    for (int32_t word : {1, 0, LibraryTerminator, 8, 0}) {
        PutLE32(plain, word);
    }
    ExactLibrary cut(Scramble(plain));
    LibraryReader reader = cut.Reader();
    EXPECT_FALSE(FindLibraryRecord(reader, 8).has_value());
    EXPECT_EQ(reader.cursor, 12u);
}
