#pragma once
// Cutting a sound of the SOUNDS folder down to the part the owner wants. The cut is a new file
// beside the old one, which is never touched: a WAV file of the list is read into 16-bit samples,
// the chosen range is copied out with short fades where it was cut from its neighbours (a sound
// that starts or stops mid-wave clicks), and written as the robot's 16-bit WAV under a name of
// its own. Results are returned, never shown.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class ByteSource;

// The one rate of the SOUNDS folder's WAV files, and the length of the fades at a cut: long
// enough that no click is heard, short enough that no word loses its first sound.
constexpr int TrimRate = 8000;
constexpr size_t TrimFadeSamples = TrimRate * 5 / 1000;

// Where a WAV file of the list keeps its samples.
struct WaveLayout {
    int bitsPerSample = 0; // 8 (unsigned) or 16 (signed)
    int64_t dataOffset = 0;
    int64_t dataBytes = 0; // whole samples only, and no more than the file holds
    size_t SampleCount() const { return static_cast<size_t>(dataBytes / (bitsPerSample / 8)); }
};

// Reads the header of a WAV file as the list accepts it (RIFF/WAVE, "fmt " first, PCM, mono,
// 8000 Hz) with 8 or 16 bits a sample, and finds its data chunk. False, with a plain sentence for
// the owner in `reason`, for anything else.
bool ReadWaveLayout(ByteSource& source, WaveLayout& layout, std::string& reason);

// The file's samples, 8-bit ones widened to 16 bits ((value - 128) * 256).
bool ReadWaveSamples(ByteSource& source, std::vector<int16_t>& samples, std::string& reason);

// The samples of [first, end) (clamped to the buffer), faded in over TrimFadeSamples where
// `first` cut into the sound and faded out where `end` did, each fade at most half the cut. The
// file's own start and end are left as they are, so a cut of the whole is the sound itself.
std::vector<int16_t> CutWithFades(const std::vector<int16_t>& samples, size_t first, size_t end);

// A RIFF/WAVE file of the samples: a 44-byte header whose first chunk is "fmt " (PCM, mono,
// 8000 Hz, 16 bits), then the samples. Empty when they would not fit in a WAV file.
std::vector<uint8_t> EncodeTrimmedWave(const std::vector<int16_t>& samples);

// Bytes a 16-bit file of `samples` samples takes, header included.
uint64_t TrimmedFileBytes(size_t samples);

// Whether a file of the list can be cut: a WAV file, told by its name as the list does.
bool IsTrimmableName(const std::string& fileName);

// The name a cut of `sourceFileName` gets: its stem (as an import cleans it, and without the
// "_trim" or "_trim_N" of an earlier cut) with "_trim", then "_trim_2", "_trim_3", ... until no
// file among namesInSounds has the same custom sound name, shortened so that "_trim" and the
// number always fit within the longest name a replacement may have.
std::string TrimmedFileName(const std::string& sourceFileName, const std::vector<std::string>& namesInSounds);

struct TrimResult {
    bool written = false;
    std::string fileName; // in the folder, when written
    std::string reason;   // why not: a plain sentence for the owner
};

// Writes the cut into `soundsFolder` under TrimmedFileName, beside its final name first and then
// renamed into place without replacing: a file that takes the name meanwhile is left alone and
// the next name tried. Nothing is left behind when it fails.
TrimResult WriteTrimmedSound(const std::string& soundsFolder, const std::string& sourceFileName,
                             const std::vector<int16_t>& cut);

// The whole operation on a file of the folder: read, cut [first, end) with fades, write.
TrimResult TrimSoundFile(const std::string& soundsFolder, const std::string& fileName, size_t first, size_t end);
