// How a job ends: every way of stopping it reaches the same end report as a
// job that ran to its end, and the row in work and the line under the list
// say that it was stopped.

#include <QCheckBox>
#include <QLabel>

#include "job_fixture.h"

using jobtest::JobWindow;
using jobtest::PercentShown;
using jobtest::StopButton;
using windowtest::Q;

namespace {

QString SummaryLine(CTarnwickDlg& window) {
    return window.findChild<QLabel*>(QStringLiteral("summaryLine"))->text();
}

// Waits, inside the dialog's loop, until line 1018 shows the piped file well
// under way.
bool WaitUntilUnderWay(CAVConvertDlg& dialog) {
    [&] { QTRY_VERIFY_WITH_TIMEOUT(PercentShown(dialog.FileLine()) >= 20, 60000); }();
    return !QTest::currentTestFailed();
}

// The ways a user stops a running job.
enum class StopBy { kStopButton, kEscapeYes, kCloseBox };

}  // namespace

Q_DECLARE_METATYPE(StopBy)

class JobEndTest : public QObject {
    Q_OBJECT

private slots:
#ifdef Q_OS_UNIX
    // Stopped in the middle of its first file, a job of two rows ends with
    // the end report: the row in work says "Stopped" and stays checked for
    // the next run, the row never reached is left as it was, and the line
    // under the list counts the stopped file. No message: the user asked.
    void aStopEndsWithTheStoppedReport_data() {
        QTest::addColumn<StopBy>("how");
        QTest::newRow("stop button") << StopBy::kStopButton;
        QTest::newRow("Esc, then yes") << StopBy::kEscapeYes;
        QTest::newRow("close box") << StopBy::kCloseBox;
    }

    void aStopEndsWithTheStoppedReport() {
        QFETCH(StopBy, how);
        JobWindow job;
        jobtest::PipedJob piped(job);
        QVERIFY(piped.ok());
        job.Add({jobtest::Mp4()});
        QCOMPARE(job.List().RowCount(), 2);

        QVERIFY(job.Start([&](CAVConvertDlg& dialog) {
            if (!WaitUntilUnderWay(dialog)) return;
            switch (how) {
                case StopBy::kStopButton:
                    QTest::mouseClick(StopButton(dialog), Qt::LeftButton);
                    break;
                case StopBy::kEscapeYes:
                    job.messages.answer = true;
                    QTest::keyClick(&dialog, Qt::Key_Escape);
                    break;
                case StopBy::kCloseBox:
                    dialog.close();
                    break;
            }
        }));
        QVERIFY(!g_pEngine->IsRunning());
        QCOMPARE(job.Column(CTarnwickDlg::kColStatus),
                 (QStringList{jobtest::kStopped, jobtest::kReady}));
        QCOMPARE(job.Checks(), (QList<bool>{true, true}));
        const QString summary = SummaryLine(job.Window());
        QVERIFY2(
            summary.contains(jobtest::kDone + QStringLiteral(" 0 · ") + jobtest::kFailed +
                             QStringLiteral(" 0 · ") + jobtest::kStopped + QStringLiteral(" 1 · ")),
            qPrintable(summary));
        QVERIFY(job.messages.texts.isEmpty());
        QVERIFY(job.desktop.urls.isEmpty());
        jobtest::VerifyShortenedCopy(job.output / "live.ts");
    }
#endif
};

QTEST_MAIN(JobEndTest)
#include "job_end_test.moc"
