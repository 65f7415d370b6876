// make bench: one table of the figures users feel, each against a baseline measured in the same
// run, so that the ratios hold on a busy or slow machine.
#include "Benchmarks.h"

#include "TempDir.h"
#include "platform/Prompt.h"

#include <QApplication>
#include <SDL.h>
#include <cstdio>
#include <cstdlib>

namespace {

// The disk driver announces itself on every device opened; the table is what is wanted.
void QuietSdlLog(void* /*userdata*/, int /*category*/, SDL_LogPriority /*priority*/, const char* /*message*/) {}

} // namespace

int main(int argc, char** argv) {
    const auto start = BenchClock::now();
    // The save looks for the compressor the build made.
    setenv("TW_PROGRAM_DIR", TW_PROGRAM_DIR, 0);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // The device is a file, written as fast as it is fed (see PreviewBench.cpp).
    TempDir audio;
    const std::string capture = audio / "capture.raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);
    SDL_LogSetOutputFunction(QuietSdlLog, nullptr);
    // Qt wants a private runtime folder and complains on stderr when there is none.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        qputenv("XDG_RUNTIME_DIR", audio.Path().c_str());
    }
    SetApplicationTitle("Tonewright");
    if (argc > 1 && std::string(argv[1]) == FirstPreviewOption) {
        QApplication app(argc, argv);
        return RunFirstPreview(std::vector<std::string>(argv + 2, argv + argc));
    }

    std::printf("Tonewright benchmark: medians of several runs, each against a baseline taken in the same run\n\n");
    std::fflush(stdout);

    // Before Qt exists, so the forked save child inherits no threads but this one.
    SaveBenchResult save = RunSaveBenchmarks();
    std::vector<BenchRow> import = RunImportBenchmarks();
    QApplication app(argc, argv);
    // Before the dialog, so that the cold preview is the run's first MIDI sound.
    std::vector<BenchRow> preview = RunPreviewBenchmarks(capture);
    std::vector<BenchRow> dialog = RunDialogBenchmarks();
    std::vector<BenchRow> trim = RunTrimBenchmarks();

    std::vector<BenchRow> rows{save.save, save.rewrite};
    rows.insert(rows.end(), dialog.begin(), dialog.end());
    rows.insert(rows.end(), preview.begin(), preview.end());
    rows.push_back(save.memory);
    rows.insert(rows.end(), import.begin(), import.end());
    rows.insert(rows.end(), trim.begin(), trim.end());
    rows.push_back(save.room);
    PrintTable(rows);

    std::printf("\n1: baseline = the 60 files' bytes copied into one file, the .ORG gunzipped to a file and that\n"
                "   gzipped at level 6 (zlib in-process, Crushkit's stream code), a record file; each fsynced.\n"
                "2: the unpacked container (%.1f MB) rewritten with every stock sound assigned, against a copy of it;\n"
                "   each writes a new file in the work folder and fsyncs it at the end, as the rewrite's close does.\n"
                "3: construction until shown and painted, offscreen; stick backup already made.\n"
                "4: from the call until the first sample above -72 dBFS is in SDL's disk-driver output file;\n"
                "   baseline = the same sounds pre-rendered, handed to the device. Cold includes soundfont load.\n"
                "   First: a new run of this program opens a stick in the window and previews 0.5 s after it\n"
                "   shows; baseline = the same run with the soundfont loaded before the window. Medians of 7 pairs.\n"
                "5: ru_maxrss of a forked child after the save minus just before it (heap trimmed, high-water mark\n"
                "   reset); the largest of 3 saves. Crushkit, a process of its own, peaked at %s.\n"
                "6: ImportSound into an empty folder (written and synced) against libsndfile decoding the same file\n"
                "   alone, in alternation; median of 9 paired ratios (min-max). Real time = 180 s / import time.\n"
                "7: the waveform widget rendered offscreen into an image, its columns' extremes found anew each time\n"
                "   (median of 21, and the slowest); the trim reads the 2.9 MB file, cuts all but a second at either\n"
                "   end with fades and writes it synced beside its name, against a synced copy of the same file.\n"
                "8: the window's room line after a choice (configuration rewritten and packed in memory, the\n"
                "   other files' sizes, statvfs) against packing the unpacked configuration once in memory.\n",
                save.containerMb, FormatMb(save.compressorPeakMb).c_str());
    std::printf("\nTotal %.0f s\n", MillisecondsSince(start) / 1000.0);

    for (const BenchRow& row : rows) {
        if (row.verdict == BenchRow::Verdict::Error) {
            return 1;
        }
    }
    return 0;
}
