#include "file_choosers.h"

#include <QDir>
#include <QFileDialog>
#include <utility>

namespace {

FilesChooser& FilesHook() {
    static FilesChooser hook;
    return hook;
}

FolderChooser& FolderHook() {
    static FolderChooser hook;
    return hook;
}

}  // namespace

QStringList ChooseFilesToAdd(QWidget* parent, const QString& filter) {
    if (const FilesChooser& hook = FilesHook()) return hook(parent, filter);
    QStringList files = QFileDialog::getOpenFileNames(parent, QString(), QString(), filter);
    for (QString& file : files) file = QDir::toNativeSeparators(file);
    return files;
}

QString ChooseOutputFolder(QWidget* parent, const QString& title) {
    if (const FolderChooser& hook = FolderHook()) return hook(parent, title);
    return QDir::toNativeSeparators(QFileDialog::getExistingDirectory(parent, title));
}

FilesChooser SetFilesChooser(FilesChooser chooser) {
    return std::exchange(FilesHook(), std::move(chooser));
}

FolderChooser SetFolderChooser(FolderChooser chooser) {
    return std::exchange(FolderHook(), std::move(chooser));
}

QString ToQtFileFilter(const QString& pipeFilter) {
    const QStringList parts = pipeFilter.split(QLatin1Char('|'));
    QStringList filters;
    // Pairs of description and patterns; a trailing lone part (the empty
    // text after the final "|") is not a filter.
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        if (patterns.isEmpty()) continue;
        for (QString& pattern : patterns) {
            pattern = pattern.trimmed();
            if (pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");
        }
        filters << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                       QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}
