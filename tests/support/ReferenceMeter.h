#pragma once
// A loudness and true-peak meter for one channel, written from ITU-R BS.1770-4 alone (K-weighting
// derived for any rate, 400 ms blocks gated at -70 LUFS and -10 LU, the Annex 2 four-times
// oversampling filter), so that the import's results are judged by other code than the library
// the import measures with.
#include <vector>

// Integrated loudness in LUFS; -infinity when no block passes the gates or the sound is shorter
// than one block.
double IntegratedLufs(const std::vector<float>& samples, double rate);

// The largest magnitude of the four-times oversampled signal (or of a sample, when larger), in dBTP.
double TruePeakDbtp(const std::vector<float>& samples);
