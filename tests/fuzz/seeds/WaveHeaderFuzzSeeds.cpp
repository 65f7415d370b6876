// Seeds for WaveHeaderFuzz, whose check is the header rule itself: each shape accepted or refused.
#include "SeedRegistry.h"
#include "WaveBuilder.h"
#include "sounds/CustomSoundLibrary.h"

namespace {

std::vector<Seed> WaveSeeds() {
    auto with = [](auto change) {
        WaveDescription wave;
        change(wave);
        return BuildWave(wave);
    };
    std::vector<uint8_t> headerOnly = BuildWave({});
    headerOnly.resize(WaveHeaderSize);
    std::vector<uint8_t> oneShort = headerOnly;
    oneShort.pop_back();
    return std::vector<Seed>{
        {"mono8", BuildWave({})},
        {"mono16", with([](WaveDescription& w) { w.bitsPerSample = 16; })},
        {"header-only", headerOnly},
        {"one-short", oneShort},
        {"stereo", with([](WaveDescription& w) { w.channels = 2; })},
        {"rate22050", with([](WaveDescription& w) { w.sampleRate = 22050; })},
        {"adpcm", with([](WaveDescription& w) { w.formatTag = 2; })},
        {"list-first", with([](WaveDescription& w) {
             w.chunksBeforeFormat = {{"LIST", {'I', 'N', 'F', 'O'}}};
         })},
        {"wrong-riff-size", with([](WaveDescription& w) { w.riffSizeOverride = 1; })},
        {"wrong-format-size", with([](WaveDescription& w) { w.formatSizeOverride = 0; })},
        {"rate-high-word-set", with([](WaveDescription& w) { w.sampleRate = 0x10000 + 8000; })},
        {"rifx", with([](WaveDescription& w) { w.riffId = "RIFX"; })},
        {"not-wave", with([](WaveDescription& w) { w.formType = "AVI "; })},
        {"format-id-in-capitals", with([](WaveDescription& w) { w.formatId = "FMT "; })},
        {"empty", {}},
    };
}

} // namespace

TW_REGISTER_SEEDS(WaveHeaderFuzz, WaveSeeds);
