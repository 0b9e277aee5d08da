// The file list: one row per added file, with the media facts the probe found.

#include <QStringList>
#include <algorithm>
#include <string>

#include "controls/check_list_ctrl.h"
#include "engine/av_converter.h"
#include "frontend_core/probe_cells.h"
#include "mainwindow/interface_texts.h"
#include "mainwindow/tarnwick_dlg.h"

namespace {

QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }

}  // namespace

void CTarnwickDlg::AppendFileRow(const QString& path) {
    if (!g_pEngine) return;  // only ever called after a probe
    const velmora::ProbeFacts& facts = g_pEngine->m_lastProbe;

    CCheckListCtrl& list = *m_fileList;
    if (list.RowCount() > 0) list.SetRowSelected(0, false);

    const ProbeCells cells = CellsOfProbe(path.toStdString(), facts);
    QStringList texts(kColumnCount);
    texts[kColPath] = path;
    texts[kColExtension] = Text(cells.extension);
    texts[kColDuration] = Text(cells.duration);
    texts[kColSize] = Text(cells.size);
    texts[kColBitRate] = Text(cells.bitRate);
    texts[kColFrameRate] = Text(cells.frameRate);
    texts[kColStatus] = InterfaceText(lang::kStatusAdded);
    texts[kColProfile] = Text(cells.profile);

    const int row = list.AppendRow(texts);
    list.SetCheck(row, true);
    // The number columns sort by value; an unknown value stays unset and
    // sorts after the known ones.
    if (!texts[kColDuration].isEmpty())
        list.SetSortKey(row, kColDuration, static_cast<qlonglong>(facts.duration));
    list.SetSortKey(row, kColSize, static_cast<qlonglong>(facts.width) * std::max(facts.height, 0));
    if (facts.videoBitRate > 0)
        list.SetSortKey(row, kColBitRate, static_cast<qlonglong>(facts.videoBitRate));
    if (facts.fpsDen != 0)
        list.SetSortKey(row, kColFrameRate, static_cast<double>(facts.fpsNum) / facts.fpsDen);
    list.SetSortKey(row, kColProfile, facts.videoProfile);
    // The whole path, however narrow its column.
    list.SetRowToolTip(row, path);
}

void CTarnwickDlg::DeleteSelectedRow() {
    CCheckListCtrl& list = *m_fileList;
    const int deleted = list.FirstSelectedRow();
    if (deleted < 0) return;
    // Every selected row goes, from the last up so the row numbers of the
    // others stay put.
    for (int row = list.RowCount() - 1; row >= deleted; --row)
        if (list.IsRowSelected(row)) list.DeleteRow(row);
    list.viewport()->update();

    const int left = list.RowCount();
    if (left == 0) return;
    // The row that took the deleted one's place, or the new last row.
    list.SelectAndFocusRow(deleted == left ? deleted - 1 : deleted);
    list.setFocus();
}

void CTarnwickDlg::OnDeleteFile() { DeleteSelectedRow(); }

void CTarnwickDlg::OnClearList() { m_fileList->DeleteAllRows(); }
