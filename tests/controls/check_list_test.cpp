#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "controls/check_head_ctrl.h"
#include "controls/check_list_ctrl.h"
#include "resources/pictures.h"
#include "suites.h"

namespace {

const QStringList kColumns{"file",    "format", "length", "size",
                           "quality", "rate",   "state",  "profile"};

// A shown list with the program's eight columns, 60 pixels each.
std::unique_ptr<CCheckListCtrl> MakeList() {
    auto list = std::make_unique<CCheckListCtrl>();
    list->setHeaderLabels(kColumns);
    for (int column = 0; column < kColumns.size(); ++column) {
        list->setColumnWidth(column, 60);
    }
    list->resize(600, 300);
    return list;
}

// Row states written as text: '1' checked, '0' unchecked, '-' no check box.
void AddRows(CCheckListCtrl& list, const QString& states) {
    for (const QChar state : states) {
        if (state == QLatin1Char('-')) {
            // A row made through the plain tree-widget API, without a box.
            auto* item = new QTreeWidgetItem(QStringList{QStringLiteral("bare")});
            list.addTopLevelItem(item);
            continue;
        }
        const int row = list.AppendRow({QStringLiteral("row"), QString::number(list.RowCount())});
        list.SetCheck(row, state == QLatin1Char('1'));
    }
}

QString RowStates(const CCheckListCtrl& list) {
    QString states;
    for (int row = 0; row < list.RowCount(); ++row) {
        const QVariant state = list.topLevelItem(row)->data(0, Qt::CheckStateRole);
        states += !state.isValid()     ? QLatin1Char('-')
                  : list.GetCheck(row) ? QLatin1Char('1')
                                       : QLatin1Char('0');
    }
    return states;
}

int WalkUnchecked(const CCheckListCtrl& list) {
    int unchecked = 0;
    for (int row = 0; row < list.RowCount(); ++row) {
        const QVariant state = list.topLevelItem(row)->data(0, Qt::CheckStateRole);
        unchecked += state.isValid() && state.toInt() == Qt::Unchecked;
    }
    return unchecked;
}

void ClickSection(CCheckListCtrl& list, int section) {
    QHeaderView* header = list.header();
    const QPoint at(header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

// Steps separated by ";": "click N", "check N", "uncheck N", "delete N",
// "clear", "init", "append 0|1", "text N".
void RunSteps(CCheckListCtrl& list, const QString& steps) {
    for (const QString& step : steps.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList words = step.simplified().split(QLatin1Char(' '));
        const QString& verb = words.at(0);
        const int arg = words.size() > 1 ? words.at(1).toInt() : 0;
        if (verb == QLatin1String("click")) {
            ClickSection(list, arg);
        } else if (verb == QLatin1String("check") || verb == QLatin1String("uncheck")) {
            QVERIFY(list.SetCheck(arg, verb == QLatin1String("check")));
        } else if (verb == QLatin1String("delete")) {
            QVERIFY(list.DeleteRow(arg));
        } else if (verb == QLatin1String("clear")) {
            list.DeleteAllRows();
        } else if (verb == QLatin1String("init")) {
            QVERIFY(list.InitCheckHeader());
        } else if (verb == QLatin1String("append")) {
            AddRows(list, words.at(1));
        } else if (verb == QLatin1String("text")) {
            QVERIFY(list.SetItemText(arg, 1, QStringLiteral("changed")));
        } else {
            QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
        }
    }
}

// How many pixels of `image` inside `box` are clearly blue.
int BluePixels(const QImage& image, const QRect& box) {
    int blue = 0;
    for (int y = box.top(); y <= box.bottom(); ++y) {
        for (int x = box.left(); x <= box.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            blue += c.blue() > 180 && c.red() < 100;
        }
    }
    return blue;
}

}  // namespace

class CheckListTest : public QObject {
    Q_OBJECT

private slots:
    void headerAndRowRules_data() {
        QTest::addColumn<QString>("rows");
        QTest::addColumn<bool>("init");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("expectedRows");
        QTest::addColumn<int>("expectedImage");

        QTest::newRow("fresh header shows the empty box") << "" << true << ""
                                                          << "" << 1;
        QTest::newRow("all rows checked") << "111" << true << ""
                                          << "111" << 2;
        QTest::newRow("header click checks all") << "010" << true << "click 0"
                                                 << "111" << 2;
        QTest::newRow("header click unchecks all") << "111" << true << "click 0"
                                                   << "000" << 1;
        QTest::newRow("two clicks") << "111" << true << "click 0; click 0"
                                    << "111" << 2;
        QTest::newRow("other column, all checked") << "111" << true << "click 3"
                                                   << "111" << 2;
        QTest::newRow("other column, mixed") << "101" << true << "click 1"
                                             << "101" << 1;
        QTest::newRow("uncheck one of all") << "111" << true << "uncheck 1"
                                            << "101" << 1;
        QTest::newRow("check the last unchecked") << "101" << true << "check 1"
                                                  << "111" << 2;
        QTest::newRow("row without box does not count") << "1-1" << true << ""
                                                        << "1-1" << 2;
        QTest::newRow("header click gives every row a box") << "1-0" << true << "click 0"
                                                            << "111" << 2;
        QTest::newRow("text change leaves the header") << "10" << true << "text 0"
                                                       << "10" << 1;
        QTest::newRow("changes before init leave the header")
            << "101" << false << "check 1; uncheck 0"
            << "011" << 0;
        QTest::newRow("header click before init does nothing") << "101" << false << "click 0"
                                                               << "101" << 0;
        QTest::newRow("second init does nothing") << "111" << true << "init"
                                                  << "111" << 2;
        QTest::newRow("late init follows the rows") << "111" << false << "init"
                                                    << "111" << 2;
        QTest::newRow("deleting the only unchecked row") << "101" << true << "delete 1"
                                                         << "11" << 2;
        QTest::newRow("deleting a checked row") << "101" << true << "delete 0"
                                                << "01" << 1;
        QTest::newRow("adding an unchecked row") << "11" << true << "append 0"
                                                 << "110" << 1;
        QTest::newRow("adding a checked row") << "11" << true << "append 1"
                                              << "111" << 2;
        // An empty list has nothing checked, whatever the box showed.
        QTest::newRow("clearing empties the box") << "111" << true << "clear"
                                                  << "" << 1;
        QTest::newRow("click on the empty list leaves the box empty") << "" << true << "click 0"
                                                                      << "" << 1;
        QTest::newRow("clear, then a checked row") << "010" << true << "clear; append 1"
                                                   << "1" << 2;
    }
    void headerAndRowRules() {
        QFETCH(QString, rows);
        QFETCH(bool, init);
        QFETCH(QString, steps);
        QFETCH(QString, expectedRows);
        QFETCH(int, expectedImage);

        auto list = MakeList();
        if (init) {
            QVERIFY(list->InitCheckHeader());
        }
        AddRows(*list, rows);
        list->show();
        QVERIFY(QTest::qWaitForWindowExposed(list.get()));

        RunSteps(*list, steps);
        QCOMPARE(RowStates(*list), expectedRows);
        QCOMPARE(list->CheckHeader()->CheckImage(), expectedImage);
        QCOMPARE(list->UncheckedRowCount(), WalkUnchecked(*list));
    }

    void headerClickIsNotASectionSelection() {
        // A click on the header must not select anything in the list.
        auto list = MakeList();
        list->InitCheckHeader();
        AddRows(*list, QStringLiteral("111"));
        list->show();
        QVERIFY(QTest::qWaitForWindowExposed(list.get()));
        ClickSection(*list, 2);
        QCOMPARE(list->FirstSelectedRow(), -1);
    }

    void spaceTogglesTheFocusedRow() {
        auto list = MakeList();
        list->InitCheckHeader();
        AddRows(*list, QStringLiteral("111"));
        list->show();
        QVERIFY(QTest::qWaitForWindowExposed(list.get()));
        list->setFocus();
        list->SelectAndFocusRow(1);
        QTest::keyClick(list.get(), Qt::Key_Space);
        QCOMPARE(RowStates(*list), QStringLiteral("101"));
        QCOMPARE(list->CheckHeader()->CheckImage(), 1);
    }

    void headerShowsTheBoxPicture() {
        auto list = MakeList();
        list->InitCheckHeader();
        AddRows(*list, QStringLiteral("10"));
        list->show();
        QVERIFY(QTest::qWaitForWindowExposed(list.get()));
        const QRect box = list->CheckHeader()->CheckBoxRect();
        QVERIFY(box.isValid());

        // The empty box is white and grey, the ticked one mostly blue.
        const int emptyBlue = BluePixels(list->header()->grab().toImage(), box);
        list->SetCheck(1, true);
        const int tickedBlue = BluePixels(list->header()->grab().toImage(), box);
        QVERIFY2(emptyBlue < 10, qPrintable(QString::number(emptyBlue)));
        QVERIFY2(tickedBlue > 60, qPrintable(QString::number(tickedBlue)));
    }

    // A header click sorts by that column (numbers by their keys, unknown
    // values last, names as people read them), a second click the other
    // way; the first column's click stays the check-all box's. Rows keep
    // their checks, and rows added later go to the end.
    void headerClickSorts_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("clicks");
        QTest::addColumn<QString>("order");  // the rows' names, top to bottom
        QTest::newRow("duration by value") << 2 << 1 << "b a c";
        QTest::newRow("duration, twice: descending") << 2 << 2 << "c a b";
        QTest::newRow("format as text, numbers by value") << 1 << 1 << "c b a";
        QTest::newRow("bit rate: unknown last") << 4 << 1 << "a b c";
        QTest::newRow("first column: no sort") << 0 << 1 << "a b c";
    }

    void headerClickSorts() {
        QFETCH(int, column);
        QFETCH(int, clicks);
        QFETCH(QString, order);
        auto list = MakeList();
        list->InitCheckHeader();
        // name, format, duration text and key, bit rate key (none for c)
        struct Row {
            const char* name;
            const char* format;
            const char* duration;
            qlonglong microseconds;
            int bitRate;
        };
        for (const Row& row : {Row{"a", "v10", "00:01:40.000", 100'000'000, 900},
                               Row{"b", "v9", "00:00:20.000", 20'000'000, 5000},
                               Row{"c", "V2", "00:10:00.000", 600'000'000, 0}}) {
            const int at = list->AppendRow({row.name, row.format, row.duration});
            list->SetSortKey(at, 2, row.microseconds);
            if (row.bitRate > 0) list->SetSortKey(at, 4, row.bitRate);
            list->SetCheck(at, row.name[0] == 'b');
        }
        for (int i = 0; i < clicks; ++i) emit list->header()->sectionClicked(column);

        QStringList names;
        for (int row = 0; row < list->RowCount(); ++row) {
            names << list->ItemText(row, 0);
            // A click on the first column checks every row instead.
            QCOMPARE(list->GetCheck(row),
                     column == 0 || list->ItemText(row, 0) == QLatin1String("b"));
        }
        QCOMPARE(names.join(QLatin1Char(' ')), order);
        QCOMPARE(list->AppendRow({QStringLiteral("new")}), 3);
        QCOMPARE(list->ItemText(3, 0), QStringLiteral("new"));
    }

    void rowsByIndex() {
        auto list = MakeList();
        list->InitCheckHeader();
        QCOMPARE(list->AppendRow({"a.mp4", "mp4", "00:00:01.000", "64*48", "10kbps", "25.00fps",
                                  "ready", "100"}),
                 0);
        QCOMPARE(list->AppendRow({"b.mkv"}), 1);
        QCOMPARE(list->RowCount(), 2);
        QCOMPARE(list->ItemText(0, 7), QStringLiteral("100"));
        QCOMPARE(list->ItemText(1, 0), QStringLiteral("b.mkv"));
        QCOMPARE(list->ItemText(1, 5), QString());
        QVERIFY(!list->GetCheck(1));

        QVERIFY(list->SetItemText(0, 6, QStringLiteral("done")));
        QCOMPARE(list->ItemText(0, 6), QStringLiteral("done"));

        // Rows that do not exist are refused, not invented.
        QVERIFY(!list->SetItemText(2, 0, QStringLiteral("x")));
        QVERIFY(!list->SetCheck(-1, true));
        QVERIFY(!list->GetCheck(5));
        QCOMPARE(list->ItemText(9, 0), QString());
        QVERIFY(!list->DeleteRow(2));
        QVERIFY(!list->SelectAndFocusRow(2));

        QVERIFY(list->DeleteRow(0));
        QCOMPARE(list->RowCount(), 1);
        QCOMPARE(list->ItemText(0, 0), QStringLiteral("b.mkv"));
        list->DeleteAllRows();
        QCOMPARE(list->RowCount(), 0);
    }

    void selectionAndFocus() {
        auto list = MakeList();
        AddRows(*list, QStringLiteral("11111"));
        QCOMPARE(list->FirstSelectedRow(), -1);
        QCOMPARE(list->FocusedRow(), -1);

        list->SetRowSelected(4, true);
        list->SetRowSelected(2, true);
        QCOMPARE(list->FirstSelectedRow(), 2);
        QVERIFY(list->IsRowSelected(4));
        QVERIFY(!list->IsRowSelected(3));

        // Selecting and focusing one row leaves the others as they are.
        QVERIFY(list->SelectAndFocusRow(3));
        QCOMPARE(list->FocusedRow(), 3);
        QVERIFY(list->IsRowSelected(2));
        QVERIFY(list->IsRowSelected(3));
        QVERIFY(list->IsRowSelected(4));

        list->SetRowSelected(2, false);
        QCOMPARE(list->FirstSelectedRow(), 3);
        // Deleting a selected row moves the others up with their states.
        QVERIFY(list->DeleteRow(3));
        QCOMPARE(list->FirstSelectedRow(), 3);
        QVERIFY(!list->IsRowSelected(2));
    }

    void backgroundColour() {
        auto list = MakeList();
        const QColor colour(241, 250, 233);
        list->SetBkColor(colour);
        list->show();
        QVERIFY(QTest::qWaitForWindowExposed(list.get()));
        const QImage shot = list->viewport()->grab().toImage();
        QCOMPARE(shot.pixelColor(shot.width() / 2, shot.height() - 5), colour);
    }
};

int RunCheckListTests(int argc, char** argv) {
    CheckListTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "check_list_test.moc"
