#pragma once

// The application's start and end steps around the main window. main()
// makes the QApplication first.
#include <QStringList>

class CTarnwickApp {
public:
    // `files`: paths to add to the list once the window is up.
    explicit CTarnwickApp(QStringList files = {}) : m_files(std::move(files)) {}

    // Runs the main window until it closes; returns the process exit code.
    int Run();

private:
    // Shows the main window modally. Returns false: the program ends when
    // the window closes, with no event loop of its own afterwards.
    bool InitInstance();
    int ExitInstance();

    QStringList m_files;
};
