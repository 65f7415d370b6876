#include "sounds/WaveformColumns.h"

#include <algorithm>

size_t ColumnStart(size_t count, int columns, int column) {
    if (columns <= 0) {
        return 0;
    }
    // A sound has at most some millions of samples and a screen some thousands of columns.
    return static_cast<size_t>(static_cast<uint64_t>(count) * static_cast<uint64_t>(column) /
                               static_cast<uint64_t>(columns));
}

std::vector<WaveColumn> WaveformColumns(const int16_t* samples, size_t count, int columns) {
    std::vector<WaveColumn> result(static_cast<size_t>(std::max(columns, 0)));
    if (count == 0) {
        return result;
    }
    for (int c = 0; c < columns; ++c) {
        const size_t first = std::min(ColumnStart(count, columns, c), count - 1);
        const size_t end = std::max(ColumnStart(count, columns, c + 1), first + 1);
        // Kept to plain loops over the two bounds: the compiler turns them into vector code, which
        // a three-minute sound at a window's width needs.
        int16_t low = samples[first];
        int16_t high = samples[first];
        for (size_t i = first + 1; i < end; ++i) {
            low = std::min(low, samples[i]);
            high = std::max(high, samples[i]);
        }
        result[static_cast<size_t>(c)] = {low, high};
    }
    return result;
}
