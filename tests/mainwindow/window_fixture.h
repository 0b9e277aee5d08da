#pragma once

// Shared pieces of the main-window tests: a temporary program folder with
// its own setting.ini and language file, and captures that stand in for
// message boxes, the desktop and the system dialogs.

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app_settings.h"
#include "desktop_opener.h"
#include "engine/av_converter.h"
#include "file_choosers.h"
#include "message_box.h"
#include "test_media.h"

namespace windowtest {

// A language file whose every text names its key, so a test sees at once
// which key a text came from. Chinese and English both appear.
inline constexpr char kLanguageText[] =
    "[APPLICATION]\n"
    "name=Velmora\n"
    "version=2.1\n"
    "url=https://example.org/velmora/help\n"
    "[JIEMIAN]\n"
    "zysybrj=使用帮助\n"
    "zb=准备\n"
    "symtwj=Media files\n"
    "sywj=All files\n"
    "ywj=Source file\n"
    "spgs=Format\n"
    "spcd=Length\n"
    "spdx=Size\n"
    "zl=Frame rate\n"
    "zt=Status\n"
    "[TISHI]\n"
    "wj=无法使用文件:\n"
    "wx=(no video)\n"
    "wc=Done\n"
    "sb=Failed\n"
    "[HINT]\n"
    "tjspwj=Add video files\n"
    "sc=Delete the selected file\n"
    "hbcygwj=Remove the sound\n";

// A program folder of the test's own; the window reads its files from it for
// as long as the object lives.
class TempProgramFolder {
public:
    TempProgramFolder() {
        std::filesystem::create_directories(m_dir.path() / "languages");
        SetProgramFolder(m_dir.path());
    }
    ~TempProgramFolder() { SetProgramFolder({}); }
    TempProgramFolder(const TempProgramFolder&) = delete;
    TempProgramFolder& operator=(const TempProgramFolder&) = delete;

    const std::filesystem::path& path() const { return m_dir.path(); }
    std::filesystem::path SettingsFile() const { return m_dir.path() / "setting.ini"; }

    void WriteSettings(const std::string& text) const { WriteFile(SettingsFile(), text); }
    void WriteLanguage(const std::string& name, const std::string& text) const {
        WriteFile(m_dir.path() / "languages" / name, text);
    }
    // setting.ini naming test.ini, which holds kLanguageText.
    void WriteStandardFiles(const std::string& extraSettings = std::string()) const {
        WriteSettings("[LANGUAGE]\nfile=test.ini\n" + extraSettings);
        WriteLanguage("test.ini", kLanguageText);
    }
    std::string ReadSettings() const {
        std::ifstream in(SettingsFile(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    static void WriteFile(const std::filesystem::path& file, const std::string& text) {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << text;
    }

private:
    testmedia::TempDir m_dir;
};

// Message boxes land here instead of on the screen.
class MessageCapture {
public:
    MessageCapture() {
        m_previous = SetMessageBoxHook([this](QWidget*, const QString& text, QMessageBox::Icon) {
            texts << text;
            if (onMessage) onMessage(text);
        });
        m_previousQuestion = SetQuestionHook([this](QWidget*, const QString& text) {
            questions << text;
            return answer;
        });
    }
    ~MessageCapture() {
        SetMessageBoxHook(m_previous);
        SetQuestionHook(m_previousQuestion);
    }
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;

    QStringList texts;
    std::function<void(const QString&)> onMessage;  // runs while the "box" is up
    // Yes/No questions asked, and the answer each of them gets.
    QStringList questions;
    bool answer = false;

private:
    MessageBoxHook m_previous;
    QuestionHook m_previousQuestion;
};

// Folders and addresses handed to the desktop land here.
class DesktopCapture {
public:
    DesktopCapture() {
        m_previous = SetDesktopOpener([this](const QUrl& url) {
            urls << url;
            return accepts;
        });
    }
    ~DesktopCapture() { SetDesktopOpener(m_previous); }
    DesktopCapture(const DesktopCapture&) = delete;
    DesktopCapture& operator=(const DesktopCapture&) = delete;

    QList<QUrl> urls;
    bool accepts = true;  // false: a desktop without a program for the request

private:
    DesktopOpener m_previous;
};

// The open dialog and the folder dialog answer with what the test chose.
class DialogAnswers {
public:
    DialogAnswers() {
        m_previousFiles = SetFilesChooser([this](QWidget*, const QString& filter) {
            ++filesAsked;
            lastFilter = filter;
            return files;
        });
        m_previousFolder = SetFolderChooser([this](QWidget*, const QString& title) {
            ++folderAsked;
            lastTitle = title;
            return folder;
        });
    }
    ~DialogAnswers() {
        SetFilesChooser(m_previousFiles);
        SetFolderChooser(m_previousFolder);
    }
    DialogAnswers(const DialogAnswers&) = delete;
    DialogAnswers& operator=(const DialogAnswers&) = delete;

    QStringList files;  // empty = the user cancelled
    QString folder;     // empty = the user cancelled
    int filesAsked = 0;
    int folderAsked = 0;
    QString lastFilter;
    QString lastTitle;

private:
    FilesChooser m_previousFiles;
    FolderChooser m_previousFolder;
};

inline QString Q(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

}  // namespace windowtest
