#include "message_box.h"

#include <QCoreApplication>
#include <utility>

namespace {

MessageBoxHook& Hook() {
    static MessageBoxHook hook;
    return hook;
}

}  // namespace

void ShowMessageBox(QWidget* parent, const QString& text, QMessageBox::Icon icon) {
    if (const MessageBoxHook& hook = Hook()) {
        hook(parent, text, icon);
        return;
    }
    QMessageBox box(icon, QCoreApplication::applicationName(), text, QMessageBox::Ok, parent);
    box.exec();
}

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook) {
    return std::exchange(Hook(), std::move(hook));
}
