#include "platform/Dialog.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QVariant>

namespace {
const char* const kControlId = "controlId";
}

CDialog::CDialog(QWidget* parent) : QDialog(parent) {}

int CDialog::DoModal() {
    m_ended = false;
    m_result = IDCANCEL;
    OnInitDialog();
    if (m_ended) {
        return m_result;
    }
    exec();
    return m_result;
}

void CDialog::EndDialog(int result) {
    m_ended = true;
    m_result = result;
    if (isVisible()) {
        done(result);
    }
}

void CDialog::SetControlId(QWidget* control, int id) {
    control->setProperty(kControlId, id);
}

QWidget* CDialog::GetDlgItem(int id) const {
    for (QWidget* w : findChildren<QWidget*>()) {
        QVariant v = w->property(kControlId);
        if (v.isValid() && v.toInt() == id) {
            return w;
        }
    }
    return nullptr;
}

void CDialog::SetDlgItemText(int id, const std::string& text) {
    QWidget* w = GetDlgItem(id);
    QString q = QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
    if (auto* label = qobject_cast<QLabel*>(w)) {
        label->setText(q);
    } else if (auto* button = qobject_cast<QPushButton*>(w)) {
        button->setText(q);
    } else if (w != nullptr) {
        w->setWindowTitle(q);
    }
}

std::string CDialog::GetDlgItemText(int id) const {
    QWidget* w = GetDlgItem(id);
    if (auto* label = qobject_cast<QLabel*>(w)) {
        return label->text().toLocal8Bit().toStdString();
    }
    if (auto* button = qobject_cast<QPushButton*>(w)) {
        return button->text().toLocal8Bit().toStdString();
    }
    return {};
}

QSize CDialog::MapDialogSize(int width, int height) const {
    QFontMetrics fm(font());
    // The average width over the alphabet, as dialog base units are defined.
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    int baseX = (fm.horizontalAdvance(alphabet) / 26 + 1) / 2;
    int baseY = fm.height();
    return QSize(width * baseX / 4, height * baseY / 8);
}

QRect CDialog::MapDialogRect(int x, int y, int width, int height) const {
    QSize origin = MapDialogSize(x, y);
    return QRect(QPoint(origin.width(), origin.height()), MapDialogSize(width, height));
}
