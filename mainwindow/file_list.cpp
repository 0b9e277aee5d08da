// The file list: one row per added file, with the media facts the probe found.

#include <QStringList>
#include <algorithm>
#include <cstdint>
#include <limits>

#include "controls/check_list_ctrl.h"
#include "engine/av_converter.h"
#include "interface_texts.h"
#include "tarnwick_dlg.h"
#include "time_text.h"

extern "C" {
#include <libavutil/avutil.h>
}

namespace {

// Column 2: the duration as time text. An unknown (or nonsensical negative)
// duration leaves the cell empty, so a job on the file runs without a
// percentage instead of with a made-up length.
QString DurationText(std::int64_t microseconds) {
    if (microseconds == AV_NOPTS_VALUE || microseconds < 0) return QString();
    const std::int64_t milliseconds = microseconds / 1000;
    const int shown = milliseconds > std::numeric_limits<int>::max()
                          ? std::numeric_limits<int>::max()
                          : static_cast<int>(milliseconds);
    return QString::fromStdString(FormatTime(shown));
}

QString FrameRateText(int numerator, int denominator) {
    // A zero denominator has no finite rate; it shows as 0.
    const double rate = denominator == 0 ? 0.0 : static_cast<double>(numerator) / denominator;
    return QString::asprintf("%5.2ffps", rate);
}

}  // namespace

QString CTarnwickDlg::ExtensionOf(const QString& path) {
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? path : path.mid(dot + 1);
}

void CTarnwickDlg::AppendFileRow(const QString& path) {
    if (!g_pEngine) return;  // only ever called after a probe
    const CAVConverter& engine = *g_pEngine;

    CCheckListCtrl& list = *m_fileList;
    if (list.RowCount() > 0) list.SetRowSelected(0, false);

    QStringList texts(kColumnCount);
    texts[kColPath] = path;
    texts[kColExtension] = ExtensionOf(path);
    texts[kColDuration] = DurationText(engine.m_llDuration);
    texts[kColSize] = QString::asprintf("%d*%d", engine.m_nInWidth, engine.m_nInHeight);
    // Most MKV, WebM and TS files do not tell the video's bit rate: an empty
    // cell, not a made-up 0.
    if (engine.m_nVideoBitRate > 0)
        texts[kColBitRate] = QString::asprintf("%dkbps", engine.m_nVideoBitRate / 1000);
    texts[kColFrameRate] = FrameRateText(engine.m_nFpsNum, engine.m_nFpsDen);
    texts[kColStatus] = InterfaceText(lang::kStatusAdded);
    texts[kColProfile] = QString::asprintf("%d", engine.m_nVideoProfile);

    const int row = list.AppendRow(texts);
    list.SetCheck(row, true);
    // The number columns sort by value; an unknown value stays unset and
    // sorts after the known ones.
    if (!texts[kColDuration].isEmpty())
        list.SetSortKey(row, kColDuration, static_cast<qlonglong>(engine.m_llDuration));
    list.SetSortKey(row, kColSize,
                    static_cast<qlonglong>(engine.m_nInWidth) * std::max(engine.m_nInHeight, 0));
    if (engine.m_nVideoBitRate > 0) list.SetSortKey(row, kColBitRate, engine.m_nVideoBitRate);
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
