// The archive writer and the registry of custom sounds that feeds it. Every whole save (SaveTest)
// checks the archive byte for byte; here is what a save does not reach.
#include "writer/AudioOda.h"

#include "FailSink.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <tuple>

namespace {

class ArchiveTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(MakeFolders(m_sounds)); }
    void AddSound(const std::string& name, size_t size) {
        ASSERT_TRUE(WriteFileBytes(m_sounds + "/" + name, std::vector<uint8_t>(size, static_cast<uint8_t>(name[0]))));
    }

    TempDir m_dir;
    std::string m_sounds = m_dir / "SOUNDS";
    CustomSoundRegistry m_registry{m_sounds};
};

TEST_F(ArchiveTest, TheRegistryHoldsEachCustomSoundNameOnceWithTheFirstFileGivenForIt) {
    AddSound("Bark.WAV", 1000);
    AddSound("Tune.MID", 321);
    AddSound("bark.mid", 50);
    ASSERT_TRUE(MakeFolders(m_sounds + "/folder.wav") && WriteFileText(m_dir / "outside.wav", "RIFF"));
    // Found in other letters; u_bark is there already; files that cannot be read are registered all
    // the same, with no size; names without a custom sound name or with a folder part are not.
    for (const auto& [name, registered] : {std::pair{"BARK.wav", true},
                                           {"Tune.MID", true},
                                           {"bark.mid", true},
                                           {"gone.wav", false},
                                           {"folder.wav", false},
                                           {"README", false},
                                           {"", false},
                                           {"../outside.wav", false},
                                           {"sub/x.wav", false},
                                           {"sub\\x.wav", false}}) {
        EXPECT_EQ(m_registry.RegisterCustomSound(name), registered) << name;
    }
    AddSound("gone.wav", 5);
    EXPECT_TRUE(m_registry.RegisterCustomSound("gone.wav")); // registered once, not measured again
    std::vector<std::tuple<std::string, std::string, bool, int32_t, bool>> held;
    for (const CustomSoundEntry& entry : m_registry.Entries()) {
        held.emplace_back(entry.name, entry.fileName, entry.isMidi, entry.size,
                          m_registry.OpenCustomSoundSource(entry) != nullptr);
    }
    EXPECT_EQ(held, (decltype(held){{"u_bark", "BARK.wav", false, 1000, true},
                                    {"u_tune", "Tune.MID", true, 321, true},
                                    {"u_gone", "gone.wav", false, 0, true},
                                    {"u_folder", "folder.wav", false, 0, false}}));
    EXPECT_EQ(m_registry.FindCustomSound("U_TUNE"), 1);
    EXPECT_EQ(m_registry.FindCustomSound("u_"), -1);
}

TEST_F(ArchiveTest, TheRegistryHoldsAtMost256Sounds) {
    for (int i = 0; i <= CustomSoundRegistry::Capacity; ++i) {
        AddSound("s" + std::to_string(i) + ".wav", 1);
        EXPECT_EQ(m_registry.RegisterCustomSound("s" + std::to_string(i) + ".wav"), i < 256) << i;
    }
    EXPECT_EQ(m_registry.FindCustomSound("u_s256"), -1);
    EXPECT_TRUE(m_registry.RegisterCustomSound("S0.WAV")); // there already, so still taken
    EXPECT_EQ(m_registry.Count(), 256);
}

TEST_F(ArchiveTest, AFailingWriteAtAnyOffsetFailsTheArchive) {
    AddSound("a.wav", 3);
    AddSound("b.mid", 2);
    m_registry.RegisterCustomSound("a.wav");
    m_registry.RegisterCustomSound("b.mid");
    MemorySink whole;
    ASSERT_EQ(WriteAudioOda(m_registry, whole), 2);
    ASSERT_EQ(whole.Bytes().size(), 64u + 288u + 5u);
    for (size_t capacity = 0; capacity <= whole.Bytes().size(); ++capacity) {
        FailSink sink(capacity);
        EXPECT_EQ(WriteAudioOda(m_registry, sink), capacity < whole.Bytes().size() ? -1 : 2) << capacity;
        EXPECT_EQ(sink.Bytes(),
                  std::vector<uint8_t>(whole.Bytes().begin(), whole.Bytes().begin() + static_cast<long>(capacity)));
    }
}

// Every sound is opened before the first byte is written: one gone or changed since it was
// registered fails the archive with nothing written; an empty one fails it at its entry.
TEST_F(ArchiveTest, ASoundGoneOrChangedFailsTheArchiveBeforeItsFirstByteAndAnEmptyOneAtItsEntry) {
    for (const auto& [name, written] :
         {std::pair{"gone.wav", 0u}, {"shrinks.wav", 0u}, {"empty.wav", 64u + 288u + 8u}}) {
        AddSound("Bark.WAV", 8);
        AddSound("empty.wav", 0);
        AddSound("shrinks.wav", 100);
        CustomSoundRegistry registry(m_sounds);
        registry.RegisterCustomSound("Bark.WAV");
        registry.RegisterCustomSound(name);
        AddSound("shrinks.wav", 99);
        MemorySink sink;
        EXPECT_EQ(WriteAudioOda(registry, sink), -1) << name;
        EXPECT_EQ(sink.Bytes().size(), written) << name; // the header, both entries, the first sound
    }
}

} // namespace
