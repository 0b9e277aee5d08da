#include "resources/pictures.h"

#include <QGuiApplication>
#include <QString>
#include <atomic>

// The resources live in this static library; nothing would pull their
// registration into the program unless something refers to it.
static void RegisterPictures() { Q_INIT_RESOURCE(pictures); }

namespace {

void EnsureRegistered() {
    static const bool registered = (RegisterPictures(), true);
    (void)registered;
}

std::atomic<PictureLanguage> g_language{PictureLanguage::kChinese};

bool HasWords(int id) {
    return id == picture::kAddFiles || id == picture::kOpenFolder || id == picture::kStart ||
           id == picture::kBrowse;
}

// ":/pictures/178_en@2x.png" and the like.
QString PicturePath(int id, int density) {
    QString name = QString::number(id);
    if (HasWords(id) && g_language.load() == PictureLanguage::kEnglish)
        name += QStringLiteral("_en");
    if (density > 1) name += QStringLiteral("@%1x").arg(density);
    return QStringLiteral(":/pictures/") + name + QStringLiteral(".png");
}

bool DenseScreen() {
    const auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    return application != nullptr && application->devicePixelRatio() > 1.0;
}

}  // namespace

void SetPictureLanguage(PictureLanguage language) { g_language = language; }

PictureLanguage PictureLanguageFor(const QString& localeName) {
    return localeName.startsWith(QStringLiteral("zh"), Qt::CaseInsensitive)
               ? PictureLanguage::kChinese
               : PictureLanguage::kEnglish;
}

QPixmap LoadPicture(int id) {
    EnsureRegistered();
    QPixmap pixmap;
    if (id < 0) return {};
    if (DenseScreen() && pixmap.load(PicturePath(id, 2))) {
        pixmap.setDevicePixelRatio(2.0);
        return pixmap;
    }
    if (!pixmap.load(PicturePath(id, 1))) return {};
    return pixmap;
}

QImage LoadPictureOutline(int id) {
    EnsureRegistered();
    QImage image;
    if (id < 0 || !image.load(PicturePath(id, 1))) return {};
    return image;
}

QIcon LoadProgramIcon() {
    EnsureRegistered();
    QIcon icon;
    for (const char* name : {"266_16.png", "266_32.png", "266.png"}) {
        icon.addFile(QStringLiteral(":/pictures/") + QString::fromLatin1(name));
    }
    return icon;
}
