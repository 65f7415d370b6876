// Opens a stick as the program does at its start, from the current folder and with this machine's
// own mounts, and cancels the open-file dialog; then once more, as when the dialog comes back. For
// tests that mount volumes in a private mount namespace, where a test cannot run itself.
//
//   StickDialogDriver REPORT
//
// REPORT receives the milliseconds from the start to the second dialog's end, then every folder
// that dialog offered beside the usual places, each ended by a NUL.
#include "app/CustomizationState.h"
#include "platform/Prompt.h"
#include "stick/StickPreparation.h"

#include <chrono>
#include <fstream>

int main(int argc, char** argv) {
    const auto start = std::chrono::steady_clock::now();
    if (argc != 2) {
        return 2;
    }
    PromptScript::Activate(); // no file name queued: each dialog is cancelled
    CustomizationState state;
    OpenStick(state);
    OpenStick(state);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    if (PromptScript::Shown().size() != 2) {
        return 1;
    }
    std::ofstream report(argv[1], std::ios::binary);
    report << std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() << '\0';
    for (const std::string& folder : PromptScript::Shown().back().request.sidebarFolders) {
        report << folder << '\0';
    }
    return report.flush() ? 0 : 1;
}
