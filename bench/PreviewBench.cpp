// How long a stock preview keeps the user waiting for its first sound. SDL's disk driver stands
// in for the loudspeaker: what the device is handed lands in a file, and a watcher thread notes
// when the first audible sample appears there.
#include "Benchmarks.h"
#include "SoundFixtures.h"

#include "TempDir.h"
#include "app/InstallationPaths.h"
#include "platform/AudioOut.h"
#include "platform/MidiRenderer.h"
#include "platform/Prompt.h"
#include "sounds/SoundPreview.h"
#include "sounds/StockLibraryReader.h"

#include <atomic>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <thread>
#include <unistd.h>

namespace {

constexpr int WarmRuns = 25;
// Stock sounds of the AiboLife 1 library, previewed in turn.
constexpr int StockIndices[] = {1, 2, 4, 5, 8};
// As the preview tests judge audibility: above about -72 dB of full scale.
constexpr int AudibleLevel = 8;

// Watches the capture file from the moment it is created and notes when the first audible
// sample is in it. The stock sounds start sounding within their first device buffer, so no
// real-time wait before that sample is left out by the unpaced driver.
class FirstAudioWatch {
public:
    explicit FirstAudioWatch(std::string path) : m_path(std::move(path)) {
        unlink(m_path.c_str());
        m_thread = std::thread([this] { Watch(); });
    }
    ~FirstAudioWatch() { Stop(); }
    FirstAudioWatch(const FirstAudioWatch&) = delete;
    FirstAudioWatch& operator=(const FirstAudioWatch&) = delete;

    void Stop() {
        m_stop = true;
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }

    // Milliseconds from `start` until the first audible sample was in the file. The disk driver
    // runs without real-time pacing, so what it is handed appears at once (its stdio buffer is
    // flushed by the next buffer, a moment later), and the silence SDL writes while the device
    // is still paused does not push the figure back as it would if it were played out.
    std::optional<double> LatencyFrom(BenchClock::time_point start) {
        Stop();
        if (!m_found) {
            return std::nullopt;
        }
        return std::chrono::duration<double, std::milli>(m_when - start).count();
    }

private:
    void Watch() {
        int fd = -1;
        off_t offset = 0;
        std::vector<uint8_t> buffer(1 << 16);
        while (!m_stop && !m_found) {
            if (fd < 0) {
                fd = open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
            }
            ssize_t n = fd >= 0 ? pread(fd, buffer.data(), buffer.size(), offset) : 0;
            auto now = BenchClock::now();
            // Whole samples only; an odd byte is read again with its partner.
            n -= n > 0 ? n % 2 : 0;
            for (ssize_t i = 0; i + 1 < n; i += 2) {
                auto sample =
                    static_cast<int16_t>(buffer[static_cast<size_t>(i)] | (buffer[static_cast<size_t>(i) + 1] << 8));
                if (std::abs(static_cast<int>(sample)) > AudibleLevel) {
                    m_when = now;
                    m_found = true;
                    break;
                }
            }
            if (n > 0) {
                offset += n;
            } else {
                usleep(100);
            }
        }
        if (fd >= 0) {
            close(fd);
        }
    }

    std::string m_path;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_found{false};
    BenchClock::time_point m_when;
};

std::optional<double> TimeFirstAudio(const std::string& captureFile, const std::function<bool()>& play) {
    FirstAudioWatch watch(captureFile);
    auto start = BenchClock::now();
    bool played = play();
    std::optional<double> latency = watch.LatencyFrom(start);
    return played ? latency : std::nullopt;
}

std::string Ratio(double value, double base) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1fx", value / base);
    return text;
}

} // namespace

std::vector<BenchRow> RunPreviewBenchmarks(const std::string& captureFile) {
    const char* const warmWhat = "4 Stock preview to first audio, warm";
    const char* const coldWhat = "4 Stock preview to first audio, cold";
    TempDir work;
    const std::string savedWork = WorkFolder;
    WorkFolder = work.Path();
    PromptScript::Activate();
    PromptScript::Clear();
    const StockSoundLibrary& library = AiboLife1Library;

    // The first MIDI preview of the run: the soundfont is loaded and the audio system started.
    std::optional<double> cold = TimeFirstAudio(captureFile, [&] { return PlayStockSound(&library, StockIndices[0]); });

    std::vector<double> warm;
    bool failed = !cold;
    for (int run = 0; run < WarmRuns && !failed; ++run) {
        const int index = StockIndices[static_cast<size_t>(run) % std::size(StockIndices)];
        std::optional<double> ms = TimeFirstAudio(captureFile, [&] { return PlayStockSound(&library, index); });
        failed = !ms;
        if (ms) {
            warm.push_back(*ms);
        }
    }
    // The floor under any preview: the same sounds, already rendered, handed to the device.
    std::vector<double> device;
    for (int run = 0; run < WarmRuns && !failed; ++run) {
        const int index = StockIndices[static_cast<size_t>(run) % std::size(StockIndices)];
        std::optional<PcmAudio> audio = SharedMidiRenderer().Render(StockRecordData(library, index));
        failed = !audio;
        std::optional<double> ms =
            failed ? std::nullopt : TimeFirstAudio(captureFile, [&] { return PlayToEnd(*audio); });
        failed = failed || !ms;
        if (ms) {
            device.push_back(*ms);
        }
    }
    failed = failed || !PromptScript::Shown().empty();
    PromptScript::Deactivate();
    WorkFolder = savedWork;

    if (failed) {
        BenchRow row;
        row.what = warmWhat;
        row.measured = "a preview did not play";
        row.verdict = BenchRow::Verdict::Error;
        return {row};
    }
    const double base = Median(device);
    BenchRow warmRow;
    warmRow.what = warmWhat;
    warmRow.measured = FormatMs(Median(warm));
    warmRow.baseline = FormatMs(base) + " device";
    warmRow.ratio = Ratio(Median(warm), base);
    warmRow.target = "<= 150 ms";
    warmRow.verdict = Median(warm) <= 150.0 ? BenchRow::Verdict::Pass : BenchRow::Verdict::Miss;
    BenchRow coldRow;
    coldRow.what = coldWhat;
    coldRow.measured = FormatMs(*cold);
    coldRow.baseline = FormatMs(base) + " device";
    coldRow.ratio = Ratio(*cold, base);
    coldRow.target = "<= 100 ms";
    coldRow.verdict = *cold <= 100.0 ? BenchRow::Verdict::Pass : BenchRow::Verdict::Miss;
    return {warmRow, coldRow};
}
