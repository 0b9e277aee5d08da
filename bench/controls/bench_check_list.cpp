// Times the file list's bulk operations on a list shown on screen (or the
// offscreen platform): appending rows the way the main window does (append,
// then check) and flipping every check box with a click on the header box.
// Prints one line per figure with its goal.

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "controls/check_head_ctrl.h"
#include "controls/check_list_ctrl.h"

namespace {

const QStringList kColumns{"file",    "format", "length", "size",
                           "quality", "rate",   "state",  "profile"};

double Milliseconds(const QElapsedTimer& timer) { return timer.nsecsElapsed() / 1e6; }

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void ClickHeaderBox(CCheckListCtrl& list) {
    QHeaderView* header = list.header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(0) + 8, header->height() / 2));
}

bool Report(const char* what, double ms, double goalMs) {
    const bool met = ms < goalMs;
    std::printf("%-40s %9.2f ms   goal < %6.0f ms   %s\n", what, ms, goalMs,
                met ? "met" : "MISSED");
    return met;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int toggles = 10;

    CCheckListCtrl list;
    list.setHeaderLabels(kColumns);
    const int widths[] = {155, 60, 90, 75, 70, 65, 40, 0};
    for (int column = 0; column < kColumns.size(); ++column) {
        list.setColumnWidth(column, widths[column]);
    }
    list.InitCheckHeader();
    list.resize(700, 400);
    list.show();
    if (!QTest::qWaitForWindowExposed(&list)) {
        std::fprintf(stderr, "the list was not shown\n");
        return 2;
    }

    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < rows; ++i) {
        const int row =
            list.AppendRow({QStringLiteral("/videos/clip%1.mp4").arg(i), QStringLiteral("mp4"),
                            QStringLiteral("00:03:25.040"), QStringLiteral("1920*1080"),
                            QStringLiteral("2500kbps"), QStringLiteral("25.00fps"),
                            QStringLiteral("ready"), QStringLiteral("100")});
        list.SetCheck(row, true);
    }
    QCoreApplication::processEvents();
    const double appendMs = Milliseconds(timer);

    // Each toggle is a click on the header box plus the repaint it causes.
    std::vector<double> uncheck, check;
    for (int i = 0; i < toggles; ++i) {
        for (auto* samples : {&uncheck, &check}) {
            timer.restart();
            ClickHeaderBox(list);
            QCoreApplication::processEvents();
            samples->push_back(Milliseconds(timer));
        }
    }
    if (list.UncheckedRowCount() != 0 || list.CheckHeader()->CheckImage() != 2) {
        std::fprintf(stderr, "the list did not end with every row checked\n");
        return 2;
    }

    std::printf("check-box list, %d rows, median of %d toggles\n", rows, toggles);
    bool met = true;
    met &= Report("append rows (append + check each)", appendMs, 1000);
    met &= Report("uncheck all (header click)", Median(uncheck), 50);
    met &= Report("check all (header click)", Median(check), 50);
    std::printf("slowest toggle: %.2f ms\n",
                std::max(*std::max_element(uncheck.begin(), uncheck.end()),
                         *std::max_element(check.begin(), check.end())));
    return met ? 0 : 1;
}
