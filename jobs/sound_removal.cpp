// The start button: every checked file of the list is copied into the output
// folder without its sound, one output per file, in a job on the engine's
// worker. The checks come first, in the order the user meets them; nothing
// is started when one of them fails.

#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "controls/check_list_ctrl.h"
#include "engine/av_converter.h"
#include "frontend_core/output_folder.h"
#include "frontend_core/output_names.h"
#include "frontend_core/time_text.h"
#include "jobs/av_convert_dlg.h"
#include "jobs/progress_polling.h"
#include "mainwindow/file_system_name.h"
#include "mainwindow/interface_texts.h"
#include "mainwindow/message_box.h"
#include "mainwindow/tarnwick_dlg.h"

namespace {

// The message for a folder that failed its checks; empty for none.
// A lone "\" has never been reported: the job just does not start.
QString FolderMessage(FolderCheck check) {
    switch (check) {
        case FolderCheck::kOk:
        case FolderCheck::kBareSeparator:
            return QString();
        case FolderCheck::kMissing:
            return InterfaceText(lang::kOutputFolderMissing);
        case FolderCheck::kNotAFolder:  // a file of that name: no file can go "into" it
        case FolderCheck::kNotWritable:
            return InterfaceText(lang::kJobFolderNotWritable);
        case FolderCheck::kNotEnoughSpace:
            return InterfaceText(lang::kJobNotEnoughSpace);
    }
    return QString();
}

}  // namespace

void CTarnwickDlg::OnSoundRemoval() {
    // One job at a time. The progress dialog is modal, so this only guards
    // against a call from code while a job runs.
    if (m_progressDlg != nullptr && m_progressDlg->IsRunning()) return;

    UpdateData(true);
    CCheckListCtrl& list = *m_fileList;
    if (list.RowCount() == 0) {
        ShowMessageBox(this, InterfaceText(lang::kNoFiles));
        return;
    }

    m_checkedRows.clear();
    for (int row = 0; row < list.RowCount(); ++row) {
        if (list.GetCheck(row)) m_checkedRows.push_back(row);
    }
    if (m_checkedRows.empty()) {
        ShowMessageBox(this, InterfaceText(lang::kJobNothingChecked));
        return;
    }

    std::vector<std::string> inputs;
    inputs.reserve(m_checkedRows.size());
    for (int row : m_checkedRows) inputs.push_back(FileSystemName(list.ItemText(row, kColPath)));

    // The folder as the field shows it now; the job keeps this copy.
    const std::string jobFolder = FileSystemName(m_strOutputFolder);
    const FolderCheckResult folder = CheckOutputFolder(jobFolder, inputs);
    if (folder.check != FolderCheck::kOk) {
        const QString message = FolderMessage(folder.check);
        if (!message.isEmpty()) ShowMessageBox(this, message);
        return;
    }

    // Each output is unique against the disk and against the other outputs
    // of this job, so two inputs of the same name from different folders
    // both keep their result. A file name without an extension names no
    // container: the job does not start.
    const std::vector<OutputName> outputs = PlanOutputNames(jobFolder, inputs);
    for (const OutputName& output : outputs) {
        if (output.result != OutputNameResult::kOk) return;
    }

    // The rows of this job start afresh: no word or reason of an earlier
    // job stays on them.
    for (int row : m_checkedRows) {
        list.SetItemText(row, kColStatus, InterfaceText(lang::kStatusAdded));
        list.SetRowToolTip(row, list.ItemText(row, kColPath));
        list.SetRowData(row, QVariant());
    }
    m_nDoneCount = 0;
    m_jobClock.start();
    m_strJobSummary.clear();
    UpdateSummaryLine();
    std::vector<JobItem> items(m_checkedRows.size());
    for (size_t i = 0; i < items.size(); ++i) {
        items[i].input = inputs[i];
        items[i].output = outputs[i].path;
        items[i].name = outputs[i].place;
        // The length the list shows is what 100 % means; an empty or
        // unknown length gives 0, for which no percentage is shown.
        const QString duration = list.ItemText(m_checkedRows[i], kColDuration);
        items[i].end = ParseTime(duration.toStdString()) / 1000.0;
    }
    if (!g_pEngine) g_pEngine = std::make_unique<CAVConverter>();
    g_pEngine->StartJob(items);
    if (m_progressTimer == nullptr) {
        m_progressTimer = new QTimer(this);
        m_progressTimer->setInterval(kProgressTickMs);
        connect(m_progressTimer, &QTimer::timeout, this, &CTarnwickDlg::OnTimer);
    }
    m_progressTimer->start();

    if (m_progressDlg == nullptr) m_progressDlg = new CAVConvertDlg(this);
    // Returns when the polling has ended the dialog at the end of the job, or
    // the user has stopped or closed it. Either way the worker has ended.
    m_progressDlg->DoModal();
}

void CTarnwickDlg::StopJob() {
    if (g_pEngine) g_pEngine->m_bStop.store(true, std::memory_order_relaxed);
}

void CTarnwickDlg::WaitForJobEnd() {
    if (g_pEngine) g_pEngine->Join();
}

void CTarnwickDlg::KillProgressTimer() {
    if (m_progressTimer != nullptr) m_progressTimer->stop();
}
