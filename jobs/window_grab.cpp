#include "window_grab.h"

#include <QDir>
#include <QPixmap>
#include <QString>
#include <QWidget>

void GrabForReview(QWidget* widget, const QString& name) {
    static const QString folder = qEnvironmentVariable("VELMORA_GRAB_DIR");
    if (folder.isEmpty() || widget == nullptr) return;
    widget->grab().save(QDir(folder).filePath(name + QStringLiteral(".png")));
}
