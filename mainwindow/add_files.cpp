// Adding files: from the open dialog or by dropping them on the window. Each
// file is probed and appended; a file the probe refuses is skipped, and one
// message at the end of the add names every refused file and why.

#include <QCoreApplication>
#include <QDir>
#include <QProgressDialog>
#include <QTimer>
#include <memory>
#include <string>

#include "engine/av_converter.h"
#include "engine/output_name.h"
#include "frontend_core/failure_text.h"
#include "mainwindow/file_choosers.h"
#include "mainwindow/file_system_name.h"
#include "mainwindow/interface_texts.h"
#include "mainwindow/message_box.h"
#include "mainwindow/tarnwick_dlg.h"

namespace {

// The media patterns of the add dialog's first filter.
constexpr char kMediaPatterns[] =
    "*.rm;*.rmvb;*.flv;*.swf;*.f4v;*.mov;*.qt;*.avi;*.mpg;*.mpeg;*.mod;*.tod;*.mts;*.ts;*.nut;"
    "*.h264;*.nsv;*.dv;*.m2t;*.vob;*.dat;*.mkv;*.mp4;*.m4v;*.3gp;*.3g2;*.3gpp;*.asf;*.wmv;*.wm";

// An add that lasts longer than this shows its progress.
constexpr int kProgressDelayMs = 800;

}  // namespace

QString CTarnwickDlg::AddDialogFilter() {
    return ToQtFileFilter(InterfaceText(lang::kVideoFilesFilter) + QLatin1Char('|') +
                          QLatin1String(kMediaPatterns) + QLatin1Char('|') +
                          InterfaceText(lang::kAllFilesFilter) + QStringLiteral("|*.*|"));
}

QString CTarnwickDlg::RepairDoubledSeparators(const QString& path) {
    const QChar separator = QDir::separator();
    // A network path (two separators in front) keeps its form.
    if (path.size() >= 2 && path[0] == separator && path[1] == separator) return path;
    QString repaired;
    repaired.reserve(path.size());
    for (qsizetype i = 0; i < path.size(); ++i) {
        repaired += path[i];
        // A pair becomes one; scanning goes on after the pair, so three in a
        // row become two.
        if (path[i] == separator && i + 1 < path.size() && path[i + 1] == separator) ++i;
    }
    return repaired;
}

QString CTarnwickDlg::FileNameOf(const QString& path) {
    return QString::fromStdString(velmora::FileNameOf(path.toStdString()));
}

void CTarnwickDlg::OnAddFiles() {
    const QStringList paths = ChooseFilesToAdd(this, AddDialogFilter());
    if (paths.isEmpty()) return;
    AddFiles(paths, true);
}

void CTarnwickDlg::OnDropFiles(const QStringList& paths) { AddFiles(paths, false); }

QString CTarnwickDlg::ProbeFile(const QString& path) {
    if (!g_pEngine) g_pEngine = std::make_unique<CAVConverter>();
    const std::string name = FileSystemName(path);
    g_pEngine->m_bKeepProbedInput = true;
    const velmora::ProbeFacts facts = g_pEngine->ProbeFile(name);
    if (facts.error >= 0) return QString();
    return InterfaceText(lang::kFileRefusedStart) + FileNameOf(path) + QLatin1Char(' ') +
           InterfaceText(lang::kFileRefusedEnd) + QStringLiteral("\n    ") +
           QString::fromStdString(ProbeRefusalText(name, facts));
}

int CTarnwickDlg::AddFiles(const QStringList& paths, bool repairSeparators) {
    ++m_nAddDepth;

    // Shown by itself once the add has taken longer than a moment; its
    // cancel button ends the add after the file in work.
    std::unique_ptr<QProgressDialog> progress;
    if (paths.size() > 1) {
        progress = std::make_unique<QProgressDialog>(QString(), QString(), 0,
                                                     static_cast<int>(paths.size()), this);
        progress->setObjectName(QStringLiteral("addProgress"));
        progress->setWindowTitle(windowTitle());
        progress->setWindowModality(Qt::WindowModal);
        progress->setMinimumDuration(kProgressDelayMs);
        progress->setAutoClose(false);
        progress->setAutoReset(false);
        progress->setCancelButtonText(QCoreApplication::translate("QProgressDialog", "Cancel"));
    }

    int added = 0;
    QStringList refused;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        // Keeps the window alive between files. A close that arrives here
        // only marks the request; the engine stays until this loop is done.
        QCoreApplication::processEvents();
        if (m_bCloseRequested || (progress && progress->wasCanceled())) break;

        const QString path = repairSeparators ? RepairDoubledSeparators(paths[i]) : paths[i];
        if (progress) {
            progress->setLabelText(FileNameOf(path));
            progress->setValue(static_cast<int>(i));
        }
        const QString refusal = ProbeFile(path);
        if (!refusal.isEmpty()) {
            refused << refusal;
            continue;
        }
        AppendFileRow(path);
        ++added;
    }
    // The message comes once the progress is gone, so nothing covers it and
    // its Enter is not taken by another dialog.
    progress.reset();
    if (!refused.isEmpty() && !m_bCloseRequested)
        ShowMessageBox(this, refused.join(QLatin1Char('\n')));

    if (m_nAddDepth == 1) m_releaseProbedInput->start();
    if (--m_nAddDepth == 0 && m_bCloseRequested) {
        m_bCloseRequested = false;
        close();
    }
    return added;
}
