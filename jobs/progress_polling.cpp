// Progress polling: while a job runs, the main window reads the engine's job
// record on its timer and shows it in the progress dialog and in the file
// list; the same tick notices the end of the job or a failure, ends the
// dialog and reports the outcome once. The worker never calls the window.

#include <QFileInfo>
#include <QTimer>
#include <QUrl>
#include <algorithm>

#include "av_convert_dlg.h"
#include "controls/check_list_ctrl.h"
#include "desktop_opener.h"
#include "engine/av_converter.h"
#include "interface_texts.h"
#include "message_box.h"
#include "tarnwick_dlg.h"
#include "window_grab.h"

namespace {

int StatusOf(const CAVConverter& engine, int input) {
    return engine.m_status[input].load(std::memory_order_relaxed);
}

bool AnyInputFailed(const CAVConverter& engine, int total) {
    for (int i = 0; i < total; ++i) {
        if (StatusOf(engine, i) == kStatusFailed) return true;
    }
    return false;
}

void MarkRow(CTarnwickDlg& window, int row, int status) {
    CCheckListCtrl& list = window.FileList();
    if (row < 0 || row >= list.RowCount()) return;
    if (status == kStatusSucceeded) {
        list.SetItemText(row, CTarnwickDlg::kColStatus, InterfaceText(lang::kStatusDone));
        // Unchecked, so running the command again does not copy it twice.
        list.SetCheck(row, false);
    } else if (status == kStatusFailed) {
        list.SetItemText(row, CTarnwickDlg::kColStatus, InterfaceText(lang::kStatusFailed));
    }
}

// While the job runs: marks the inputs the worker has finished since the
// last tick (m_nDoneCount of them are marked already), up to the first of
// the `passed` inputs whose result is not in yet. Each row is marked once,
// so a tick costs no more than the rows it has news about.
void MarkNewlyDoneRows(CTarnwickDlg& window, const CAVConverter& engine, int passed) {
    const int inputs = std::min(passed, static_cast<int>(window.m_checkedRows.size()));
    while (window.m_nDoneCount < inputs &&
           StatusOf(engine, window.m_nDoneCount) == kStatusSucceeded) {
        MarkRow(window, window.m_checkedRows[window.m_nDoneCount], kStatusSucceeded);
        ++window.m_nDoneCount;
    }
}

// At the end of the job, once the worker has ended: every input's final
// result into its row. Inputs still pending (stopped, or never reached)
// keep their rows as they were.
void MarkAllResults(CTarnwickDlg& window, const CAVConverter& engine, int total) {
    const int inputs = std::min(total, static_cast<int>(window.m_checkedRows.size()));
    int done = 0;
    for (int j = 0; j < inputs; ++j) {
        const int status = StatusOf(engine, j);
        MarkRow(window, window.m_checkedRows[j], status);
        if (status == kStatusSucceeded) ++done;
    }
    window.m_nDoneCount = done;
}

// The help address of the language file, as the help link reads it.
QUrl HelpAddress() {
    const QString address = InterfaceText(lang::kUrl).trimmed();
    QUrl url(address, QUrl::StrictMode);
    if (url.isValid() && url.scheme().isEmpty()) url = QUrl::fromUserInput(address);
    return url;
}

}  // namespace

void CTarnwickDlg::OnTimer() {
    if (!g_pEngine || m_progressDlg == nullptr) {
        KillProgressTimer();
        return;
    }
    CAVConverter& engine = *g_pEngine;
    CAVConvertDlg& dialog = *m_progressDlg;
    CCheckListCtrl& list = *m_fileList;

    // One reading of the worker's position per tick, so every step below
    // speaks of the same moment.
    const int current = engine.m_nCurrent.load(std::memory_order_relaxed);
    const int progress = engine.m_nProgress.load(std::memory_order_relaxed);
    const int total = engine.m_nJobCount;

    // The file in work; none before the worker has started or after its end.
    QString name;
    if (current >= 0 && current < total && current < static_cast<int>(m_checkedRows.size())) {
        const int row = m_checkedRows[current];
        if (row < list.RowCount()) name = list.ItemText(row, kColPath);
    }

    if (progress >= 0 && current < total) {
        dialog.SetFileLine(name, QStringLiteral("   ") + QString::number(progress) +
                                     QStringLiteral("% ") + InterfaceText(lang::kFileProgressEnd));
    } else if (!name.isEmpty()) {
        // A file of unknown length has no percentage; its name still shows
        // which file is in work.
        dialog.SetFileLine(name, QString());
    }
    dialog.SetCountLine(QString::number(m_nDoneCount) + QLatin1Char(' ') +
                        InterfaceText(lang::kDoneOfTotal) + QLatin1Char(' ') +
                        QString::number(total) + QLatin1Char(' ') +
                        InterfaceText(lang::kFilesProgressEnd));
    if (total > 0) dialog.SetOverallProgress(static_cast<int>(m_nDoneCount * 100LL / total));
    if (progress >= 0 && progress <= 100) dialog.SetFileProgress(progress);
    if (current >= 0 && current < total) GrabForReview(&dialog, QStringLiteral("progress"));

    // A stop request that did not come through the dialog's own handlers
    // ends the dialog the same way.
    const bool stopped = engine.m_bStop.load(std::memory_order_relaxed);
    if (stopped) {
        KillProgressTimer();
        dialog.OnClose();
    }

    // A failed input ends the whole job. Closing the dialog stops the worker
    // and waits for it, so the results marked below are final.
    if (AnyInputFailed(engine, total)) {
        KillProgressTimer();
        dialog.OnClose();
        MarkAllResults(*this, engine, total);
        ShowMessageBox(this, InterfaceText(lang::kJobFailed));
        return;
    }

    MarkNewlyDoneRows(*this, engine, std::min(current, total));
    // A stopped job has no outcome to report: its last input may have ended
    // early.
    if (stopped || current != total) return;

    // The worker has passed the last input: report the end, once.
    engine.m_nCurrent.store(total + 1, std::memory_order_relaxed);
    KillProgressTimer();
    dialog.OnClose();
    MarkAllResults(*this, engine, total);
    GrabForReview(this, QStringLiteral("finished"));
    const bool failed = AnyInputFailed(engine, total);
    // The message box runs its own event loop: the window may close and
    // release the engine meanwhile, so nothing below touches it.
    if (failed) {
        ShowMessageBox(this, InterfaceText(lang::kJobFailed));
        const QUrl help = HelpAddress();
        if (help.isValid() && !help.isEmpty()) OpenWithDesktop(help);
        return;
    }
    ShowMessageBox(this, InterfaceText(lang::kJobSucceeded), QMessageBox::Information);
    if (m_bOpenFolder && !m_strOutputFolder.isEmpty()) {
        OpenFolderWithDesktop(QFileInfo(m_strOutputFolder).absoluteFilePath());
    }
}
