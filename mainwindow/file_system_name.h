#pragma once

// A path of the window (Qt's UTF-16) as the engine and the job planning
// take it: the bytes the system uses for file names, which FFmpeg takes as
// UTF-8 on Windows.

#include <QFile>
#include <QString>
#include <string>

inline std::string FileSystemName(const QString& path) {
#ifdef Q_OS_WIN
    return path.toUtf8().toStdString();
#else
    return QFile::encodeName(path).toStdString();
#endif
}
