// A damaged file in the SOUNDS folder may declare chunk sizes far beyond its length; decoding it
// must cost no more than the file holds.
#include "platform/AudioOut.h"

#include "WaveBuilder.h"
#include "platform/Endian.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {

long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST(WaveDecode, DeclaredSizesBeyondTheFileAreCutToWhatItHolds) {
    WaveDescription wave;
    wave.samples.assign(800, 0x80); // 0.1 s at 8000 Hz, 8 bits
    std::vector<uint8_t> bytes = BuildWave(wave);
    const std::optional<PcmAudio> honest = DecodeWave(bytes);
    ASSERT_TRUE(honest.has_value());

    // The data chunk's size field sits 4 bytes after its "data" identifier.
    const size_t data = 36;
    ASSERT_EQ(std::string(bytes.begin() + data, bytes.begin() + data + 4), "data");
    WriteLE32(bytes.data() + data + 4, 0x80808040u); // claims about 2 GB
    WriteLE32(bytes.data() + 4, 0xFFFFFFF0u);        // and so does the RIFF size

    const long before = PeakKilobytes();
    const std::optional<PcmAudio> damaged = DecodeWave(bytes);
    const long grown = PeakKilobytes() - before;
    ASSERT_TRUE(damaged.has_value());
    EXPECT_EQ(damaged->FrameCount(), honest->FrameCount());
    EXPECT_LT(grown, 64 * 1024) << "kilobytes";
}

} // namespace
