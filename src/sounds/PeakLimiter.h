#pragma once
// A look-ahead peak limiter on plain sample buffers: it lets an import raise a sound to the common
// loudness while a few sharp peaks (a plosive, a click, a strike) are turned down on their own,
// instead of holding the whole sound down.
#include <vector>

// How long before a peak the limiter starts turning down, and how slowly it lets go afterwards:
// long enough that a turn-down is heard as a slight dip rather than as a click or as distortion
// of the waveform, short enough that the dip stays with the peak and the ring after a tick or a
// strike keeps its level.
constexpr double LimiterLookAheadSeconds = 0.003;
constexpr double LimiterReleaseSeconds = 0.02;

// For each sample, the largest magnitude the band-limited signal reaches between the sample before
// and the one after it, estimated at four times the rate: the peaks a player's converter makes
// between samples count as well as the samples themselves.
std::vector<float> TruePeakEnvelope(const std::vector<float>& mono);

// The largest value of TruePeakEnvelope, for less than the whole envelope costs.
double EstimatedTruePeak(const std::vector<float>& mono);

// Makes `out` the sound times `gain`, turned down smoothly wherever the envelope (of the sound at
// unit gain) says it would pass `ceiling` (linear): the turn-down begins LimiterLookAheadSeconds
// before such a place and eases off over about LimiterReleaseSeconds after it. Returns the
// deepest turn-down as a factor, 1 when the sound kept its gain throughout.
double LimitPeaks(const std::vector<float>& mono, const std::vector<float>& envelope, double gain, double ceiling,
                  double rate, std::vector<float>& out);
