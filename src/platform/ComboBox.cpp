#include "platform/ComboBox.h"

#include "platform/StickPath.h"

#include <QByteArray>

namespace {
QString Display(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}
} // namespace

CComboBox::CComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    setInsertPolicy(QComboBox::NoInsert);
    connect(this, &QComboBox::activated, this, [this](int) {
        if (m_onSelChange) {
            m_onSelChange();
        }
    });
}

void CComboBox::ResetContent() {
    clear();
    setCurrentIndex(-1);
}

int CComboBox::AddString(const std::string& text) {
    int index = 0;
    while (index < count() && CompareNoCase(GetLBText(index), text) <= 0) {
        ++index;
    }
    return InsertString(index, text);
}

int CComboBox::InsertString(int index, const std::string& text) {
    if (index < 0 || index > count()) {
        index = count();
    }
    // Inserting into an empty list would make the new item current; the list starts unselected.
    int current = currentIndex();
    insertItem(index, Display(text), QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    if (current < 0) {
        setCurrentIndex(-1);
    }
    return index;
}

int CComboBox::FindStringExact(int startAfter, const std::string& text) const {
    int n = count();
    for (int i = 0; i < n; ++i) {
        int index = (startAfter + 1 + i) % n;
        if (startAfter < 0) {
            index = i;
        }
        if (EqualsNoCase(GetLBText(index), text)) {
            return index;
        }
    }
    return CB_ERR;
}

int CComboBox::SetCurSel(int index) {
    if (index < -1 || index >= count()) {
        setCurrentIndex(-1);
        return CB_ERR;
    }
    setCurrentIndex(index);
    return index;
}

std::string CComboBox::GetLBText(int index) const {
    if (index < 0 || index >= count()) {
        return {};
    }
    QByteArray bytes = itemData(index).toByteArray();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}
