#pragma once

// Where the program finds its files, portable or installed. A portable
// folder keeps everything beside the program: setting.ini when it can be
// written there, and languages/. An installed program (under a prefix such
// as /usr, in a folder the user cannot write) finds its shipped files in
// <prefix>/share/velmora/ and keeps the user's settings in
// $XDG_CONFIG_HOME/velmora/setting.ini (~/.config/velmora/), made from the
// shipped default on the first write.

#include <filesystem>

// <programFolder>/../share/velmora
std::filesystem::path InstalledDataFolder(const std::filesystem::path& programFolder);

// The per-user setting.ini: $XDG_CONFIG_HOME/velmora/setting.ini, else
// ~/.config/velmora/setting.ini (%APPDATA%\velmora on Windows). Empty when
// no home is known.
std::filesystem::path UserSettingsPath();

// The setting.ini to read: the portable one when it can be written, else
// the user's copy when there is one, else the shipped default.
std::filesystem::path SettingsPathToRead(const std::filesystem::path& programFolder);

// The setting.ini to write: the portable one when it can be written, else
// the user's copy, made from the shipped default when missing. Empty when
// neither can be written.
std::filesystem::path SettingsPathToWrite(const std::filesystem::path& programFolder);
