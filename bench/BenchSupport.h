#pragma once
// What the benchmark's parts share: a clock, medians, the rows of the one table it prints, and
// the large stick and sounds folder that the save figures are taken on.
#include "ContainerBuilder.h"
#include "app/CustomizationState.h"
#include "stick/ModelProfiles.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

using BenchClock = std::chrono::steady_clock;

double MillisecondsSince(BenchClock::time_point start);
double Median(std::vector<double> values);
std::string FormatMs(double ms);
std::string FormatMb(double mb);

// One line of the table: what was measured, against what, and whether the target is met. A row
// without a target is reported only.
struct BenchRow {
    std::string what;
    std::string measured;
    std::string baseline;
    std::string ratio;
    std::string target;
    enum class Verdict { Pass, Miss, Info, Error } verdict = Verdict::Info;
};

void PrintTable(const std::vector<BenchRow>& rows);

// A figure A and its baseline B measured in turn, A B A B ..., after one unmeasured pair that
// warms the caches. Each pair gives one ratio A/B, so a slow moment of the machine weighs on
// both sides alike, and the median of the ratios keeps its verdict from run to run.
struct PairedRuns {
    std::vector<double> a;
    std::vector<double> b;
    std::vector<double> ratios;
    double MedianRatio() const { return Median(ratios); }
    // "1.21x (1.15-1.30)": the median and the spread of the paired ratios.
    std::string RatioSpread(const char* unit = "x") const;
};
// Nothing when a run failed.
std::optional<PairedRuns> RunPairs(int pairs, const std::function<std::optional<double>()>& a,
                                   const std::function<std::optional<double>()>& b);

// The replacement sounds of the large save: WAV files in the robot's own format (8000 Hz mono
// 8-bit PCM), all of this size, so the largest replacement is known.
constexpr size_t ReplacementFileBytes = 200 * 1024;
constexpr int ReplacementFileCount = 60;
constexpr int LargeContainerRecords = 50000;
constexpr int LargeContainerBlocks = 10;

// "snd00.wav" to "snd59.wav", written to `soundsFolder`.
std::string ReplacementFileName(int i);
bool WriteReplacementFiles(const std::string& soundsFolder);

// A configuration as a large robot software would carry it: blocks of records, four in ten of
// kind 0x2010 naming the profile's stock sounds (in the forms its keys match), one in ten naming
// sounds no key matches, the rest of other kinds with texts of their own.
MwcContainer LargeContainer(const ModelProfile& profile, int records, int blocks);

// Every stock sound of the profile assigned, round robin over the replacement files.
AssignmentTable AssignEveryStockSound(const ModelProfile& profile);
int StockSoundCount(const ModelProfile& profile);
