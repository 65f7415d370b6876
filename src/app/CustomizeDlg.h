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

class QMenu;

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

protected:
    bool OnInitDialog() override;
    void OnCancel() override;
    // Enter does nothing: no choice may be lost without asking.
    void OnOK() override {}
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void CreateControls();

    CustomizationState& m_state;
    CTreeCtrl* m_soundTree = nullptr;
    CComboBox* m_replacementList = nullptr;
    QMenu* m_systemMenu = nullptr;
    QIcon m_appIcon;
};
