// What the main window does with the job controller's reports: each row's
// result goes into the file list, and the end of the job into the line under
// the list and, for a job that was not stopped, the end message.

#include <QFileInfo>
#include <QUrl>

#include "controls/check_list_ctrl.h"
#include "jobs/av_convert_dlg.h"
#include "jobs/job_controller.h"
#include "jobs/job_report.h"
#include "jobs/window_grab.h"
#include "mainwindow/desktop_opener.h"
#include "mainwindow/tarnwick_dlg.h"
#include "window_support/interface_texts.h"
#include "window_support/message_box.h"

namespace {

// The help address of the language file, as the help link reads it.
QUrl HelpAddress() {
    const QString address = InterfaceText(lang::kUrl).trimmed();
    QUrl url(address, QUrl::StrictMode);
    if (url.isValid() && url.scheme().isEmpty()) url = QUrl::fromUserInput(address);
    return url;
}

}  // namespace

void CTarnwickDlg::CreateProgressDialog() {
    m_progressDlg = new CAVConvertDlg(this);
    CAVConvertDlg* dialog = m_progressDlg;
    velmora::JobController* jobs = m_jobs;
    connect(dialog, &CAVConvertDlg::stopRequested, jobs, &velmora::JobController::RequestStop);
    connect(dialog, &CAVConvertDlg::closeRequested, jobs, &velmora::JobController::RequestStop);
    connect(dialog, &CAVConvertDlg::openFolderChanged, jobs,
            &velmora::JobController::SetOpenFolder);
    connect(jobs, &velmora::JobController::fileLineChanged, dialog, &CAVConvertDlg::SetFileLine);
    connect(jobs, &velmora::JobController::countLineChanged, dialog, &CAVConvertDlg::SetCountLine);
    connect(jobs, &velmora::JobController::fileProgressChanged, dialog,
            &CAVConvertDlg::SetFileProgress);
    connect(jobs, &velmora::JobController::overallProgressChanged, dialog,
            &CAVConvertDlg::SetOverallProgress);
    // Slots run in the order they were connected: the dialog has ended
    // before the window's end message opens over it.
    connect(jobs, &velmora::JobController::jobEnded, dialog, &CAVConvertDlg::OnJobEnded);
    connect(jobs, &velmora::JobController::jobEnded, this, &CTarnwickDlg::OnJobEnded);
}

void CTarnwickDlg::OnRowFinished(const velmora::RowReport& report) {
    CCheckListCtrl& list = *m_fileList;
    const int row = report.row;
    if (row < 0 || row >= list.RowCount()) return;
    list.SetItemText(row, kColStatus, velmora::StatusWord(report.outcome));
    if (report.outcome == velmora::RowOutcome::kDone) {
        // Unchecked, so running the command again does not copy it twice.
        list.SetCheck(row, false);
        // The name the copy got, for opening it from the list.
        list.SetRowData(row, report.output);
    }
    list.SetRowToolTip(row, report.toolTip);
}

void CTarnwickDlg::OnJobEnded(const velmora::JobEnd& end) {
    m_bOpenFolder = end.openFolder;
    m_strJobSummary = end.summary;
    UpdateSummaryLine();
    // A stopped job ends as the user asked: nothing more to tell.
    if (end.stopRequested) return;
    GrabForReview(this, QStringLiteral("finished"));
    // A copy that lacks packets is never reported as simply done.
    const QString leftOut =
        end.leftOut.isEmpty() ? QString() : QStringLiteral("\n\n") + end.leftOut;
    // The message box runs its own event loop: the window may close and
    // release the engine meanwhile; nothing here needs it.
    if (end.failed > 0) {
        ShowMessageBox(this, InterfaceText(lang::kJobFailed) + QStringLiteral("\n\n") +
                                 end.failures + leftOut);
        const QUrl help = HelpAddress();
        if (help.isValid() && !help.isEmpty()) OpenWithDesktop(help);
        return;
    }
    ShowMessageBox(this, InterfaceText(lang::kJobSucceeded) + leftOut, QMessageBox::Information);
    if (m_bOpenFolder && !m_strOutputFolder.isEmpty()) {
        OpenOrTell(this, QFileInfo(m_strOutputFolder).absoluteFilePath());
    }
}
