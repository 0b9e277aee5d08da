#pragma once

// The words of a job's results, in the language file's texts: what a row
// says when the pointer rests on it, and what the end of the job says. The
// controller reads the engine's results; this file only words them.

#include <QString>
#include <vector>

#include "engine/input_result.h"
#include "jobs/job_records.h"

class CAVConverter;

namespace velmora {

// What a copy that had to leave video packets out says: how many, and for a
// file that was cut short where its copy ends. Empty for a whole copy and
// for a row that was not copied.
QString LeftOutNote(const InputResult& result);

// The tool tip of input `input` of the engine's last job, of row `row`: its
// path, and for a failed file why, for a copy that had to leave packets out
// how many, for a file whose name stood for another container which one it
// was copied in.
QString ResultToolTip(const CAVConverter& engine, int input, const InputResult& result,
                      const JobRow& row);

// "2 of 3 files", then each failed file of `rows` with why, one a line.
QString FailureSummary(const CAVConverter& engine, const std::vector<JobRow>& rows, int done);

// Each copy of `rows` that is not whole with what it lacks, one a line;
// empty when every copy is whole.
QString LeftOutSummary(const CAVConverter& engine, const std::vector<JobRow>& rows);

// The last job in one line: files done, failed and (when any) stopped,
// bytes written and the time it took.
QString JobSummary(const JobEnd& counts, qint64 bytesWritten, qint64 milliseconds);

// The word of a row's status column for `outcome`.
QString StatusWord(RowOutcome outcome);

}  // namespace velmora
