#pragma once
// Save: the replacements packed into AUDIO.ODA, the .MWC rebuilt from its .ORG backup with every
// matching sound reference replaced, and the record of the choices, then a summary. Any failure
// is reported with one message and leaves the state as it was, so the user can save again.
#include <string>

struct CustomizationState;

enum class SaveOutcome {
    KeepOpen,       // a failure was reported; the dialog stays open
    Saved,          // the dialog ends with IDOK
    NothingChanged, // the dialog ends with IDCANCEL
};

SaveOutcome SaveCustomization(CustomizationState& state);

// Host paths of the temporary files a save uses in the work folder.
std::string PlainCopyPath();    // $TMP$.MWC
std::string PackedCopyPath();   // $TMP$.MWC.gz
std::string RewrittenPath();    // $TMP$.ODA (rewritten .MWC data, not an archive)
std::string PackedResultPath(); // $TMP$.ODA.gz
