// What the player does with a file of the SOUNDS folder: decode it to the output format, answer
// the media commands, and hand every sample to the device.
#include "SoundFixtures.h"
#include "TempDir.h"
#include "platform/AudioOut.h"
#include "platform/Endian.h"
#include "platform/MediaCommand.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {

// Every layout comes out at the output format, as long and as loud (the seed replays of
// SoundFileFuzz check lengths and samples against a decoder of their own). A damaged file may
// declare a data chunk far beyond its length; decoding it must cost no more than the file holds.
TEST(DecodeWave, KeepsLengthAndLevelAndCostsNoMoreThanTheFileHolds) {
    for (const auto& [rate, channels, bits] :
         {std::tuple{8000, 1, 8}, {11025, 1, 8}, {22050, 2, 16}, {48000, 1, 16}, {AudioOutRate, 2, 16}}) {
        const std::vector<uint8_t> file = MakeSineWave(rate, channels, bits, 0.5);
        const PcmAudio audio = DecodeWave(file).value_or(PcmAudio{});
        ASSERT_NEAR(audio.Seconds(), 0.5, 0.01) << rate;
        EXPECT_NEAR(PeakLevel(audio.samples), 16384, 2500) << rate;
    }
    EXPECT_EQ(DecodeWave(MakeSineWave(8000, 1, 16, 0)).value_or(PcmAudio{{1, 1}}).FrameCount(), 0u);

    std::vector<uint8_t> wave = MakeSineWave(8000, 1, 8, 0.1);
    WriteLE32(&wave[4], 0xFFFFFFF0u);
    WriteLE32(&wave[40], 0x80808040u); // the data chunk's, about 2 GB
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    EXPECT_NEAR(DecodeWave(wave).value_or(PcmAudio{}).Seconds(), 0.1, 0.001);
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024) << "kilobytes";
}

// The commands run in order, as the preview sends them: devices are process-wide, so each sees
// what the ones before it left open. A play must bring every sample to the device (SDL's disk
// driver here), and one that cannot start must not be reported as played.
TEST(MediaCommand, AnswersEachCommandWithItsErrorNumberAndPlaysEverySample) {
    TempDir dir;
    const std::vector<uint8_t> tone = MakeSineWave(8000, 1, 16, 0.2);
    const std::string quote = "say \"hi\" now.WAV";
    ASSERT_TRUE(WriteFileBytes(dir / "tone.wav", tone) && WriteFileBytes(dir / "tone.txt", tone) &&
                WriteFileBytes(dir / quote, tone) &&
                WriteFileBytes(dir / "TUNE.MID", MidiFileMaker().Note(60, 0, 48).Bytes()) &&
                WriteFileBytes(dir / "noise.mid", std::vector<uint8_t>(500, 0x5A)) &&
                WriteFileBytes(dir / "empty.wav", {}) && MakeFolders(dir / "folder.wav"));
    CaptureAudioTo(dir / "played.raw");
    const auto open = [&dir](const std::string& name) { return "open \"" + (dir / name) + "\" alias A"; };
    for (const auto& [command, error] :
         std::vector<std::pair<std::string, int>>{{open("gone.wav"), MediaFileNotFound},
                                                  {"OPEN \"" + (dir / quote) + "\" ALIAS a", MediaOk},
                                                  {open("gone.wav"), MediaAliasInUse},
                                                  {"play A wait", MediaOk},
                                                  {"Close a", MediaOk},
                                                  {"play A wait", MediaUnknownAlias},
                                                  {"close A", MediaUnknownAlias},
                                                  {"  open   " + (dir / "TUNE.MID") + "   alias   A  ", MediaOk},
                                                  {"close A", MediaOk},
                                                  {open("folder.wav"), MediaFileNotFound},
                                                  {open("noise.mid"), MediaCannotDecode},
                                                  {open("empty.wav"), MediaCannotDecode},
                                                  {open("tone.txt"), MediaUnknownDeviceType}}) {
        EXPECT_EQ(mciSendString(command), error) << command;
    }
    for (const char* command :
         {"", "open", "open \"\" alias A", "open \"x.wav\"", "open \"x.wav alias A", "open x.wav as A",
          "open /tmp/with space.wav alias A", "play A", "play A wait please", "close A B", "stop A"}) {
        EXPECT_EQ(mciSendString(command), MediaUnrecognizedCommand) << command;
    }
    const std::vector<int16_t> played = ReadCapturedAudio(dir / "played.raw");
    const std::vector<int16_t> sound = DecodeWave(tone).value_or(PcmAudio{}).samples;
    const long offset = SoundOffset(played, sound);
    ASSERT_GE(offset, 0);
    EXPECT_EQ(PeakLevel(played, static_cast<size_t>(offset) + sound.size()), 0); // then only silence
    EXPECT_TRUE(PlayToEnd(PcmAudio{}));

    ASSERT_EQ(mciSendString(open("tone.wav")), MediaOk);
    CaptureAudioTo(dir / "missing/played.raw");
    EXPECT_EQ(mciSendString("play A wait"), MediaPlaybackFailed);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_EQ(mciSendString("play A wait"), MediaPlaybackFailed);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    EXPECT_EQ(mciSendString("close A"), MediaOk);
}

} // namespace
