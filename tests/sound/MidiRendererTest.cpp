#include "platform/MidiRenderer.h"
#include "SoundFixtures.h"

#include <gtest/gtest.h>

namespace {

// Frames of one render from the start to the given time.
size_t FramesAt(double seconds) {
    return static_cast<size_t>(seconds * AudioOutRate);
}

class MidiRendererTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!SharedMidiRenderer().Load()) {
            GTEST_SKIP() << "no General MIDI soundfont at " << DefaultSoundFontPath;
        }
    }
    MidiRenderer& m_renderer = SharedMidiRenderer();
};

// How often the left channel changes sign: twice the frequency for a plain tone.
double CrossingsPerSecond(const std::vector<int16_t>& samples) {
    int crossings = 0;
    for (size_t i = AudioOutChannels; i < samples.size(); i += AudioOutChannels) {
        crossings += (samples[i - AudioOutChannels] < 0) != (samples[i] < 0) ? 1 : 0;
    }
    return crossings * static_cast<double>(AudioOutRate) / static_cast<double>(samples.size() / AudioOutChannels);
}

} // namespace

TEST(MidiRendererSoundFont, WithoutASoundFontNothingIsRendered) {
    MidiRenderer renderer("/nonexistent/none.sf2");
    EXPECT_FALSE(renderer.Load());
    EXPECT_FALSE(renderer.Render(MidiFileMaker().Note(60, 0, 96).Bytes()).has_value());
}

TEST_F(MidiRendererTest, ASoundEndsWhenItsLastNoteHasRungOutNotAfterTheIdleGracePeriod) {
    MidiFileMaker midi(120);
    midi.Program(79).Note(72, 0, 96); // half a second
    std::optional<PcmAudio> audio = m_renderer.Render(midi.Bytes());
    ASSERT_TRUE(audio.has_value());
    double noteOff = midi.SecondsAt(96);
    // The release is heard, then the sound stops within a second: the player itself would have
    // idled for two more.
    EXPECT_GT(audio->Seconds(), noteOff + 0.02);
    EXPECT_LT(audio->Seconds(), noteOff + 1.0);
    AudibleSpan span = FindAudibleSpan(audio->samples);
    EXPECT_LT(span.first, static_cast<long>(FramesAt(0.02)));
}

TEST_F(MidiRendererTest, TrailingRestsAreNotPartOfTheSound) {
    MidiFileMaker midi(120);
    midi.Program(13).Note(72, 0, 24).EndAt(96 * 8); // a short note, then four seconds of nothing
    std::optional<PcmAudio> audio = m_renderer.Render(midi.Bytes());
    ASSERT_TRUE(audio.has_value());
    EXPECT_LT(audio->Seconds(), 2.0);
    EXPECT_FALSE(FindAudibleSpan(audio->samples).Empty());
}

TEST_F(MidiRendererTest, NotesLeftHeldAreReleasedAtTheEnd) {
    MidiFileMaker held(120);
    held.Program(73).HeldNote(72, 0).EndAt(96);
    std::optional<PcmAudio> audio = m_renderer.Render(held.Bytes());
    ASSERT_TRUE(audio.has_value());
    EXPECT_GT(audio->Seconds(), 0.4);
    EXPECT_LT(audio->Seconds(), 2.0);

    MidiFileMaker pedal(120);
    pedal.Program(0).Controller(0, 64, 127).Note(60, 0, 48).EndAt(96);
    audio = m_renderer.Render(pedal.Bytes());
    ASSERT_TRUE(audio.has_value());
    EXPECT_LT(audio->Seconds(), 3.0);
}

TEST_F(MidiRendererTest, AFileWithoutNotesIsAnEmptySound) {
    std::optional<PcmAudio> audio = m_renderer.Render(MidiFileMaker().Program(5).EndAt(96).Bytes());
    ASSERT_TRUE(audio.has_value());
    EXPECT_EQ(audio->FrameCount(), 0u);
}

TEST_F(MidiRendererTest, OneRenderLeavesNothingBehindForTheNext) {
    std::vector<uint8_t> first = MidiFileMaker().Program(80).Note(64, 0, 48).Bytes();
    // Another instrument, a held pedal and a bend left at the end.
    MidiFileMaker other;
    other.Program(40).Controller(0, 64, 127).Note(50, 0, 48).Controller(40, 7, 20).EndAt(48);
    std::vector<uint8_t> bent = other.Bytes();
    bent.insert(bent.end() - 4, {0x00, 0xE0, 0x00, 0x7F}); // bend up just before the end of track
    bent[21] = static_cast<uint8_t>(bent[21] + 4);         // the track's length
    ASSERT_TRUE(IsStandardMidiFile(bent));

    std::optional<PcmAudio> before = m_renderer.Render(first);
    ASSERT_TRUE(m_renderer.Render(bent).has_value());
    std::optional<PcmAudio> after = m_renderer.Render(first);
    ASSERT_TRUE(before.has_value() && after.has_value());
    // The synthesizer's clock runs on, so notes may start a sample apart; all else is the same:
    // the instrument's level, the pitch and the length.
    EXPECT_NEAR(PeakLevel(after->samples), PeakLevel(before->samples), PeakLevel(before->samples) / 50);
    EXPECT_NEAR(CrossingsPerSecond(after->samples), CrossingsPerSecond(before->samples), 20.0);
    EXPECT_NEAR(after->Seconds(), before->Seconds(), 0.005);
}

TEST_F(MidiRendererTest, ATrackTheSynthesizerCannotReadIsRefused) {
    std::vector<uint8_t> bytes = {'M', 'T', 'h', 'd', 0,   0, 0, 6, 0, 0,    0,    1,    0,
                                  96,  'M', 'T', 'r', 'k', 0, 0, 0, 4, 0x00, 0xF7, 0xFF, 0xFF};
    ASSERT_TRUE(IsStandardMidiFile(bytes));
    EXPECT_FALSE(m_renderer.Render(bytes).has_value());
}

// Byte layouts that are not a MIDI file at all.
struct NotMidi {
    const char* name;
    std::vector<uint8_t> bytes;
};

void PrintTo(const NotMidi& notMidi, std::ostream* out) {
    *out << notMidi.name;
}

std::vector<uint8_t> Header(int length, int format, int tracks, int division) {
    return {'M', 'T',
            'h', 'd',
            0,   0,
            0,   static_cast<uint8_t>(length),
            0,   static_cast<uint8_t>(format),
            0,   static_cast<uint8_t>(tracks),
            0,   static_cast<uint8_t>(division)};
}

std::vector<uint8_t> Join(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::vector<uint8_t> kTrack = {'M', 'T', 'r', 'k', 0, 0, 0, 4, 0x00, 0xFF, 0x2F, 0x00};

class NotMidiTest : public ::testing::TestWithParam<NotMidi> {};

TEST_P(NotMidiTest, IsNotTakenForAMidiFile) {
    EXPECT_FALSE(IsStandardMidiFile(GetParam().bytes));
    EXPECT_FALSE(SharedMidiRenderer().Render(GetParam().bytes).has_value());
}

INSTANTIATE_TEST_SUITE_P(Layouts, NotMidiTest,
                         ::testing::Values(NotMidi{"Empty", {}}, NotMidi{"WaveFile", MakeSineWave(8000, 1, 8, 0.01)},
                                           NotMidi{"HeaderOnly", Header(6, 0, 1, 96)},
                                           NotMidi{"UnknownFormat", Join(Header(6, 3, 1, 96), kTrack)},
                                           NotMidi{"ZeroDivision", Join(Header(6, 0, 1, 0), kTrack)},
                                           NotMidi{"FewerTracksThanAnnounced", Join(Header(6, 1, 2, 96), kTrack)},
                                           NotMidi{"HugeTrackLength",
                                                   Join(Header(6, 0, 1, 96),
                                                        {'M', 'T', 'r', 'k', 0xFF, 0xFF, 0xFF, 0xFF})}),
                         [](const ::testing::TestParamInfo<NotMidi>& info) { return std::string(info.param.name); });
