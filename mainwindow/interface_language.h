#pragma once

#include <QString>

// Puts the window's language into effect beyond the language file's own
// texts: Qt's translations for its dialogs and buttons (file dialogs,
// message-box buttons, the context menus of edit fields) and the pictures
// drawn with words. `localeName` is the language file's locale ("en",
// "zh_CN"). Calling it again replaces what an earlier call chose.
void UseInterfaceLanguage(const QString& localeName);
