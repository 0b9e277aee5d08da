// A job of more checked rows than the original design had room for: every
// file gets its output and its mark.

#include "job_fixture.h"

using jobtest::JobWindow;
using windowtest::Q;

namespace fs = std::filesystem;

class ManyRowsTest : public QObject {
    Q_OBJECT

private slots:
    void tenThousandAndTwoRows() {
        constexpr int kRows = 10002;
        JobWindow job("[DIR]\nopen=0\n");
        const fs::path tiny = testmedia::Make(
            "ju_tiny.mp4",
            "-f lavfi -i testsrc=duration=0.2:size=64x48:rate=25 -f lavfi -i sine=duration=0.2 "
            "-c:v mpeg4 -c:a aac");
        // Rows as the add would make them, without probing the same file ten
        // thousand times; each row names a file of its own.
        const fs::path in = job.scratch / "in";
        fs::create_directory(in);
        for (int i = 0; i < kRows; ++i) {
            const fs::path link = in / ("v" + std::to_string(i) + ".mp4");
            fs::create_symlink(tiny, link);
            const int row = job.List().AppendRow(
                {Q(link), "mp4", "00:00:00.200", "64*48", "0kbps", "25.00fps", "Ready", "0"});
            job.List().SetCheck(row, true);
        }

        QVERIFY(job.Start({}, 600000));
        QCOMPARE(job.messages.texts, QStringList{jobtest::kJobSucceeded});
        QCOMPARE(static_cast<int>(job.Window().Jobs().CheckedRows().size()), kRows);
        QCOMPARE(job.Window().Jobs().DoneCount(), kRows);
        QCOMPARE(g_pEngine->m_nJobCount, kRows);
        QCOMPARE(job.List().UncheckedRowCount(), kRows);
        for (int row : {0, 9998, 9999, 10000, kRows - 1}) {
            QCOMPARE(job.List().ItemText(row, CTarnwickDlg::kColStatus), jobtest::kDone);
        }
        QCOMPARE(jobtest::FolderContents(job.output.path()).size(), kRows);
        jobtest::VerifySilentCopy(tiny, job.output / "v10001.mp4");
    }
};

QTEST_MAIN(ManyRowsTest)
#include "many_rows_test.moc"
