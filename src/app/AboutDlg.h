#pragma once
#include "platform/Dialog.h"

// The small window that names the program and its version.
class CAboutDlg : public CDialog {
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

// The application icon, IDI_APP, in both its sizes.
QIcon LoadAppIcon();
