// The progress dialog and the progress polling: texts read at each opening,
// the open-folder check box, a failing file, stopping, closing the dialog or
// the window while a job runs, and keys that must not end the dialog. Long
// jobs are fed through a pipe, so every stop lands in the middle of a file.

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>

#include "interface_texts.h"
#include "job_fixture.h"
#include "progress_polling.h"

using jobtest::CopyAs;
using jobtest::FolderContents;
using jobtest::JobWindow;
using jobtest::PercentShown;
using jobtest::StopButton;
using jobtest::VerifySilentCopy;
using windowtest::Q;

namespace fs = std::filesystem;

namespace {

QCheckBox* OpenFolderBox(CAVConvertDlg& dialog) {
    return dialog.findChild<QCheckBox*>(QStringLiteral("openFolderCheck"));
}

// A click on the box itself, as a user would make it.
void ClickBox(CAVConvertDlg& dialog) {
    QCheckBox* box = OpenFolderBox(dialog);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->height() / 2, box->height() / 2));
}

QString Caption(CAVConvertDlg& dialog, const char* name) {
    auto* label = dialog.findChild<QLabel*>(QLatin1String(name));
    return label ? label->text() : QStringLiteral("<missing>");
}

// The value of DIR/open in the settings file, or "<none>".
QString OpenSetting(const windowtest::TempProgramFolder& program) {
    const QString text = QString::fromStdString(program.ReadSettings());
    const qsizetype at = text.indexOf(QStringLiteral("[DIR]"));
    if (at < 0) return QStringLiteral("<none>");
    const qsizetype key = text.indexOf(QStringLiteral("open="), at);
    if (key < 0) return QStringLiteral("<none>");
    const qsizetype end = text.indexOf(QLatin1Char('\n'), key);
    return text.mid(key + 5, end < 0 ? -1 : end - key - 5).trimmed();
}

// Waits, inside the dialog's loop, until line 1018 shows the piped file well
// under way.
bool WaitUntilUnderWay(CAVConvertDlg& dialog) {
    [&] { QTRY_VERIFY_WITH_TIMEOUT(PercentShown(dialog.FileLine()) >= 20, 60000); }();
    return !QTest::currentTestFailed();
}

}  // namespace

class ProgressDialogTest : public QObject {
    Q_OBJECT

private slots:
    // The dialog reads its texts and DIR/open each time it opens: a language
    // file changed between two jobs shows at the second.
    void textsAreReadAtEachOpening() {
        JobWindow job("[DIR]\nopen=yes\n");
        job.Add({jobtest::Mp4()});
        struct Seen {
            QString title, current, all, stop, stopTip, box;
            bool checked = true;
        } seen;
        const auto look = [&](CAVConvertDlg& dialog) {
            seen = {dialog.windowTitle(),
                    Caption(dialog, "currentFileCaption"),
                    Caption(dialog, "allFilesCaption"),
                    StopButton(dialog)->text(),
                    StopButton(dialog)->toolTip(),
                    OpenFolderBox(dialog)->text(),
                    OpenFolderBox(dialog)->isChecked()};
        };

        QVERIFY(job.Start(look));
        QCOMPARE(seen.title, QStringLiteral("Velmora Test"));
        QCOMPARE(seen.current, QStringLiteral("Current file:"));
        QCOMPARE(seen.all, QStringLiteral("All files:"));
        QCOMPARE(seen.stop, QStringLiteral("Stop"));
        QCOMPARE(seen.stopTip, QStringLiteral("Stop"));
        QCOMPARE(seen.box, QString::fromUtf8("完成后打开文件夹"));
        QVERIFY(!seen.checked);  // only "1" means yes

        QString texts = QString::fromUtf8(jobtest::kLanguageText);
        texts.replace("name=Velmora Test", QString::fromUtf8("name=其他"))
            .replace("dqwj=Current file:", QString::fromUtf8("dqwj=当前文件："))
            .replace("tz=Stop", QString::fromUtf8("tz=停止"));
        job.program.WriteLanguage("test.ini", texts.toStdString());
        job.List().SetAllChecks(true);
        QVERIFY(job.Start(look));
        QCOMPARE(seen.title, QString::fromUtf8("其他"));
        QCOMPARE(seen.current, QString::fromUtf8("当前文件："));
        QCOMPARE(seen.stop, QString::fromUtf8("停止"));
        // The window's own texts were read once, at start-up.
        QCOMPARE(job.messages.texts, QStringList(2, jobtest::kJobSucceeded));
    }

    // The controls of the dialog lie inside it and do not cover each other.
    void layout() {
        JobWindow job;
        job.Add({jobtest::Mp4()});
        QList<QRect> rects;
        QRect inside;
        QVERIFY(job.Start([&](CAVConvertDlg& dialog) {
            inside = dialog.rect();
            for (QWidget* child : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                if (child->isVisible()) rects << child->geometry();
        }));
        QCOMPARE(rects.size(), 8);
        for (qsizetype i = 0; i < rects.size(); ++i) {
            QVERIFY(inside.contains(rects[i]));
            for (qsizetype j = i + 1; j < rects.size(); ++j)
                QVERIFY2(!rects[i].intersects(rects[j]),
                         qPrintable(QStringLiteral("controls %1 and %2").arg(i).arg(j)));
        }
    }

    // The check box takes effect for the running job at once and is stored
    // when the polling ends the dialog at the job's end.
    void openFolderCheckBox_data() {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<bool>("click");
        QTest::addColumn<bool>("opened");
        QTest::addColumn<QString>("stored");
        QTest::newRow("on, kept") << "1" << false << true << "1";
        QTest::newRow("on, unchecked") << "1" << true << false << "0";
        QTest::newRow("off, checked") << "0" << true << true << "1";
        QTest::newRow("not exactly 1") << "yes" << false << false << "0";
    }

    void openFolderCheckBox() {
        QFETCH(QString, setting);
        QFETCH(bool, click);
        QFETCH(bool, opened);
        QFETCH(QString, stored);
        JobWindow job("[DIR]\nopen=" + setting.toStdString() + "\n");
        job.Add({jobtest::Mp4()});

        QVERIFY(job.Start([&](CAVConvertDlg& dialog) {
            if (click) ClickBox(dialog);
        }));
        QCOMPARE(job.messages.texts, QStringList{jobtest::kJobSucceeded});
        QCOMPARE(job.desktop.urls.size(), opened ? 1 : 0);
        QCOMPARE(OpenSetting(job.program), stored);
    }

    // A row that failed in one job and is copied in the next keeps nothing
    // of the first: its word and its reason go.
    void aNewJobClearsTheWordsOfTheLast() {
        JobWindow job;
        const fs::path in = job.scratch / "in";
        const fs::path x = CopyAs(jobtest::Mp4(), in, "x.mp4");
        job.Add({x});
        fs::rename(x, in / "away.mp4");
        QVERIFY(job.Start());
        QCOMPARE(job.Column(CTarnwickDlg::kColStatus), QStringList{jobtest::kFailed});

        fs::rename(in / "away.mp4", x);
        job.messages.texts.clear();
        QVERIFY(job.Start());
        QCOMPARE(job.messages.texts, QStringList{jobtest::kJobSucceeded});
        QCOMPARE(job.Column(CTarnwickDlg::kColStatus), QStringList{jobtest::kDone});
        QCOMPARE(job.List().topLevelItem(0)->toolTip(3), Q(x));
    }

    // A file that is gone by the time the job comes to it fails; the files
    // before and after it are copied and marked done, the failed one is
    // marked failed and its row says why.
    void aFailedFileDoesNotEndTheJob() {
        JobWindow job;
        const fs::path in = job.scratch / "in";
        const fs::path a = CopyAs(jobtest::Mp4(), in, "a.mp4");
        const fs::path c = CopyAs(jobtest::Mkv(), in, "c.mkv");
        const fs::path x = CopyAs(jobtest::Mp4(), in, "x.mp4");
        job.Add({a, x, c});
        QCOMPARE(job.List().RowCount(), 3);
        fs::remove(x);

        QVERIFY(job.Start());
        // The message says how many files were done and names the failed
        // one with why.
        QCOMPARE(job.messages.texts,
                 QStringList{jobtest::kJobFailed + "\n\n2 of 3 files\n\n"
                                                   "x.mp4: the file no longer exists"});
        // The failure report opens the help address, not the output folder.
        QCOMPARE(job.desktop.urls.size(), 1);
        QVERIFY(!job.desktop.urls[0].isLocalFile());
        QVERIFY(!g_pEngine->IsRunning());
        VerifySilentCopy(a, job.output / "a.mp4");
        QVERIFY(!fs::exists(job.output / "x.mp4"));
        VerifySilentCopy(c, job.output / "c.mkv");
        QCOMPARE(job.Column(CTarnwickDlg::kColStatus),
                 (QStringList{jobtest::kDone, jobtest::kFailed, jobtest::kDone}));
        QCOMPARE(job.Checks(), (QList<bool>{false, true, false}));
        const QString tip = job.List().topLevelItem(1)->toolTip(0);
        QCOMPARE(tip, Q(x) + "\nthe file no longer exists");
    }

#ifdef Q_OS_UNIX
    // The stop button in the middle of a long file: a shortened valid
    // output, no message, DIR/open left as it was, the row marked stopped and
    // still checked.
    void stopDuringALongFile() {
        JobWindow job;
        jobtest::PipedJob piped(job);
        QVERIFY(piped.ok());
        QString fileLine, countLine;
        int fileBar = -1, overallBar = -1;
        bool stopRaised = false;
        bool stillRunning = true;

        QVERIFY(job.Start([&](CAVConvertDlg& dialog) {
            if (!WaitUntilUnderWay(dialog)) return;
            fileLine = dialog.FileLine();
            countLine = dialog.CountLine();
            fileBar = dialog.findChild<QProgressBar*>(QStringLiteral("fileBar"))->value();
            overallBar = dialog.findChild<QProgressBar*>(QStringLiteral("overallBar"))->value();
            QTest::mouseClick(StopButton(dialog), Qt::LeftButton);
            // The stop is raised at once; the dialog ends with the job's end
            // report, at the first poll after the worker has ended.
            stopRaised = g_pEngine->m_bStop;
            [&] { QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsRunning(), 60000); }();
            stillRunning = dialog.IsRunning();
        }));
        const int percent = PercentShown(fileLine);
        QCOMPARE(fileLine, piped.path() + QStringLiteral("   %1% done").arg(percent));
        QCOMPARE(countLine, QStringLiteral("0 of 1 files"));
        QCOMPARE(fileBar, percent);
        QCOMPARE(overallBar, 0);
        QVERIFY(stopRaised);
        QVERIFY(!stillRunning);

        QVERIFY(job.messages.texts.isEmpty());
        QVERIFY(job.desktop.urls.isEmpty());
        QCOMPARE(OpenSetting(job.program), QStringLiteral("<none>"));
        QVERIFY(!g_pEngine->IsRunning());
        jobtest::VerifyShortenedCopy(job.output / "live.ts");
        QCOMPARE(job.Column(CTarnwickDlg::kColStatus), QStringList{jobtest::kStopped});
        QCOMPARE(job.Checks(), QList<bool>{true});
    }

    // The close box stops the job too, and stores the check box.
    void closeBoxStopsAndStoresTheCheckBox() {
        JobWindow job("[DIR]\nopen=1\n");
        jobtest::PipedJob piped(job);
        QVERIFY(piped.ok());
        QVERIFY(job.Start([&](CAVConvertDlg& dialog) {
            if (!WaitUntilUnderWay(dialog)) return;
            ClickBox(dialog);
            dialog.close();
        }));
        QVERIFY(job.messages.texts.isEmpty());
        QVERIFY(job.desktop.urls.isEmpty());
        QCOMPARE(OpenSetting(job.program), QStringLiteral("0"));
        QVERIFY(!g_pEngine->IsRunning());
        jobtest::VerifyShortenedCopy(job.output / "live.ts");
    }

    // Esc and Enter, wherever the focus is, keep the dialog up and the job
    // running.
    // Enter does nothing; Esc asks whether to stop, and only a yes stops.
    void escapeAsksAndEnterIsIgnored() {
        JobWindow job;
        jobtest::PipedJob piped(job);
        QVERIFY(piped.ok());
        bool upAfterKeys = false;
        bool stopRaised = true;
        bool boxUnchanged = false;
        bool stoppedByYes = false;
        QVERIFY(job.Start([&](CAVConvertDlg& dialog) {
            if (!WaitUntilUnderWay(dialog)) return;
            QCheckBox* box = OpenFolderBox(dialog);
            const bool checked = box->isChecked();
            for (QWidget* target :
                 {static_cast<QWidget*>(&dialog), static_cast<QWidget*>(StopButton(dialog)),
                  static_cast<QWidget*>(box)}) {
                target->setFocus();
                for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter})
                    QTest::keyClick(target, key);
            }
            // A few polls later the job still runs.
            QTest::qWait(3 * kProgressTickMs);
            upAfterKeys = dialog.IsRunning();
            stopRaised = g_pEngine->m_bStop;
            boxUnchanged = box->isChecked() == checked;
            job.messages.answer = true;
            QTest::keyClick(&dialog, Qt::Key_Escape);
            const bool raised = g_pEngine->m_bStop;
            [&] { QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsRunning(), 60000); }();
            stoppedByYes = raised && !dialog.IsRunning();
        }));
        QVERIFY(upAfterKeys);
        QVERIFY(!stopRaised);
        QVERIFY(boxUnchanged);
        QVERIFY(stoppedByYes);
        QCOMPARE(job.messages.questions.size(), 4);
        QCOMPARE(job.messages.questions.first(), InterfaceText(lang::kStopJobQuestion));
        QVERIFY(job.messages.texts.isEmpty());
    }

    // A file of unknown length has no percentage; line 1018 names it all
    // the same.
    void fileOfUnknownLength() {
        JobWindow job;
        jobtest::PipedJob piped(job);
        QVERIFY(piped.ok());
        job.List().SetItemText(0, CTarnwickDlg::kColDuration, QString());
        QString shown;
        QVERIFY(job.Start([&](CAVConvertDlg& dialog) {
            QTRY_COMPARE_WITH_TIMEOUT(dialog.FileLine(), piped.path(), 60000);
            shown = dialog.FileLine();
            QTest::mouseClick(StopButton(dialog), Qt::LeftButton);
        }));
        QCOMPARE(shown, piped.path());
    }

    // After a stop the next job runs on the same engine, and its dialog's
    // check box, read from DIR/open, decides whether the folder opens, even
    // though the stopped job's box said otherwise and was not stored.
    void nextJobAfterAStop() {
        JobWindow job("[DIR]\nopen=1\n");
        jobtest::PipedJob piped(job);
        QVERIFY(piped.ok());
        QVERIFY(job.Start([&](CAVConvertDlg& dialog) {
            if (!WaitUntilUnderWay(dialog)) return;
            ClickBox(dialog);
            QTest::mouseClick(StopButton(dialog), Qt::LeftButton);
        }));
        QCOMPARE(OpenSetting(job.program), QStringLiteral("1"));
        QVERIFY(!job.Window().m_bOpenFolder);

        job.List().SetCheck(0, false);
        job.Add({jobtest::Mp4()});
        bool shownChecked = false;
        QVERIFY(job.Start(
            [&](CAVConvertDlg& dialog) { shownChecked = OpenFolderBox(dialog)->isChecked(); }));
        QVERIFY(shownChecked);
        QCOMPARE(job.messages.texts, QStringList{jobtest::kJobSucceeded});
        QCOMPARE(job.desktop.urls, QList<QUrl>{QUrl::fromLocalFile(Q(job.output.path()))});
        VerifySilentCopy(jobtest::Mp4(), job.output / "ju_a.mp4");
        QCOMPARE(job.Column(CTarnwickDlg::kColStatus),
                 (QStringList{jobtest::kStopped, jobtest::kDone}));
    }

    // Closing the main window right after a stop, or while the job runs,
    // stops the worker before the engine goes: nothing is left running or
    // reported, and what was written is a valid file.
    void closingTheWindow_data() {
        QTest::addColumn<bool>("stopFirst");
        QTest::newRow("right after a stop") << true;
        QTest::newRow("while the job runs") << false;
    }

    void closingTheWindow() {
        QFETCH(bool, stopFirst);
        JobWindow job;
        jobtest::PipedJob piped(job);
        QVERIFY(piped.ok());
        job.Window().show();
        bool dialogUp = true;
        QVERIFY(job.Start([&](CAVConvertDlg& dialog) {
            if (!WaitUntilUnderWay(dialog)) return;
            if (stopFirst) QTest::mouseClick(StopButton(dialog), Qt::LeftButton);
            job.Window().close();
            dialogUp = dialog.IsRunning();
        }));
        QVERIFY(!dialogUp);
        QVERIFY(!job.Window().isVisible());
        QVERIFY(!g_pEngine);
        QVERIFY(job.messages.texts.isEmpty());
        QCOMPARE(OpenSetting(job.program),
                 stopFirst ? QStringLiteral("<none>") : QStringLiteral("1"));
        jobtest::VerifyShortenedCopy(job.output / "live.ts");
        // The polling has ended with the job.
        QTest::qWait(2 * kProgressTickMs);
        QVERIFY(job.messages.texts.isEmpty());
    }
#endif

    // The window closes while the success message is up: the engine goes
    // at once, and what the end report still does needs none of it.
    void closingTheWindowDuringTheEndMessage() {
        JobWindow job;
        job.Add({jobtest::Mp4()});
        job.Window().show();
        job.messages.onMessage = [&](const QString&) { job.Window().close(); };
        QVERIFY(job.Start());
        QCOMPARE(job.messages.texts, QStringList{jobtest::kJobSucceeded});
        QVERIFY(!g_pEngine);
        QVERIFY(!job.Window().isVisible());
        QCOMPARE(job.desktop.urls, QList<QUrl>{QUrl::fromLocalFile(Q(job.output.path()))});
        VerifySilentCopy(jobtest::Mp4(), job.output / "ju_a.mp4");
    }
};

QTEST_MAIN(ProgressDialogTest)
#include "progress_dialog_test.moc"
