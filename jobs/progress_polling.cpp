// Progress polling: while a job runs, the main window reads the engine's job
// record on its timer and shows it in the progress dialog and in the file
// list; the same tick notices the end of the job or a failure, ends the
// dialog and reports the outcome once. The worker never calls the window.

#include <QFileInfo>
#include <QLocale>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <filesystem>
#include <limits>

#include "controls/check_list_ctrl.h"
#include "engine/av_converter.h"
#include "engine/input_result.h"
#include "engine/output_name.h"
#include "engine/utf8_path.h"
#include "frontend_core/container_text.h"
#include "frontend_core/failure_text.h"
#include "frontend_core/time_text.h"
#include "jobs/av_convert_dlg.h"
#include "jobs/window_grab.h"
#include "mainwindow/desktop_opener.h"
#include "mainwindow/interface_texts.h"
#include "mainwindow/message_box.h"
#include "mainwindow/tarnwick_dlg.h"

extern "C" {
#include <libavutil/avutil.h>
}

namespace {

int StatusOf(const CAVConverter& engine, int input) {
    return ReadInputResult(engine, input).status;
}

bool IsFinished(int status) { return status == kStatusSucceeded || status == kStatusFailed; }

bool AnyInputFailed(const CAVConverter& engine, int total) {
    for (int i = 0; i < total; ++i) {
        if (StatusOf(engine, i) == kStatusFailed) return true;
    }
    return false;
}

// What the window says of a copy that had to leave video packets out: how
// many, and for a file that was cut short where its copy ends. Empty for a
// whole copy.
QString LeftOutNote(const InputResult& result) {
    if (result.status != kStatusSucceeded) return QString();
    const bool cut = result.fileEnd != AV_NOPTS_VALUE;
    const QString leftOut = QString::number(result.leftOut);
    const QString packets = QString::number(result.videoPackets);
    const QString end = cut ? QString::fromStdString(InputTimeText(result.fileEnd)) : QString();
    if (result.leftOut <= 0)
        return cut ? InterfaceText(lang::kFileCutShortUncounted).arg(end) : QString();
    if (!cut) return InterfaceText(lang::kPacketsLeftOut).arg(leftOut, packets);
    return InterfaceText(lang::kFileCutShort).arg(leftOut, packets, end);
}

// What the row of a finished input says when the pointer rests on it: its
// path, and for a failed file why, for a copy that had to leave packets out
// how many, for a file whose name stood for another container which one it
// was copied in.
QString ResultToolTip(const CAVConverter& engine, int input, const InputResult& result,
                      const QString& path) {
    if (result.status == kStatusFailed)
        return path + QLatin1Char('\n') + QString::fromStdString(InputFailureText(engine, input));
    if (result.status != kStatusSucceeded) return path;
    QString tip = path;
    if (const QString note = LeftOutNote(result); !note.isEmpty()) tip += QLatin1Char('\n') + note;
    if (result.container.nameMismatch) {
        const std::string& name = engine.m_ppszInputs[input];
        tip += QLatin1Char('\n') +
               InterfaceText(lang::kNameMismatch)
                   .arg(QString::fromStdString(
                       ContainerName(result.container.muxer, result.container.m2ts)))
                   .arg(QString::fromStdString(velmora::ExtensionOfFileName(name)));
    }
    return tip;
}

void MarkRow(CTarnwickDlg& window, const CAVConverter& engine, int input) {
    CCheckListCtrl& list = window.FileList();
    const int row = window.m_checkedRows[input];
    if (row < 0 || row >= list.RowCount()) return;
    const InputResult result = ReadInputResult(engine, input);
    if (result.status == kStatusSucceeded) {
        list.SetItemText(row, CTarnwickDlg::kColStatus, InterfaceText(lang::kStatusDone));
        // Unchecked, so running the command again does not copy it twice.
        list.SetCheck(row, false);
        // The name the copy got, for opening it from the list.
        list.SetRowData(row, QString::fromStdString(result.output));
    } else if (result.status == kStatusFailed) {
        list.SetItemText(row, CTarnwickDlg::kColStatus, InterfaceText(lang::kStatusFailed));
    } else {
        return;
    }
    list.SetRowToolTip(
        row, ResultToolTip(engine, input, result, list.ItemText(row, CTarnwickDlg::kColPath)));
}

// Marks the inputs the worker has finished since the last tick
// (m_nDoneCount of them are marked already), up to the first of the
// `passed` inputs whose result is not in yet. A failed input does not end
// the job: the worker goes on, and so does the marking.
void MarkNewlyFinishedRows(CTarnwickDlg& window, const CAVConverter& engine, int passed) {
    const int inputs = std::min(passed, static_cast<int>(window.m_checkedRows.size()));
    while (window.m_nDoneCount < inputs && IsFinished(StatusOf(engine, window.m_nDoneCount))) {
        MarkRow(window, engine, window.m_nDoneCount);
        ++window.m_nDoneCount;
    }
}

// What the end message adds to the failure text: how many files were done,
// and each failed file with why.
QString FailureSummary(CTarnwickDlg& window, const CAVConverter& engine, int total) {
    CCheckListCtrl& list = window.FileList();
    int done = 0;
    QStringList failed;
    const int inputs = std::min(total, static_cast<int>(window.m_checkedRows.size()));
    for (int i = 0; i < inputs; ++i) {
        const int status = StatusOf(engine, i);
        if (status == kStatusSucceeded) ++done;
        if (status != kStatusFailed) continue;
        const int row = window.m_checkedRows[i];
        const QString path =
            row < list.RowCount() ? list.ItemText(row, CTarnwickDlg::kColPath) : QString();
        failed << CTarnwickDlg::FileNameOf(path) + QStringLiteral(": ") +
                      QString::fromStdString(InputFailureText(engine, i));
    }
    return QString::number(done) + QLatin1Char(' ') + InterfaceText(lang::kDoneOfTotal) +
           QLatin1Char(' ') + QString::number(total) + QLatin1Char(' ') +
           InterfaceText(lang::kFilesProgressEnd) + QStringLiteral("\n\n") +
           failed.join(QLatin1Char('\n'));
}

// What the end message adds for the copies that are not whole: each such
// file with what it lacks, one a line; empty when every copy is whole.
QString LeftOutSummary(CTarnwickDlg& window, const CAVConverter& engine, int total) {
    CCheckListCtrl& list = window.FileList();
    QStringList notes;
    const int inputs = std::min(total, static_cast<int>(window.m_checkedRows.size()));
    for (int i = 0; i < inputs; ++i) {
        const QString note = LeftOutNote(ReadInputResult(engine, i));
        if (note.isEmpty()) continue;
        const int row = window.m_checkedRows[i];
        const QString path =
            row < list.RowCount() ? list.ItemText(row, CTarnwickDlg::kColPath) : QString();
        notes << CTarnwickDlg::FileNameOf(path) + QStringLiteral(": ") + note;
    }
    return notes.join(QLatin1Char('\n'));
}

// The last job in one line: files done and failed, bytes written and the
// time it took.
QString JobSummary(const CAVConverter& engine, int total, qint64 milliseconds) {
    int done = 0, failed = 0;
    std::uintmax_t bytes = 0;
    for (int i = 0; i < total; ++i) {
        const InputResult result = ReadInputResult(engine, i);
        failed += result.status == kStatusFailed;
        if (result.status != kStatusSucceeded) continue;
        ++done;
        std::error_code error;
        const std::uintmax_t size = std::filesystem::file_size(PathFromUtf8(result.output), error);
        if (!error) bytes += size;
    }
    const QString dot = QStringLiteral(" · ");
    return InterfaceText(lang::kStatusDone) + QLatin1Char(' ') + QString::number(done) + dot +
           InterfaceText(lang::kStatusFailed) + QLatin1Char(' ') + QString::number(failed) + dot +
           InterfaceText(lang::kBytesWritten) + QLatin1Char(' ') +
           QLocale().formattedDataSize(static_cast<qint64>(bytes)) + dot +
           InterfaceText(lang::kTimeTaken) + QLatin1Char(' ') +
           QString::fromStdString(FormatTime(
               static_cast<int>(std::min<qint64>(milliseconds, std::numeric_limits<int>::max()))));
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

    MarkNewlyFinishedRows(*this, engine, std::min(current, total));
    // A stopped job has no outcome to report: its last input may have ended
    // early.
    if (stopped) {
        m_strJobSummary = JobSummary(engine, total, m_jobClock.elapsed());
        UpdateSummaryLine();
    }
    if (stopped || current != total) return;

    // The worker has passed the last input: report the end, once.
    engine.m_nCurrent.store(total + 1, std::memory_order_relaxed);
    KillProgressTimer();
    dialog.OnClose();
    MarkNewlyFinishedRows(*this, engine, total);
    m_strJobSummary = JobSummary(engine, total, m_jobClock.elapsed());
    UpdateSummaryLine();
    GrabForReview(this, QStringLiteral("finished"));
    const bool failed = AnyInputFailed(engine, total);
    // A copy that lacks packets is never reported as simply done.
    QString leftOut = LeftOutSummary(*this, engine, total);
    if (!leftOut.isEmpty()) leftOut.prepend(QStringLiteral("\n\n"));
    // The message box runs its own event loop: the window may close and
    // release the engine meanwhile, so nothing below touches it.
    if (failed) {
        ShowMessageBox(this, InterfaceText(lang::kJobFailed) + QStringLiteral("\n\n") +
                                 FailureSummary(*this, engine, total) + leftOut);
        const QUrl help = HelpAddress();
        if (help.isValid() && !help.isEmpty()) OpenWithDesktop(help);
        return;
    }
    ShowMessageBox(this, InterfaceText(lang::kJobSucceeded) + leftOut, QMessageBox::Information);
    if (m_bOpenFolder && !m_strOutputFolder.isEmpty()) {
        OpenOrTell(this, QFileInfo(m_strOutputFolder).absoluteFilePath());
    }
}
