// MIDI rendered ahead of playback, the built-in stock tunes included: a sound lasts from its first
// note to where its last one has rung out, and bytes that are no MIDI file, or that the
// synthesizer cannot read, give none.
#include "platform/MidiRenderer.h"
#include "SoundFixtures.h"
#include "catalog/SoundCatalogs.h"
#include "sounds/StockLibraryReader.h"
#include "stick/ModelProfiles.h"

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <thread>

namespace {

class MidiRendererTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!SharedMidiRenderer().Load()) {
            GTEST_SKIP() << "no General MIDI soundfont at " << DefaultSoundFontPath;
        }
    }
    PcmAudio Render(const std::vector<uint8_t>& m) { return SharedMidiRenderer().Render(m).value_or(PcmAudio{}); }
};

// Neither trailing rests nor the player's idle seconds are part of a sound, and notes the file
// leaves held, by a missing note-off or by the pedal, are released at its end. What one file
// leaves set (an instrument, the pedal, a low volume) is gone for the next.
TEST_F(MidiRendererTest, ASoundEndsWhereItsLastNoteHasRungOutAndLeavesNothingBehind) {
    const std::vector<uint8_t> first = MidiFileMaker().Program(80).Note(64, 0, 48).Bytes();
    const PcmAudio before = Render(first);
    for (const auto& [midi, shortest, longest] : std::vector<std::tuple<MidiFileMaker, double, double>>{
             {MidiFileMaker().Program(79).Note(72, 0, 96).EndAt(96 * 8), 0.52, 1.5},
             {MidiFileMaker().Program(73).Event(0, {0x90, 72, 100}).EndAt(96), 0.4, 2.0},
             {MidiFileMaker().Program(0).Event(0, {0xB0, 64, 127}).Note(60, 0, 48).EndAt(96), 0.25, 3.0},
             {MidiFileMaker().Program(40).Event(0, {0xB0, 7, 20}).EndAt(96), 0.0, 0.0}}) {
        const PcmAudio audio = Render(midi.Bytes());
        EXPECT_TRUE(audio.Seconds() >= shortest && audio.Seconds() <= longest) << audio.Seconds();
    }
    const PcmAudio after = Render(first);
    EXPECT_NEAR(PeakLevel(after.samples), PeakLevel(before.samples), PeakLevel(before.samples) / 50);
    EXPECT_NEAR(after.Seconds(), before.Seconds(), 0.005);
}

// One file is a MIDI file with a whole track chunk, but one whose events cannot be read; without a
// soundfont no file is rendered.
TEST_F(MidiRendererTest, WhatIsNoMidiFileOrCannotBeReadGivesNoSound) {
    auto file = [](uint8_t headerLength, uint8_t format, uint8_t tracks, uint8_t division,
                   std::vector<uint8_t> track = {'M', 'T', 'r', 'k', 0, 0, 0, 4, 0, 0xFF, 0x2F, 0}) {
        track.insert(track.begin(), {'M', 'T', 'h', 'd', 0, 0, 0, headerLength, 0, format, 0, tracks, 0, division});
        return track;
    };
    const std::vector<uint8_t> unreadable = file(6, 0, 1, 96, {'M', 'T', 'r', 'k', 0, 0, 0, 4, 0x00, 0xF7, 0xFF, 0xFF});
    for (const std::vector<uint8_t>& bytes :
         {std::vector<uint8_t>{}, MakeSineWave(8000, 1, 8, 0.01), file(6, 0, 1, 96, {}), file(5, 0, 1, 96),
          file(6, 3, 1, 96), file(6, 0, 1, 0), file(6, 1, 2, 96),
          file(6, 0, 1, 96, {'M', 'T', 'r', 'k', 0xFF, 0xFF, 0xFF, 0xFF}), unreadable}) {
        EXPECT_EQ(IsStandardMidiFile(bytes), bytes == unreadable);
        EXPECT_FALSE(SharedMidiRenderer().Render(bytes).has_value());
    }
}

// Every stock sound of a profile with a library has a record of its own, found by skipping the
// records before it, whose tune sounds at once and for a third of a second to three seconds, loud
// enough to hear without clipping. A library copied for another software keeps each tune at its row.
TEST_F(MidiRendererTest, EveryStockSoundOfAProfileHasAPlayableTuneOfItsOwn) {
    std::map<std::vector<uint8_t>, int> rowOfTune;
    for (const ModelProfile& profile : ProfileTable) {
        for (int i = 0; profile.stockLibrary != nullptr && i < profile.catalogCount; ++i) {
            const std::vector<uint8_t> tune = StockRecordData(*profile.stockLibrary, i);
            if (!IsStockSound(profile.catalog[i]) || !rowOfTune.emplace(tune, i).second) {
                EXPECT_TRUE(!IsStockSound(profile.catalog[i]) || rowOfTune[tune] == i) << profile.name << " " << i;
                continue;
            }
            const PcmAudio audio = Render(tune);
            EXPECT_LT(FindAudibleSpan(audio.samples).first, AudioOutRate / 20) << profile.name << " " << i;
            EXPECT_TRUE(audio.Seconds() >= 0.3 && audio.Seconds() <= 3.0) << profile.name << " " << i;
            EXPECT_TRUE(PeakLevel(audio.samples) > 4000 && PeakLevel(audio.samples) < 32767)
                << profile.name << " " << i;
        }
    }
}

// A renderer whose soundfont reads are counted. The worker's read goes on only once a caller
// waits for it, so whatever is asked meanwhile is asked while the load runs.
class HeldLoad {
public:
    explicit HeldLoad(std::string path = DefaultSoundFontPath)
        : renderer(std::move(path), {[this] { Read(); }, [this] { Waiting(); }}) {}
    std::atomic<int> reads = 0;
    std::atomic<bool> waited = false;

private:
    void Read() {
        std::unique_lock lock(m_mutex);
        ++reads;
        m_changed.notify_all();
        // Only a read on another thread than the test's can be waited for; nor is a second read
        // held. A renderer that wrongly reads here fails the test rather than hanging it.
        m_changed.wait(lock, [this] { return waited || reads > 1 || std::this_thread::get_id() == m_testThread; });
    }
    void Waiting() {
        std::lock_guard lock(m_mutex);
        waited = true;
        m_changed.notify_all();
    }
    const std::thread::id m_testThread = std::this_thread::get_id();
    std::mutex m_mutex;
    std::condition_variable m_changed;

public:
    MidiRenderer renderer; // last: it ends, and joins its worker, before what its hooks use
};

// However many previews and start calls come, from the window's thread and another, during the
// load and after it, the soundfont is read once, and every preview plays the sound.
TEST_F(MidiRendererTest, PreviewsAskedWhileTheSoundFontLoadsWaitForTheOneLoadAndPlay) {
    const std::vector<uint8_t> tune = StockRecordData(*ProfileTable[0].stockLibrary, 1);
    const PcmAudio expected = Render(tune);
    HeldLoad held;
    std::optional<PcmAudio> heard[3];
    held.renderer.StartLoading();
    std::thread other([&] {
        held.renderer.StartLoading();
        heard[1] = held.renderer.Render(tune);
    });
    heard[0] = held.renderer.Render(tune);
    other.join();
    EXPECT_TRUE(held.waited);
    held.renderer.StartLoading();
    heard[2] = held.renderer.Render(tune);
    EXPECT_EQ(held.reads, 1);
    for (const std::optional<PcmAudio>& audio : heard) {
        ASSERT_TRUE(audio.has_value());
        // The player's clock counts whole milliseconds of what the synthesizer has played, so a
        // later sound may start a millisecond or so off the first.
        EXPECT_NEAR(audio->Seconds(), expected.Seconds(), 0.005);
        EXPECT_NEAR(PeakLevel(audio->samples), PeakLevel(expected.samples), PeakLevel(expected.samples) / 50);
    }
}

// A preview that waited for a load that failed reports the failure without reading again; the
// window's start does not try again, but the next preview does.
TEST(MidiRendererLoad, AFailedLoadIsTriedAgainByTheNextPreviewOnly) {
    const std::vector<uint8_t> tune = MidiFileMaker().Note(60, 0, 96).Bytes();
    HeldLoad held("/nonexistent/none.sf2");
    held.renderer.StartLoading();
    EXPECT_FALSE(held.renderer.Render(tune).has_value());
    EXPECT_TRUE(held.waited);
    EXPECT_EQ(held.reads, 1);
    held.renderer.StartLoading();
    EXPECT_EQ(held.renderer.LoadState(), MidiLoadState::Failed);
    EXPECT_FALSE(held.renderer.Render(tune).has_value());
    EXPECT_EQ(held.reads, 2);
}

// A lookup ends at the terminator and reads nothing after it, though what follows looks like a
// record: the library before it is 256 bytes long, so the one after is scrambled as if on its own.
TEST(StockLibraryReader, ALookupEndsAtTheTerminator) {
    std::vector<uint8_t> bytes = BuildStockLibrary({{5, std::vector<uint8_t>(244, 1)}}),
                         after = BuildStockLibrary({{8, {2}}});
    bytes.insert(bytes.end(), after.begin(), after.end());
    LibraryReader reader{bytes.data(), bytes.size()};
    EXPECT_FALSE(FindLibraryRecord(reader, 8).has_value());
    EXPECT_EQ(reader.cursor, 256u);
}

} // namespace
