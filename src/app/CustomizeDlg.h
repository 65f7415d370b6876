#pragma once
// The program's one window: which robot software is being customized, its stock sounds as a
// tree (category, then sound), the replacement list, and Preview, Save and Cancel. Its
// initialisation drives the whole loading side; its handlers route the user's actions to the
// customization state, to preview and to saving.
#include "app/CustomizationState.h"
#include "platform/ComboBox.h"
#include "platform/Dialog.h"
#include "platform/TreeCtrl.h"

#include <QIcon>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;
class WaveformView;

class CCustomizeDlg : public CDialog {
public:
    explicit CCustomizeDlg(CustomizationState& state, QWidget* parent = nullptr);
    ~CCustomizeDlg() override;

    CTreeCtrl& SoundTree() { return *m_soundTree; }
    CComboBox& ReplacementList() { return *m_replacementList; }

    // The window's command menu (the About entry), as the context menu shows it.
    QMenu* SystemMenu() { return m_systemMenu; }
    void OnSysCommand(int command);

    void FillSoundTree();
    void OnTreeSelChanged();
    void OnTreeDblClk();
    void OnPreview();
    void OnSave();
    // Brings recordings into the sounds folder, chosen in the file dialog or dropped on the
    // window; a single one becomes the selected sound's replacement.
    void OnAddSounds();
    void AddSounds(const std::vector<std::string>& sourcePaths);
    void OnResetAll();
    void OnTrim();

protected:
    bool OnInitDialog() override;
    void OnCancel() override;
    // Enter does nothing: no choice may be lost without asking.
    void OnOK() override {}
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateControls();
    // After every change of the choices: the tree's second column (each sound's replacement, and
    // how many of a category's sounds are replaced) and the room the stick will have.
    void ShowChoices();
    // The line under the tree: the room left on the stick once the choices are saved, worked out
    // as Save works it out, or how much is missing, with a warning icon.
    void ShowStickRoom();
    // Under the list, the selected sound's replacement: its waveform, length and size. Trim is
    // offered for a replacement that is a WAV file of the list.
    void ShowSelectedReplacement();

    CustomizationState& m_state;
    CTreeCtrl* m_soundTree = nullptr;
    CComboBox* m_replacementList = nullptr;
    QMenu* m_systemMenu = nullptr;
    QLabel* m_roomIcon = nullptr;
    QLabel* m_roomText = nullptr;
    QTimer* m_roomTimer = nullptr;
    QPushButton* m_trimButton = nullptr;
    QAction* m_trimAction = nullptr;
    WaveformView* m_waveform = nullptr;
    QLabel* m_summary = nullptr;
    QIcon m_appIcon;
};
