// velmora-screenshot OUT.png [--program-folder DIR] [--select ROW] [--size WxH] FILE...
//
// Opens the main window (at WxH logical pixels when given), adds FILE... as
// a drop would, optionally selects a row, and saves a grab of the window to
// OUT.png, at the screen's device pixel ratio (QT_SCALE_FACTOR=2 for the
// picture of a dense screen). Messages go to standard
// error instead of boxes. Meant for the offscreen platform, so layouts can be
// checked without a display.

#include <QApplication>
#include <QPixmap>
#include <QTextStream>
#include <cstdio>

#include "app_settings.h"
#include "controls/check_list_ctrl.h"
#include "engine/av_converter.h"
#include "message_box.h"
#include "resources/pictures.h"
#include "tarnwick_dlg.h"

namespace {

int Usage() {
    std::fputs(
        "usage: velmora-screenshot OUT.png [--program-folder DIR] [--select ROW] [--size WxH] "
        "FILE...\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QStringList args = QApplication::arguments().mid(1);
    if (args.isEmpty()) return Usage();
    const QString output = args.takeFirst();

    int selectRow = -1;
    QSize size;
    QStringList files;
    while (!args.isEmpty()) {
        const QString arg = args.takeFirst();
        if (arg == QLatin1String("--program-folder") && !args.isEmpty()) {
            SetProgramFolder(std::filesystem::path(args.takeFirst().toStdU16String()));
        } else if (arg == QLatin1String("--select") && !args.isEmpty()) {
            selectRow = args.takeFirst().toInt();
        } else if (arg == QLatin1String("--size") && !args.isEmpty()) {
            const QStringList parts = args.takeFirst().split(QLatin1Char('x'));
            if (parts.size() != 2) return Usage();
            size = QSize(parts[0].toInt(), parts[1].toInt());
        } else {
            files << arg;
        }
    }

    int messages = 0;
    SetMessageBoxHook([&messages](QWidget*, const QString& text, QMessageBox::Icon) {
        ++messages;
        QTextStream(stderr) << "message: " << text << '\n';
    });

    QApplication::setWindowIcon(LoadProgramIcon());
    int result = 0;
    {
        CTarnwickDlg window;
        window.show();
        if (size.isValid()) window.resize(size);
        window.OnDropFiles(files);
        if (selectRow >= 0) window.FileList().SetRowSelected(selectRow, true);
        QApplication::processEvents();
        if (!window.grab().save(output)) {
            QTextStream(stderr) << "cannot write " << output << '\n';
            result = 1;
        }
        window.close();
    }
    g_pEngine.reset();
    return result != 0 ? result : (messages != 0 ? 3 : 0);
}
