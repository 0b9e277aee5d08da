#include "resources/pictures.h"

#include <QString>

// The resources live in this static library; nothing would pull their
// registration into the program unless something refers to it.
static void RegisterPictures() { Q_INIT_RESOURCE(pictures); }

namespace {

void EnsureRegistered() {
    static const bool registered = (RegisterPictures(), true);
    (void)registered;
}

QString PicturePath(const QString& name) { return QStringLiteral(":/pictures/") + name; }

}  // namespace

QPixmap LoadPicture(int id) {
    EnsureRegistered();
    QPixmap pixmap;
    if (id < 0 || !pixmap.load(PicturePath(QString::number(id) + QStringLiteral(".png")))) {
        return {};
    }
    return pixmap;
}

QIcon LoadProgramIcon() {
    EnsureRegistered();
    QIcon icon;
    for (const char* name : {"266_16.png", "266_32.png", "266.png"}) {
        icon.addFile(PicturePath(QString::fromLatin1(name)));
    }
    return icon;
}
