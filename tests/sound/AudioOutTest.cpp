#include "platform/AudioOut.h"
#include "SoundFixtures.h"
#include "TempDir.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

struct WaveLayout {
    int rate;
    int channels;
    int bits;
};

void PrintTo(const WaveLayout& layout, std::ostream* out) {
    *out << layout.rate << " Hz, " << layout.channels << " channels, " << layout.bits << " bits";
}

class WaveLayoutTest : public ::testing::TestWithParam<WaveLayout> {};

} // namespace

TEST_P(WaveLayoutTest, DecodesToTheSameDurationInTheOutputFormat) {
    const WaveLayout& layout = GetParam();
    std::optional<PcmAudio> audio = DecodeWave(MakeSineWave(layout.rate, layout.channels, layout.bits, 0.5));
    ASSERT_TRUE(audio.has_value());
    EXPECT_NEAR(audio->Seconds(), 0.5, 0.01);
    EXPECT_EQ(audio->samples.size() % AudioOutChannels, 0u);
    // A sine at half scale stays at about half scale whatever the conversion.
    EXPECT_NEAR(PeakLevel(audio->samples), 16384, 2500);
    // Both output channels carry the sound.
    EXPECT_EQ(audio->samples[AudioOutChannels * 100], audio->samples[AudioOutChannels * 100 + 1]);
}

INSTANTIATE_TEST_SUITE_P(Layouts, WaveLayoutTest,
                         ::testing::Values(WaveLayout{8000, 1, 8}, WaveLayout{8000, 1, 16}, WaveLayout{11025, 1, 8},
                                           WaveLayout{22050, 2, 16}, WaveLayout{48000, 1, 16}));

TEST(DecodeWave, TheOutputFormatPassesUnchanged) {
    std::vector<uint8_t> file = MakeSineWave(AudioOutRate, AudioOutChannels, 16, 0.1);
    std::optional<PcmAudio> audio = DecodeWave(file);
    ASSERT_TRUE(audio.has_value());
    ASSERT_EQ(audio->samples.size() * 2, file.size() - 44);
    EXPECT_EQ(audio->samples[1000], static_cast<int16_t>(file[44 + 2000] | (file[44 + 2001] << 8)));
}

TEST(DecodeWave, AnEmptyWaveIsAnEmptySound) {
    std::optional<PcmAudio> audio = DecodeWave(MakeSineWave(8000, 1, 16, 0.0));
    ASSERT_TRUE(audio.has_value());
    EXPECT_EQ(audio->FrameCount(), 0u);
}

TEST(DecodeWave, RefusesWhatIsNotAWaveFile) {
    std::vector<uint8_t> wave = MakeSineWave(8000, 1, 16, 0.1);
    EXPECT_FALSE(DecodeWave({}).has_value());
    EXPECT_FALSE(DecodeWave({'M', 'T', 'h', 'd', 0, 0, 0, 6}).has_value());
    EXPECT_FALSE(DecodeWave(std::vector<uint8_t>(wave.begin(), wave.begin() + 30)).has_value());
    std::vector<uint8_t> unknownCoding = wave;
    unknownCoding[20] = 0x77; // no such format tag
    EXPECT_FALSE(DecodeWave(unknownCoding).has_value());
}

class PlayToEndTest : public ::testing::Test {
protected:
    void SetUp() override { CaptureAudioTo(m_capture); }
    TempDir m_dir;
    std::string m_capture = m_dir / "played.raw";
};

TEST_F(PlayToEndTest, EverySampleReachesTheDeviceBeforeItReturns) {
    std::optional<PcmAudio> audio = DecodeWave(MakeSineWave(8000, 1, 16, 0.3));
    ASSERT_TRUE(audio.has_value());
    ASSERT_TRUE(PlayToEnd(*audio));
    std::vector<int16_t> played = ReadCapturedAudio(m_capture);
    const long offset = SoundOffset(played, audio->samples);
    ASSERT_GE(offset, 0);
    // After the sound only silence.
    EXPECT_EQ(PeakLevel(played, static_cast<size_t>(offset) + audio->samples.size()), 0);
}

TEST_F(PlayToEndTest, AnEmptySoundPlays) {
    EXPECT_TRUE(PlayToEnd(PcmAudio{}));
    EXPECT_EQ(PeakLevel(ReadCapturedAudio(m_capture)), 0);
}

TEST_F(PlayToEndTest, FailsWhenTheDeviceCannotBeOpened) {
    CaptureAudioTo(m_dir / "missing/folder/played.raw");
    std::optional<PcmAudio> audio = DecodeWave(MakeSineWave(8000, 1, 16, 0.1));
    ASSERT_TRUE(audio.has_value());
    EXPECT_FALSE(PlayToEnd(*audio));
}
