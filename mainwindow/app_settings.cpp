#include "app_settings.h"

#include "interface_texts.h"
#include "message_box.h"
#include "program_folder.h"
#include "settings_location.h"

namespace {

std::string Utf8Of(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace

std::filesystem::path ProgramFolder() { return GetProgramFolder(); }

void SetProgramFolder(const std::filesystem::path& folder) { OverrideProgramFolder(folder); }

std::filesystem::path SettingsFilePath() { return SettingsPathToRead(ProgramFolder()); }

std::filesystem::path LanguageFilePath(const QString& file) {
    return LanguagePath(ProgramFolder(), Utf8Of(file));
}

QString ReadSetting(const ProfileKey& key) {
    return QString::fromStdString(ReadProfileString(SettingsFilePath(), key));
}

void WriteSetting(const ProfileKey& key, const QString& value) {
    // A value that cannot be kept anywhere lasts for this run only; the user
    // is told once.
    const std::filesystem::path file = SettingsPathToWrite(ProgramFolder());
    if (!file.empty() && WriteProfileString(file, key, Utf8Of(value))) return;
    static bool told = false;
    if (told) return;
    told = true;
    QString text = InterfaceText(lang::kSettingsNotSaved);
    // An older language file has no text for it.
    if (text.isEmpty())
        text = QStringLiteral(
            "Your settings cannot be saved: neither the program's folder nor "
            "your configuration folder can be written.");
    ShowMessageBox(nullptr, text);
}
