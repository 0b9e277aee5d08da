#include "app_settings.h"

#include "program_folder.h"

namespace {

std::string Utf8Of(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace

std::filesystem::path ProgramFolder() { return GetProgramFolder(); }

void SetProgramFolder(const std::filesystem::path& folder) { OverrideProgramFolder(folder); }

std::filesystem::path SettingsFilePath() { return SettingsPath(ProgramFolder()); }

std::filesystem::path LanguageFilePath(const QString& file) {
    return LanguagePath(ProgramFolder(), Utf8Of(file));
}

QString ReadSetting(const ProfileKey& key) {
    return QString::fromStdString(ReadProfileString(SettingsFilePath(), key));
}

void WriteSetting(const ProfileKey& key, const QString& value) {
    // A settings file that cannot be written leaves the value for this run
    // only; nobody is told.
    (void)WriteProfileString(SettingsFilePath(), key, Utf8Of(value));
}
