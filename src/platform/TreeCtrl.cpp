#include "platform/TreeCtrl.h"

#include <QHeaderView>

CTreeCtrl::CTreeCtrl(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(1);
    setHeaderHidden(true);
    setRootIsDecorated(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragEnabled(false);
    setAllColumnsShowFocus(true);
    setUniformRowHeights(true);
    // The current item is the selection: keyboard moves select, as a tree view does.
    connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current, QTreeWidgetItem*) {
        if (current != nullptr && !current->isSelected()) {
            current->setSelected(true);
        }
        if (m_onSelChanged) {
            m_onSelChanged();
        }
    });
    connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem*, int) {
        if (m_onDblClk) {
            m_onDblClk();
        }
    });
}

HTREEITEM CTreeCtrl::InsertItem(const std::string& text, HTREEITEM parent) {
    auto* item =
        new QTreeWidgetItem(QStringList{QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()))});
    if (parent == TVI_ROOT) {
        addTopLevelItem(item);
    } else {
        parent->addChild(item);
    }
    return item;
}

void CTreeCtrl::SetItemData(HTREEITEM item, intptr_t data) {
    item->setData(0, Qt::UserRole, QVariant::fromValue<qlonglong>(data));
}

intptr_t CTreeCtrl::GetItemData(HTREEITEM item) const {
    return static_cast<intptr_t>(item->data(0, Qt::UserRole).toLongLong());
}

std::string CTreeCtrl::GetItemText(HTREEITEM item) const {
    return item->text(0).toLocal8Bit().toStdString();
}

void CTreeCtrl::SetItemText(HTREEITEM item, int column, const std::string& text) {
    item->setText(column, QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size())));
}

HTREEITEM CTreeCtrl::GetSelectedItem() const {
    return currentItem();
}

bool CTreeCtrl::SelectItem(HTREEITEM item) {
    setCurrentItem(item);
    return item != nullptr;
}
