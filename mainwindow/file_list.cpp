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
    const CAVConverter& engine = *g_pEngine;

    CCheckListCtrl& list = *m_fileList;
    if (list.RowCount() > 0) list.SetRowSelected(0, false);

    const ProbeCells cells = CellsOfProbe(path.toStdString(), engine);
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
        list.SetSortKey(row, kColDuration, static_cast<qlonglong>(engine.m_llDuration));
    list.SetSortKey(row, kColSize,
                    static_cast<qlonglong>(engine.m_nInWidth) * std::max(engine.m_nInHeight, 0));
    if (engine.m_llVideoBitRate > 0)
        list.SetSortKey(row, kColBitRate, static_cast<qlonglong>(engine.m_llVideoBitRate));
    if (engine.m_nFpsDen != 0)
        list.SetSortKey(row, kColFrameRate,
                        static_cast<double>(engine.m_nFpsNum) / engine.m_nFpsDen);
    list.SetSortKey(row, kColProfile, engine.m_nVideoProfile);
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
