#include "jobs/job_report.h"

#include <QLocale>
#include <QStringList>
#include <algorithm>
#include <limits>

#include "engine/output_name.h"
#include "frontend_core/container_text.h"
#include "frontend_core/failure_text.h"
#include "frontend_core/time_text.h"
#include "window_support/interface_texts.h"

extern "C" {
#include <libavutil/avutil.h>
}

namespace velmora {

namespace {

// The file name of a row's path, as the end message names the file.
QString FileNameOfRow(const JobRow& row) {
    return QString::fromStdString(FileNameOf(row.path.toStdString()));
}

QString FilesLine(int done, int total) {
    return QString::number(done) + QLatin1Char(' ') + InterfaceText(lang::kDoneOfTotal) +
           QLatin1Char(' ') + QString::number(total) + QLatin1Char(' ') +
           InterfaceText(lang::kFilesProgressEnd);
}

}  // namespace

QString LeftOutNote(const InputResult& result) {
    if (result.status != kStatusSucceeded) return QString();
    LeftOutWords words;
    words.packetsLeftOut = InterfaceText(lang::kPacketsLeftOut).toStdString();
    words.cutShort = InterfaceText(lang::kFileCutShort).toStdString();
    words.cutShortUncounted = InterfaceText(lang::kFileCutShortUncounted).toStdString();
    return QString::fromStdString(
        LeftOutText(result.leftOut, result.videoPackets, result.fileEnd, words));
}

QString ResultToolTip(const CAVConverter& engine, int input, const InputResult& result,
                      const JobRow& row) {
    if (result.status == kStatusFailed)
        return row.path + QLatin1Char('\n') +
               QString::fromStdString(InputFailureText(engine, input));
    if (result.status != kStatusSucceeded) return row.path;
    QString tip = row.path;
    if (const QString note = LeftOutNote(result); !note.isEmpty()) tip += QLatin1Char('\n') + note;
    if (result.container.nameMismatch) {
        tip += QLatin1Char('\n') +
               InterfaceText(lang::kNameMismatch)
                   .arg(QString::fromStdString(
                       ContainerName(result.container.muxer, result.container.m2ts)))
                   .arg(QString::fromStdString(ExtensionOfFileName(row.item.input)));
    }
    return tip;
}

QString FailureSummary(const CAVConverter& engine, const std::vector<JobRow>& rows, int done) {
    QStringList failed;
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        if (ReadInputResult(engine, i).status != kStatusFailed) continue;
        failed << FileNameOfRow(rows[i]) + QStringLiteral(": ") +
                      QString::fromStdString(InputFailureText(engine, i));
    }
    return FilesLine(done, static_cast<int>(rows.size())) + QStringLiteral("\n\n") +
           failed.join(QLatin1Char('\n'));
}

QString LeftOutSummary(const CAVConverter& engine, const std::vector<JobRow>& rows) {
    QStringList notes;
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const QString note = LeftOutNote(ReadInputResult(engine, i));
        if (!note.isEmpty()) notes << FileNameOfRow(rows[i]) + QStringLiteral(": ") + note;
    }
    return notes.join(QLatin1Char('\n'));
}

QString JobSummary(const JobEnd& counts, qint64 bytesWritten, qint64 milliseconds) {
    const QString dot = QStringLiteral(" · ");
    QString line = InterfaceText(lang::kStatusDone) + QLatin1Char(' ') +
                   QString::number(counts.done) + dot + InterfaceText(lang::kStatusFailed) +
                   QLatin1Char(' ') + QString::number(counts.failed) + dot;
    if (counts.stopped > 0)
        line += InterfaceText(lang::kStatusStopped) + QLatin1Char(' ') +
                QString::number(counts.stopped) + dot;
    return line + InterfaceText(lang::kBytesWritten) + QLatin1Char(' ') +
           QLocale().formattedDataSize(bytesWritten) + dot + InterfaceText(lang::kTimeTaken) +
           QLatin1Char(' ') +
           QString::fromStdString(FormatTime(
               static_cast<int>(std::min<qint64>(milliseconds, std::numeric_limits<int>::max()))));
}

QString StatusWord(RowOutcome outcome) {
    switch (outcome) {
        case RowOutcome::kDone:
            return InterfaceText(lang::kStatusDone);
        case RowOutcome::kFailed:
            return InterfaceText(lang::kStatusFailed);
        case RowOutcome::kStopped:
            return InterfaceText(lang::kStatusStopped);
    }
    return QString();
}

}  // namespace velmora
