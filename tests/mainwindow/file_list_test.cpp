// The file list: the texts of an appended row, and deleting and clearing
// rows with their selection rules.

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

extern "C" {
#include <libavutil/avutil.h>
}

#include "controls/check_list_ctrl.h"
#include "controls/control_button.h"
#include "tarnwick_dlg.h"
#include "window_fixture.h"

using windowtest::TempProgramFolder;

namespace {

struct ProbeFacts {
    std::int64_t duration = 0;
    int width = 0;
    int height = 0;
    std::int64_t bitRate = 0;
    int fpsNum = 0;
    int fpsDen = 0;
    int profile = 0;
};

// Puts `facts` into the engine's record of its last probe, as a probe would
// have left them.
void SetProbeFacts(const ProbeFacts& facts) {
    if (!g_pEngine) g_pEngine = std::make_unique<CAVConverter>();
    velmora::ProbeFacts& probe = g_pEngine->m_lastProbe;
    probe = velmora::ProbeFacts();
    probe.duration = facts.duration;
    probe.width = facts.width;
    probe.height = facts.height;
    probe.videoBitRate = facts.bitRate;
    probe.fpsNum = facts.fpsNum;
    probe.fpsDen = facts.fpsDen;
    probe.videoProfile = facts.profile;
}

QStringList RowTexts(CCheckListCtrl& list, int row) {
    QStringList texts;
    for (int column = 0; column < CTarnwickDlg::kColumnCount; ++column) {
        texts << list.ItemText(row, column);
    }
    return texts;
}

QList<int> SelectedRows(CCheckListCtrl& list) {
    QList<int> rows;
    for (int row = 0; row < list.RowCount(); ++row) {
        if (list.IsRowSelected(row)) rows << row;
    }
    return rows;
}

}  // namespace

Q_DECLARE_METATYPE(ProbeFacts)

class FileListTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        g_pEngine.reset();
        m_folder = std::make_unique<TempProgramFolder>();
        m_folder->WriteStandardFiles();
    }
    void cleanup() {
        m_folder.reset();
        g_pEngine.reset();
    }

    void rowTexts_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<ProbeFacts>("facts");
        QTest::addColumn<QStringList>("cells");  // columns 1 to 7

        QTest::newRow("full HD") << "/v/clip.mp4"
                                 << ProbeFacts{205040000, 1920, 1080, 2500000, 25, 1, 100}
                                 << QStringList{"mp4",      "00:03:25.040", "1920*1080", "2500kbps",
                                                "25.00fps", "准备",         "100"};
        QTest::newRow("NTSC rate")
            << "/v/a.mkv" << ProbeFacts{1001000, 160, 120, 235044, 30000, 1001, 0}
            << QStringList{"mkv", "00:00:01.001", "160*120", "235kbps", "29.97fps", "准备", "0"};
        // An unknown bit rate (0) is an empty cell; a known one under
        // 1 kbit/s still shows.
        QTest::newRow("120 fps") << "/v/fast.mov" << ProbeFacts{59999000, 320, 240, 0, 120, 1, 77}
                                 << QStringList{"mov",       "00:00:59.999", "320*240", "",
                                                "120.00fps", "准备",         "77"};
        QTest::newRow("999 bit/s, slow rate")
            << "/v/slow.avi" << ProbeFacts{1000, 64, 48, 999, 8, 1, -99}
            << QStringList{"avi", "00:00:00.001", "64*48", "0kbps", " 8.00fps", "准备", "-99"};
        // Raw video beyond 2^31 bit/s shows its whole rate.
        QTest::newRow("v210 at 400 fps")
            << "/v/raw.mov" << ProbeFacts{10000, 640, 480, 2752512000LL, 400, 1, -99}
            << QStringList{"mov",       "00:00:00.010", "640*480", "2752512kbps",
                           "400.00fps", "准备",         "-99"};
        QTest::newRow("more than 99 hours")
            << "/v/long.ts" << ProbeFacts{360000000000LL, 720, 576, 1000, 25, 1, 0}
            << QStringList{"ts", "100:00:00.000", "720*576", "1kbps", "25.00fps", "准备", "0"};
        QTest::newRow("unknown duration, zero denominator")
            << "/v/raw.h264" << ProbeFacts{AV_NOPTS_VALUE, 160, 120, 0, 0, 0, 66}
            << QStringList{"h264", "", "160*120", "", " 0.00fps", "准备", "66"};
        QTest::newRow("no dot in the name")
            << "/v/a.b/movie" << ProbeFacts{0, 1, 1, 0, 1, 1, 0}
            << QStringList{"b/movie", "00:00:00.000", "1*1", "", " 1.00fps", "准备", "0"};
        QTest::newRow("no dot at all")
            << "movie" << ProbeFacts{0, 1, 1, 0, 1, 1, 0}
            << QStringList{"movie", "00:00:00.000", "1*1", "", " 1.00fps", "准备", "0"};
    }

    void rowTexts() {
        QFETCH(QString, path);
        QFETCH(ProbeFacts, facts);
        QFETCH(QStringList, cells);
        CTarnwickDlg dlg;
        SetProbeFacts(facts);
        dlg.AppendFileRow(path);

        CCheckListCtrl& list = dlg.FileList();
        QCOMPARE(list.RowCount(), 1);
        QCOMPARE(RowTexts(list, 0), QStringList{path} + cells);
        QVERIFY(list.GetCheck(0));
        QVERIFY(!list.IsRowSelected(0));
    }

    // A new row is checked and not selected; the first row loses its
    // selection, other rows keep theirs.
    void appendKeepsSelectionsButTheFirst() {
        CTarnwickDlg dlg;
        CCheckListCtrl& list = dlg.FileList();
        SetProbeFacts({1000, 1, 1, 0, 1, 1, 0});
        for (int i = 0; i < 3; ++i) dlg.AppendFileRow(QStringLiteral("/v/%1.mp4").arg(i));
        list.SetRowSelected(0, true);
        list.SetRowSelected(2, true);
        list.SetCheck(1, false);

        dlg.AppendFileRow(QStringLiteral("/v/3.mp4"));
        QCOMPARE(list.RowCount(), 4);
        QCOMPARE(SelectedRows(list), (QList<int>{2}));
        QVERIFY(list.GetCheck(3));
        QVERIFY(!list.GetCheck(1));
        QCOMPARE(list.ItemText(3, 0), QStringLiteral("/v/3.mp4"));
    }

    void deleteSelectsTheNextRow_data() {
        QTest::addColumn<int>("rows");
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<QStringList>("left");  // names of the rows left
        QTest::addColumn<QList<int>>("selectedAfter");
        QTest::addColumn<int>("focusedAfter");

        QTest::newRow("last of three")
            << 3 << QList<int>{2} << QStringList{"0", "1"} << QList<int>{1} << 1;
        QTest::newRow("middle of three")
            << 3 << QList<int>{1} << QStringList{"0", "2"} << QList<int>{1} << 1;
        QTest::newRow("first of three")
            << 3 << QList<int>{0} << QStringList{"1", "2"} << QList<int>{0} << 0;
        // Rows 2 and 4 (counting from 1): both go, and the row that took the
        // first one's place is selected.
        QTest::newRow("two selected")
            << 5 << QList<int>{1, 3} << QStringList{"0", "2", "4"} << QList<int>{1} << 1;
        QTest::newRow("all selected")
            << 3 << QList<int>{0, 1, 2} << QStringList{} << QList<int>{} << -1;
        QTest::newRow("the only row") << 1 << QList<int>{0} << QStringList{} << QList<int>{} << -1;
        QTest::newRow("nothing selected")
            << 2 << QList<int>{} << QStringList{"0", "1"} << QList<int>{} << -1;
    }

    void deleteSelectsTheNextRow() {
        QFETCH(int, rows);
        QFETCH(QList<int>, selected);
        QFETCH(QStringList, left);
        QFETCH(QList<int>, selectedAfter);
        QFETCH(int, focusedAfter);

        CTarnwickDlg dlg;
        CCheckListCtrl& list = FillList(dlg, rows);
        for (int row : selected) list.SetRowSelected(row, true);

        dlg.DeleteSelectedRow();
        QCOMPARE(Names(list), left);
        QCOMPARE(SelectedRows(list), selectedAfter);
        if (focusedAfter >= 0) QCOMPARE(list.FocusedRow(), focusedAfter);
    }

    // In the output-folder field the Delete key deletes text, as in any
    // field; the list keeps its rows.
    void deleteKeyFromTheFolderField() {
        CTarnwickDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        CCheckListCtrl& list = FillList(dlg, 3);
        list.SetRowSelected(0, true);

        QLineEdit* field = dlg.findChild<QComboBox*>("outputFolder")->lineEdit();
        field->setText(QStringLiteral("/srv/out"));
        field->setCursorPosition(0);
        field->setFocus();
        QTest::keyClick(field, Qt::Key_Delete);
        QCOMPARE(Names(list), (QStringList{"0", "1", "2"}));
        QCOMPARE(field->text(), QStringLiteral("srv/out"));

        QTest::keyClick(&list, Qt::Key_Delete);
        QCOMPARE(Names(list), (QStringList{"1", "2"}));
    }

    // Every control is reached with Tab in reading order, and a job can be
    // set up without a mouse: Ctrl+O asks for files, Enter or Space presses
    // the focused picture button.
    void keyboardOnly() {
        windowtest::DialogAnswers answers;
        CTarnwickDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        dlg.FileList().setFocus();
        QStringList order;
        for (int i = 0; i < 8; ++i) {
            QWidget* focus = QApplication::focusWidget();
            // The folder field's line edit stands for its combo box.
            if (focus && focus->parentWidget() && qobject_cast<QComboBox*>(focus->parentWidget()))
                focus = focus->parentWidget();
            order << (focus ? focus->objectName() : QString());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(order,
                 (QStringList{"fileList", "addButton", "deleteButton", "clearButton",
                              "outputFolder", "browseButton", "openFolderButton", "startButton"}));

        QTest::keyClick(&dlg, Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(answers.filesAsked, 1);
        auto* add = dlg.findChild<CControlButton*>("addButton");
        add->setFocus();
        QTest::keyClick(add, Qt::Key_Return);
        QTRY_COMPARE(answers.filesAsked, 2);
        QTest::keyClick(add, Qt::Key_Space);
        QTRY_COMPARE(answers.filesAsked, 3);
        QVERIFY(!add->accessibleName().isEmpty());
    }

    void deleteAndClearButtons() {
        CTarnwickDlg dlg;
        dlg.show();
        CCheckListCtrl& list = FillList(dlg, 4);
        list.SetRowSelected(2, true);
        auto* deleteButton = dlg.findChild<CControlButton*>("deleteButton");
        deleteButton->click();
        QCOMPARE(Names(list), (QStringList{"0", "1", "3"}));

        dlg.findChild<CControlButton*>("clearButton")->click();
        QCOMPARE(list.RowCount(), 0);
        dlg.OnClearList();  // an empty list stays empty
        deleteButton->click();
        QCOMPARE(list.RowCount(), 0);
    }

private:
    // Rows named "0", "1", ... (the name is the whole path).
    static CCheckListCtrl& FillList(CTarnwickDlg& dlg, int rows) {
        SetProbeFacts({1000, 1, 1, 0, 1, 1, 0});
        for (int i = 0; i < rows; ++i) dlg.AppendFileRow(QString::number(i));
        return dlg.FileList();
    }

    static QStringList Names(CCheckListCtrl& list) {
        QStringList names;
        for (int row = 0; row < list.RowCount(); ++row) names << list.ItemText(row, 0);
        return names;
    }

    std::unique_ptr<TempProgramFolder> m_folder;
};

int RunFileListTest(int argc, char** argv) {
    FileListTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "file_list_test.moc"
