#include "settings/setting_keys.h"

#include <system_error>

namespace fs = std::filesystem;

fs::path SettingsPath(const fs::path& programFolder) {
    return programFolder / PathFromUtf8(kSettingsFileName);
}

namespace {

fs::path LanguageIn(const fs::path& folder, std::string_view languageFile) {
    // Appended as text: with operator/ an absolute name would replace the
    // whole path and a name with a drive would drop the folder.
    fs::path path = folder / PathFromUtf8(kLanguagesFolderName);
    path += fs::path::preferred_separator;
    path += PathFromUtf8(languageFile);
    return path;
}

}  // namespace

fs::path LanguagePath(const fs::path& programFolder, std::string_view languageFile) {
    // Beside the program first (a portable folder, the build tree), then
    // where an install puts it: <prefix>/share/velmora/languages.
    const fs::path beside = LanguageIn(programFolder, languageFile);
    std::error_code ec;
    if (languageFile.empty() || fs::is_regular_file(beside, ec)) return beside;
    const fs::path installed =
        LanguageIn(programFolder.parent_path() / "share" / "velmora", languageFile);
    return fs::is_regular_file(installed, ec) ? installed : beside;
}
