#pragma once

#include <QString>
#include <filesystem>

#include "setting_keys.h"

// Where the window finds setting.ini and the languages folder, and its reads
// and writes of setting.ini. Nothing is cached: each read goes to the file.

// The program folder: the executable's folder, unless one was set.
std::filesystem::path ProgramFolder();
// Makes the program read its files from `folder` instead (tests, the
// screenshot tool); an empty path goes back to the executable's folder.
void SetProgramFolder(const std::filesystem::path& folder);

std::filesystem::path SettingsFilePath();
// The language file named by `file` (LANGUAGE/file of the settings).
std::filesystem::path LanguageFilePath(const QString& file);

// A value of setting.ini, or the key's default when the file, section or
// key is missing.
QString ReadSetting(const ProfileKey& key);
// Writes a value to setting.ini, beside the program or in the user's
// configuration folder; when neither can be written the user is told, once.
void WriteSetting(const ProfileKey& key, const QString& value);
