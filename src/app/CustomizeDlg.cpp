#include "app/CustomizeDlg.h"

#include "Resource.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

CCustomizeDlg::CCustomizeDlg(QWidget* parent) : CDialog(parent) {
    setWindowTitle(QStringLiteral("Tonewright"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setObjectName(QStringLiteral("CustomizeDialog"));
    CreateControls();
}

CCustomizeDlg::~CCustomizeDlg() = default;

void CCustomizeDlg::CreateControls() {
    setFixedSize(MapDialogSize(231, 206));

    auto place = [this](QWidget* w, int id, int x, int y, int width, int height) {
        w->setGeometry(MapDialogRect(x, y, width, height));
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
        return line;
    };

    // Template order is the tab order.
    auto* save = new QPushButton(QStringLiteral("Save"), this);
    place(save, IDC_SAVE, 57, 185, 50, 14);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    place(cancel, IDCANCEL, 123, 185, 50, 14);

    m_soundTree = new CTreeCtrl(this);
    place(m_soundTree, IDC_SOUND_TREE, 7, 35, 213, 118);

    auto* soundLabel = new QLabel(QStringLiteral("Sound:"), this);
    place(soundLabel, 0, 7, 161, 24, 8);

    m_replacementList = new CComboBox(this);
    QRect listRect = MapDialogRect(33, 159, 137, 14);
    m_replacementList->setGeometry(listRect.x(), listRect.y(), listRect.width(), m_replacementList->sizeHint().height());
    SetControlId(m_replacementList, IDC_REPLACEMENT_LIST);
    m_replacementList->setMaxVisibleItems(12);

    auto* preview = new QPushButton(QStringLiteral("Preview"), this);
    place(preview, IDC_PREVIEW, 179, 158, 36, 14);

    rule(7, 19, 217);
    auto* softwareLabel = new QLabel(QStringLiteral("Software:"), this);
    place(softwareLabel, 0, 7, 7, 42, 8);
    auto* profileName = new QLabel(QStringLiteral("Static"), this);
    place(profileName, IDC_PROFILE_NAME, 53, 7, 128, 11);
    auto* treeLabel = new QLabel(QStringLiteral("Aibo Sounds:"), this);
    place(treeLabel, 0, 7, 27, 43, 8);
    rule(7, 180, 217);

    // Labels name the controls they introduce, for screen readers as for sighted users.
    soundLabel->setBuddy(m_replacementList);
    treeLabel->setBuddy(m_soundTree);
    softwareLabel->setBuddy(profileName);
    m_soundTree->setAccessibleName(QStringLiteral("Aibo Sounds"));
    m_replacementList->setAccessibleName(QStringLiteral("Sound"));
    profileName->setAccessibleName(QStringLiteral("Software"));

    setTabOrder(save, cancel);
    setTabOrder(cancel, m_soundTree);
    setTabOrder(m_soundTree, m_replacementList);
    setTabOrder(m_replacementList, preview);

    connect(cancel, &QPushButton::clicked, this, [this] { OnCancel(); });
}

bool CCustomizeDlg::OnInitDialog() {
    if (QWidget* save = GetDlgItem(IDC_SAVE)) {
        save->setFocus();
    }
    return true;
}

void CCustomizeDlg::OnCancel() {
    EndDialog(IDCANCEL);
}
