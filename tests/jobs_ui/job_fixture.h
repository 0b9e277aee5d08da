#pragma once

// Shared pieces of the job tests: a main window with its own program folder,
// output folder and captured messages; test media made by ffmpeg; running the
// start command with a watchdog; checking outputs with ffprobe; and an input
// fed through a named pipe, so that a stop lands in the middle of a file on
// any machine.

#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#ifdef Q_OS_UNIX
#include "named_pipe.h"
#endif

#include "av_convert_dlg.h"
#include "controls/check_list_ctrl.h"
#include "controls/control_button.h"
#include "engine/av_converter.h"
#include "jobs/job_controller.h"
#include "tarnwick_dlg.h"
#include "test_media.h"
#include "window_fixture.h"

extern "C" {
#include <libavutil/log.h>
}

namespace jobtest {

namespace fs = std::filesystem;
using windowtest::Q;

// Texts that name their key where a test compares them.
inline constexpr char kLanguageText[] =
    "[APPLICATION]\n"
    "name=Velmora Test\n"
    "version=9\n"
    "url=https://example.org/velmora/help\n"
    "[JIEMIAN]\n"
    "zb=Ready\n"
    "dqwj=Current file:\n"
    "zgwj=All files:\n"
    "tz=Stop\n"
    "[TISHI]\n"
    "qxtjsp=Add files first (qxtjsp)\n"
    "mlbcz=No such folder (mlbcz)\n"
    "wjwc=done\n"
    "wjwczg=of\n"
    "wj1=files\n"
    "wc=Done\n"
    "sb=Failed\n"
    "ytz=Stopped\n"
    "hbcg=Sound removed (hbcg)\n"
    "hbsb=A file failed (hbsb)\n"
    "lqb=%1 of %2 left out (lqb)\n"
    "wjjd=%1 of %2 left out, ends at %3 (wjjd)\n"
    "wjbwz=cut short, ends at %1 (wjbwz)\n";

inline const QString kJobSucceeded = QStringLiteral("Sound removed (hbcg)");
inline const QString kJobFailed = QStringLiteral("A file failed (hbsb)");
inline const QString kReady = QStringLiteral("Ready");
inline const QString kDone = QStringLiteral("Done");
inline const QString kFailed = QStringLiteral("Failed");
inline const QString kStopped = QStringLiteral("Stopped");

// ---- Media -------------------------------------------------------------------

// Small videos with sound, one per container the tests use.
inline std::string Sources(const std::string& picture, double seconds) {
    const std::string d = std::to_string(seconds);
    return "-f lavfi -i " + picture + "=duration=" + d +
           ":size=160x120:rate=25 -f lavfi -i sine=duration=" + d + " ";
}
inline fs::path Mp4() {
    return testmedia::Make("ju_a.mp4", Sources("testsrc", 1) + "-c:v mpeg4 -c:a aac");
}
inline fs::path Avi() {
    return testmedia::Make("ju_b.avi", Sources("testsrc2", 1) + "-c:v mpeg4 -c:a pcm_s16le");
}
inline fs::path Mkv() {
    return testmedia::Make("ju_c.mkv", Sources("smptebars", 1) + "-c:v mpeg4 -c:a aac");
}
inline fs::path OtherMp4() {
    return testmedia::Make("ju_other.mp4", Sources("smptebars", 1) + "-c:v mpeg4 -c:a aac");
}
// Ten seconds in a transport stream: the input that is fed through a pipe.
inline fs::path LongTs() {
    return testmedia::Make("ju_long.ts", Sources("testsrc", 10) + "-c:v mpeg4 -c:a aac -f mpegts");
}
// RealMedia, which FFmpeg reads but cannot write under the name .rmvb.
inline fs::path RealMedia() {
    return testmedia::Make("ju_real.rmvb", Sources("testsrc", 1) + "-c:v rv20 -c:a ac3 -f rm");
}

// `source` copied to `folder`/`name`.
inline fs::path CopyAs(const fs::path& source, const fs::path& folder, const std::string& name) {
    fs::create_directories(folder);
    const fs::path target = folder / name;
    fs::copy_file(source, target, fs::copy_options::overwrite_existing);
    return target;
}

// ---- Checks with ffprobe -------------------------------------------------------

// The first stream of `type` in `streams`, or -1.
inline int FirstStream(const std::vector<testmedia::Stream>& streams, const std::string& type) {
    for (const auto& s : streams)
        if (s.codecType == type) return s.index;
    return -1;
}

// `output` is `input` without its sound: the same container, the same video
// packets, and no stream of any other kind.
inline void VerifySilentCopy(const fs::path& input, const fs::path& output) {
    QVERIFY2(fs::exists(output), output.string().c_str());
    QCOMPARE(testmedia::FormatName(output), testmedia::FormatName(input));
    const auto inStreams = testmedia::Streams(input);
    const auto outStreams = testmedia::Streams(output);
    const int inVideo = FirstStream(inStreams, "video");
    const int outVideo = FirstStream(outStreams, "video");
    QVERIFY(inVideo >= 0 && outVideo >= 0);
    QCOMPARE(outStreams[outVideo].codecName, inStreams[inVideo].codecName);
    for (const auto& s : outStreams) QVERIFY2(s.codecType != "audio", output.string().c_str());

    const auto inPackets = testmedia::PacketsOf(testmedia::Packets(input), inVideo);
    const auto outAll = testmedia::Packets(output);
    const auto outPackets = testmedia::PacketsOf(outAll, outVideo);
    QCOMPARE(outAll.size(), outPackets.size());
    QCOMPARE(outPackets.size(), inPackets.size());
    for (size_t i = 0; i < inPackets.size(); ++i) QCOMPARE(outPackets[i].hash, inPackets[i].hash);
}

// The names in `folder`, sorted.
inline QStringList FolderContents(const fs::path& folder) {
    QStringList names;
    for (const auto& entry : fs::directory_iterator(folder))
        names << QString::fromStdString(entry.path().filename().string());
    names.sort();
    return names;
}

// ---- The window ----------------------------------------------------------------

// A main window reading its files from a program folder of its own, writing
// into an empty output folder, with messages and the desktop captured.
class JobWindow {
public:
    explicit JobWindow(const std::string& extraSettings = std::string()) {
        av_log_set_level(AV_LOG_ERROR);
        program.WriteSettings("[LANGUAGE]\nfile=test.ini\n" + extraSettings);
        program.WriteLanguage("test.ini", kLanguageText);
        window = std::make_unique<CTarnwickDlg>();
        SetOutputFolder(Q(output.path()));
    }
    ~JobWindow() {
        window.reset();
        g_pEngine.reset();
    }
    JobWindow(const JobWindow&) = delete;
    JobWindow& operator=(const JobWindow&) = delete;

    CTarnwickDlg& Window() { return *window; }
    CCheckListCtrl& List() { return window->FileList(); }

    void SetOutputFolder(const QString& folder) {
        window->m_strOutputFolder = folder;
        window->UpdateData(false);
    }
    // Adds files as a drop would: probed, one checked row each.
    void Add(const QList<fs::path>& files) {
        QStringList paths;
        for (const auto& file : files) paths << Q(file);
        window->OnDropFiles(paths);
    }
    QStringList Column(int column) {
        QStringList texts;
        for (int row = 0; row < List().RowCount(); ++row) texts << List().ItemText(row, column);
        return texts;
    }
    QList<bool> Checks() {
        QList<bool> checks;
        for (int row = 0; row < List().RowCount(); ++row) checks << List().GetCheck(row);
        return checks;
    }

    // Presses the start button and returns when the command has returned.
    // `whileRunning` runs once the progress dialog is up, inside its modal
    // loop. A job still running after `limitMs` is stopped and the call
    // returns false, so a fault fails the test instead of blocking the run.
    bool Start(const std::function<void(CAVConvertDlg&)>& whileRunning = {}, int limitMs = 120000) {
        bool timedOut = false;
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [&] {
            timedOut = true;
            if (window->m_progressDlg != nullptr) window->m_progressDlg->OnStop();
        });
        watchdog.start(limitMs);
        QTimer starter;
        starter.setSingleShot(true);
        QObject::connect(&starter, &QTimer::timeout, [&] {
            CAVConvertDlg* dialog = window->m_progressDlg;
            if (whileRunning && dialog != nullptr && dialog->IsRunning()) whileRunning(*dialog);
        });
        starter.start(0);
        window->findChild<CControlButton*>(QStringLiteral("startButton"))->click();
        return !timedOut;
    }

    windowtest::TempProgramFolder program;
    testmedia::TempDir output;
    testmedia::TempDir scratch;
    windowtest::MessageCapture messages;
    windowtest::DesktopCapture desktop;

private:
    std::unique_ptr<CTarnwickDlg> window;
};

// The file-list rows of the window's last job.
inline std::vector<int> RowsOfJob(CTarnwickDlg& window) {
    std::vector<int> rows;
    for (const velmora::JobRow& row : window.Jobs().CheckedRows()) rows.push_back(row.row);
    return rows;
}

// The percentage that line 1018 shows, or -1.
inline int PercentShown(const QString& line) {
    static const QRegularExpression percent(QStringLiteral("   (\\d+)% "));
    const QRegularExpressionMatch match = percent.match(line);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

inline QPushButton* StopButton(CAVConvertDlg& dialog) {
    return dialog.findChild<QPushButton*>(QStringLiteral("stopButton"));
}

#ifdef Q_OS_UNIX

// A window with one row whose file is the ten-second transport stream fed
// through a pipe named live.ts. The row was probed from the real file; its
// path then points at the pipe.
class PipedJob {
public:
    explicit PipedJob(JobWindow& job) {
        job.Add({LongTs()});
        const fs::path pipe = job.scratch / "live.ts";
        // The first part as soon as the job opens the pipe, the rest only
        // once the engine's stop request is up: the job therefore stops in
        // the middle of the file however fast the machine is. The engine
        // outlives the job.
        const std::string bytes = testmedia::ReadAll(LongTs());
        const CAVConverter* engine = g_pEngine.get();
        m_input = std::make_unique<testmedia::FedPipe>(pipe, bytes, bytes.size() * 2 / 5,
                                                       [engine] { return engine->m_bStop.load(); });
        job.List().SetItemText(0, CTarnwickDlg::kColPath, Q(pipe));
    }
    bool ok() const { return m_input && m_input->ok(); }
    QString path() const { return Q(m_input->path()); }

private:
    std::unique_ptr<testmedia::FedPipe> m_input;
};

// The packets of the output of a stopped piped job: a valid file holding the
// first video packets of the source, clearly fewer than all of them.
inline void VerifyShortenedCopy(const fs::path& output) {
    QVERIFY2(fs::exists(output), output.string().c_str());
    const auto source = testmedia::Packets(LongTs());
    const auto all = testmedia::PacketsOf(source, 0);
    const auto written = testmedia::Packets(output);
    const auto kept = testmedia::PacketsOf(written, 0);
    QCOMPARE(written.size(), kept.size());  // no sound
    QVERIFY2(kept.size() > all.size() / 5, std::to_string(kept.size()).c_str());
    QVERIFY2(kept.size() < all.size() * 3 / 4, std::to_string(kept.size()).c_str());
    for (size_t i = 0; i < kept.size(); ++i) QCOMPARE(kept[i].hash, all[i].hash);
    QCOMPARE(testmedia::Streams(output)[0].codecType, std::string("video"));
}

#endif

}  // namespace jobtest
