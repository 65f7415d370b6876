#pragma once
// What a waveform drawing needs of a sound: for each pixel column, the lowest and the highest
// sample of the stretch of the sound that column stands for. A column that stands for many
// thousand samples still shows every peak, which a drawing of every n-th sample would miss.
#include <cstddef>
#include <cstdint>
#include <vector>

struct WaveColumn {
    int16_t low = 0;
    int16_t high = 0;
};

// Column c stands for the samples from c * count / columns up to (c + 1) * count / columns, and
// for at least the one sample at its start when the sound has fewer samples than columns.
// Every column is {0, 0} for an empty sound.
std::vector<WaveColumn> WaveformColumns(const int16_t* samples, size_t count, int columns);

// The first sample column `column` stands for (the sound's length for column == columns).
size_t ColumnStart(size_t count, int columns, int column);
