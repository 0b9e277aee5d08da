#pragma once

#include <QString>
#include <QUrl>
#include <functional>

// Hands a folder or a web address to the desktop, which opens it with the
// user's file manager or browser. Returns whether the desktop accepted it.
// Tests install a hook that records the request instead.
bool OpenWithDesktop(const QUrl& url);

using DesktopOpener = std::function<bool(const QUrl& url)>;

// Replaces the desktop; an empty hook restores it. Returns the previous hook.
DesktopOpener SetDesktopOpener(DesktopOpener opener);

class QWidget;
// Opens a local file or folder with the desktop; when the desktop cannot,
// says so in a message that names the path.
void OpenOrTell(QWidget* parent, const QString& path);
