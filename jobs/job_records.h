#pragma once

// What the window hands the job controller and what the controller tells
// the window back: the rows of a job, a row's result, and the job's end.

#include <QString>
#include <vector>

#include "engine/av_converter.h"

namespace velmora {

// One checked row of the file list, as a job copies it.
struct JobRow {
    int row = -1;  // the row's index in the file list when the job started
    QString path;  // the path as the list shows it
    JobItem item;  // what the engine copies: input, planned output, end point
};

// What became of a row.
enum class RowOutcome {
    kDone,     // copied; its copy is `output`
    kFailed,   // not copied; the tool tip says why
    kStopped,  // in work when the job was stopped; what was copied stays as a shortened file
};

struct RowReport {
    int row = -1;  // index in the file list
    RowOutcome outcome = RowOutcome::kFailed;
    QString output;   // the copy's name, for a done row
    QString toolTip;  // the path, then why it failed or what the copy lacks
};

// The end of a job, reported once, however it ended.
struct JobEnd {
    int total = 0;    // rows of the job
    int done = 0;     // rows copied
    int failed = 0;   // rows that failed
    int stopped = 0;  // rows in work when the job was stopped
    // A stop was asked for (stop button, Esc, close box, closing the window):
    // the user knows how it ended, so no end message is shown.
    bool stopRequested = false;
    // The progress dialog's check box as it stood at the end.
    bool openFolder = false;
    QString summary;   // the line under the list: counts, bytes written, time taken
    QString failures;  // "2 of 3 files" and each failed file with why; empty without failures
    QString leftOut;   // each copy that is not whole with what it lacks, one a line
};

}  // namespace velmora
