#include "tarnwick_app.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>

#include "engine/av_converter.h"
#include "resources/pictures.h"
#include "tarnwick_dlg.h"

int CTarnwickApp::Run() {
    InitInstance();
    return ExitInstance();
}

bool CTarnwickApp::InitInstance() {
    QApplication::setWindowIcon(LoadProgramIcon());
    CTarnwickDlg dialog;
    if (!m_files.isEmpty()) {
        QStringList files;
        for (const QString& file : m_files) files << QFileInfo(file).absoluteFilePath();
        QTimer::singleShot(0, &dialog, [&dialog, files] { dialog.OnDropFiles(files); });
    }
    dialog.exec();
    return false;
}

int CTarnwickApp::ExitInstance() {
    // The window releases the engine when it closes; this covers any other
    // way out, so no worker outlives the program's objects.
    g_pEngine.reset();
    return 0;
}
