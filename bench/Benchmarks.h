#pragma once
// The benchmark's parts, each producing its rows of the table.
#include "BenchSupport.h"

#include <vector>

struct SaveBenchResult {
    BenchRow save;
    BenchRow rewrite;
    BenchRow memory;
    BenchRow room;
    double compressorPeakMb = 0; // the larger Crushkit run's own peak, for the notes
    double containerMb = 0;      // the unpacked configuration the rewrite walks
};

// Rows 1, 2, 5 and 8. Runs no Qt and no audio, so the save can be forked safely.
SaveBenchResult RunSaveBenchmarks();

// Row 3, one line per catalog size. Needs the QApplication.
std::vector<BenchRow> RunDialogBenchmarks();

// Row 6: a 3-minute MP3 imported against decoding it alone, and the import's speed.
std::vector<BenchRow> RunImportBenchmarks();

// Row 4: warm, cold, and the first preview of a run whose window gave the soundfont a head start.
// Must run before anything else renders MIDI, or "cold" is not cold.
std::vector<BenchRow> RunPreviewBenchmarks(const std::string& captureFile);

// Row 7: the waveform of a 3-minute sound painted, and that sound trimmed against a copy of it.
// Needs the QApplication.
std::vector<BenchRow> RunTrimBenchmarks();

// The first preview is measured in runs of this program of their own, started with this option
// and the arguments: the stick's memstick.ind, the catalog index to preview, "window" (the soundfont
// loaded from the window's start) or "loaded" (loaded before the window), and the file that
// receives the milliseconds. Needs the QApplication.
inline constexpr const char* FirstPreviewOption = "--first-preview";
int RunFirstPreview(const std::vector<std::string>& args);
