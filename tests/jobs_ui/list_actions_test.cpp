// The file list after a job: its menu, double-click on a finished row, the
// line under it, sorting, and what a desktop that cannot open things gives.

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QTest>

#include "interface_texts.h"
#include "job_fixture.h"

using jobtest::JobWindow;
using windowtest::Q;

namespace fs = std::filesystem;

namespace {

QAction* ActionNamed(QMenu& menu, const ProfileKey& key) {
    for (QAction* action : menu.actions())
        if (!action->isSeparator() && action->text() == InterfaceText(key)) return action;
    return nullptr;
}

QString SummaryLine(CTarnwickDlg& window) {
    return window.findChild<QLabel*>(QStringLiteral("summaryLine"))->text();
}

}  // namespace

class ListActionsTest : public QObject {
    Q_OBJECT

private slots:
    // After a job with one copy done and one failed: the done row opens its
    // copy from the menu and by double-click, the failed row has nothing to
    // open, and the line under the list counts both.
    void finishedRowsOpenTheirCopies() {
        JobWindow job;
        const fs::path in = job.scratch / "in";
        const fs::path good = jobtest::CopyAs(jobtest::Mp4(), in, "good.mp4");
        const fs::path gone = jobtest::CopyAs(jobtest::Mp4(), in, "gone.mp4");
        job.Add({good, gone});
        QCOMPARE(job.List().RowCount(), 2);
        QVERIFY(SummaryLine(job.Window()).startsWith(QStringLiteral("2 ")));
        fs::remove(gone);  // fails when its turn comes

        QVERIFY(job.Start());
        const QString copy = Q(job.output / "good.mp4");
        QCOMPARE(job.Window().OutputOfRow(0), copy);
        QCOMPARE(job.Window().OutputOfRow(1), QString());
        // "Done 1 · Failed 1 · Written … · Time taken …"
        const QString summary = SummaryLine(job.Window());
        QVERIFY2(summary.contains(InterfaceText(lang::kStatusDone) + QStringLiteral(" 1 · ") +
                                  InterfaceText(lang::kStatusFailed) + QStringLiteral(" 1 · ")),
                 qPrintable(summary));
        QVERIFY2(summary.contains(QLocale().formattedDataSize(
                     static_cast<qint64>(fs::file_size(job.output / "good.mp4")))),
                 qPrintable(summary));

        job.desktop.urls.clear();
        std::unique_ptr<QMenu> menu = job.Window().MakeRowMenu(0);
        QAction* open = ActionNamed(*menu, lang::kMenuOpenOutput);
        QVERIFY(open && open->isEnabled());
        open->trigger();
        ActionNamed(*menu, lang::kMenuShowInFolder)->trigger();
        job.Window().OnRowDoubleClicked(0);
        QCOMPARE(job.desktop.urls,
                 (QList<QUrl>{QUrl::fromLocalFile(copy), QUrl::fromLocalFile(Q(job.output.path())),
                              QUrl::fromLocalFile(copy)}));

        // The failed row: nothing to open, its own folder to show.
        job.desktop.urls.clear();
        menu = job.Window().MakeRowMenu(1);
        QVERIFY(!ActionNamed(*menu, lang::kMenuOpenOutput)->isEnabled());
        job.Window().OnRowDoubleClicked(1);
        QVERIFY(job.desktop.urls.isEmpty());

        // A copy deleted since is not offered either.
        fs::remove(job.output / "good.mp4");
        QCOMPARE(job.Window().OutputOfRow(0), QString());
    }

    // The menu's copy and remove act on every selected row.
    void copyAndRemoveTheSelectedRows() {
        JobWindow job;
        const fs::path in = job.scratch / "in";
        job.Add({jobtest::CopyAs(jobtest::Mp4(), in, "a.mp4"),
                 jobtest::CopyAs(jobtest::Mp4(), in, "b.mp4"),
                 jobtest::CopyAs(jobtest::Mp4(), in, "c.mp4")});
        job.List().SetRowSelected(0, true);
        job.List().SetRowSelected(2, true);
        std::unique_ptr<QMenu> menu = job.Window().MakeRowMenu(2);
        ActionNamed(*menu, lang::kMenuCopyPath)->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 Q(in / "a.mp4") + QLatin1Char('\n') + Q(in / "c.mp4"));
        ActionNamed(*menu, lang::kDeleteFileHint)->trigger();
        QCOMPARE(job.Column(CTarnwickDlg::kColPath), QStringList{Q(in / "b.mp4")});
        QVERIFY(SummaryLine(job.Window()).startsWith(QStringLiteral("1 ")));
    }

    // A desktop that cannot open the output folder: the user is told, with
    // the path.
    void aFailedOpenIsReported() {
        JobWindow job;
        job.desktop.accepts = false;
        job.Add({jobtest::CopyAs(jobtest::Mp4(), job.scratch / "in", "a.mp4")});
        QVERIFY(job.Start());  // the folder is opened after a job that succeeded
        QCOMPARE(job.messages.texts.size(), 2);
        QCOMPARE(job.messages.texts.at(1), InterfaceText(lang::kCannotOpen) + Q(job.output.path()));
    }
};

QTEST_MAIN(ListActionsTest)
#include "list_actions_test.moc"
