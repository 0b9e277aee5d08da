#pragma once

#include <QString>
#include <filesystem>

#include "setting_keys.h"

// The texts of the user interface, read from the language file once at
// start-up and used by key for the rest of the run by the main window and
// the jobs. A missing file or key gives an empty text.

// Reads every key the main window and the job code use (the keys of
// lang::kMainWindowTexts), replacing what an earlier call read.
void LoadInterfaceTexts(const std::filesystem::path& languageFile);

// The text of a language key, for example InterfaceText(lang::kStatusDone).
// A key that is not read at start-up gives an empty text.
QString InterfaceText(const ProfileKey& key);

// The language file name of the settings (LANGUAGE/file), kept for the run.
QString LanguageFileName();
void SetLanguageFileName(const QString& name);
