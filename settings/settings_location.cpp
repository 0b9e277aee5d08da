#include "settings_location.h"

#include <cstdlib>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "setting_keys.h"

namespace fs = std::filesystem;

namespace {

bool CanWrite(const fs::path& path) {
#ifdef _WIN32
    return _waccess(path.c_str(), 2) == 0;
#else
    return access(path.c_str(), W_OK) == 0;
#endif
}

// Writes replace the file through a new one in its folder, so the folder
// must take new files too.
bool WritableInPlace(const fs::path& file) {
    std::error_code ec;
    return fs::is_regular_file(file, ec) && CanWrite(file) && CanWrite(file.parent_path());
}

// Settings stay beside the program when they can be written there, or when
// the file is missing but could be made there and the program is no
// installed one (a portable folder, the build tree).
bool Portable(const fs::path& programFolder) {
    const fs::path file = SettingsPath(programFolder);
    std::error_code ec;
    if (fs::exists(file, ec)) return WritableInPlace(file);
    return CanWrite(programFolder) &&
           !fs::exists(InstalledDataFolder(programFolder) / PathFromUtf8(kSettingsFileName), ec);
}

fs::path ShippedDefault(const fs::path& programFolder) {
    std::error_code ec;
    const fs::path beside = SettingsPath(programFolder);
    if (fs::exists(beside, ec)) return beside;
    return InstalledDataFolder(programFolder) / PathFromUtf8(kSettingsFileName);
}

}  // namespace

fs::path InstalledDataFolder(const fs::path& programFolder) {
    return programFolder.parent_path() / "share" / "velmora";
}

fs::path UserSettingsPath() {
#ifdef _WIN32
    const char* appData = std::getenv("APPDATA");
    if (!appData || !*appData) return {};
    return fs::path(appData) / "velmora" / PathFromUtf8(kSettingsFileName);
#else
    fs::path config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
        config = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        config = fs::path(home) / ".config";
    } else {
        return {};
    }
    return config / "velmora" / PathFromUtf8(kSettingsFileName);
#endif
}

fs::path SettingsPathToRead(const fs::path& programFolder) {
    const fs::path portable = SettingsPath(programFolder);
    if (Portable(programFolder)) return portable;
    std::error_code ec;
    const fs::path user = UserSettingsPath();
    if (!user.empty() && fs::exists(user, ec)) return user;
    return ShippedDefault(programFolder);
}

fs::path SettingsPathToWrite(const fs::path& programFolder) {
    const fs::path portable = SettingsPath(programFolder);
    if (Portable(programFolder)) return portable;
    const fs::path user = UserSettingsPath();
    if (user.empty()) return {};
    std::error_code ec;
    if (!fs::exists(user, ec)) {
        fs::create_directories(user.parent_path(), ec);
        if (ec) return {};
        // The user's copy starts as the shipped one, comments and all.
        const fs::path shipped = ShippedDefault(programFolder);
        if (fs::exists(shipped, ec)) fs::copy_file(shipped, user, ec);
        if (ec) return {};
    }
    return WritableInPlace(user) || !fs::exists(user, ec) ? user : fs::path();
}
