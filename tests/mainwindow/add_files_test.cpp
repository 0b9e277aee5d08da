// Adding files through the add dialog and by dropping them, with real media
// made by ffmpeg and probed by the engine.

#include <QMimeData>
#include <QProgressDialog>
#include <QTest>
#include <QTimer>

#include "controls/check_list_ctrl.h"
#include "controls/control_button.h"
#include "tarnwick_dlg.h"
#include "window_fixture.h"

extern "C" {
#include <libavutil/log.h>
}

using windowtest::DialogAnswers;
using windowtest::MessageCapture;
using windowtest::Q;
using windowtest::TempProgramFolder;

namespace fs = std::filesystem;

namespace {

const std::string kVideo = "-f lavfi -i testsrc=duration=1:size=160x120:rate=25 ";

fs::path VideoMp4() { return testmedia::Make("mw_video.mp4", kVideo + "-c:v mpeg4"); }
fs::path VideoMkv() { return testmedia::Make("mw_video.mkv", kVideo + "-c:v mpeg4"); }
fs::path VideoAvi() { return testmedia::Make("mw_video.avi", kVideo + "-c:v mpeg4"); }
fs::path AudioOnly() {
    return testmedia::Make("mw_sound.m4a", "-f lavfi -i sine=duration=1 -c:a aac");
}

QStringList Column(CCheckListCtrl& list, int column) {
    QStringList texts;
    for (int row = 0; row < list.RowCount(); ++row) texts << list.ItemText(row, column);
    return texts;
}

}  // namespace

class AddFilesTest : public QObject {
    Q_OBJECT

private slots:
    // The probe's stream dumps would bury the test output.
    void initTestCase() { av_log_set_level(AV_LOG_WARNING); }

    void init() {
        g_pEngine.reset();
        m_folder = std::make_unique<TempProgramFolder>();
        m_folder->WriteStandardFiles();
    }
    void cleanup() {
        m_folder.reset();
        g_pEngine.reset();
    }

    // Cell texts of real files, read by the real probe.
    void probedRowTexts_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("cells");  // columns 1 to 6

        QTest::newRow("mp4 at 25 fps")
            << Q(VideoMp4())
            << QStringList{"mp4", "00:00:01.000", "160*120", "", "25.00fps", "准备"};
        QTest::newRow("29.97 fps")
            << Q(testmedia::Make("mw_ntsc.mp4",
                                 "-f lavfi -i testsrc=duration=1:size=320x240:rate=30000/1001 "
                                 "-c:v mpeg4"))
            << QStringList{"mp4", "00:00:01.001", "320*240", "", "29.97fps", "准备"};
        QTest::newRow("120 fps") << Q(testmedia::Make(
                                        "mw_fast.mkv",
                                        "-f lavfi -i testsrc=duration=1:size=160x120:rate=120 "
                                        "-c:v mpeg4"))
                                 << QStringList{"mkv", "00:00:01.000", "160*120",
                                                "-",   "120.00fps",    "准备"};
        QTest::newRow("unknown duration")
            << Q(testmedia::Make("mw_raw.m4v", kVideo + "-c:v mpeg4 -f m4v"))
            << QStringList{"m4v", "", "160*120", "-", "25.00fps", "准备"};
    }

    void probedRowTexts() {
        QFETCH(QString, file);
        QFETCH(QStringList, cells);
        MessageCapture messages;
        CTarnwickDlg dlg;
        dlg.OnDropFiles({file});

        QVERIFY2(messages.texts.isEmpty(), qPrintable(messages.texts.join('\n')));
        CCheckListCtrl& list = dlg.FileList();
        QCOMPARE(list.RowCount(), 1);
        QCOMPARE(list.ItemText(0, 0), file);
        for (int column = 1; column <= 6; ++column) {
            // An empty expectation means "whatever the container says"
            // (the bit rate of an mp4 depends on the encoder's output).
            if (cells[column - 1].isEmpty() && column == CTarnwickDlg::kColBitRate) {
                QVERIFY(list.ItemText(0, column).endsWith("kbps"));
                continue;
            }
            // "-": the container does not tell, so the cell stays empty.
            if (cells[column - 1] == QStringLiteral("-")) {
                QVERIFY(list.ItemText(0, column).isEmpty());
                continue;
            }
            QCOMPARE(list.ItemText(0, column), cells[column - 1]);
        }
        QVERIFY(list.GetCheck(0));
    }

    // Five chosen files, the third without video and the fifth missing: the
    // other three are added, and one message names the two refused files,
    // each with why.
    void refusedFilesAreSkippedAndNamedOnce() {
        MessageCapture messages;
        DialogAnswers answers;
        const fs::path later = m_scratch / "later.mp4";  // would be refused too
        answers.files = {Q(VideoMp4()), Q(VideoMkv()), Q(AudioOnly()), Q(VideoAvi()), Q(later)};
        CTarnwickDlg dlg;
        QVERIFY(!g_pEngine);

        dlg.findChild<CControlButton*>("addButton")->click();
        QCOMPARE(answers.filesAsked, 1);
        QCOMPARE(Column(dlg.FileList(), 0),
                 (QStringList{Q(VideoMp4()), Q(VideoMkv()), Q(VideoAvi())}));
        QCOMPARE(messages.texts,
                 QStringList{"无法使用文件:mw_sound.m4a (no video)\n"
                             "    not a video file: FFmpeg cannot read it as media, or it has no "
                             "video stream\n"
                             "无法使用文件:later.mp4 (no video)\n"
                             "    no such file"});
        QVERIFY(g_pEngine);
    }

    void addDialogFilter() {
        DialogAnswers answers;
        CTarnwickDlg dlg;
        dlg.OnAddFiles();
        const QStringList filters = answers.lastFilter.split(";;");
        QCOMPARE(filters.size(), 2);
        QVERIFY(filters[0].startsWith("Media files (*.rm *.rmvb *.flv "));
        QVERIFY(filters[0].endsWith(" *.wmv *.wm)"));
        QCOMPARE(filters[0].count("*."), 30);
        QCOMPARE(filters[1], QStringLiteral("All files (*)"));
        // Cancelled: nothing added, nothing said, no engine made.
        QCOMPARE(dlg.FileList().RowCount(), 0);
        QVERIFY(!g_pEngine);
    }

    // Doubled separators in dialog paths are made single; a dropped path is
    // taken as it comes; the same file twice gives two rows.
    void separatorsAndDuplicates() {
        const QString folder = Q(VideoMp4().parent_path());
        const QString doubled = folder + "//mw_video.mp4";
        MessageCapture messages;
        DialogAnswers answers;
        answers.files = {doubled, Q(VideoMp4())};
        CTarnwickDlg dlg;

        dlg.OnAddFiles();
        dlg.OnDropFiles({doubled});
        QVERIFY(messages.texts.isEmpty());
        QCOMPARE(Column(dlg.FileList(), 0), (QStringList{Q(VideoMp4()), Q(VideoMp4()), doubled}));
        QCOMPARE(Column(dlg.FileList(), 2),
                 (QStringList{"00:00:01.000", "00:00:01.000", "00:00:01.000"}));
    }

    void repairDoubledSeparators_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("repaired");
        QTest::newRow("single") << "/a/b.mp4"
                                << "/a/b.mp4";
        QTest::newRow("doubled") << "/a//b.mp4"
                                 << "/a/b.mp4";
        QTest::newRow("tripled") << "/a///b.mp4"
                                 << "/a//b.mp4";
        QTest::newRow("quadrupled") << "/a////b.mp4"
                                    << "/a//b.mp4";
        QTest::newRow("several") << "/a//b//c.mp4"
                                 << "/a/b/c.mp4";
        QTest::newRow("network path") << "//server/share//c.mp4"
                                      << "//server/share//c.mp4";
        QTest::newRow("relative") << "a//b.mp4"
                                  << "a/b.mp4";
        QTest::newRow("empty") << ""
                               << "";
    }

    void repairDoubledSeparators() {
        QFETCH(QString, path);
        QFETCH(QString, repaired);
        QCOMPARE(CTarnwickDlg::RepairDoubledSeparators(QDir::toNativeSeparators(path)),
                 QDir::toNativeSeparators(repaired));
    }

    // A real drop on the window adds its files in the order given, after the
    // drop itself has finished.
    void dropOnTheWindow() {
        MessageCapture messages;
        CTarnwickDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(Q(VideoAvi())), QUrl::fromLocalFile(Q(VideoMp4())),
                      QUrl::fromLocalFile(Q(VideoAvi()))});
        const QPoint where = dlg.rect().center();
        QDragEnterEvent enter(where, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&dlg, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(where, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&dlg, &drop);
        QVERIFY(drop.isAccepted());
        QCOMPARE(dlg.FileList().RowCount(), 0);  // not yet: the drop returns first

        QTRY_COMPARE(dlg.FileList().RowCount(), 3);
        QCOMPARE(Column(dlg.FileList(), 0),
                 (QStringList{Q(VideoAvi()), Q(VideoMp4()), Q(VideoAvi())}));
        QVERIFY(messages.texts.isEmpty());
    }

    // Names in other scripts and with blanks reach the probe intact, and the
    // refusal names the file as the user knows it.
    void namesInOtherScripts() {
        const fs::path video = m_scratch / "夏天 的海边.mp4";
        const fs::path sound = m_scratch / "歌曲 ü.m4a";
        fs::copy_file(VideoMp4(), video, fs::copy_options::overwrite_existing);
        fs::copy_file(AudioOnly(), sound, fs::copy_options::overwrite_existing);
        MessageCapture messages;
        CTarnwickDlg dlg;
        dlg.OnDropFiles({Q(video), Q(sound)});
        QCOMPARE(Column(dlg.FileList(), 0), QStringList{Q(video)});
        QCOMPARE(dlg.FileList().ItemText(0, CTarnwickDlg::kColSize), QStringLiteral("160*120"));
        QCOMPARE(messages.texts.size(), 1);
        QVERIFY(messages.texts[0].startsWith("无法使用文件:歌曲 ü.m4a (no video)\n"));
    }

    // A dropped folder goes to the probe like a file and is refused.
    void droppedFolderIsRefused() {
        MessageCapture messages;
        CTarnwickDlg dlg;
        dlg.OnDropFiles({Q(m_scratch.path()), Q(VideoMp4())});
        QCOMPARE(dlg.FileList().RowCount(), 1);
        QCOMPARE(messages.texts.size(), 1);
        QVERIFY(messages.texts[0].contains(Q(m_scratch.path().filename())));
        QVERIFY(messages.texts[0].contains("it is a folder, not a file"));
    }

    // A close request in the middle of a long add ends the add after the
    // file in work; the engine is released only then, and the window closes.
    void closeDuringALongAdd() {
        MessageCapture messages;
        CTarnwickDlg dlg;
        dlg.show();
        QStringList paths;
        for (int i = 0; i < 40; ++i) paths << Q(VideoMp4());

        bool engineAliveAtClose = false;
        bool visibleAfterClose = false;
        bool closeRefused = false;
        QObject::connect(dlg.FileList().model(), &QAbstractItemModel::rowsInserted, &dlg, [&] {
            if (dlg.FileList().RowCount() != 2) return;
            QTimer::singleShot(0, &dlg, [&] {
                closeRefused = !dlg.close();
                engineAliveAtClose = g_pEngine != nullptr;
                visibleAfterClose = dlg.isVisible();
            });
        });
        const int added = dlg.AddFiles(paths, false);

        QVERIFY(closeRefused);
        QVERIFY(engineAliveAtClose);
        QVERIFY(visibleAfterClose);
        QCOMPARE(added, 2);
        QCOMPARE(dlg.FileList().RowCount(), 2);
        QVERIFY(!dlg.IsAdding());
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QVERIFY(!g_pEngine);
        QVERIFY(messages.texts.isEmpty());
    }

    // A close while the refusal message is up ends the add just the same.
    void closeWhileTheRefusalIsShown() {
        MessageCapture messages;
        CTarnwickDlg dlg;
        dlg.show();
        messages.onMessage = [&](const QString&) { dlg.close(); };
        dlg.AddFiles({Q(VideoMp4()), Q(AudioOnly()), Q(VideoMp4())}, false);
        QCOMPARE(messages.texts.size(), 1);
        QCOMPARE(dlg.FileList().RowCount(), 2);
        QVERIFY(!dlg.isVisible());
        QVERIFY(!g_pEngine);
    }

    // The progress dialog's cancel button stops the add after the file in
    // work; the rows added so far stay.
    void cancelTheProgress() {
        MessageCapture messages;
        CTarnwickDlg dlg;
        dlg.show();
        QStringList paths;
        for (int i = 0; i < 20; ++i) paths << Q(VideoMp4());
        QObject::connect(dlg.FileList().model(), &QAbstractItemModel::rowsInserted, &dlg, [&] {
            if (dlg.FileList().RowCount() != 3) return;
            auto* progress = dlg.findChild<QProgressDialog*>("addProgress");
            QVERIFY(progress);
            QCOMPARE(progress->maximum(), 20);
            progress->cancel();
        });
        QCOMPARE(dlg.AddFiles(paths, false), 3);
        QCOMPARE(dlg.FileList().RowCount(), 3);
        QVERIFY(!dlg.findChild<QProgressDialog*>("addProgress"));
        QVERIFY(dlg.isVisible());
        QVERIFY(messages.texts.isEmpty());
    }

    // The file probed last stays open for a job started soon after, and is
    // closed once the window has been idle for a while (its timer is made
    // short here).
    void probedFileIsClosedWhenIdle() {
#ifdef __linux__
        MessageCapture messages;
        CTarnwickDlg dlg;
        auto* release = dlg.findChild<QTimer*>("releaseProbedInput");
        QVERIFY(release);
        QVERIFY(release->interval() >= 10 * 1000);
        release->setInterval(200);
        const fs::path file = fs::canonical(VideoMkv());
        QCOMPARE(dlg.AddFiles({Q(file)}, false), 1);
        QVERIFY(IsOpenHere(file));
        QTRY_VERIFY_WITH_TIMEOUT(!IsOpenHere(file), 10000);
        QVERIFY(messages.texts.isEmpty());
#else
        QSKIP("reads the open files from /proc");
#endif
    }

private:
    // True when this process holds `file` open.
    static bool IsOpenHere(const fs::path& file) {
        std::error_code ec;
        for (const auto& fd : fs::directory_iterator("/proc/self/fd", ec)) {
            std::error_code linkError;
            if (fs::read_symlink(fd.path(), linkError) == file) return true;
        }
        return false;
    }

    std::unique_ptr<TempProgramFolder> m_folder;
    testmedia::TempDir m_scratch;
};

QTEST_MAIN(AddFilesTest)
#include "add_files_test.moc"
