// The start button: every checked file of the list is copied into the output
// folder without its sound, one output per file, in a job on the engine's
// worker. The checks come first, in the order the user meets them; nothing
// is started when one of them fails. The job controller runs the job; the
// progress dialog shows it.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "controls/check_list_ctrl.h"
#include "engine/av_converter.h"
#include "frontend_core/output_folder.h"
#include "frontend_core/output_names.h"
#include "frontend_core/time_text.h"
#include "jobs/av_convert_dlg.h"
#include "jobs/job_controller.h"
#include "mainwindow/file_system_name.h"
#include "mainwindow/tarnwick_dlg.h"
#include "window_support/interface_texts.h"
#include "window_support/message_box.h"

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
    if (m_jobs->IsRunning()) return;

    UpdateData(true);
    CCheckListCtrl& list = *m_fileList;
    if (list.RowCount() == 0) {
        ShowMessageBox(this, InterfaceText(lang::kNoFiles));
        return;
    }

    std::vector<velmora::JobRow> rows;
    for (int row = 0; row < list.RowCount(); ++row) {
        if (list.GetCheck(row)) rows.push_back({row, list.ItemText(row, kColPath), {}});
    }
    if (rows.empty()) {
        ShowMessageBox(this, InterfaceText(lang::kJobNothingChecked));
        return;
    }

    std::vector<std::string> inputs;
    inputs.reserve(rows.size());
    for (const velmora::JobRow& row : rows) inputs.push_back(FileSystemName(row.path));

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

    for (size_t i = 0; i < rows.size(); ++i) {
        velmora::JobRow& row = rows[i];
        row.item.input = inputs[i];
        row.item.output = outputs[i].path;
        row.item.name = outputs[i].place;
        // The length the list shows is what 100 % means; an empty or
        // unknown length gives 0, for which no percentage is shown.
        const QString duration = list.ItemText(row.row, kColDuration);
        row.item.end = ParseTime(duration.toStdString()) / 1000.0;
        // The rows of this job start afresh: no word or reason of an
        // earlier job stays on them.
        list.SetItemText(row.row, kColStatus, InterfaceText(lang::kStatusAdded));
        list.SetRowToolTip(row.row, row.path);
        list.SetRowData(row.row, QVariant());
    }
    m_strJobSummary.clear();
    UpdateSummaryLine();

    if (m_progressDlg == nullptr) CreateProgressDialog();
    if (!g_pEngine) g_pEngine = std::make_unique<CAVConverter>();
    m_jobs->Start(*g_pEngine, std::move(rows), m_bOpenFolder);
    // Returns when the job's end report has ended the dialog, whether the
    // job ran to its end or was stopped: the worker has ended by then.
    m_progressDlg->DoModal();
}
