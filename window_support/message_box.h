#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

class QWidget;

// Every message of the main window and of the jobs goes through here: a box
// with an OK button only, titled with the application name (which Qt takes
// from the executable's file name), modal to `parent`.
//
// Tests install a hook that receives the text instead of showing a box, so no
// test ever waits for a person to press OK.
void ShowMessageBox(QWidget* parent, const QString& text,
                    QMessageBox::Icon icon = QMessageBox::Warning);

using MessageBoxHook =
    std::function<void(QWidget* parent, const QString& text, QMessageBox::Icon icon)>;

// Replaces how messages are shown; an empty hook restores the real box.
// Returns the hook that was installed before.
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);

// Asks a question with Yes and No buttons (No the default); true for Yes.
// Tests answer through their own hook.
bool AskYesNo(QWidget* parent, const QString& text);

using QuestionHook = std::function<bool(QWidget* parent, const QString& text)>;
QuestionHook SetQuestionHook(QuestionHook hook);
