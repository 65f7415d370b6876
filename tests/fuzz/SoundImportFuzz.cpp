// Whatever file an owner picks goes to the decoder: any bytes must be refused with a reason or
// decode into whole frames of finite samples, and what they decode to must go through the rest of
// the import and come out as a WAV file the robot takes, every sample under the -1 dBFS ceiling
// and never louder than the -16 LUFS target.
#include "FuzzCheck.h"
#include "ReferenceMeter.h"
#include "platform/ByteStream.h"
#include "sounds/CustomSoundLibrary.h"
#include "sounds/SignalSteps.h"
#include "sounds/SoundDecoder.h"

#include <cmath>

namespace {

// Enough for every decoder to reach its later blocks, little enough to keep each run quick.
constexpr size_t MaxSamples = size_t{1} << 18;

} // namespace

// libvorbis loses a small header structure when a damaged stream fails to open (xiph/vorbis#125):
// its leak, not ours, and no reason to stop a run.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:vorbis_info_init\n";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemorySource source(data, size);
    std::string reason;
    const std::unique_ptr<SoundDecoder> decoder = SoundDecoder::Open(source, reason);
    if (decoder == nullptr) {
        Check(!reason.empty());
        return 0;
    }
    const int channels = decoder->Channels();
    Check(channels >= 1 && decoder->Rate() > 0);
    std::vector<float> block;
    std::vector<float> mono;
    size_t samples = 0;
    while (samples < MaxSamples) {
        if (!decoder->Read(block, reason)) {
            Check(!reason.empty());
            break;
        }
        if (block.empty()) {
            break;
        }
        samples += block.size();
        const std::vector<float> mixed = MixToMono(block, channels);
        Check(mixed.size() * static_cast<size_t>(channels) == block.size());
        for (float sample : block) {
            Check(std::isfinite(sample));
        }
        mono.insert(mono.end(), mixed.begin(), mixed.end());
    }
    std::vector<float> robot = Resample(mono, decoder->Rate(), RobotPlaybackRate);
    TrimSilence(robot);
    NormalizeLoudness(robot, RobotPlaybackRate);
    const auto ceiling = static_cast<float>(std::pow(10.0, -1.0 / 20));
    for (float sample : robot) {
        Check(std::fabs(sample) <= ceiling);
    }
    Check(!(IntegratedLufs(robot, RobotPlaybackRate) > -16 + 0.5));
    const std::vector<uint8_t> wave = EncodeRobotWave(robot);
    MemorySource header(wave.data(), wave.size());
    Check(wave.size() == 44 + 2 * robot.size() && IsAcceptedWaveHeader(header));
    return 0;
}
