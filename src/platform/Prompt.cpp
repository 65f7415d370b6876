#include "platform/Prompt.h"

#include "platform/StickPath.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <algorithm>
#include <deque>

namespace {

std::string g_title = "Tonewright";
QPointer<QWidget> g_mainWindow;

struct Script {
    bool active = false;
    std::deque<bool> answers;
    std::deque<std::string> fileNames;
    std::vector<ShownPrompt> shown;
};

Script& TheScript() {
    static Script script;
    return script;
}

QString Q(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

// Message boxes are parented to the main window only while it is on screen; during the dialog's
// initialisation it is not yet shown, and a box must not wait for it.
QWidget* Owner() {
    QWidget* w = g_mainWindow.data();
    return (w != nullptr && w->isVisible()) ? w : nullptr;
}

// Messages are laid out line by line (the save summary names one file per line); the box would
// otherwise wrap anything wider than half the screen and break a path in the middle.
void KeepLinesWhole(QMessageBox& box) {
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    if (label == nullptr) {
        return;
    }
    int widest = 0;
    const QFontMetrics metrics(label->font());
    for (const QString& line : box.text().split(QLatin1Char('\n'))) {
        widest = std::max(widest, metrics.horizontalAdvance(line));
    }
    label->setMinimumWidth(widest + metrics.averageCharWidth());
}

} // namespace

const std::string& ApplicationTitle() {
    return g_title;
}

void SetApplicationTitle(const std::string& title) {
    g_title = title;
}

void SetMainWindow(QWidget* window) {
    g_mainWindow = window;
}

QWidget* MainWindow() {
    return g_mainWindow.data();
}

void ShowMessage(const std::string& text) {
    Script& script = TheScript();
    if (script.active) {
        script.shown.push_back({ShownPrompt::Kind::Message, g_title, text, "OK"});
        return;
    }
    QMessageBox box(QMessageBox::Warning, Q(g_title), Q(text), QMessageBox::Ok, Owner());
    KeepLinesWhole(box);
    box.exec();
}

bool AskYesNo(const std::string& text) {
    Script& script = TheScript();
    if (script.active) {
        script.shown.push_back({ShownPrompt::Kind::Question, g_title, text, "Yes|No"});
        if (script.answers.empty()) {
            return false;
        }
        bool yes = script.answers.front();
        script.answers.pop_front();
        return yes;
    }
    QMessageBox box(QMessageBox::Warning, Q(g_title), Q(text), QMessageBox::Yes | QMessageBox::No, Owner());
    KeepLinesWhole(box);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

std::optional<std::string> BrowseForOpenFile(const OpenFileRequest& request) {
    Script& script = TheScript();
    if (script.active) {
        script.shown.push_back({ShownPrompt::Kind::OpenFile, g_title, request.title, "Open|Cancel"});
        if (script.fileNames.empty() || script.fileNames.front().empty()) {
            if (!script.fileNames.empty()) {
                script.fileNames.pop_front();
            }
            return std::nullopt;
        }
        std::string path = script.fileNames.front();
        script.fileNames.pop_front();
        return path;
    }
    QFileDialog dialog(Owner(), Q(request.title), QDir::currentPath());
    // Qt's own dialog rather than the desktop's: it is the same on every desktop, and every
    // control in it is a standard widget that keyboard and assistive tools can reach.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(Q(request.defaultExtension));
    dialog.setNameFilter(Q(request.filter));
    // On a case-sensitive file system the stick may spell the name otherwise; offer the file
    // that is there, so Enter picks it.
    dialog.selectFile(Q(ResolveStickPath(request.initialFileName)));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().first().toLocal8Bit().toStdString();
}

WaitCursor::WaitCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // The work that follows blocks the event loop; let the cursor change reach the screen first.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

WaitCursor::~WaitCursor() {
    QApplication::restoreOverrideCursor();
}

namespace PromptScript {

void Activate() {
    TheScript() = Script{};
    TheScript().active = true;
}

void Deactivate() {
    TheScript() = Script{};
}

bool Active() {
    return TheScript().active;
}

void SetNextAnswer(bool yes) {
    TheScript().answers.push_back(yes);
}

void SetNextFileName(const std::string& path) {
    TheScript().fileNames.push_back(path);
}

const std::vector<ShownPrompt>& Shown() {
    return TheScript().shown;
}

std::vector<std::string> ShownTexts() {
    std::vector<std::string> texts;
    for (const ShownPrompt& p : TheScript().shown) {
        texts.push_back(p.text);
    }
    return texts;
}

void Clear() {
    TheScript().shown.clear();
}

} // namespace PromptScript
