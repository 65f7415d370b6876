#pragma once
// The program's one window: which robot software is being customized, its stock sounds as a
// tree (category, then sound), the replacement list, and Preview, Save and Cancel.
#include "platform/ComboBox.h"
#include "platform/Dialog.h"
#include "platform/TreeCtrl.h"

#include <QIcon>

class QLabel;
class QPushButton;

class CCustomizeDlg : public CDialog {
public:
    explicit CCustomizeDlg(QWidget* parent = nullptr);
    ~CCustomizeDlg() override;

    CTreeCtrl& SoundTree() { return *m_soundTree; }
    CComboBox& ReplacementList() { return *m_replacementList; }

protected:
    bool OnInitDialog() override;
    void OnCancel() override;
    // Enter does nothing: no choice may be lost without asking.
    void OnOK() override {}

private:
    void CreateControls();

    CTreeCtrl* m_soundTree = nullptr;
    CComboBox* m_replacementList = nullptr;
    QIcon m_appIcon;
};
