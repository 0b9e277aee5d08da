#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

// The two system dialogs of the main window, behind hooks so that tests can
// hand in the paths a user would have chosen.

// Multi-select open dialog. `filter` is in Qt's "Desc (*.a *.b);;Desc (*)"
// form. Returns the chosen files in the order the dialog gives them, with the
// platform's separators; empty when the user cancels.
QStringList ChooseFilesToAdd(QWidget* parent, const QString& filter);

// Folder dialog titled `title`. Returns the chosen folder with the platform's
// separators; empty when the user cancels.
QString ChooseOutputFolder(QWidget* parent, const QString& title);

using FilesChooser = std::function<QStringList(QWidget* parent, const QString& filter)>;
using FolderChooser = std::function<QString(QWidget* parent, const QString& title)>;

// Replace the dialogs; an empty hook restores the real one. Each returns the
// previous hook.
FilesChooser SetFilesChooser(FilesChooser chooser);
FolderChooser SetFolderChooser(FolderChooser chooser);

// Converts a filter written as "Desc|*.a;*.b|Desc|*.*|" (description and
// patterns alternating) into Qt's form. "*.*" becomes "*", which matches
// names without a dot too.
QString ToQtFileFilter(const QString& pipeFilter);
