#include "app/CustomizeDlg.h"

#include "Resource.h"
#include "app/AboutDlg.h"
#include "app/InstallationPaths.h"
#include "app/TrimDlg.h"
#include "app/WaveformView.h"
#include "catalog/SoundCatalogs.h"
#include "platform/MidiRenderer.h"
#include "platform/Prompt.h"
#include "sounds/CustomSoundLibrary.h"
#include "sounds/SoundPreview.h"
#include "sounds/SoundSummary.h"
#include "sounds/SoundTrim.h"
#include "stick/ModelProfiles.h"
#include "stick/StickPreparation.h"
#include "writer/CustomizationRecord.h"
#include "writer/SavePipeline.h"
#include "writer/StickRoom.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStandardPaths>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

namespace {
// Long enough that stepping through the list with the arrow keys does not work it out for every
// item passed, short enough to read as at once.
constexpr int RoomLineDelayMs = 120;
} // namespace

CCustomizeDlg::CCustomizeDlg(CustomizationState& state, QWidget* parent)
    : CDialog(parent), m_state(state), m_appIcon(LoadAppIcon()) {
    setWindowTitle(QStringLiteral("Tonewright"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);
    setObjectName(QStringLiteral("CustomizeDialog"));
    CreateControls();
}

CCustomizeDlg::~CCustomizeDlg() = default;

void CCustomizeDlg::CreateControls() {
    // The template's controls in its order, laid out so that the window can grow: the tree takes
    // the room, the rows below it keep theirs. Sizes and gaps are the template's dialog units.
    const auto units = [this](int x, int y) { return MapDialogSize(x, y); };
    const auto sized = [&](QWidget* w, int id, int width, int height) {
        w->setMinimumSize(units(width, height).expandedTo(w->minimumSizeHint()));
        if (id != 0) {
            SetControlId(w, id);
        }
        return w;
    };
    const auto rule = [this] {
        auto* line = new QFrame(this);
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);
        return line;
    };

    // Template order is the tab order.
    auto* save = new QPushButton(QStringLiteral("Save"), this);
    sized(save, IDC_SAVE, 50, 14);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    sized(cancel, IDCANCEL, 50, 14);
    m_soundTree = new CTreeCtrl(this);
    SetControlId(m_soundTree, IDC_SOUND_TREE);
    auto* soundLabel = new QLabel(QStringLiteral("Sound:"), this);
    m_replacementList = new CComboBox(this);
    sized(m_replacementList, IDC_REPLACEMENT_LIST, 137, 12);
    m_replacementList->setMaxVisibleItems(12);
    auto* preview = new QPushButton(QStringLiteral("Preview"), this);
    sized(preview, IDC_PREVIEW, 36, 14);
    auto* addSounds = new QPushButton(QStringLiteral("&Add Sounds..."), this);
    sized(addSounds, IDC_ADD_SOUNDS, 55, 14);
    m_trimButton = new QPushButton(QStringLiteral("&Trim..."), this);
    sized(m_trimButton, IDC_TRIM, 55, 14);
    m_trimButton->setEnabled(false);
    // The replacement at a glance: a picture only, its figures in the label beside it.
    m_waveform = new WaveformView(this);
    m_waveform->SetInteractive(false);
    m_waveform->setAccessibleName(QStringLiteral("Replacement waveform"));
    sized(m_waveform, IDC_SOUND_WAVEFORM, 60, 14);
    m_waveform->setMaximumHeight(units(0, 22).height()); // the tree takes the room
    m_summary = new QLabel(this);
    SetControlId(m_summary, IDC_SOUND_SUMMARY);
    auto* softwareLabel = new QLabel(QStringLiteral("Software:"), this);
    auto* profileName = new QLabel(QStringLiteral("Static"), this);
    SetControlId(profileName, IDC_PROFILE_NAME);
    auto* treeLabel = new QLabel(QStringLiteral("Aibo Sounds:"), this);
    m_roomIcon = new QLabel(this);
    m_roomIcon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(units(0, 10).height()));
    m_roomIcon->setAccessibleName(QStringLiteral("Warning"));
    m_roomIcon->hide();
    m_roomText = new QLabel(this);
    SetControlId(m_roomText, IDC_STICK_ROOM);
    m_roomTimer = new QTimer(this);
    m_roomTimer->setObjectName(QStringLiteral("RoomTimer"));
    m_roomTimer->setSingleShot(true);
    m_roomTimer->setInterval(RoomLineDelayMs);
    connect(m_roomTimer, &QTimer::timeout, this, [this] { ShowStickRoom(); });

    auto* top = new QHBoxLayout;
    top->addWidget(softwareLabel);
    top->addWidget(profileName, 1);
    auto* sound = new QGridLayout;
    sound->addWidget(soundLabel, 0, 0);
    sound->addWidget(m_replacementList, 0, 1);
    sound->addWidget(preview, 0, 2);
    sound->addWidget(m_waveform, 1, 1);
    sound->addWidget(addSounds, 1, 2);
    sound->addWidget(m_summary, 2, 1);
    sound->addWidget(m_trimButton, 2, 2);
    sound->setColumnStretch(1, 1);
    auto* room = new QHBoxLayout;
    room->addWidget(m_roomIcon);
    room->addWidget(m_roomText, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(save);
    buttons->addSpacing(units(16, 0).width());
    buttons->addWidget(cancel);
    buttons->addStretch(1);
    auto* window = new QVBoxLayout(this);
    const QSize margin = units(7, 7);
    window->setContentsMargins(margin.width(), margin.height(), margin.width(), margin.height());
    window->setSpacing(units(0, 4).height());
    window->addLayout(top);
    window->addWidget(rule());
    window->addWidget(treeLabel);
    window->addWidget(m_soundTree, 1);
    window->addLayout(sound);
    window->addLayout(room);
    window->addWidget(rule());
    window->addLayout(buttons);

    // The template's size is the least the window takes; it opens larger, so that a long catalog
    // shows many rows, and can be resized and maximized.
    setMinimumSize(units(231, 206));
    const QSize wanted = units(300, 340);
    const QRect screen = this->screen() != nullptr ? this->screen()->availableGeometry() : QRect(0, 0, 1024, 768);
    resize(wanted.boundedTo(screen.size() * 9 / 10).expandedTo(minimumSize()));

    // Labels name the controls they introduce, for screen readers as for sighted users.
    soundLabel->setBuddy(m_replacementList);
    treeLabel->setBuddy(m_soundTree);
    m_soundTree->setAccessibleName(QStringLiteral("Aibo Sounds"));
    m_replacementList->setAccessibleName(QStringLiteral("Sound"));
    // The profile's name is what a screen reader should read out, not the word before it.
    profileName->setAccessibleDescription(QStringLiteral("Software"));
    // The sound's own name first, as the catalog gives it; then what the robot will play instead.
    // Both share the tree's width as the window grows.
    m_soundTree->setColumnCount(2);
    m_soundTree->setHeaderLabels({QStringLiteral("Stock sound"), QStringLiteral("Replaced by")});
    m_soundTree->setHeaderHidden(false);
    m_soundTree->header()->setSectionResizeMode(QHeaderView::Stretch);

    setTabOrder(save, cancel);
    setTabOrder(cancel, m_soundTree);
    setTabOrder(m_soundTree, m_replacementList);
    setTabOrder(m_replacementList, preview);
    setTabOrder(preview, addSounds);
    setTabOrder(addSounds, m_trimButton);

    // No button is the default, not even the focused one: Enter never ends the dialog, so no
    // choice is lost and nothing is saved by a stray key. Space pushes the focused button.
    for (QPushButton* button : {save, cancel, preview, addSounds, m_trimButton}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    connect(save, &QPushButton::clicked, this, [this] { OnSave(); });
    connect(cancel, &QPushButton::clicked, this, [this] { OnCancel(); });
    connect(preview, &QPushButton::clicked, this, [this] { OnPreview(); });
    connect(addSounds, &QPushButton::clicked, this, [this] { OnAddSounds(); });
    connect(m_trimButton, &QPushButton::clicked, this, [this] { OnTrim(); });
    m_soundTree->SetOnSelChanged([this] { OnTreeSelChanged(); });
    m_soundTree->SetOnDblClk([this] { OnTreeDblClk(); });
    m_replacementList->SetOnSelChange([this] {
        AssignFromList(m_state, *m_soundTree, *m_replacementList);
        ShowChoices();
        ShowSelectedReplacement();
    });
    setAcceptDrops(true);
}

bool CCustomizeDlg::OnInitDialog() {
    // The desktop offers a program no window menu to extend, so the About entry lives in the
    // dialog's own context menu.
    m_systemMenu = new QMenu(this);
    m_systemMenu->setObjectName(QStringLiteral("SystemMenu"));
    connect(m_systemMenu->addAction(QStringLiteral("&Add Sounds...")), &QAction::triggered, this,
            [this] { OnAddSounds(); });
    m_trimAction = m_systemMenu->addAction(QStringLiteral("&Trim..."));
    connect(m_trimAction, &QAction::triggered, this, [this] { OnTrim(); });
    ShowSelectedReplacement();
    connect(m_systemMenu->addAction(QStringLiteral("&Reset all to stock sounds")), &QAction::triggered, this,
            [this] { OnResetAll(); });
    // The keyboard's other way to a context menu, wherever the focus is in the window.
    auto* menuKey = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), this);
    connect(menuKey, &QShortcut::activated, this, [this] {
        QWidget* at = focusWidget() != nullptr ? focusWidget() : this;
        m_systemMenu->popup(at->mapToGlobal(QPoint(4, 4)));
    });
    const QString aboutText = QString::fromLatin1(LoadResourceString(IDS_ABOUT_MENU));
    if (!aboutText.isEmpty()) {
        m_systemMenu->addSeparator();
        QAction* about = m_systemMenu->addAction(aboutText);
        connect(about, &QAction::triggered, this, [this] { OnSysCommand(IDM_ABOUT); });
    }

    setWindowIcon(m_appIcon);

    // Everything this asks or reports comes up before the window is first shown; a stick that
    // cannot be opened or a record that cannot be read ends the dialog there and then.
    bool ready = OpenStick(m_state);
    if (ready) {
        FillReplacementList(*m_replacementList);
        FillSoundTree();
        ready = LoadCustomizationRecord(m_state, *m_replacementList);
        ShowChoices();
        m_roomTimer->stop();
        ShowStickRoom();
    }
    if (!ready) {
        EndDialog(IDCANCEL);
        return true;
    }

    if (QWidget* save = GetDlgItem(IDC_SAVE)) {
        save->setFocus();
    }
    StartLoadingMidiSounds();
    return true;
}

void CCustomizeDlg::FillSoundTree() {
    const ModelProfile& profile = *m_state.ActiveProfile;
    HTREEITEM parent = TVI_ROOT;
    for (int i = 0; i < profile.catalogCount; ++i) {
        const CatalogEntry& entry = profile.catalog[i];
        HTREEITEM item = nullptr;
        if (!IsStockSound(entry)) {
            item = m_soundTree->InsertItem(entry.label, TVI_ROOT);
            parent = item;
        } else {
            item = m_soundTree->InsertItem(entry.label, parent);
        }
        m_soundTree->SetItemData(item, i);
    }
}

void CCustomizeDlg::ShowChoices() {
    if (!m_state.Assignments) {
        return;
    }
    // Working the room out packs the whole configuration; while the owner steps through the list
    // it is done once they pause, not for every item passed.
    m_roomTimer->start();
    for (int top = 0; top < m_soundTree->topLevelItemCount(); ++top) {
        HTREEITEM category = m_soundTree->topLevelItem(top);
        int replaced = 0;
        const auto show = [&](HTREEITEM item) {
            const auto index = static_cast<size_t>(m_soundTree->GetItemData(item));
            const std::optional<std::string>& slot = (*m_state.Assignments)[index];
            std::string shown;
            if (slot) {
                // As the file is named, even when a record spelled it otherwise.
                const int at = m_replacementList->FindStringExact(-1, *slot);
                shown = at > 0 ? m_replacementList->GetLBText(at) : *slot;
                ++replaced;
            }
            m_soundTree->SetItemText(item, 1, shown);
        };
        for (int child = 0; child < category->childCount(); ++child) {
            show(category->child(child));
        }
        if (IsStockSound(m_state.ActiveProfile->catalog[m_soundTree->GetItemData(category)])) {
            show(category); // a sound before the first category stands at the top level
        } else {
            m_soundTree->SetItemText(category, 1, replaced > 0 ? std::to_string(replaced) + " replaced" : "");
        }
    }
}

void CCustomizeDlg::ShowStickRoom() {
    const std::optional<StickRoom> room = EstimateStickRoom(m_state, SoundsFolder);
    m_roomText->setText(
        QString::fromLocal8Bit(room ? DescribeStickRoom(*room).c_str() : "Room on the stick after saving: unknown"));
    m_roomIcon->setVisible(room && !room->Fits());
}

void CCustomizeDlg::OnTreeSelChanged() {
    std::optional<SelectedSound> selected = SelectedEntry(m_state, *m_soundTree);
    ShowSelectedReplacement();
    if (!selected || !IsStockSound(*selected->entry)) {
        m_replacementList->SetCurSel(-1);
        m_replacementList->EnableWindow(false);
        return;
    }
    int index = 0;
    if (selected->slot->has_value()) {
        index = m_replacementList->FindStringExact(-1, **selected->slot);
        if (index == CB_ERR) {
            ShowMessage("Internal error: lost sound string");
        }
    }
    m_replacementList->SetCurSel(index);
    m_replacementList->EnableWindow(true);
}

void CCustomizeDlg::OnTreeDblClk() {
    OnPreview();
}

void CCustomizeDlg::OnPreview() {
    PreviewSelectedSound(m_state, *m_soundTree, *m_replacementList);
}

void CCustomizeDlg::OnSave() {
    switch (SaveCustomization(m_state)) {
    case SaveOutcome::Saved:
        EndDialog(IDOK);
        break;
    case SaveOutcome::NothingChanged:
        EndDialog(IDCANCEL);
        break;
    case SaveOutcome::KeepOpen:
        break;
    }
}

void CCustomizeDlg::OnAddSounds() {
    OpenFileRequest request;
    request.title = "Add Sounds";
    request.filter = "Sound files (*.wav *.mp3 *.ogg *.oga *.opus *.flac *.aif *.aiff *.mid *.midi)\nAll files (*)";
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    request.startFolder = (QDir(music).exists() ? music : QDir::homePath()).toLocal8Bit().toStdString();
    AddSounds(BrowseForOpenFiles(request));
}

void CCustomizeDlg::AddSounds(const std::vector<std::string>& sourcePaths) {
    const std::vector<std::string> added = ImportIntoLibrary(sourcePaths, *m_replacementList);
    std::optional<SelectedSound> selected = SelectedEntry(m_state, *m_soundTree);
    if (sourcePaths.size() == 1 && added.size() == 1 && selected && IsStockSound(*selected->entry)) {
        m_replacementList->SetCurSel(m_replacementList->FindStringExact(-1, added.front()));
        AssignFromList(m_state, *m_soundTree, *m_replacementList);
    }
    OnTreeSelChanged();
    ShowChoices();
}

void CCustomizeDlg::OnResetAll() {
    if (!AskYesNo("Reset every sound to its stock sound?")) {
        return;
    }
    ResetAllAssignments(m_state);
    OnTreeSelChanged();
    ShowChoices();
}

void CCustomizeDlg::ShowSelectedReplacement() {
    std::optional<SelectedSound> selected = SelectedEntry(m_state, *m_soundTree);
    // As the folder spells it: the record may name it in other letters.
    const int item = selected && IsStockSound(*selected->entry) && selected->slot->has_value()
                         ? m_replacementList->FindStringExact(-1, **selected->slot)
                         : CB_ERR;
    const std::string file = item > 0 ? m_replacementList->GetLBText(item) : std::string();
    const std::string path = SoundsFolder + "/" + file;
    const bool trimmable = !file.empty() && IsTrimmableName(file);
    m_trimButton->setEnabled(trimmable);
    if (m_trimAction != nullptr) {
        m_trimAction->setEnabled(trimmable);
    }
    m_waveform->ShowSoundFile(trimmable ? path : std::string());
    m_summary->setText(QString::fromLocal8Bit(file.empty() ? "" : DescribeSoundFile(path).c_str()));
}

void CCustomizeDlg::OnTrim() {
    std::optional<SelectedSound> selected = SelectedEntry(m_state, *m_soundTree);
    const int item =
        selected && selected->slot->has_value() ? m_replacementList->FindStringExact(-1, **selected->slot) : CB_ERR;
    if (item <= 0) {
        return;
    }
    CTrimDlg trim(m_replacementList->GetLBText(item), this);
    if (trim.DoModal() != IDOK) {
        return;
    }
    m_replacementList->AddString(trim.NewFileName());
    m_replacementList->SetCurSel(m_replacementList->FindStringExact(-1, trim.NewFileName()));
    AssignFromList(m_state, *m_soundTree, *m_replacementList);
    OnTreeSelChanged();
    ShowChoices();
}

void CCustomizeDlg::dragEnterEvent(QDragEnterEvent* event) {
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            event->acceptProposedAction();
            return;
        }
    }
}

void CCustomizeDlg::dropEvent(QDropEvent* event) {
    std::vector<std::string> paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            paths.push_back(url.toLocalFile().toLocal8Bit().toStdString());
        }
    }
    event->acceptProposedAction();
    // The program the files came from waits until the drop is taken; the import runs after.
    QMetaObject::invokeMethod(
        this, [this, paths] { AddSounds(paths); }, Qt::QueuedConnection);
}

void CCustomizeDlg::OnCancel() {
    if (m_state.Modified && !AskYesNo("Cancel and ignore changes?")) {
        return;
    }
    EndDialog(IDCANCEL);
}

void CCustomizeDlg::OnSysCommand(int command) {
    if ((command & 0xFFF0) == IDM_ABOUT) {
        CAboutDlg about(this);
        about.DoModal();
    }
}

void CCustomizeDlg::contextMenuEvent(QContextMenuEvent* event) {
    if (m_systemMenu == nullptr || m_systemMenu->isEmpty()) {
        return;
    }
    QPoint where = event->reason() == QContextMenuEvent::Mouse ? event->globalPos() : mapToGlobal(QPoint(8, 8));
    m_systemMenu->popup(where);
}
