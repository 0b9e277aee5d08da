#include "desktop_opener.h"

#include <QDesktopServices>
#include <utility>

namespace {

DesktopOpener& Hook() {
    static DesktopOpener hook;
    return hook;
}

}  // namespace

bool OpenWithDesktop(const QUrl& url) {
    if (const DesktopOpener& hook = Hook()) return hook(url);
    return QDesktopServices::openUrl(url);
}

bool OpenFolderWithDesktop(const QString& folder) {
    if (folder.isEmpty()) return false;
    return OpenWithDesktop(QUrl::fromLocalFile(folder));
}

DesktopOpener SetDesktopOpener(DesktopOpener opener) {
    return std::exchange(Hook(), std::move(opener));
}
