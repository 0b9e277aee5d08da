// The output folder: the field beside "输出目录", the browse button and the
// open-folder button.

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <filesystem>

#include "frontend_core/output_folder.h"
#include "mainwindow/app_settings.h"
#include "mainwindow/desktop_opener.h"
#include "mainwindow/file_choosers.h"
#include "mainwindow/interface_texts.h"
#include "mainwindow/message_box.h"
#include "mainwindow/tarnwick_dlg.h"

bool CTarnwickDlg::IsWritableFolder(const QString& folder) {
    if (folder.isEmpty()) return false;
    return !FolderWriteTest(std::filesystem::path(folder.toStdU16String()));
}

void CTarnwickDlg::UpdateData(bool saveAndValidate) {
    if (saveAndValidate) {
        m_strOutputFolder = m_comboOutputFolder->currentText();
        return;
    }
    // Show the folder's own entry of the list when it has one. Failing that,
    // the first entry that begins with the text (any case), as a sorted
    // folder field has always matched; the exact entry comes first because
    // folders differing only in case are different folders here.
    int index =
        m_comboOutputFolder->findText(m_strOutputFolder, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0 && !m_strOutputFolder.isEmpty()) {
        index = m_comboOutputFolder->findText(m_strOutputFolder, Qt::MatchStartsWith);
    }
    if (index >= 0) {
        m_comboOutputFolder->setCurrentIndex(index);
    } else {
        m_comboOutputFolder->setCurrentIndex(-1);
        m_comboOutputFolder->setEditText(m_strOutputFolder);
    }
}

QString CTarnwickDlg::OutputFolder() {
    UpdateData(true);
    return m_strOutputFolder;
}

void CTarnwickDlg::AddFolderToList(const QString& folder) {
    // Sorted without regard to case; a folder already listed is not listed
    // again.
    if (m_comboOutputFolder->findText(folder, Qt::MatchExactly | Qt::MatchCaseSensitive) >= 0)
        return;
    int position = 0;
    while (position < m_comboOutputFolder->count() &&
           m_comboOutputFolder->itemText(position).compare(folder, Qt::CaseInsensitive) <= 0) {
        ++position;
    }
    m_comboOutputFolder->insertItem(position, folder);
}

QString CTarnwickDlg::DefaultOutputFolder() {
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    if (!videos.isEmpty() && QFileInfo(videos).isDir() && IsWritableFolder(videos)) return videos;
    return QDir::homePath();
}

void CTarnwickDlg::OnBrowseFolder() {
    const QString folder = ChooseOutputFolder(this, InterfaceText(lang::kBrowseHint));
    if (folder.isEmpty()) return;

    if (!QFileInfo(folder).isDir()) {
        // The write test below fails too and says so.
        ShowMessageBox(this, InterfaceText(lang::kFolderInvalid));
    }
    if (!IsWritableFolder(folder)) {
        ShowMessageBox(this, InterfaceText(lang::kFolderNotWritable));
        return;
    }

    m_strOutputFolder = folder;
    AddFolderToList(folder);
    WriteSetting(kOutputFolder, folder);
    UpdateData(false);
}

void CTarnwickDlg::OnOpenFolder() {
    // Only a folder is handed to the desktop: a text naming a file would
    // otherwise open (or run) that file.
    const QString text = m_comboOutputFolder->currentText();
    if (text.isEmpty()) return;
    const QFileInfo info(text);
    if (!info.isDir()) return;
    OpenOrTell(this, info.absoluteFilePath());
}
