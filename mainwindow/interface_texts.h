#pragma once

#include <QString>
#include <filesystem>

// The texts of the user interface, read from the language file once at
// start-up and used by key for the rest of the run by the main window and
// the jobs. A missing file or key gives an empty text.

// Reads every key of the APPLICATION, JIEMIAN, TISHI and HINT sections that
// the program uses, replacing what an earlier call read.
void LoadInterfaceTexts(const std::filesystem::path& languageFile);

// The text of `key` in `section` (names as in the language file, any case).
QString InterfaceText(const char* section, const char* key);

// The language file name of the settings (LANGUAGE/file), kept for the run.
QString LanguageFileName();
void SetLanguageFileName(const QString& name);
