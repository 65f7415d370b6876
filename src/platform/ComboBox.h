#pragma once
// A sorted drop-down list. Items added are placed in ascending order without regard to letter
// case; an item inserted at a position stays there. Each item keeps its text's exact bytes, so
// a file name that is not valid text on screen still comes back as the file system spelled it.
#include <QComboBox>
#include <functional>
#include <string>

constexpr int CB_ERR = -1;

class CComboBox : public QComboBox {
public:
    explicit CComboBox(QWidget* parent = nullptr);

    void ResetContent();
    int AddString(const std::string& text);
    int InsertString(int index, const std::string& text);
    // The first item from the start whose whole text equals `text`, letter case ignored.
    int FindStringExact(int startAfter, const std::string& text) const;
    int GetCount() const { return count(); }
    int GetCurSel() const { return currentIndex(); }
    // Selecting by program never counts as the user's choice.
    int SetCurSel(int index);
    std::string GetLBText(int index) const;
    void EnableWindow(bool enable) { setEnabled(enable); }

    // Called only when the user chooses an item (mouse or keyboard), never for SetCurSel.
    void SetOnSelChange(std::function<void()> handler) { m_onSelChange = std::move(handler); }

private:
    std::function<void()> m_onSelChange;
};
