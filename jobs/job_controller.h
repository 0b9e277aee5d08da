#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <vector>

#include "jobs/job_records.h"

class CAVConverter;
class QTimer;

namespace velmora {

// The window's one running job: starts it on the engine, polls the engine on
// its timer, asks it to stop, and tells the progress dialog and the main
// window what happened through its signals. It knows neither of them: the
// window connects them. The worker never calls back; every change is seen at
// the next tick.
//
// A job always ends with one jobEnded(), whether it ran to its end or was
// stopped: rowFinished() for each row the job finished (and for the row a
// stop caught in work) comes first. User-interface thread only.
class JobController : public QObject {
    Q_OBJECT

public:
    explicit JobController(QObject* parent = nullptr);

    // Starts `rows` as one job on `engine`, which must stay until the end is
    // reported (FinishNow() reports it at once). `openFolder` is the choice
    // the end reports until SetOpenFolder() changes it. Does nothing while a
    // job runs.
    void Start(CAVConverter& engine, std::vector<JobRow> rows, bool openFolder);

    // True from Start() until the end has been reported.
    bool IsRunning() const { return m_engine != nullptr; }

    // The rows of the running or last job, and how many of them are finished.
    const std::vector<JobRow>& CheckedRows() const { return m_checkedRows; }
    int DoneCount() const { return m_nDoneCount; }

public slots:
    // Raises the engine's stop request. The end is reported at the next tick
    // after the worker has ended, or at once when it has already.
    void RequestStop();
    // Stops the job, waits for the worker and reports the end now: for a
    // window that is about to release the engine.
    void FinishNow();
    // The open-folder check box changed.
    void SetOpenFolder(bool open) { m_openFolder = open; }
    // One tick of the progress timer.
    void OnTimer();

signals:
    // The file line: the file in work and its percentage.
    void fileLineChanged(const QString& name, const QString& progress);
    // The count line: files done of all files.
    void countLineChanged(const QString& text);
    // The bars, in percent: the file in work and all files.
    void fileProgressChanged(int percent);
    void overallProgressChanged(int percent);
    void rowFinished(const velmora::RowReport& report);
    // The engine may be released by a slot of this signal (an end message
    // runs an event loop): the controller touches nothing after it.
    void jobEnded(const velmora::JobEnd& end);

private:
    void ShowProgress(int current, int progress);
    // Reports the rows the worker has finished, in order, up to the first
    // of the first `passed` inputs whose result is not in yet.
    void MarkFinishedRows(int passed);
    void ReportRow(int input, RowOutcome outcome);
    // The worker has ended: the last rows, then the end.
    void Finish();

    // The engine of the running job; null once its end is reported.
    CAVConverter* m_engine = nullptr;
    std::vector<JobRow> m_checkedRows;
    // Rows reported finished, from the first on.
    int m_nDoneCount = 0;
    bool m_stopRequested = false;
    bool m_openFolder = false;
    QTimer* m_progressTimer = nullptr;
    // Runs from the start of the job, for its summary.
    QElapsedTimer m_jobClock;

    // What the signals said last, so each change is announced once.
    QString m_shownFileLine;
    QString m_shownCountLine;
    int m_shownFileBar = -1;
    int m_shownOverallBar = -1;
};

}  // namespace velmora
