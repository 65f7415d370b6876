#include "app/CustomizeDlg.h"

#include "Resource.h"
#include "app/AboutDlg.h"
#include "catalog/SoundCatalogs.h"
#include "platform/MidiRenderer.h"
#include "platform/Prompt.h"
#include "sounds/CustomSoundLibrary.h"
#include "sounds/SoundPreview.h"
#include "stick/ModelProfiles.h"
#include "stick/StickPreparation.h"
#include "writer/CustomizationRecord.h"
#include "writer/SavePipeline.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QStandardPaths>

CCustomizeDlg::CCustomizeDlg(CustomizationState& state, QWidget* parent)
    : CDialog(parent), m_state(state), m_appIcon(LoadAppIcon()) {
    setWindowTitle(QStringLiteral("Tonewright"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setObjectName(QStringLiteral("CustomizeDialog"));
    CreateControls();
}

CCustomizeDlg::~CCustomizeDlg() = default;

void CCustomizeDlg::CreateControls() {
    // The template's layout, one row taller for Add Sounds under Preview.
    setFixedSize(MapDialogSize(231, 224));

    auto place = [this](QWidget* w, int id, int x, int y, int width, int height) {
        QRect r = MapDialogRect(x, y, width, height);
        // A label never clips its text, whatever the desktop's font.
        if (qobject_cast<QLabel*>(w) != nullptr) {
            r.setSize(r.size().expandedTo(w->sizeHint()));
        }
        w->setGeometry(r);
        if (id != 0) {
            SetControlId(w, id);
        }
    };
    auto rule = [this](int x, int y, int width) {
        auto* line = new QFrame(this);
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);
        QRect r = MapDialogRect(x, y, width, 1);
        r.setHeight(2);
        line->setGeometry(r);
    };

    // Template order is the tab order.
    auto* save = new QPushButton(QStringLiteral("Save"), this);
    place(save, IDC_SAVE, 57, 203, 50, 14);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    place(cancel, IDCANCEL, 123, 203, 50, 14);

    m_soundTree = new CTreeCtrl(this);
    place(m_soundTree, IDC_SOUND_TREE, 7, 35, 213, 118);

    auto* soundLabel = new QLabel(QStringLiteral("Sound:"), this);
    place(soundLabel, 0, 7, 161, 24, 8);

    // The template's height includes the opened list; the closed box is one line high.
    m_replacementList = new CComboBox(this);
    QRect listRect = MapDialogRect(33, 159, 137, 12);
    listRect.setHeight(std::max(listRect.height(), m_replacementList->sizeHint().height()));
    m_replacementList->setGeometry(listRect);
    SetControlId(m_replacementList, IDC_REPLACEMENT_LIST);
    m_replacementList->setMaxVisibleItems(12);

    auto* preview = new QPushButton(QStringLiteral("Preview"), this);
    place(preview, IDC_PREVIEW, 179, 158, 36, 14);
    auto* addSounds = new QPushButton(QStringLiteral("&Add Sounds..."), this);
    place(addSounds, IDC_ADD_SOUNDS, 160, 177, 55, 14);

    rule(7, 19, 217);
    auto* softwareLabel = new QLabel(QStringLiteral("Software:"), this);
    place(softwareLabel, 0, 7, 7, 42, 8);
    auto* profileName = new QLabel(QStringLiteral("Static"), this);
    place(profileName, IDC_PROFILE_NAME, 53, 7, 128, 11);
    auto* treeLabel = new QLabel(QStringLiteral("Aibo Sounds:"), this);
    place(treeLabel, 0, 7, 27, 43, 8);
    rule(7, 198, 217);

    // Labels name the controls they introduce, for screen readers as for sighted users.
    soundLabel->setBuddy(m_replacementList);
    treeLabel->setBuddy(m_soundTree);
    m_soundTree->setAccessibleName(QStringLiteral("Aibo Sounds"));
    m_replacementList->setAccessibleName(QStringLiteral("Sound"));
    // The profile's name is what a screen reader should read out, not the word before it.
    profileName->setAccessibleDescription(QStringLiteral("Software"));
    // The sound's own name first, as the catalog gives it; then what the robot will play instead.
    m_soundTree->setColumnCount(2);
    m_soundTree->setHeaderLabels({QStringLiteral("Stock sound"), QStringLiteral("Replaced by")});
    m_soundTree->setHeaderHidden(false);
    m_soundTree->header()->setStretchLastSection(true);
    m_soundTree->setColumnWidth(0, m_soundTree->width() * 11 / 20);

    setTabOrder(save, cancel);
    setTabOrder(cancel, m_soundTree);
    setTabOrder(m_soundTree, m_replacementList);
    setTabOrder(m_replacementList, preview);
    setTabOrder(preview, addSounds);

    // No button is the default, not even the focused one: Enter never ends the dialog, so no
    // choice is lost and nothing is saved by a stray key. Space pushes the focused button.
    for (QPushButton* button : {save, cancel, preview, addSounds}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    connect(save, &QPushButton::clicked, this, [this] { OnSave(); });
    connect(cancel, &QPushButton::clicked, this, [this] { OnCancel(); });
    connect(preview, &QPushButton::clicked, this, [this] { OnPreview(); });
    connect(addSounds, &QPushButton::clicked, this, [this] { OnAddSounds(); });
    m_soundTree->SetOnSelChanged([this] { OnTreeSelChanged(); });
    m_soundTree->SetOnDblClk([this] { OnTreeDblClk(); });
    m_replacementList->SetOnSelChange([this] {
        AssignFromList(m_state, *m_soundTree, *m_replacementList);
        ShowChoicesInTree();
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
        ShowChoicesInTree();
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

void CCustomizeDlg::ShowChoicesInTree() {
    if (!m_state.Assignments) {
        return;
    }
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
            m_soundTree->SetItemText(category, 1, std::to_string(replaced) + " replaced");
        }
    }
}

void CCustomizeDlg::OnTreeSelChanged() {
    std::optional<SelectedSound> selected = SelectedEntry(m_state, *m_soundTree);
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
    ShowChoicesInTree();
}

void CCustomizeDlg::OnResetAll() {
    if (!AskYesNo("Reset every sound to its stock sound?")) {
        return;
    }
    ResetAllAssignments(m_state);
    OnTreeSelChanged();
    ShowChoicesInTree();
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
