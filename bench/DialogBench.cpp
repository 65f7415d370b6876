// How much longer the window takes to come up when it opens a stick and fills itself than when it
// comes up empty, for each catalog size. The stick carries a record that assigns every stock
// sound, and the sounds folder holds the large save's sixty files, so every part of the loading
// has its full work to do.
#include "Benchmarks.h"

#include "Resource.h"
#include "SaveExpectations.h"
#include "StickBuilder.h"
#include "TempDir.h"
#include "app/CustomizeDlg.h"
#include "app/InstallationPaths.h"
#include "platform/Prompt.h"

#include <QTimer>

namespace {

constexpr int DialogRuns = 15;
// Profiles whose catalogs have 14, 22, 51 and 174 rows.
constexpr int ProfilesBySize[] = {4, 1, 0, 6};

// The same window with nothing to load: only its controls are made and shown.
class EmptyCustomizeDlg : public CCustomizeDlg {
public:
    using CCustomizeDlg::CCustomizeDlg;

protected:
    bool OnInitDialog() override { return true; }
};

// From the window's construction until it is on screen and painted; nothing when it ended
// during its initialisation.
template <class Dialog> std::optional<double> TimeUntilShown(CustomizationState& state) {
    std::optional<double> ms;
    auto start = BenchClock::now();
    Dialog dlg(state);
    SetMainWindow(&dlg);
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &dlg, [&] {
        if (dlg.isVisible()) {
            dlg.repaint();
            ms = MillisecondsSince(start);
            dlg.EndDialog(IDCANCEL);
        }
    });
    timer.start(0);
    dlg.DoModal();
    SetMainWindow(nullptr);
    return ms;
}

} // namespace

std::vector<BenchRow> RunDialogBenchmarks() {
    std::vector<BenchRow> rows;
    TempDir dir;
    const std::string savedProgram = ProgramFolder;
    const std::string savedSounds = SoundsFolder;
    const std::string savedWork = WorkFolder;
    ProgramFolder = WorkFolder = dir.Path();
    SoundsFolder = dir / "SOUNDS";
    const bool soundsWritten = WriteReplacementFiles(SoundsFolder);
    PromptScript::Activate();

    for (int profileIndex : ProfilesBySize) {
        const ModelProfile& profile = ProfileTable[profileIndex];
        BenchRow row;
        row.what = "3 Open stick + fill dialog, " + std::to_string(profile.catalogCount) + " rows";
        const std::string stick = dir / ("stick" + std::to_string(profileIndex));
        StickBuilder builder(profile);
        builder.Record(ExpectedRecord(profile, AssignEveryStockSound(profile)));
        if (!soundsWritten || !builder.Build(stick)) {
            row.measured = "cannot build the stick";
            row.verdict = BenchRow::Verdict::Error;
            rows.push_back(row);
            continue;
        }
        const std::string memstick = builder.HostPath(stick, "MEMSTICK.IND");
        // The first opening makes the stick's one-time backup and warms the caches; it is not
        // counted, since every later opening of the stick finds the backup there.
        std::optional<PairedRuns> runs = RunPairs(
            DialogRuns,
            [&]() -> std::optional<double> {
                PromptScript::Clear();
                PromptScript::SetNextFileName(memstick);
                CustomizationState state;
                std::optional<double> f = TimeUntilShown<CCustomizeDlg>(state);
                // Only the file dialog may have come up; every record line must have been applied.
                int assigned = 0;
                if (state.Assignments) {
                    for (const auto& slot : *state.Assignments) {
                        assigned += slot ? 1 : 0;
                    }
                }
                const bool whole = state.ActiveProfile == &profile && assigned == StockSoundCount(profile) &&
                                   PromptScript::Shown().size() == 1;
                return whole ? f : std::nullopt;
            },
            [&] {
                CustomizationState unused;
                return TimeUntilShown<EmptyCustomizeDlg>(unused);
            });
        if (!runs) {
            row.measured = "the dialog did not open as expected";
            row.verdict = BenchRow::Verdict::Error;
            rows.push_back(row);
            continue;
        }
        const double f = Median(runs->a);
        const double e = Median(runs->b);
        row.measured = FormatMs(f);
        row.baseline = FormatMs(e) + " empty";
        char difference[32];
        std::snprintf(difference, sizeof difference, " %+.1f ms", f - e);
        row.ratio = runs->RatioSpread() + difference;
        row.target = "<= +50 ms";
        row.verdict = f - e <= 50.0 ? BenchRow::Verdict::Pass : BenchRow::Verdict::Miss;
        rows.push_back(row);
    }

    PromptScript::Deactivate();
    ProgramFolder = savedProgram;
    SoundsFolder = savedSounds;
    WorkFolder = savedWork;
    return rows;
}
