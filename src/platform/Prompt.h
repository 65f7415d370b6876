#pragma once
// Everything modal that the program asks or tells the user: message boxes, the two yes/no
// questions, the open-file dialog and the wait cursor. Tests answer through PromptScript, the
// one seam where a person's answer is stood in for; everything else in a test runs for real.
#include <optional>
#include <string>
#include <vector>

class QWidget;

// The caption of every message box: the executable's name without extension.
const std::string& ApplicationTitle();
void SetApplicationTitle(const std::string& title);

// The window that owns message boxes and the open-file dialog (the customization dialog).
void SetMainWindow(QWidget* window);
QWidget* MainWindow();

// Exclamation icon and an OK button.
void ShowMessage(const std::string& text);
// Yes and No buttons; true only for Yes.
bool AskYesNo(const std::string& text);
// A question with buttons of its own, the last of which cancels (as Escape and the window's close
// button do): the index of the button chosen.
int AskChoice(const std::string& text, const std::vector<std::string>& buttons);

struct OpenFileRequest {
    std::string title;
    std::string initialFileName;
    std::string defaultExtension; // without the dot
    // Filter entries, "Description (*.ext *.ext2)", one per line. Matching ignores letter case,
    // so a stick that stores MEMSTICK.IND is listed as well as one that stores memstick.ind.
    std::string filter;
    std::string startFolder;                 // empty: the current folder
    std::vector<std::string> sidebarFolders; // offered beside the usual places
};

// The open-file dialog; only an existing file can be chosen. Returns the chosen file's full path,
// or nothing when the user cancels.
std::optional<std::string> BrowseForOpenFile(const OpenFileRequest& request);
// The same, choosing any number of files at once; empty when the user cancels.
std::vector<std::string> BrowseForOpenFiles(const OpenFileRequest& request);

// A window-modal progress dialog with a Cancel button, shown only once the work has taken half a
// second; until then the wait cursor says that something is going on. Update keeps the window
// painted and tells whether to go on.
class ProgressPrompt {
public:
    explicit ProgressPrompt(const std::string& text);
    ~ProgressPrompt();
    ProgressPrompt(const ProgressPrompt&) = delete;
    ProgressPrompt& operator=(const ProgressPrompt&) = delete;

    void SetText(const std::string& text);
    // `fraction` of the whole work, 0 to 1; false once the user has cancelled.
    bool Update(double fraction);

private:
    struct Impl;
    Impl* m_impl;
};

// Shows the wait cursor while it lives.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// What a test sees of one modal prompt.
struct ShownPrompt {
    enum class Kind { Message, Question, OpenFile };
    Kind kind;
    std::string caption;
    std::string text;          // the message, the question or the dialog's title
    std::string buttons;       // "OK", "Yes|No", "Open|Cancel" or a question's own, "|" between
    OpenFileRequest request{}; // a file dialog's
};

// While active, prompts are recorded instead of shown and answered from the queues: a question
// with no queued answer is answered No (or its last button), a file dialog with no queued name is
// cancelled, and progress goes on unless a cancel was queued.
namespace PromptScript {
void Activate();
void Deactivate();
bool Active();
void SetNextAnswer(bool yes);
// The index of the button that the next AskChoice question gets.
void SetNextChoice(int button);
void SetNextFileName(const std::string& path); // an empty text cancels the dialog
void SetNextFileNames(const std::vector<std::string>& paths);
// The progress dialog's Cancel is pressed at its `updates`-th update from now.
void CancelProgressAfter(int updates);
const std::vector<ShownPrompt>& Shown();
std::vector<std::string> ShownTexts();
void Clear();
} // namespace PromptScript
