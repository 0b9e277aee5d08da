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

namespace {

QuestionHook& Question() {
    static QuestionHook hook;
    return hook;
}

}  // namespace

bool AskYesNo(QWidget* parent, const QString& text) {
    if (const QuestionHook& hook = Question()) return hook(parent, text);
    QMessageBox box(QMessageBox::Question, QCoreApplication::applicationName(), text,
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QuestionHook SetQuestionHook(QuestionHook hook) {
    return std::exchange(Question(), std::move(hook));
}
