#include "controls/check_list_ctrl.h"

#include <QItemSelectionModel>
#include <QPainter>
#include <QStyledItemDelegate>
#include <memory>

#include "controls/check_head_ctrl.h"
#include "resources/pictures.h"

namespace {

constexpr int kCheckStripPicture = 292;
// Where a cell keeps its sort key, and column 0 the caller's row data.
constexpr int kSortKeyRole = Qt::UserRole;
constexpr int kRowDataRole = Qt::UserRole + 1;

bool IsUnchecked(const QVariant& state) {
    return state.isValid() && state.toInt() == Qt::Unchecked;
}

// Paints each cell as usual, then a thin line along its right and bottom
// edges, so the list shows a grid.
class GridLineDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(QColor(208, 215, 222));
        const QRect r = option.rect;
        painter->drawLine(r.topRight(), r.bottomRight());
        painter->drawLine(r.bottomLeft(), r.bottomRight());
        painter->restore();
    }
};

}  // namespace

// A row of the list. It tells the list about every change of its check box
// as it happens, with the state before and after, so the list keeps its count
// of unchecked rows without walking the rows.
class CCheckListItem : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;

    void setData(int column, int role, const QVariant& value) override {
        if (column == 0 && role == Qt::CheckStateRole) {
            const bool wasUnchecked = IsUnchecked(data(0, Qt::CheckStateRole));
            if (auto* list = qobject_cast<CCheckListCtrl*>(treeWidget())) {
                // Counted before the change is announced, so slots that see
                // itemChanged already see the new count.
                list->OnRowCheckChanged(wasUnchecked, IsUnchecked(value));
            }
        }
        QTreeWidgetItem::setData(column, role, value);
    }

    // By the sort keys where both rows have one, else by the text as people
    // read it (numbers in names by value, no regard to case).
    bool operator<(const QTreeWidgetItem& other) const override {
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        const QVariant mine = data(column, kSortKeyRole);
        const QVariant theirs = other.data(column, kSortKeyRole);
        if (mine.isValid() && theirs.isValid())
            return QVariant::compare(mine, theirs) == QPartialOrdering::Less;
        if (mine.isValid() != theirs.isValid()) return mine.isValid();  // unknown last
        return NaturalLess(text(column), other.text(column));
    }

private:
    // "v9" before "v10": runs of digits compare by value, the rest without
    // regard to case.
    static bool NaturalLess(const QString& a, const QString& b) {
        qsizetype i = 0, j = 0;
        while (i < a.size() && j < b.size()) {
            if (a[i].isDigit() && b[j].isDigit()) {
                const qsizetype startA = i, startB = j;
                while (i < a.size() && a[i].isDigit()) ++i;
                while (j < b.size() && b[j].isDigit()) ++j;
                // Without leading zeros, the longer run is the larger number.
                QStringView x = QStringView(a).mid(startA, i - startA);
                QStringView y = QStringView(b).mid(startB, j - startB);
                while (x.size() > 1 && x.front() == QLatin1Char('0')) x = x.mid(1);
                while (y.size() > 1 && y.front() == QLatin1Char('0')) y = y.mid(1);
                if (x.size() != y.size()) return x.size() < y.size();
                if (const int order = x.compare(y); order != 0) return order < 0;
                continue;
            }
            const QChar x = a[i].toCaseFolded(), y = b[j].toCaseFolded();
            if (x != y) return x < y;
            ++i;
            ++j;
        }
        return a.size() - i < b.size() - j;
    }
};

CCheckListCtrl::CCheckListCtrl(QWidget* parent) : QTreeWidget(parent) {
    // The view takes ownership of its header.
    m_header = new CCheckHeadCtrl(this);
    setHeader(m_header);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    setItemDelegate(new GridLineDelegate(this));

    connect(m_header, &CCheckHeadCtrl::checkAllClicked, this, &CCheckListCtrl::SetAllChecks);
    connect(m_header, &QHeaderView::sectionClicked, this, [this](int column) {
        if (column == 0) return;
        const bool again = m_header->isSortIndicatorShown() && sortColumn() == column &&
                           m_header->sortIndicatorOrder() == Qt::AscendingOrder;
        SortByColumn(column, again ? Qt::DescendingOrder : Qt::AscendingOrder);
    });
    connect(this, &QTreeWidget::itemChanged, this, &CCheckListCtrl::OnItemChanged);
    connect(model(), &QAbstractItemModel::rowsInserted, this, &CCheckListCtrl::OnRowsInserted);
    connect(model(), &QAbstractItemModel::rowsAboutToBeRemoved, this,
            &CCheckListCtrl::OnRowsAboutToBeRemoved);
    connect(model(), &QAbstractItemModel::rowsRemoved, this, &CCheckListCtrl::UpdateHeaderImage);
    connect(model(), &QAbstractItemModel::modelReset, this, &CCheckListCtrl::RecountUnchecked);
}

CCheckListCtrl::~CCheckListCtrl() {
    // The model outlives this part of the object and resets itself when the
    // base class deletes it; its signals must not reach the slots here.
    disconnect(model(), nullptr, this, nullptr);
}

bool CCheckListCtrl::InitCheckHeader() {
    if (m_bHeaderReady) {
        return true;
    }
    // Sorting stays off, and switching it off makes the header unclickable.
    m_header->setSectionsClickable(true);
    m_header->SetImageStrip(LoadPicture(kCheckStripPicture));
    m_header->SetCheckImage(CCheckHeadCtrl::kImageUnchecked);
    m_bHeaderReady = true;
    // Rows that are already there decide what the box shows.
    UpdateHeaderImage();
    return true;
}

int CCheckListCtrl::AppendRow(const QStringList& texts) {
    auto item = std::make_unique<CCheckListItem>();
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
    for (int column = 0; column < texts.size(); ++column) {
        item->setText(column, texts.at(column));
    }
    item->setCheckState(0, Qt::Unchecked);
    // The list owns the item from here on.
    addTopLevelItem(item.release());
    return topLevelItemCount() - 1;
}

int CCheckListCtrl::RowCount() const { return topLevelItemCount(); }

void CCheckListCtrl::SetSortKey(int row, int column, const QVariant& key) {
    if (QTreeWidgetItem* item = Row(row)) item->setData(column, kSortKeyRole, key);
}

void CCheckListCtrl::SetRowData(int row, const QVariant& data) {
    if (QTreeWidgetItem* item = Row(row)) item->setData(0, kRowDataRole, data);
}

QVariant CCheckListCtrl::RowData(int row) const {
    const QTreeWidgetItem* item = Row(row);
    return item ? item->data(0, kRowDataRole) : QVariant();
}

void CCheckListCtrl::SortByColumn(int column, Qt::SortOrder order) {
    // Sorted once, not kept sorted: rows keep the index AppendRow gave them
    // until the next sort.
    sortItems(column, order);
    m_header->setSortIndicator(column, order);
    m_header->setSortIndicatorShown(true);
}

QTreeWidgetItem* CCheckListCtrl::Row(int row) const {
    return row >= 0 && row < topLevelItemCount() ? topLevelItem(row) : nullptr;
}

QString CCheckListCtrl::ItemText(int row, int column) const {
    const QTreeWidgetItem* item = Row(row);
    return item ? item->text(column) : QString();
}

bool CCheckListCtrl::SetItemText(int row, int column, const QString& text) {
    QTreeWidgetItem* item = Row(row);
    if (!item || column < 0) {
        return false;
    }
    item->setText(column, text);
    return true;
}

bool CCheckListCtrl::GetCheck(int row) const {
    const QTreeWidgetItem* item = Row(row);
    return item && item->data(0, Qt::CheckStateRole).toInt() == Qt::Checked;
}

bool CCheckListCtrl::SetCheck(int row, bool checked) {
    QTreeWidgetItem* item = Row(row);
    if (!item) {
        return false;
    }
    item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
    return true;
}

void CCheckListCtrl::SetRowToolTip(int row, const QString& text) {
    QTreeWidgetItem* item = Row(row);
    if (!item) return;
    for (int column = 0; column < columnCount(); ++column) item->setToolTip(column, text);
}

void CCheckListCtrl::SetAllChecks(bool checked) {
    // The header is set once at the end instead of after every row.
    m_bBulkChange = true;
    const Qt::CheckState state = checked ? Qt::Checked : Qt::Unchecked;
    for (int row = 0, rows = topLevelItemCount(); row < rows; ++row) {
        topLevelItem(row)->setCheckState(0, state);
    }
    m_bBulkChange = false;
    UpdateHeaderImage();
}

bool CCheckListCtrl::IsRowSelected(int row) const {
    const QTreeWidgetItem* item = Row(row);
    return item && item->isSelected();
}

bool CCheckListCtrl::SetRowSelected(int row, bool selected) {
    QTreeWidgetItem* item = Row(row);
    if (!item) {
        return false;
    }
    item->setSelected(selected);
    return true;
}

bool CCheckListCtrl::SelectAndFocusRow(int row) {
    QTreeWidgetItem* item = Row(row);
    if (!item) {
        return false;
    }
    item->setSelected(true);
    selectionModel()->setCurrentIndex(indexFromItem(item), QItemSelectionModel::NoUpdate);
    return true;
}

int CCheckListCtrl::FocusedRow() const {
    const QModelIndex current = currentIndex();
    return current.isValid() && !current.parent().isValid() ? current.row() : -1;
}

int CCheckListCtrl::FirstSelectedRow() const {
    int first = -1;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        if (range.parent().isValid() || range.isEmpty()) {
            continue;
        }
        if (first < 0 || range.top() < first) {
            first = range.top();
        }
    }
    return first;
}

bool CCheckListCtrl::DeleteRow(int row) {
    if (!Row(row)) {
        return false;
    }
    std::unique_ptr<QTreeWidgetItem> removed(takeTopLevelItem(row));
    RecountUnchecked();
    return true;
}

void CCheckListCtrl::DeleteAllRows() {
    clear();
    RecountUnchecked();
}

void CCheckListCtrl::SetBkColor(const QColor& color) {
    QPalette pal = palette();
    pal.setColor(QPalette::Base, color);
    pal.setColor(QPalette::AlternateBase, color);
    setPalette(pal);
}

void CCheckListCtrl::OnRowCheckChanged(bool wasUnchecked, bool isUnchecked) {
    if (wasUnchecked == isUnchecked) {
        return;
    }
    m_nUnchecked += isUnchecked ? 1 : -1;
    if (!m_bBulkChange) {
        UpdateHeaderImage();
    }
}

void CCheckListCtrl::OnItemChanged(QTreeWidgetItem* item, int column) {
    // Rows made elsewhere through the QTreeWidget API do not report their
    // previous state; count again for them.
    if (column == 0 && !dynamic_cast<CCheckListItem*>(item)) {
        RecountUnchecked();
    }
}

void CCheckListCtrl::OnRowsInserted(const QModelIndex& parent, int first, int last) {
    if (parent.isValid()) {
        return;
    }
    for (int row = first; row <= last; ++row) {
        if (IsUnchecked(topLevelItem(row)->data(0, Qt::CheckStateRole))) {
            ++m_nUnchecked;
        }
    }
    UpdateHeaderImage();
}

void CCheckListCtrl::OnRowsAboutToBeRemoved(const QModelIndex& parent, int first, int last) {
    if (parent.isValid()) {
        return;
    }
    for (int row = first; row <= last; ++row) {
        if (IsUnchecked(topLevelItem(row)->data(0, Qt::CheckStateRole))) {
            --m_nUnchecked;
        }
    }
}

void CCheckListCtrl::RecountUnchecked() {
    int unchecked = 0;
    for (int row = 0, rows = topLevelItemCount(); row < rows; ++row) {
        if (IsUnchecked(topLevelItem(row)->data(0, Qt::CheckStateRole))) {
            ++unchecked;
        }
    }
    m_nUnchecked = unchecked;
    UpdateHeaderImage();
}

void CCheckListCtrl::UpdateHeaderImage() {
    if (!m_bHeaderReady) {
        return;
    }
    // An empty list has nothing checked: its box is empty.
    m_header->SetCheckImage(m_nUnchecked == 0 && topLevelItemCount() > 0
                                ? CCheckHeadCtrl::kImageChecked
                                : CCheckHeadCtrl::kImageUnchecked);
}
