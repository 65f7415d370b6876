#include "platform/Prompt.h"

#include "platform/StickPath.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QUrl>
#include <algorithm>
#include <deque>

namespace {

std::string g_title = "Tonewright";
QPointer<QWidget> g_mainWindow;

struct Script {
    bool active = false;
    std::deque<bool> answers;
    std::deque<int> choices;
    std::deque<std::vector<std::string>> fileNames;
    std::vector<ShownPrompt> shown;
    int cancelProgressAfter = -1;
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

int AskChoice(const std::string& text, const std::vector<std::string>& buttons) {
    const int cancel = static_cast<int>(buttons.size()) - 1;
    Script& script = TheScript();
    if (script.active) {
        std::string names;
        for (const std::string& button : buttons) {
            names += (names.empty() ? "" : "|") + button;
        }
        script.shown.push_back({ShownPrompt::Kind::Question, g_title, text, names});
        if (script.choices.empty()) {
            return cancel;
        }
        const int chosen = script.choices.front();
        script.choices.pop_front();
        return chosen;
    }
    QMessageBox box(QMessageBox::Warning, Q(g_title), Q(text), QMessageBox::NoButton, Owner());
    KeepLinesWhole(box);
    std::vector<QAbstractButton*> pushed;
    for (int i = 0; i <= cancel; ++i) {
        pushed.push_back(box.addButton(Q(buttons[static_cast<size_t>(i)]),
                                       i == cancel ? QMessageBox::RejectRole : QMessageBox::AcceptRole));
    }
    if (cancel >= 0) {
        box.setEscapeButton(pushed.back());
    }
    box.exec();
    const auto at = std::find(pushed.begin(), pushed.end(), box.clickedButton());
    return at == pushed.end() ? cancel : static_cast<int>(at - pushed.begin());
}

namespace {

std::vector<std::string> RunFileDialog(const OpenFileRequest& request, bool several) {
    Script& script = TheScript();
    if (script.active) {
        script.shown.push_back({ShownPrompt::Kind::OpenFile, g_title, request.title, "Open|Cancel", request});
        if (script.fileNames.empty()) {
            return {};
        }
        std::vector<std::string> chosen = std::move(script.fileNames.front());
        script.fileNames.pop_front();
        return chosen;
    }
    const QString start = request.startFolder.empty() ? QDir::currentPath() : Q(request.startFolder);
    QFileDialog dialog(Owner(), Q(request.title), start);
    // Qt's own dialog rather than the desktop's: it is the same on every desktop, and every
    // control in it is a standard widget that keyboard and assistive tools can reach.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(several ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(Q(request.defaultExtension));
    dialog.setNameFilters(Q(request.filter).split(QLatin1Char('\n')));
    if (!request.sidebarFolders.empty()) {
        QList<QUrl> places = dialog.sidebarUrls();
        for (const std::string& folder : request.sidebarFolders) {
            const QUrl url = QUrl::fromLocalFile(Q(folder));
            if (!places.contains(url)) {
                places.append(url);
            }
        }
        dialog.setSidebarUrls(places);
    }
    if (!request.initialFileName.empty()) {
        // On a case-sensitive file system the stick may spell the name otherwise; offer the file
        // that is there, so Enter picks it.
        const std::string folder = start.toLocal8Bit().toStdString();
        dialog.selectFile(Q(ResolveStickPath(folder + "/" + request.initialFileName)));
    }
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    std::vector<std::string> chosen;
    for (const QString& file : dialog.selectedFiles()) {
        chosen.push_back(file.toLocal8Bit().toStdString());
    }
    return chosen;
}

} // namespace

std::optional<std::string> BrowseForOpenFile(const OpenFileRequest& request) {
    std::vector<std::string> chosen = RunFileDialog(request, false);
    if (chosen.empty() || chosen.front().empty()) {
        return std::nullopt;
    }
    return chosen.front();
}

std::vector<std::string> BrowseForOpenFiles(const OpenFileRequest& request) {
    return RunFileDialog(request, true);
}

struct ProgressPrompt::Impl {
    QProgressDialog* dialog = nullptr;
    WaitCursor cursor;
};

namespace {
constexpr int kProgressSteps = 1000;
// Shorter work is over before a dialog would be worth reading.
constexpr int kProgressDelayMs = 500;
} // namespace

ProgressPrompt::ProgressPrompt(const std::string& text) : m_impl(new Impl) {
    if (TheScript().active) {
        return;
    }
    m_impl->dialog = new QProgressDialog(Q(text), QStringLiteral("Cancel"), 0, kProgressSteps, Owner());
    m_impl->dialog->setWindowTitle(Q(g_title));
    m_impl->dialog->setWindowModality(Qt::WindowModal);
    m_impl->dialog->setMinimumDuration(kProgressDelayMs);
    m_impl->dialog->setAutoClose(false);
    m_impl->dialog->setAutoReset(false);
    m_impl->dialog->setValue(0);
}

ProgressPrompt::~ProgressPrompt() {
    delete m_impl->dialog;
    delete m_impl;
}

void ProgressPrompt::SetText(const std::string& text) {
    if (m_impl->dialog != nullptr) {
        m_impl->dialog->setLabelText(Q(text));
    }
}

bool ProgressPrompt::Update(double fraction) {
    Script& script = TheScript();
    if (script.active) {
        if (script.cancelProgressAfter > 0 && --script.cancelProgressAfter == 0) {
            script.cancelProgressAfter = -1;
            return false;
        }
        return true;
    }
    const int value = static_cast<int>(std::clamp(fraction, 0.0, 1.0) * (kProgressSteps - 1)) + 1;
    // Once the dialog is up, setting its value lets the window repaint and take the Cancel click.
    m_impl->dialog->setValue(std::max(value, m_impl->dialog->value()));
    return !m_impl->dialog->wasCanceled();
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

void SetNextChoice(int button) {
    TheScript().choices.push_back(button);
}

void SetNextFileName(const std::string& path) {
    TheScript().fileNames.push_back(path.empty() ? std::vector<std::string>{} : std::vector<std::string>{path});
}

void SetNextFileNames(const std::vector<std::string>& paths) {
    TheScript().fileNames.push_back(paths);
}

void CancelProgressAfter(int updates) {
    TheScript().cancelProgressAfter = updates;
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
