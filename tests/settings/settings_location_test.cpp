// Where setting.ini and the language files are found, portable and
// installed.

#include "settings_location.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "ini_file.h"
#include "setting_keys.h"
#include "test_media.h"

namespace {

namespace fs = std::filesystem;

void Write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

// XDG_CONFIG_HOME pointed somewhere for as long as the object lives.
class ConfigHome {
public:
    explicit ConfigHome(const fs::path& folder) {
        if (const char* old = std::getenv("XDG_CONFIG_HOME")) m_old = old;
        setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    }
    ~ConfigHome() {
        if (m_old.empty())
            unsetenv("XDG_CONFIG_HOME");
        else
            setenv("XDG_CONFIG_HOME", m_old.c_str(), 1);
    }

private:
    std::string m_old;
};

// A portable folder keeps its settings beside the program, file or not.
TEST(SettingsLocation, PortableFolderKeepsThemBeside) {
    testmedia::TempDir dir;
    ConfigHome config(dir / "config");
    const fs::path bin = dir / "portable";
    fs::create_directories(bin);
    EXPECT_EQ(SettingsPathToWrite(bin), bin / "setting.ini");
    Write(bin / "setting.ini", "[PATH]\nname=/videos\n");
    EXPECT_EQ(SettingsPathToRead(bin), bin / "setting.ini");
    EXPECT_EQ(SettingsPathToWrite(bin), bin / "setting.ini");
    EXPECT_FALSE(fs::exists(dir / "config"));
}

// An installed program reads the shipped default until the first write,
// which makes the user's copy from it; from then on the copy is read.
TEST(SettingsLocation, InstalledProgramKeepsThemInTheUsersFolder) {
    testmedia::TempDir dir;
    ConfigHome config(dir / "config");
    const fs::path bin = dir / "prefix" / "bin";
    fs::create_directories(bin);
    const fs::path shipped = dir / "prefix" / "share" / "velmora" / "setting.ini";
    Write(shipped, "; shipped\n[LANGUAGE]\nfile=english.ini\n");

    EXPECT_EQ(SettingsPathToRead(bin), shipped);
    const fs::path user = SettingsPathToWrite(bin);
    EXPECT_EQ(user, dir / "config" / "velmora" / "setting.ini");
    ASSERT_TRUE(WriteProfileString(user, "PATH", "name", "/videos"));
    EXPECT_EQ(SettingsPathToRead(bin), user);
    EXPECT_EQ(ReadProfileString(user, "LANGUAGE", "file", ""), "english.ini");
    EXPECT_EQ(ReadProfileString(user, "PATH", "name", ""), "/videos");
    EXPECT_EQ(ReadProfileString(shipped, "PATH", "name", ""), "");
}

// With no configuration folder to be had, there is no place to write.
TEST(SettingsLocation, NoPlaceToWrite) {
    testmedia::TempDir dir;
    Write(dir / "file", "not a folder");
    ConfigHome config(dir / "file");
    const fs::path bin = dir / "prefix" / "bin";
    fs::create_directories(bin);
    Write(dir / "prefix" / "share" / "velmora" / "setting.ini", "");
    EXPECT_EQ(SettingsPathToWrite(bin), fs::path());
}

// Language files beside the program win; an install's are found in share.
TEST(SettingsLocation, LanguageFilesBesideThenInstalled) {
    testmedia::TempDir dir;
    const fs::path bin = dir / "prefix" / "bin";
    const fs::path installed = dir / "prefix" / "share" / "velmora" / "languages" / "english.ini";
    Write(installed, "");
    EXPECT_EQ(LanguagePath(bin, "english.ini"), installed);
    Write(bin / "languages" / "english.ini", "");
    EXPECT_EQ(LanguagePath(bin, "english.ini"), bin / "languages" / "english.ini");
}

}  // namespace
