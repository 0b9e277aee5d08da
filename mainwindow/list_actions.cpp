// What the file list offers beyond adding and removing: a menu on its rows,
// double-click on a finished row, and the line under it that counts the rows
// and sums up the last job.

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QUrl>

#include "controls/check_list_ctrl.h"
#include "desktop_opener.h"
#include "interface_texts.h"
#include "tarnwick_dlg.h"

QString CTarnwickDlg::OutputOfRow(int row) const {
    const QString output = m_fileList->RowData(row).toString();
    // Only a copy that is still there: it may have been moved or deleted
    // since the job.
    return !output.isEmpty() && QFileInfo(output).isFile() ? output : QString();
}

std::unique_ptr<QMenu> CTarnwickDlg::MakeRowMenu(int row) {
    auto menu = std::make_unique<QMenu>(this);
    if (row < 0 || row >= m_fileList->RowCount()) return menu;
    const QString output = OutputOfRow(row);
    const QString source = m_fileList->ItemText(row, kColPath);

    QAction* open = menu->addAction(InterfaceText(lang::kMenuOpenOutput),
                                    [this, output] { OpenOrTell(this, output); });
    open->setEnabled(!output.isEmpty());
    // The copy's folder once there is a copy, else the source's.
    const QString shown = QFileInfo(output.isEmpty() ? source : output).absolutePath();
    menu->addAction(InterfaceText(lang::kMenuShowInFolder),
                    [this, shown] { OpenOrTell(this, shown); });
    menu->addSeparator();
    QAction* remove = menu->addAction(InterfaceText(lang::kDeleteFileHint), this,
                                      &CTarnwickDlg::DeleteSelectedRow);
    remove->setEnabled(!IsAdding());
    menu->addAction(InterfaceText(lang::kMenuCopyPath), [this] {
        QStringList paths;
        for (int i = 0; i < m_fileList->RowCount(); ++i)
            if (m_fileList->IsRowSelected(i)) paths << m_fileList->ItemText(i, kColPath);
        QGuiApplication::clipboard()->setText(paths.join(QLatin1Char('\n')));
    });
    return menu;
}

void CTarnwickDlg::OnListMenuRequested(const QPoint& at) {
    const int row = m_fileList->indexOfTopLevelItem(m_fileList->itemAt(at));
    if (row < 0) return;
    // The menu speaks of the row under the pointer, together with the other
    // selected ones when it is one of them.
    if (!m_fileList->IsRowSelected(row)) {
        m_fileList->clearSelection();
        m_fileList->SelectAndFocusRow(row);
    }
    const std::unique_ptr<QMenu> menu = MakeRowMenu(row);
    menu->exec(m_fileList->viewport()->mapToGlobal(at));
}

void CTarnwickDlg::OnRowDoubleClicked(int row) {
    const QString output = OutputOfRow(row);
    if (!output.isEmpty()) OpenOrTell(this, output);
}

void CTarnwickDlg::UpdateSummaryLine() {
    QString line =
        QString::number(m_fileList->RowCount()) + QLatin1Char(' ') + InterfaceText(lang::kRowCount);
    if (!m_strJobSummary.isEmpty()) line += QStringLiteral("    ") + m_strJobSummary;
    m_labelSummary->setText(line);
}
