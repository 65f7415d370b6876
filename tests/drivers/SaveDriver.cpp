// Opens a stick and saves, alone in its process, so that a test can run a save where it cannot run
// itself: in a private mount (a write-protected or full stick) or under a tracer that kills it or
// fails one of its system calls.
//
//   SaveDriver STICK PROGRAM SOUNDS REPORT [ROW=FILE ...]
//
// PROGRAM is the program and work folder (holding Crushkit), SOUNDS the replacement sounds; each
// ROW=FILE assigns FILE to the stock sound of that catalog row. The customization counts as changed
// even with no assignment, as after the user set everything back to "(default)". Once the save is
// over, REPORT receives the outcome ("Saved", "KeepOpen" or "NotOpened"), then every message shown,
// each ended by a NUL. Nothing but the stick and the work folder is written before, so a tracer
// counts the save's own system calls.
#include "app/CustomizationState.h"
#include "app/InstallationPaths.h"
#include "platform/Prompt.h"
#include "platform/StickPath.h"
#include "platform/Volumes.h"
#include "stick/StickPreparation.h"
#include "writer/SavePipeline.h"

#include <cstdio>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: SaveDriver STICK PROGRAM SOUNDS REPORT [ROW=FILE ...]\n");
        return 2;
    }
    ProgramFolder = WorkFolder = argv[2];
    SoundsFolder = argv[3];
    // The open-file dialog lists the machine's mounted volumes, looking into each: the system calls
    // that takes change as other tests mount and unmount sticks, and a tracer counting calls to
    // reach one of the save's own would miss it.
    SetMountedVolumeRootsForTest(std::vector<std::string>{});
    PromptScript::Activate();
    PromptScript::SetNextFileName(ResolveStickPath(std::string(argv[1]) + "/memstick.ind"));
    CustomizationState state;
    SaveOutcome outcome = SaveOutcome::NothingChanged;
    const bool opened = OpenStick(state);
    if (opened) {
        for (int i = 5; i < argc; ++i) {
            const std::string assignment = argv[i];
            state.Assignments->at(std::stoul(assignment)) = assignment.substr(assignment.find('=') + 1);
        }
        state.Modified = true;
        outcome = SaveCustomization(state);
    }
    const char* name = !opened ? "NotOpened" : outcome == SaveOutcome::Saved ? "Saved" : "KeepOpen";
    std::ofstream report(argv[4], std::ios::binary);
    report << name << '\0';
    for (const ShownPrompt& prompt : PromptScript::Shown()) {
        report << prompt.text << '\0';
    }
    return !opened ? 3 : outcome == SaveOutcome::Saved ? 0 : 1;
}
