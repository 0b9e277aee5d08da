// The start command: its checks and messages, and what a finished job leaves
// in the output folder and in the file list. Real media made by ffmpeg, real
// engine, outputs checked with ffprobe.

#include <QComboBox>

#include "frontend_core/output_folder.h"
#include "job_fixture.h"
#include "progress_polling.h"

using jobtest::CopyAs;
using jobtest::FolderContents;
using jobtest::JobWindow;
using jobtest::VerifySilentCopy;
using windowtest::Q;

namespace fs = std::filesystem;

namespace {

const QString kNothingChecked = QString::fromUtf8("请先选中文件!");
const QString kNotWritable =
    QString::fromUtf8("MP4文件生成失败，请点击浏览按钮选择保存到其他目录!");
const QString kNoSpace = QString::fromUtf8("磁盘可用容量不够，请点击浏览按钮选择保存到其他盘!");

// What the refusal cases set up before the start button is pressed.
enum class Setup {
    kEmptyList,
    kEmptyListMissingFolder,
    kNothingChecked,
    kNothingCheckedMissingFolder,
    kBackslashFolder,
    kMissingFolder,
    kEmptyFolderText,
    kFolderIsAFile,
    kReadOnlyFolder,
    kNotEnoughSpace,
    kNameWithoutDot,
    kMissingFolderAndNameWithoutDot,
};

}  // namespace

Q_DECLARE_METATYPE(Setup)

class SoundRemovalTest : public QObject {
    Q_OBJECT

private slots:
    // Each check stops the command before anything starts, with its own
    // message or none; the first failing check is the one reported.
    void refusals_data() {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QStringList>("messages");
        const QStringList none;
        QTest::newRow("empty list") << Setup::kEmptyList << QStringList{"Add files first (qxtjsp)"};
        QTest::newRow("empty list, missing folder")
            << Setup::kEmptyListMissingFolder << QStringList{"Add files first (qxtjsp)"};
        QTest::newRow("nothing checked") << Setup::kNothingChecked << QStringList{kNothingChecked};
        QTest::newRow("nothing checked, missing folder")
            << Setup::kNothingCheckedMissingFolder << QStringList{kNothingChecked};
        QTest::newRow("folder is a lone backslash") << Setup::kBackslashFolder << none;
        QTest::newRow("missing folder")
            << Setup::kMissingFolder << QStringList{"No such folder (mlbcz)"};
        QTest::newRow("empty folder text")
            << Setup::kEmptyFolderText << QStringList{"No such folder (mlbcz)"};
        QTest::newRow("folder is a file") << Setup::kFolderIsAFile << QStringList{kNotWritable};
        QTest::newRow("read-only folder") << Setup::kReadOnlyFolder << QStringList{kNotWritable};
        QTest::newRow("not enough space") << Setup::kNotEnoughSpace << QStringList{kNoSpace};
        QTest::newRow("file name without a dot") << Setup::kNameWithoutDot << none;
        QTest::newRow("missing folder, name without a dot")
            << Setup::kMissingFolderAndNameWithoutDot << QStringList{"No such folder (mlbcz)"};
    }

    void refusals() {
        QFETCH(Setup, setup);
        QFETCH(QStringList, messages);
        JobWindow job;
        const QString missing = Q(job.scratch / "gone");
        fs::path outputFolder = job.output.path();

        switch (setup) {
            case Setup::kEmptyList:
                break;
            case Setup::kEmptyListMissingFolder:
                job.SetOutputFolder(missing);
                break;
            case Setup::kNothingChecked:
            case Setup::kNothingCheckedMissingFolder:
                job.Add({jobtest::Mp4(), jobtest::Avi()});
                job.List().SetAllChecks(false);
                if (setup == Setup::kNothingCheckedMissingFolder) job.SetOutputFolder(missing);
                break;
            case Setup::kBackslashFolder:
                job.Add({jobtest::Mp4()});
                job.SetOutputFolder(QStringLiteral("\\"));
                break;
            case Setup::kMissingFolder:
                job.Add({jobtest::Mp4()});
                job.SetOutputFolder(missing);
                break;
            case Setup::kEmptyFolderText:
                job.Add({jobtest::Mp4()});
                job.SetOutputFolder(QString());
                break;
            case Setup::kFolderIsAFile:
                job.Add({jobtest::Mp4()});
                job.SetOutputFolder(Q(CopyAs(jobtest::Mp4(), job.scratch.path(), "out.mp4")));
                break;
            case Setup::kReadOnlyFolder:
                outputFolder = job.scratch / "locked";
                fs::create_directory(outputFolder);
                fs::permissions(outputFolder, fs::perms::owner_read | fs::perms::owner_exec);
                if (!FolderWriteTest(outputFolder)) QSKIP("this user may write anywhere");
                job.Add({jobtest::Mp4()});
                job.SetOutputFolder(Q(outputFolder));
                break;
            case Setup::kNotEnoughSpace: {
                // A sparse file far larger than the free room of the output
                // folder's disk stands in for a large video.
                const fs::path huge = job.scratch / "huge.mp4";
                { std::ofstream(huge.string()); }
                std::error_code ec;
                const std::uintmax_t size = std::uintmax_t{8} << 40;  // 8 TiB
                fs::resize_file(huge, size, ec);
                if (ec || fs::space(outputFolder).free >= size) QSKIP("no sparse file of 8 TiB");
                job.Add({jobtest::Mp4()});
                job.List().SetItemText(0, CTarnwickDlg::kColPath, Q(huge));
                break;
            }
            case Setup::kNameWithoutDot:
            case Setup::kMissingFolderAndNameWithoutDot:
                // Only the folder's name has a dot. Adding refuses such a
                // file, so the row is made as the list's own text.
                job.Add({jobtest::Mp4(), CopyAs(jobtest::Mp4(), job.scratch.path(), "second.mp4")});
                QCOMPARE(job.List().RowCount(), 2);
                job.List().SetItemText(
                    1, CTarnwickDlg::kColPath,
                    Q(CopyAs(jobtest::Mp4(), job.scratch / "clips.v2", "movie")));
                if (setup == Setup::kMissingFolderAndNameWithoutDot) job.SetOutputFolder(missing);
                break;
        }

        QVERIFY(job.Start());
        QCOMPARE(job.messages.texts, messages);
        // Nothing started: no dialog, no worker, no file.
        QVERIFY(job.Window().m_progressDlg == nullptr);
        QVERIFY(!g_pEngine || !g_pEngine->IsRunning());
        if (fs::is_directory(outputFolder)) QCOMPARE(FolderContents(outputFolder), QStringList{});
        for (const QString& status : job.Column(CTarnwickDlg::kColStatus))
            QCOMPARE(status, jobtest::kReady);
        fs::permissions(outputFolder, fs::perms::owner_all, fs::perm_options::add);
    }

    // Three checked files of three containers: three silent copies, each in
    // its source's container; every row done and unchecked; one message; the
    // output folder opened as DIR/open asks.
    void threeFilesSucceed() {
        JobWindow job;
        const fs::path in = job.scratch / "in";
        const fs::path a = CopyAs(jobtest::Mp4(), in, "a.mp4");
        const fs::path b = CopyAs(jobtest::Avi(), in, "b.avi");
        const fs::path c = CopyAs(jobtest::Mkv(), in, "c.mkv");
        job.Add({a, b, c});

        QVERIFY(job.Start());
        QCOMPARE(job.messages.texts, QStringList{jobtest::kJobSucceeded});
        QCOMPARE(FolderContents(job.output.path()), (QStringList{"a.mp4", "b.avi", "c.mkv"}));
        VerifySilentCopy(a, job.output / "a.mp4");
        VerifySilentCopy(b, job.output / "b.avi");
        VerifySilentCopy(c, job.output / "c.mkv");
        QCOMPARE(job.Column(CTarnwickDlg::kColStatus),
                 (QStringList{jobtest::kDone, jobtest::kDone, jobtest::kDone}));
        QCOMPARE(job.Checks(), (QList<bool>{false, false, false}));
        QCOMPARE(job.Window().m_nDoneCount, 3);
        QCOMPARE(job.desktop.urls, QList<QUrl>{QUrl::fromLocalFile(Q(job.output.path()))});
        QVERIFY(!g_pEngine->IsRunning());
        // The end is reported once: later polls, if any, say nothing more.
        QTest::qWait(3 * kProgressTickMs);
        QCOMPARE(job.messages.texts.size(), 1);

        // Everything is done and unchecked: a second start has nothing to do.
        job.messages.texts.clear();
        QVERIFY(job.Start());
        QCOMPARE(job.messages.texts, QStringList{QString::fromUtf8("请先选中文件!")});
    }

    // A name already taken in the output folder gets "(0)"; the file that
    // had it is left as it was.
    void existingNameGetsANumber() {
        JobWindow job;
        const fs::path a = CopyAs(jobtest::Mp4(), job.scratch / "in", "a.mp4");
        {
            std::ofstream mine(job.output / "a.mp4", std::ios::binary);
            mine << "the user's own file";
        }
        job.Add({a});

        QVERIFY(job.Start());
        QCOMPARE(job.messages.texts, QStringList{jobtest::kJobSucceeded});
        QCOMPARE(FolderContents(job.output.path()), (QStringList{"a(0).mp4", "a.mp4"}));
        VerifySilentCopy(a, job.output / "a(0).mp4");
        std::ifstream mine(job.output / "a.mp4", std::ios::binary);
        QCOMPARE(std::string(std::istreambuf_iterator<char>(mine), {}),
                 std::string("the user's own file"));
    }

    // Two checked files of the same name from different folders each get
    // their own output, with their own pictures.
    void sameNameFromTwoFolders() {
        JobWindow job;
        const fs::path first = CopyAs(jobtest::Mp4(), job.scratch / "one", "clip.mp4");
        const fs::path second = CopyAs(jobtest::OtherMp4(), job.scratch / "two", "clip.mp4");
        job.Add({first, second});

        QVERIFY(job.Start());
        QCOMPARE(job.messages.texts, QStringList{jobtest::kJobSucceeded});
        QCOMPARE(FolderContents(job.output.path()), (QStringList{"clip(0).mp4", "clip.mp4"}));
        VerifySilentCopy(first, job.output / "clip.mp4");
        VerifySilentCopy(second, job.output / "clip(0).mp4");
    }

    // An unchecked row is neither processed nor counted nor marked.
    void uncheckedRowIsLeftAlone() {
        JobWindow job;
        const fs::path in = job.scratch / "in";
        job.Add({CopyAs(jobtest::Mp4(), in, "a.mp4"), CopyAs(jobtest::Avi(), in, "b.avi"),
                 CopyAs(jobtest::Mkv(), in, "c.mkv")});
        job.List().SetCheck(1, false);

        QVERIFY(job.Start());
        QCOMPARE(job.messages.texts, QStringList{jobtest::kJobSucceeded});
        QCOMPARE(job.Window().m_checkedRows, (std::vector<int>{0, 2}));
        QCOMPARE(g_pEngine->m_nJobCount, 2);
        QCOMPARE(FolderContents(job.output.path()), (QStringList{"a.mp4", "c.mkv"}));
        QCOMPARE(job.Column(CTarnwickDlg::kColStatus),
                 (QStringList{jobtest::kDone, jobtest::kReady, jobtest::kDone}));
        QCOMPARE(job.Checks(), (QList<bool>{false, false, false}));
    }

    // A download cut short, its index at the front: the window copies what
    // the file holds, marks the row done, and says on the row and in the
    // end message how many video packets are missing and where the copy
    // ends, in the language file's words.
    void aDownloadCutShortSaysWhatItLacks() {
        JobWindow job;
        const fs::path whole = testmedia::Make(
            "ju_faststart.mp4",
            jobtest::Sources("testsrc2", 4) + "-c:v libx264 -g 25 -c:a aac -movflags +faststart");
        const fs::path cut = CopyAs(whole, job.scratch / "in", "cut.mp4");
        fs::resize_file(cut, fs::file_size(whole) / 2);
        job.Add({cut});

        QVERIFY(job.Start());
        const fs::path output = job.output / "cut.mp4";
        QVERIFY(fs::exists(output));
        const auto all = testmedia::PacketsOf(testmedia::Packets(whole), 0);
        const auto copied = testmedia::PacketsOf(testmedia::Packets(output), 0);
        QVERIFY(!copied.empty() && copied.size() < all.size());
        for (size_t i = 0; i < copied.size(); ++i) QCOMPARE(copied[i].hash, all[i].hash);

        // The end, from ffprobe: the time of the output's last packet.
        const QStringList times =
            Q(testmedia::Run("ffprobe -v error -select_streams v:0 -show_entries packet=pts_time "
                             "-of csv=p=0 " +
                             testmedia::Quote(output.string())))
                .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        const qint64 ms = qRound64(times.last().toDouble() * 1000);
        const QString end = QStringLiteral("%1:%2:%3.%4")
                                .arg(ms / 3600000, 2, 10, QLatin1Char('0'))
                                .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
                                .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
                                .arg(ms % 1000, 3, 10, QLatin1Char('0'));
        const QString note = QStringLiteral("%1 of %2 left out, ends at %3 (wjjd)")
                                 .arg(all.size() - copied.size())
                                 .arg(all.size())
                                 .arg(end);
        QCOMPARE(job.Column(CTarnwickDlg::kColStatus), QStringList{jobtest::kDone});
        QCOMPARE(job.List().topLevelItem(0)->toolTip(0), Q(cut) + QLatin1Char('\n') + note);
        QCOMPARE(job.messages.texts,
                 QStringList{jobtest::kJobSucceeded + QStringLiteral("\n\ncut.mp4: ") + note});
    }

    // A folder typed into the field is the one the job writes to.
    void typedFolderIsUsed() {
        JobWindow job;
        const fs::path typed = job.scratch / "typed";
        fs::create_directory(typed);
        job.Add({jobtest::Mp4()});
        auto* field = job.Window().findChild<QComboBox*>(QStringLiteral("outputFolder"));
        QVERIFY(field);
        field->setEditText(Q(typed));

        QVERIFY(job.Start());
        QCOMPARE(FolderContents(typed), QStringList{"ju_a.mp4"});
        QCOMPARE(FolderContents(job.output.path()), QStringList{});
        QCOMPARE(job.desktop.urls, QList<QUrl>{QUrl::fromLocalFile(Q(typed))});
    }
};

QTEST_MAIN(SoundRemovalTest)
#include "sound_removal_test.moc"
