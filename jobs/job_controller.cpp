#include "jobs/job_controller.h"

#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <utility>

#include "engine/av_converter.h"
#include "engine/input_result.h"
#include "engine/utf8_path.h"
#include "jobs/job_report.h"
#include "jobs/progress_polling.h"
#include "window_support/interface_texts.h"

namespace velmora {

namespace {

bool IsFinished(int status) { return status == kStatusSucceeded || status == kStatusFailed; }

// The size of a finished copy; 0 when it cannot be read (moved away meanwhile).
qint64 SizeOfCopy(const InputResult& result) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(PathFromUtf8(result.output), error);
    return error ? 0 : static_cast<qint64>(size);
}

}  // namespace

JobController::JobController(QObject* parent) : QObject(parent) {
    m_progressTimer = new QTimer(this);
    m_progressTimer->setInterval(kProgressTickMs);
    connect(m_progressTimer, &QTimer::timeout, this, &JobController::OnTimer);
}

void JobController::Start(CAVConverter& engine, std::vector<JobRow> rows, bool openFolder) {
    if (IsRunning()) return;
    m_checkedRows = std::move(rows);
    m_nDoneCount = 0;
    m_stopRequested = false;
    m_openFolder = openFolder;
    m_shownFileLine = QString();
    m_shownCountLine = QString();
    m_shownFileBar = -1;
    m_shownOverallBar = -1;

    std::vector<JobItem> items;
    items.reserve(m_checkedRows.size());
    for (const JobRow& row : m_checkedRows) items.push_back(row.item);
    m_engine = &engine;
    m_jobClock.start();
    engine.StartJob(items);
    m_progressTimer->start();
}

void JobController::RequestStop() {
    if (!IsRunning() || m_stopRequested) return;
    m_stopRequested = true;
    m_engine->m_bStop.store(true, std::memory_order_relaxed);
    // Between two files, or with a worker that could not start, it may have
    // ended already: then there is nothing to wait for.
    if (!m_engine->IsRunning()) OnTimer();
}

void JobController::FinishNow() {
    if (!IsRunning()) return;
    RequestStop();
    if (!IsRunning()) return;
    // The stop is raised, so the worker ends within a packet or an
    // interrupted read.
    m_engine->Join();
    OnTimer();
}

void JobController::OnTimer() {
    if (!IsRunning()) {
        m_progressTimer->stop();
        return;
    }
    const CAVConverter& engine = *m_engine;
    // Read first: once the worker is seen ended, everything it wrote before
    // is final for the reads below.
    const bool ended = !engine.IsRunning();
    const int current = engine.m_nCurrent.load(std::memory_order_relaxed);
    const int progress = engine.m_nProgress.load(std::memory_order_relaxed);
    const int total = static_cast<int>(m_checkedRows.size());

    MarkFinishedRows(ended ? total : std::min(current, total));
    ShowProgress(current, progress);
    if (ended) Finish();
}

void JobController::ShowProgress(int current, int progress) {
    const int total = static_cast<int>(m_checkedRows.size());
    // The file in work; none before the worker has started or after its end.
    const bool inWork = current >= 0 && current < total;
    const QString name = inWork ? m_checkedRows[current].path : QString();

    QString percent;
    bool showFile = false;
    if (progress >= 0 && current < total) {
        percent = QStringLiteral("   ") + QString::number(progress) + QStringLiteral("% ") +
                  InterfaceText(lang::kFileProgressEnd);
        showFile = true;
    } else if (!name.isEmpty()) {
        // A file of unknown length has no percentage; its name still shows
        // which file is in work.
        showFile = true;
    }
    if (showFile) {
        // Name and percentage together, with a separator neither can hold.
        const QString line = name + QChar(0) + percent;
        if (line != m_shownFileLine) {
            m_shownFileLine = line;
            emit fileLineChanged(name, percent);
        }
    }

    const QString count = QString::number(m_nDoneCount) + QLatin1Char(' ') +
                          InterfaceText(lang::kDoneOfTotal) + QLatin1Char(' ') +
                          QString::number(total) + QLatin1Char(' ') +
                          InterfaceText(lang::kFilesProgressEnd);
    if (count != m_shownCountLine) {
        m_shownCountLine = count;
        emit countLineChanged(count);
    }
    if (total > 0) {
        const int overall = static_cast<int>(m_nDoneCount * 100LL / total);
        if (overall != m_shownOverallBar) {
            m_shownOverallBar = overall;
            emit overallProgressChanged(overall);
        }
    }
    if (progress >= 0 && progress <= 100 && progress != m_shownFileBar) {
        m_shownFileBar = progress;
        emit fileProgressChanged(progress);
    }
}

void JobController::MarkFinishedRows(int passed) {
    const int inputs = std::min(passed, static_cast<int>(m_checkedRows.size()));
    // A failed input does not end the job: the worker goes on, and so does
    // the marking.
    while (m_nDoneCount < inputs) {
        const int status = ReadInputResult(*m_engine, m_nDoneCount).status;
        if (!IsFinished(status)) break;
        ReportRow(m_nDoneCount,
                  status == kStatusSucceeded ? RowOutcome::kDone : RowOutcome::kFailed);
        ++m_nDoneCount;
    }
}

void JobController::ReportRow(int input, RowOutcome outcome) {
    const InputResult result = ReadInputResult(*m_engine, input);
    const JobRow& row = m_checkedRows[input];
    RowReport report;
    report.row = row.row;
    report.outcome = outcome;
    if (outcome == RowOutcome::kDone) report.output = QString::fromStdString(result.output);
    report.toolTip = ResultToolTip(*m_engine, input, result, row);
    emit rowFinished(report);
}

void JobController::Finish() {
    m_progressTimer->stop();
    CAVConverter& engine = *m_engine;
    // The worker has ended: joining it takes no time, and leaves the engine
    // free for the next job or probe.
    engine.Join();
    const bool stopped = m_stopRequested || engine.m_bStop.load(std::memory_order_relaxed);
    const int total = static_cast<int>(m_checkedRows.size());

    JobEnd end;
    end.total = total;
    end.stopRequested = stopped;
    // Every finished row is reported by now; a stop leaves the first
    // unfinished one, the one it caught in work.
    if (stopped && m_nDoneCount < total) {
        ReportRow(m_nDoneCount, RowOutcome::kStopped);
        end.stopped = 1;
    }
    qint64 bytes = 0;
    for (int i = 0; i < total; ++i) {
        const InputResult result = ReadInputResult(engine, i);
        if (result.status == kStatusFailed) ++end.failed;
        if (result.status != kStatusSucceeded) continue;
        ++end.done;
        bytes += SizeOfCopy(result);
    }
    end.openFolder = m_openFolder;
    end.summary = JobSummary(end, bytes, m_jobClock.elapsed());
    if (end.failed > 0) end.failures = FailureSummary(engine, m_checkedRows, end.done);
    end.leftOut = LeftOutSummary(engine, m_checkedRows);

    // The end is reported: from here on the engine is the window's again.
    m_engine = nullptr;
    emit jobEnded(end);
}

}  // namespace velmora
