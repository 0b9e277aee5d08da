#include "setting_keys.h"

namespace fs = std::filesystem;

fs::path PathFromUtf8(std::string_view text) {
    return fs::path(std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

fs::path SettingsPath(const fs::path& programFolder) {
    return programFolder / PathFromUtf8(kSettingsFileName);
}

fs::path LanguagePath(const fs::path& programFolder, std::string_view languageFile) {
    // Appended as text: with operator/ an absolute name would replace the
    // whole path and a name with a drive would drop the folder.
    fs::path path = programFolder / PathFromUtf8(kLanguagesFolderName);
    path += fs::path::preferred_separator;
    path += PathFromUtf8(languageFile);
    return path;
}
