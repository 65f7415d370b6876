#include "app/AboutDlg.h"

#include "Resource.h"

#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

QIcon LoadAppIcon() {
    QIcon icon;
    icon.addPixmap(QPixmap(QStringLiteral(":/app32.xpm")));
    icon.addPixmap(QPixmap(QStringLiteral(":/app16.xpm")));
    return icon;
}

CAboutDlg::CAboutDlg(QWidget* parent) : CDialog(parent) {
    setWindowTitle(QStringLiteral("About Tonewright"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setObjectName(QStringLiteral("AboutDialog"));
    setFixedSize(MapDialogSize(235, 55));

    auto* icon = new QLabel(this);
    icon->setPixmap(QPixmap(QStringLiteral(":/app32.xpm")));
    icon->setGeometry(MapDialogRect(11, 17, 20, 20));
    icon->setAccessibleName(QStringLiteral("Tonewright icon"));

    auto* text = new QLabel(QStringLiteral("Tonewright Version 2.0.02"), this);
    text->setTextFormat(Qt::PlainText);
    text->setGeometry(MapDialogRect(40, 10, 119, 8).adjusted(0, 0, 0, 4));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setGeometry(MapDialogRect(178, 7, 50, 14));
    ok->setDefault(true);
    SetControlId(ok, IDOK);
    connect(ok, &QPushButton::clicked, this, [this] { OnOK(); });
    ok->setFocus();
}
