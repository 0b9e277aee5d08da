#pragma once

#include <QColor>
#include <QStringList>
#include <QTreeWidget>

class CCheckHeadCtrl;

// A flat report list whose rows carry check boxes in column 0 and whose
// column-0 header carries a check-all box. Rows are full-row selected, several
// at a time. The header box shows whether every row is checked; clicking it
// checks or unchecks all rows.
//
// Rows are addressed by index (0 = top). Rows are added with AppendRow; a row
// without a check box (added through the QTreeWidget API without a check
// state) never counts as unchecked.
class CCheckListCtrl : public QTreeWidget {
    Q_OBJECT

public:
    explicit CCheckListCtrl(QWidget* parent = nullptr);
    ~CCheckListCtrl() override;

    // Shows the check-all box in the header of column 0. Call once, after the
    // columns exist; later calls do nothing. Always returns true.
    bool InitCheckHeader();
    bool IsHeaderReady() const { return m_bHeaderReady; }
    CCheckHeadCtrl* CheckHeader() const { return m_header; }

    // Appends an unchecked row with `texts` in columns 0, 1, ... Returns the
    // new row's index. The row is neither selected nor scrolled to.
    int AppendRow(const QStringList& texts);
    int RowCount() const;

    QString ItemText(int row, int column) const;
    bool SetItemText(int row, int column, const QString& text);

    bool GetCheck(int row) const;
    // The text shown when the pointer rests on any cell of `row`.
    void SetRowToolTip(int row, const QString& text);
    bool SetCheck(int row, bool checked);
    // Checks or unchecks every row, as a click on the header box does.
    void SetAllChecks(bool checked);
    int UncheckedRowCount() const { return m_nUnchecked; }

    // Selection and focus, row by row; other rows keep their states.
    bool IsRowSelected(int row) const;
    bool SetRowSelected(int row, bool selected);
    // Selects `row` and makes it the focused (current) row.
    bool SelectAndFocusRow(int row);
    int FocusedRow() const;
    // The lowest selected row index, or -1.
    int FirstSelectedRow() const;

    bool DeleteRow(int row);
    void DeleteAllRows();

    // What a cell sorts by when it is not its text (a number for durations,
    // sizes and rates); an invalid value sorts by the text.
    void SetSortKey(int row, int column, const QVariant& key);
    // Data a caller keeps with a row (a finished file's output, say); it
    // moves with the row when the list is sorted.
    void SetRowData(int row, const QVariant& data);
    QVariant RowData(int row) const;
    // Sorts the rows once by `column`; rows added later go to the end. A
    // click on the header of any column but the first (whose click is the
    // check-all box's) sorts by it, a second click the other way round.
    void SortByColumn(int column, Qt::SortOrder order);

    // Background colour of the rows area.
    void SetBkColor(const QColor& color);

private:
    friend class CCheckListItem;

    void OnRowCheckChanged(bool wasUnchecked, bool isUnchecked);
    void OnItemChanged(QTreeWidgetItem* item, int column);
    void OnRowsInserted(const QModelIndex& parent, int first, int last);
    void OnRowsAboutToBeRemoved(const QModelIndex& parent, int first, int last);
    void RecountUnchecked();
    void UpdateHeaderImage();
    QTreeWidgetItem* Row(int row) const;

    bool m_bHeaderReady = false;
    CCheckHeadCtrl* m_header = nullptr;  // owned by the view
    int m_nUnchecked = 0;                // rows whose box is unchecked
    bool m_bBulkChange = false;          // SetAllChecks is running
};
