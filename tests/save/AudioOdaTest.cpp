#include "writer/AudioOda.h"

#include "FailSink.h"
#include "TempDir.h"
#include "platform/Endian.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

class AudioOdaTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(MakeFolders(m_sounds)); }

    std::vector<uint8_t> AddSound(const std::string& name, size_t size) {
        std::vector<uint8_t> bytes(size);
        for (size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<uint8_t>(i * 13 + name[0]);
        }
        EXPECT_TRUE(WriteFileBytes(m_sounds + "/" + name, bytes));
        return bytes;
    }

    std::vector<uint8_t> WriteToMemory(int32_t expected) {
        MemorySink sink;
        EXPECT_EQ(WriteAudioOda(m_registry, sink), expected);
        return sink.Bytes();
    }

    TempDir m_dir;
    std::string m_sounds = m_dir / "SOUNDS";
    CustomSoundRegistry m_registry{m_sounds};
};

// The fields of the archive's table entry `i`.
struct EntryFields {
    std::string type;
    std::string name;
    uint32_t dataOffset;
    uint32_t dataSize;
};

EntryFields EntryAt(const std::vector<uint8_t>& archive, size_t i) {
    const uint8_t* row = archive.data() + OdaHeaderSize + OdaEntrySize * i;
    return {std::string(reinterpret_cast<const char*>(row), 4),
            std::string(reinterpret_cast<const char*>(row + 4), strnlen(reinterpret_cast<const char*>(row + 4), 128)),
            ReadLE32(row + 132), ReadLE32(row + 136)};
}

TEST_F(AudioOdaTest, OneWavFileGivesTheArchiveByteForByte) {
    std::vector<uint8_t> sound = AddSound("Bark.WAV", 1000);
    ASSERT_TRUE(m_registry.RegisterCustomSound("Bark.WAV"));
    std::vector<uint8_t> archive = WriteToMemory(1);
    ASSERT_EQ(archive.size(), 1208u);

    const uint8_t header[64] = {
        'O', 'D', 'A', 'R', // magic
        0,   0,             // 16-bit 0
        3,   0,             // 16-bit 3
        1,   0,   0,   0,   // entryCount 1
        144, 0,   0,   0,   // entrySize 144
        // 48 bytes of zero follow
    };
    EXPECT_EQ(std::memcmp(archive.data(), header, sizeof header), 0);

    uint8_t entry[144] = {
        'W', 'A', 'V', 'E',              // type
        'u', '_', 'b', 'a', 'r', 'k', 0, // name, zero-filled to 128 bytes
    };
    const uint8_t placement[12] = {
        208, 0, 0, 0, // dataOffset 64 + 144
        232, 3, 0, 0, // dataSize 1000
        0,   0, 0, 0, // reserved
    };
    std::memcpy(entry + 132, placement, sizeof placement);
    EXPECT_EQ(std::memcmp(archive.data() + 64, entry, sizeof entry), 0);

    EXPECT_EQ(std::vector<uint8_t>(archive.begin() + 208, archive.end()), sound);
}

TEST_F(AudioOdaTest, DataFollowEachOtherInRegistryOrder) {
    std::vector<uint8_t> first = AddSound("one.wav", 100);
    std::vector<uint8_t> second = AddSound("Two.MID", 50);
    ASSERT_TRUE(m_registry.RegisterCustomSound("one.wav"));
    ASSERT_TRUE(m_registry.RegisterCustomSound("Two.MID"));
    std::vector<uint8_t> archive = WriteToMemory(2);

    ASSERT_EQ(archive.size(), 64u + 288u + 150u);
    EXPECT_EQ(ReadLE32(archive.data() + 8), 2u);
    EntryFields a = EntryAt(archive, 0);
    EntryFields b = EntryAt(archive, 1);
    EXPECT_EQ(a.type, "WAVE");
    EXPECT_EQ(a.name, "u_one");
    EXPECT_EQ(a.dataOffset, 352u);
    EXPECT_EQ(a.dataSize, 100u);
    EXPECT_EQ(b.type, "MIDI");
    EXPECT_EQ(b.name, "u_two");
    EXPECT_EQ(b.dataOffset, 452u);
    EXPECT_EQ(b.dataSize, 50u);
    EXPECT_EQ(std::vector<uint8_t>(archive.begin() + 352, archive.begin() + 452), first);
    EXPECT_EQ(std::vector<uint8_t>(archive.begin() + 452, archive.end()), second);
}

// The save writes through a sink into a file it replaces only when complete, and deletes the
// archive itself when nothing is assigned; see SaveFaultTest and SavePipelineTest.
TEST_F(AudioOdaTest, AnEmptyRegistryWritesNothing) {
    EXPECT_TRUE(WriteToMemory(0).empty());
}

TEST_F(AudioOdaTest, ASourceThatCannotBeReadWholeFailsAtItsEntry) {
    AddSound("Bark.WAV", 8);
    AddSound("empty.wav", 0);
    AddSound("shrinks.wav", 100);
    m_registry.RegisterCustomSound("Bark.WAV");
    EXPECT_FALSE(m_registry.RegisterCustomSound("gone.wav"));
    // Header, both entries and the first sound; the rest is never reached.
    EXPECT_EQ(WriteToMemory(-1).size(), 64u + 288u + 8u);
    for (const char* name : {"shrinks.wav", "empty.wav"}) {
        CustomSoundRegistry registry(m_sounds);
        ASSERT_TRUE(registry.RegisterCustomSound(name));
        AddSound("shrinks.wav", 99); // shorter than when it was registered
        MemorySink sink;
        EXPECT_EQ(WriteAudioOda(registry, sink), -1) << name;
    }
}

TEST_F(AudioOdaTest, AWriteFailingAtAnyOffsetFailsTheArchive) {
    AddSound("a.wav", 3);
    AddSound("b.mid", 2);
    m_registry.RegisterCustomSound("a.wav");
    m_registry.RegisterCustomSound("b.mid");
    const std::vector<uint8_t> full = WriteToMemory(2);
    ASSERT_EQ(full.size(), 64u + 288u + 5u);

    for (size_t capacity = 0; capacity < full.size(); ++capacity) {
        SCOPED_TRACE(capacity);
        FailSink sink(capacity);
        EXPECT_EQ(WriteAudioOda(m_registry, sink), -1);
        EXPECT_TRUE(sink.Failed());
        EXPECT_FALSE(sink.Closed()); // closing belongs to whoever chose the file
        EXPECT_EQ(sink.Bytes(), std::vector<uint8_t>(full.begin(), full.begin() + static_cast<long>(capacity)));
    }
    FailSink roomy(full.size());
    EXPECT_EQ(WriteAudioOda(m_registry, roomy), 2);
    EXPECT_EQ(roomy.Bytes(), full);
}

} // namespace
