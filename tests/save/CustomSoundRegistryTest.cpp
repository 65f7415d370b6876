#include "writer/CustomSoundRegistry.h"

#include "TempDir.h"

#include <gtest/gtest.h>

namespace {

class CustomSoundRegistryTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(MakeFolders(m_sounds)); }

    // A replacement file in the sounds folder holding `size` bytes.
    void AddSound(const std::string& name, size_t size) {
        std::vector<uint8_t> bytes(size);
        for (size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<uint8_t>(i * 7 + name.size());
        }
        ASSERT_TRUE(WriteFileBytes(m_sounds + "/" + name, bytes));
    }

    TempDir m_dir;
    std::string m_sounds = m_dir / "SOUNDS";
    CustomSoundRegistry m_registry{m_sounds};
};

TEST_F(CustomSoundRegistryTest, RegistersAFileUnderItsCustomSoundNameWithTypeAndSize) {
    AddSound("Bark.WAV", 1000);
    AddSound("Tune.MID", 321);
    EXPECT_TRUE(m_registry.RegisterCustomSound("Bark.WAV"));
    EXPECT_TRUE(m_registry.RegisterCustomSound("Tune.MID"));

    ASSERT_EQ(m_registry.Count(), 2);
    const CustomSoundEntry& bark = m_registry.Entries()[0];
    EXPECT_EQ(bark.name, "u_bark");
    EXPECT_EQ(bark.fileName, "Bark.WAV");
    EXPECT_FALSE(bark.isMidi);
    EXPECT_EQ(bark.size, 1000);
    const CustomSoundEntry& tune = m_registry.Entries()[1];
    EXPECT_EQ(tune.name, "u_tune");
    EXPECT_TRUE(tune.isMidi);
    EXPECT_EQ(tune.size, 321);
}

TEST_F(CustomSoundRegistryTest, FilesWithTheSameCustomSoundNameKeepTheFirstOne) {
    AddSound("Sample.wav", 100);
    AddSound("sample.mid", 50);
    EXPECT_TRUE(m_registry.RegisterCustomSound("Sample.wav"));
    // Reported as present: the configuration file can refer to u_sample for both stock sounds.
    EXPECT_TRUE(m_registry.RegisterCustomSound("sample.mid"));

    ASSERT_EQ(m_registry.Count(), 1);
    EXPECT_EQ(m_registry.Entries()[0].name, "u_sample");
    EXPECT_EQ(m_registry.Entries()[0].fileName, "Sample.wav");
    EXPECT_FALSE(m_registry.Entries()[0].isMidi);
    EXPECT_EQ(m_registry.Entries()[0].size, 100);
}

TEST_F(CustomSoundRegistryTest, FindIgnoresAsciiCaseAndReportsTheFirstIndex) {
    AddSound("a.wav", 1);
    AddSound("b.wav", 1);
    ASSERT_TRUE(m_registry.RegisterCustomSound("a.wav"));
    ASSERT_TRUE(m_registry.RegisterCustomSound("b.wav"));
    EXPECT_EQ(m_registry.FindCustomSound("u_a"), 0);
    EXPECT_EQ(m_registry.FindCustomSound("U_B"), 1);
    EXPECT_EQ(m_registry.FindCustomSound("u_c"), -1);
    EXPECT_EQ(m_registry.FindCustomSound("u_"), -1);
}

TEST_F(CustomSoundRegistryTest, NamesWithoutACustomSoundNameOrWithAFolderPartAreNotRegistered) {
    const std::string longest(28, 'x'); // 28 + ".wav" = 32 characters
    AddSound(longest + ".wav", 4);
    ASSERT_TRUE(WriteFileText(m_dir / "outside.wav", "RIFF"));
    EXPECT_TRUE(m_registry.RegisterCustomSound(longest + ".wav"));
    for (const char* name :
         {"xxxxxxxxxxxxxxxxxxxxxxxxxxxxy.wav", "README", "", "../outside.wav", "sub/x.wav", "sub\\x.wav"}) {
        EXPECT_FALSE(m_registry.RegisterCustomSound(name)) << name;
    }
    EXPECT_EQ(m_registry.Count(), 1);
}

TEST_F(CustomSoundRegistryTest, AFileNamedWithSeveralDotsIsReadFromItsOwnName) {
    AddSound("my.song.wav", 77);
    EXPECT_TRUE(m_registry.RegisterCustomSound("my.song.wav"));
    ASSERT_EQ(m_registry.Count(), 1);
    EXPECT_EQ(m_registry.Entries()[0].name, "u_my");
    EXPECT_EQ(m_registry.Entries()[0].size, 77);

    std::unique_ptr<ByteSource> source = m_registry.OpenCustomSoundSource(m_registry.Entries()[0]);
    ASSERT_NE(source, nullptr);
    std::vector<uint8_t> bytes(77);
    ASSERT_TRUE(ReadItem(*source, bytes.data(), bytes.size()));
    EXPECT_EQ(bytes, ReadFileBytes(m_sounds + "/my.song.wav"));
}

TEST_F(CustomSoundRegistryTest, AFileNamedInOtherCaseIsStillFound) {
    AddSound("Bark.WAV", 12);
    EXPECT_TRUE(m_registry.RegisterCustomSound("BARK.wav"));
    EXPECT_EQ(m_registry.Entries()[0].size, 12);
    EXPECT_NE(m_registry.OpenCustomSoundSource(m_registry.Entries()[0]), nullptr);
}

TEST_F(CustomSoundRegistryTest, AnUnreadableSourceStaysRegisteredWithSizeZero) {
    EXPECT_FALSE(m_registry.RegisterCustomSound("gone.wav"));
    ASSERT_TRUE(MakeFolders(m_sounds + "/folder.wav"));
    EXPECT_FALSE(m_registry.RegisterCustomSound("folder.wav"));

    ASSERT_EQ(m_registry.Count(), 2);
    for (const CustomSoundEntry& entry : m_registry.Entries()) {
        EXPECT_EQ(entry.size, 0) << entry.name;
        EXPECT_EQ(m_registry.OpenCustomSoundSource(entry), nullptr) << entry.name;
    }
    // Registered once, it is not measured again.
    AddSound("gone.wav", 5);
    EXPECT_TRUE(m_registry.RegisterCustomSound("gone.wav"));
    EXPECT_EQ(m_registry.Entries()[0].size, 0);
}

TEST_F(CustomSoundRegistryTest, HoldsAtMost256DistinctSounds) {
    for (int i = 0; i < CustomSoundRegistry::Capacity; ++i) {
        std::string name = "s" + std::to_string(i) + ".wav";
        AddSound(name, 1);
        ASSERT_TRUE(m_registry.RegisterCustomSound(name)) << name;
    }
    AddSound("extra.wav", 1);
    EXPECT_FALSE(m_registry.RegisterCustomSound("extra.wav"));
    EXPECT_EQ(m_registry.Count(), 256);
    EXPECT_EQ(m_registry.FindCustomSound("u_extra"), -1);
    // A sound that is there already is still accepted when the registry is full.
    EXPECT_TRUE(m_registry.RegisterCustomSound("S0.WAV"));
    EXPECT_EQ(m_registry.Count(), 256);
}

} // namespace
