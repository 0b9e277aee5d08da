// How a job ends: every way of stopping it reaches the same end report as a
// job that ran to its end, and the row in work and the line under the list
// say that it was stopped.

#include <QCheckBox>
#include <QLabel>
#include <QSignalSpy>

#include "job_fixture.h"

using jobtest::JobWindow;
using jobtest::PercentShown;
using jobtest::StopButton;
using windowtest::Q;

namespace fs = std::filesystem;

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

QCheckBox* OpenFolderBox(CAVConvertDlg& dialog) {
    return dialog.findChild<QCheckBox*>(QStringLiteral("openFolderCheck"));
}

// The ways a user stops a running job.
enum class StopBy { kStopButton, kEscapeYes, kCloseBox };

}  // namespace

Q_DECLARE_METATYPE(StopBy)

class JobEndTest : public QObject {
    Q_OBJECT

private slots:
    // A job that runs to its end ends the dialog through the controller's
    // end report, without a stop: neither the dialog asks for one nor is
    // the engine's stop request raised, before or after the end.
    void theNormalEndTakesNoStopPath() {
        JobWindow job;
        const fs::path in = job.scratch / "in";
        job.Add({jobtest::CopyAs(jobtest::Mp4(), in, "a.mp4"),
                 jobtest::CopyAs(jobtest::Avi(), in, "b.avi")});
        velmora::JobController& jobs = job.Window().Jobs();
        QSignalSpy ends(&jobs, &velmora::JobController::jobEnded);
        QSignalSpy rows(&jobs, &velmora::JobController::rowFinished);
        std::unique_ptr<QSignalSpy> stops, closes;
        bool dialogUpAtEnd = true;
        bool stopRaisedAtEnd = true;
        QMetaObject::Connection atEnd;

        QVERIFY(job.Start([&](CAVConvertDlg& dialog) {
            stops = std::make_unique<QSignalSpy>(&dialog, &CAVConvertDlg::stopRequested);
            closes = std::make_unique<QSignalSpy>(&dialog, &CAVConvertDlg::closeRequested);
            // Connected after the dialog's and the window's slots: runs last.
            atEnd = QObject::connect(&jobs, &velmora::JobController::jobEnded, [&] {
                dialogUpAtEnd = dialog.IsRunning();
                stopRaisedAtEnd = g_pEngine->m_bStop;
            });
        }));
        QObject::disconnect(atEnd);
        QVERIFY(stops && closes);
        QCOMPARE(stops->size(), 0);
        QCOMPARE(closes->size(), 0);
        QVERIFY(!dialogUpAtEnd);
        QVERIFY(!stopRaisedAtEnd);
        QVERIFY(!g_pEngine->m_bStop);
        QVERIFY(!g_pEngine->IsRunning());

        QCOMPARE(ends.size(), 1);
        const auto end = ends[0][0].value<velmora::JobEnd>();
        QCOMPARE(end.total, 2);
        QCOMPARE(end.done, 2);
        QCOMPARE(end.failed, 0);
        QCOMPARE(end.stopped, 0);
        QVERIFY(!end.stopRequested);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(job.messages.texts, QStringList{jobtest::kJobSucceeded});
        QCOMPARE(job.Column(CTarnwickDlg::kColStatus),
                 (QStringList{jobtest::kDone, jobtest::kDone}));
    }

    // The open-folder box is the dialog's: a click changes nothing of the
    // window while the job runs. The choice reaches the window with the
    // controller's end report, for a job that ends by itself and for one
    // that is stopped alike.
    void theOpenFolderChoiceComesWithTheEndReport_data() {
        QTest::addColumn<bool>("stop");
        QTest::newRow("ends by itself") << false;
#ifdef Q_OS_UNIX
        QTest::newRow("stopped") << true;
#endif
    }

    void theOpenFolderChoiceComesWithTheEndReport() {
        QFETCH(bool, stop);
        JobWindow job("[DIR]\nopen=1\n");
        std::unique_ptr<jobtest::PipedJob> piped;
        if (stop) {
#ifdef Q_OS_UNIX
            piped = std::make_unique<jobtest::PipedJob>(job);
            QVERIFY(piped->ok());
#endif
        } else {
            job.Add({jobtest::Mp4()});
        }
        QSignalSpy ends(&job.Window().Jobs(), &velmora::JobController::jobEnded);
        bool windowAfterClick = false;
        QVERIFY(job.Start([&](CAVConvertDlg& dialog) {
            if (stop && !WaitUntilUnderWay(dialog)) return;
            QCheckBox* box = OpenFolderBox(dialog);
            QTest::mouseClick(box, Qt::LeftButton, {},
                              QPoint(box->height() / 2, box->height() / 2));
            windowAfterClick = job.Window().m_bOpenFolder;
            if (stop) QTest::mouseClick(StopButton(dialog), Qt::LeftButton);
        }));
        QVERIFY(windowAfterClick);
        QCOMPARE(ends.size(), 1);
        QVERIFY(!ends[0][0].value<velmora::JobEnd>().openFolder);
        QVERIFY(!job.Window().m_bOpenFolder);
        QVERIFY(job.desktop.urls.isEmpty());
    }

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
