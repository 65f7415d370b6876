#pragma once
// The tree view the dialog shows the catalog in: items with text and one integer of data.
#include <QTreeWidget>
#include <cstdint>
#include <functional>
#include <string>

using HTREEITEM = QTreeWidgetItem*;
inline HTREEITEM const TVI_ROOT = nullptr;

class CTreeCtrl : public QTreeWidget {
public:
    explicit CTreeCtrl(QWidget* parent = nullptr);

    // Inserts an item after the last child of `parent` (the root when TVI_ROOT).
    HTREEITEM InsertItem(const std::string& text, HTREEITEM parent = TVI_ROOT);
    void SetItemData(HTREEITEM item, intptr_t data);
    intptr_t GetItemData(HTREEITEM item) const;
    std::string GetItemText(HTREEITEM item) const;
    // Text in a further column; the first column is the item's own text.
    void SetItemText(HTREEITEM item, int column, const std::string& text);
    HTREEITEM GetSelectedItem() const;
    bool SelectItem(HTREEITEM item);
    void DeleteAllItems() { clear(); }

    // Selection change, by the user or by program, and a double click on an item.
    void SetOnSelChanged(std::function<void()> handler) { m_onSelChanged = std::move(handler); }
    void SetOnDblClk(std::function<void()> handler) { m_onDblClk = std::move(handler); }

private:
    std::function<void()> m_onSelChanged;
    std::function<void()> m_onDblClk;
};
