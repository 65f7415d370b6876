#include "BenchSupport.h"

#include "StickBuilder.h"
#include "TempDir.h"
#include "WaveBuilder.h"
#include "catalog/SoundCatalogs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

double MillisecondsSince(BenchClock::time_point start) {
    return std::chrono::duration<double, std::milli>(BenchClock::now() - start).count();
}

double Median(std::vector<double> values) {
    if (values.empty()) {
        return NAN;
    }
    std::sort(values.begin(), values.end());
    size_t mid = values.size() / 2;
    return values.size() % 2 == 1 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

std::string FormatMs(double ms) {
    char text[32];
    std::snprintf(text, sizeof text, ms < 10 ? "%.2f ms" : "%.1f ms", ms);
    return text;
}

std::string FormatMb(double mb) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", mb);
    return text;
}

std::string PairedRuns::RatioSpread(const char* unit) const {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f%s (%.2f-%.2f)", MedianRatio(), unit,
                  *std::min_element(ratios.begin(), ratios.end()), *std::max_element(ratios.begin(), ratios.end()));
    return text;
}

std::optional<PairedRuns> RunPairs(int pairs, const std::function<std::optional<double>()>& a,
                                   const std::function<std::optional<double>()>& b) {
    PairedRuns runs;
    for (int pair = -1; pair < pairs; ++pair) {
        const std::optional<double> x = a();
        const std::optional<double> y = b();
        if (!x || !y || *y <= 0) {
            return std::nullopt;
        }
        if (pair >= 0) {
            runs.a.push_back(*x);
            runs.b.push_back(*y);
            runs.ratios.push_back(*x / *y);
        }
    }
    return runs;
}

void PrintTable(const std::vector<BenchRow>& rows) {
    const char* const headings[] = {"Measure", "Measured", "Baseline", "Ratio", "Target", "Result"};
    size_t widths[6] = {};
    for (size_t i = 0; i < 6; ++i) {
        widths[i] = std::string(headings[i]).size();
    }
    auto verdictText = [](BenchRow::Verdict v) {
        switch (v) {
        case BenchRow::Verdict::Pass:
            return "PASS";
        case BenchRow::Verdict::Miss:
            return "MISS";
        case BenchRow::Verdict::Error:
            return "ERROR";
        case BenchRow::Verdict::Info:
            break;
        }
        return "info";
    };
    for (const BenchRow& row : rows) {
        const std::string cells[] = {row.what, row.measured, row.baseline, row.ratio, row.target};
        for (size_t i = 0; i < 5; ++i) {
            widths[i] = std::max(widths[i], cells[i].size());
        }
    }
    auto line = [&](const std::string(&cells)[6]) {
        std::string text;
        for (size_t i = 0; i < 6; ++i) {
            text += cells[i];
            if (i < 5) {
                text += std::string(widths[i] - cells[i].size() + 2, ' ');
            }
        }
        std::printf("%s\n", text.c_str());
    };
    line({headings[0], headings[1], headings[2], headings[3], headings[4], headings[5]});
    size_t total = 0;
    for (size_t w : widths) {
        total += w + 2;
    }
    std::printf("%s\n", std::string(total - 2, '-').c_str());
    for (const BenchRow& row : rows) {
        line({row.what, row.measured, row.baseline, row.ratio, row.target, verdictText(row.verdict)});
    }
    std::fflush(stdout);
}

std::string ReplacementFileName(int i) {
    char name[16];
    std::snprintf(name, sizeof name, "snd%02d.wav", i);
    return name;
}

bool WriteReplacementFiles(const std::string& soundsFolder) {
    if (!MakeFolders(soundsFolder)) {
        return false;
    }
    WaveDescription wave;
    const size_t headerBytes = BuildWave(wave).size() - wave.samples.size();
    for (int i = 0; i < ReplacementFileCount; ++i) {
        // A tone that differs from file to file, so no two files are alike.
        wave.samples.resize(ReplacementFileBytes - headerBytes);
        for (size_t n = 0; n < wave.samples.size(); ++n) {
            double phase = static_cast<double>(n) * (200.0 + 10.0 * i) / 8000.0;
            wave.samples[n] = static_cast<uint8_t>(128 + std::lround(100 * std::sin(2 * std::numbers::pi * phase)));
        }
        if (!WriteFileBytes(soundsFolder + "/" + ReplacementFileName(i), BuildWave(wave))) {
            return false;
        }
    }
    return true;
}

MwcContainer LargeContainer(const ModelProfile& profile, int records, int blocks) {
    const MwcContainer typical = TypicalContainer(profile);
    std::vector<std::string> soundNames;
    for (const MwcRecord& record : typical.blocks.front().records) {
        soundNames.push_back(record.text);
    }
    static const char* const otherTexts[] = {"motion_walk_", "led_pattern_", "pose_sit_", "voice_cmd_", "tail_wag_"};
    static const uint32_t otherKinds[] = {0x1001, 0x3000, 0x1002, 0x4010, 0x2011};

    MwcContainer container;
    container.reserved = typical.reserved;
    uint32_t seed = 0x2545F491;
    int made = 0;
    for (int b = 0; b < blocks; ++b) {
        MwcBlock block;
        block.blockId = 0x1000 + static_cast<uint32_t>(b);
        const int inBlock = records / blocks + (b < records % blocks ? 1 : 0);
        for (int r = 0; r < inBlock; ++r, ++made) {
            MwcRecord record;
            const int slot = made % 10;
            if (slot < 4) {
                record.text = soundNames[static_cast<size_t>(made / 10 * 4 + slot) % soundNames.size()];
            } else if (slot == 4) {
                record.text = "bgm_theme" + std::to_string(made % 997);
            } else {
                const size_t k = static_cast<size_t>(slot - 5);
                record.kind = otherKinds[k];
                record.text = otherTexts[k] + std::to_string(made % 4099);
            }
            // Parameters as a configuration holds them: small numbers, mostly zero bytes.
            seed = seed * 1664525 + 1013904223;
            record.details[0] = static_cast<uint8_t>(made);
            record.details[1] = static_cast<uint8_t>(made >> 8);
            record.details[4] = static_cast<uint8_t>(seed >> 24);
            record.details[8] = static_cast<uint8_t>((seed >> 16) & 0x0F);
            block.records.push_back(std::move(record));
        }
        container.blocks.push_back(std::move(block));
    }
    return container;
}

AssignmentTable AssignEveryStockSound(const ModelProfile& profile) {
    AssignmentTable slots(static_cast<size_t>(profile.catalogCount));
    int next = 0;
    for (int i = 0; i < profile.catalogCount; ++i) {
        if (IsStockSound(profile.catalog[i])) {
            slots[static_cast<size_t>(i)] = ReplacementFileName(next++ % ReplacementFileCount);
        }
    }
    return slots;
}

int StockSoundCount(const ModelProfile& profile) {
    int count = 0;
    for (int i = 0; i < profile.catalogCount; ++i) {
        count += IsStockSound(profile.catalog[i]) ? 1 : 0;
    }
    return count;
}
