// How long a stock preview keeps the user waiting for its first sound. SDL's disk driver stands
// in for the loudspeaker: what the device is handed lands in a file, and a watcher thread notes
// when the first audible sample appears there.
#include "Benchmarks.h"
#include "SoundFixtures.h"

#include "StickBuilder.h"
#include "TempDir.h"
#include "app/CustomizeDlg.h"
#include "app/InstallationPaths.h"
#include "platform/AudioOut.h"
#include "platform/FileOps.h"
#include "platform/MidiRenderer.h"
#include "platform/Prompt.h"
#include "platform/Spawn.h"
#include "sounds/SoundPreview.h"
#include "sounds/StockLibraryReader.h"

#include <QTimer>
#include <atomic>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <thread>
#include <unistd.h>

namespace {

constexpr int WarmRuns = 25;
// Each first preview is a run of the program of its own, so fewer of them.
constexpr int FirstPreviewPairs = 7;
// How long after the window shows the user asks for the first preview.
constexpr int FirstPreviewDelayMs = 500;
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

QTreeWidgetItem* RowOfCatalogIndex(CTreeCtrl& tree, int index) {
    for (int top = 0; top < tree.topLevelItemCount(); ++top) {
        for (int child = 0; child < tree.topLevelItem(top)->childCount(); ++child) {
            if (tree.GetItemData(tree.topLevelItem(top)->child(child)) == index) {
                return tree.topLevelItem(top)->child(child);
            }
        }
    }
    return nullptr;
}

// One first preview, as a program of its own: the window opens the stick, and the stock sound
// is previewed half a second after it shows. Nothing when the preview did not play.
std::optional<double> FirstPreviewInThisRun(const std::string& memstick, int index, bool loadedBeforeWindow) {
    const char* capture = std::getenv("SDL_DISKAUDIOFILE");
    TempDir work;
    WorkFolder = ProgramFolder = work.Path();
    SoundsFolder = work / "SOUNDS";
    if (!MakeFolders(SoundsFolder)) {
        return std::nullopt;
    }
    PromptScript::Activate();
    PromptScript::SetNextFileName(memstick);
    if (loadedBeforeWindow && !SharedMidiRenderer().Load()) {
        return std::nullopt;
    }
    CustomizationState state;
    CCustomizeDlg dlg(state);
    SetMainWindow(&dlg);
    std::optional<double> ms;
    QTimer::singleShot(0, &dlg, [&] {
        QTimer::singleShot(dlg.isVisible() ? FirstPreviewDelayMs : 0, &dlg, [&] {
            if (dlg.isVisible() && dlg.SoundTree().SelectItem(RowOfCatalogIndex(dlg.SoundTree(), index))) {
                ms = TimeFirstAudio(capture != nullptr ? capture : "", [&] {
                    dlg.OnPreview();
                    return PromptScript::Shown().size() == 1; // the file dialog only
                });
            }
            dlg.EndDialog(IDCANCEL);
        });
    });
    dlg.DoModal();
    SetMainWindow(nullptr);
    return ms;
}

// The first preview of a new run, asked half a second after the window shows, against the same
// preview in a run whose soundfont was loaded before the window.
BenchRow FirstPreviewRow() {
    BenchRow row;
    row.what = "4 Stock preview to first audio, first, 0.5 s after the window shows";
    TempDir dir;
    StickBuilder stick(ProfileTable[0]);
    const std::string result = dir / "first-preview.txt";
    if (!stick.Build(dir / "stick")) {
        row.measured = "cannot build the stick";
        row.verdict = BenchRow::Verdict::Error;
        return row;
    }
    const std::string memstick = stick.HostPath(dir / "stick", "MEMSTICK.IND");
    int run = 0;
    const auto firstPreview = [&](const char* mode) -> std::optional<double> {
        const int index = StockIndices[static_cast<size_t>(run++ / 2) % std::size(StockIndices)];
        RemoveFile(result);
        int error = 0;
        if (SpawnAndWait({ExecutablePath(), FirstPreviewOption, memstick, std::to_string(index), mode, result},
                         &error) != 0) {
            return std::nullopt;
        }
        const std::string text = ReadFileText(result);
        return text.empty() ? std::nullopt : std::optional<double>(std::atof(text.c_str()));
    };
    std::optional<PairedRuns> runs = RunPairs(
        FirstPreviewPairs, [&] { return firstPreview("window"); }, [&] { return firstPreview("loaded"); });
    if (!runs) {
        row.measured = "a first preview did not play";
        row.verdict = BenchRow::Verdict::Error;
        return row;
    }
    const double first = Median(runs->a);
    row.measured = FormatMs(first);
    row.baseline = FormatMs(Median(runs->b)) + " loaded";
    row.ratio = runs->RatioSpread();
    row.target = "<= 100 ms";
    row.verdict = first <= 100.0 ? BenchRow::Verdict::Pass : BenchRow::Verdict::Miss;
    return row;
}

} // namespace

int RunFirstPreview(const std::vector<std::string>& args) {
    if (args.size() != 4) {
        return 2;
    }
    std::optional<double> ms = FirstPreviewInThisRun(args[0], std::atoi(args[1].c_str()), args[2] == "loaded");
    return ms && WriteFileText(args[3], std::to_string(*ms)) ? 0 : 1;
}

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
    return {warmRow, coldRow, FirstPreviewRow()};
}
