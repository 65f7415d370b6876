#pragma once
// Recordings in the containers an owner brings (WAV, AIFF, FLAC, Ogg, Opus, MP3), written by
// libsndfile, for the import's tests, fuzz seeds and benchmark.
#include <string>
#include <vector>

// `seconds` of a sine at `hz` and `amplitude`, the same in each of `channels`, interleaved.
std::vector<float> SineFrames(double hz, double amplitude, double seconds, int rate, int channels);

// Writes interleaved frames as a file of libsndfile's `format` (SF_FORMAT_... major | minor).
// False when libsndfile refuses the format or the write falls short.
bool WriteSoundFile(const std::string& path, int format, int rate, int channels, const std::vector<float>& frames);
