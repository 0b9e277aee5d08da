#include "desktop_opener.h"

#include <QDesktopServices>
#include <utility>

#include "interface_texts.h"
#include "message_box.h"

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

DesktopOpener SetDesktopOpener(DesktopOpener opener) {
    return std::exchange(Hook(), std::move(opener));
}

void OpenOrTell(QWidget* parent, const QString& path) {
    if (path.isEmpty() || OpenWithDesktop(QUrl::fromLocalFile(path))) return;
    ShowMessageBox(parent, InterfaceText(lang::kCannotOpen) + path);
}
