#pragma once
// A modal dialog in the manner the program's windows are written: OnInitDialog runs before the
// window is first shown and may end the dialog at once; Cancel, Escape and the window's close
// button all arrive at OnCancel.
#include <QDialog>
#include <string>

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

class CDialog : public QDialog {
public:
    explicit CDialog(QWidget* parent = nullptr);

    // Runs OnInitDialog, then the dialog's own event loop unless it has already ended.
    int DoModal();
    void EndDialog(int result);
    bool HasEnded() const { return m_ended; }

    // Controls are found by their identifier, as the dialog templates name them.
    void SetControlId(QWidget* control, int id);
    QWidget* GetDlgItem(int id) const;
    void SetDlgItemText(int id, const std::string& text);
    std::string GetDlgItemText(int id) const;

    // Converts dialog units to pixels with the dialog font's metrics: x by the average
    // character width / 4, y by the character height / 8.
    QRect MapDialogRect(int x, int y, int width, int height) const;
    QSize MapDialogSize(int width, int height) const;

protected:
    virtual bool OnInitDialog() { return true; }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    virtual void OnOK() { EndDialog(IDOK); }

    void reject() override { OnCancel(); }
    void accept() override { OnOK(); }

private:
    bool m_ended = false;
    int m_result = IDCANCEL;
};
