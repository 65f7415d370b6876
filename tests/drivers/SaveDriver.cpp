// Opens a stick and saves one customization, with nothing else going on in the process, so that a
// test can run a save where it cannot run itself: inside a private mount (a write-protected or a
// full stick) or under a tracer that kills the process at a chosen system call.
//
//   SaveDriver STICK PROGRAM SOUNDS REPORT [KEY=FILE ...]
//
// STICK is the stick root, PROGRAM the program and work folder (holding Crushkit), SOUNDS the
// replacement sounds. Each KEY=FILE assigns FILE to the stock sound whose catalog key is KEY; an
// empty FILE leaves that sound stock. The customization counts as changed even with no
// assignment, as after the user set everything back to "(default)".
//
// REPORT receives, once the save is over, the outcome on the first line, the assignments and the
// changed flag as they stand afterwards on the second, then one line per message shown (line feeds
// inside a message written as "\n"). Nothing is written anywhere but the stick, the work folder
// and, at the very end, the report, so a tracer can count the save's own system calls.
#include "app/CustomizationState.h"
#include "app/InstallationPaths.h"
#include "catalog/SoundCatalogs.h"
#include "platform/FileOps.h"
#include "platform/Prompt.h"
#include "platform/StickPath.h"
#include "stick/ModelProfiles.h"
#include "stick/StickPreparation.h"
#include "writer/SavePipeline.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr int ExitSaved = 0;
constexpr int ExitKeptOpen = 1;
constexpr int ExitUsage = 2;
constexpr int ExitNotOpened = 3;

// Opening the stick changes the current directory; paths given relative to the starting one must
// still name the same places afterwards.
std::string Absolute(const std::string& path) {
    return !path.empty() && path[0] == '/' ? path : CurrentDirectory() + "/" + path;
}

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

const char* OutcomeName(SaveOutcome outcome) {
    switch (outcome) {
    case SaveOutcome::Saved:
        return "Saved";
    case SaveOutcome::NothingChanged:
        return "NothingChanged";
    case SaveOutcome::KeepOpen:
        break;
    }
    return "KeepOpen";
}

std::string DescribeState(const CustomizationState& state) {
    std::string text = state.Modified ? "modified" : "unmodified";
    if (state.ActiveProfile == nullptr || !state.Assignments) {
        return text;
    }
    for (size_t i = 0; i < state.Assignments->size(); ++i) {
        const std::optional<std::string>& slot = (*state.Assignments)[i];
        if (slot) {
            text += " " + std::string(state.ActiveProfile->catalog[i].key) + "=" + *slot;
        }
    }
    return text;
}

bool WriteReport(const std::string& path, const std::string& outcome, const CustomizationState& state) {
    FILE* report = std::fopen(path.c_str(), "w");
    if (report == nullptr) {
        return false;
    }
    std::string text = outcome + "\n" + Escaped(DescribeState(state)) + "\n";
    for (const ShownPrompt& prompt : PromptScript::Shown()) {
        text += Escaped(prompt.text) + "\n";
    }
    bool ok = std::fwrite(text.data(), 1, text.size(), report) == text.size();
    return std::fclose(report) == 0 && ok;
}

bool Assign(CustomizationState& state, const std::string& assignment) {
    size_t equals = assignment.find('=');
    if (equals == std::string::npos) {
        return false;
    }
    const std::string key = assignment.substr(0, equals);
    const std::string file = assignment.substr(equals + 1);
    const ModelProfile& profile = *state.ActiveProfile;
    for (int i = 0; i < profile.catalogCount; ++i) {
        if (IsStockSound(profile.catalog[i]) && key == profile.catalog[i].key) {
            auto& slot = (*state.Assignments)[static_cast<size_t>(i)];
            slot = file.empty() ? std::nullopt : std::optional<std::string>(file);
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: SaveDriver STICK PROGRAM SOUNDS REPORT [KEY=FILE ...]\n");
        return ExitUsage;
    }
    const std::string stick = Absolute(argv[1]);
    const std::string report = Absolute(argv[4]);
    ProgramFolder = Absolute(argv[2]);
    WorkFolder = ProgramFolder;
    SoundsFolder = Absolute(argv[3]);

    PromptScript::Activate();
    PromptScript::SetNextFileName(ResolveStickPath(stick + "/memstick.ind"));
    CustomizationState state;
    if (!OpenStick(state)) {
        WriteReport(report, "NotOpened", state);
        return ExitNotOpened;
    }
    for (int i = 5; i < argc; ++i) {
        if (!Assign(state, argv[i])) {
            std::fprintf(stderr, "SaveDriver: no stock sound for '%s'\n", argv[i]);
            return ExitUsage;
        }
    }
    state.Modified = true;

    SaveOutcome outcome = SaveCustomization(state);
    if (!WriteReport(report, OutcomeName(outcome), state)) {
        return ExitUsage;
    }
    return outcome == SaveOutcome::Saved ? ExitSaved : ExitKeptOpen;
}
