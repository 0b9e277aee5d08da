#include "setting_keys.h"

#include <gtest/gtest.h>

#include "ini_test_files.h"
#include "program_folder.h"
#include "test_media.h"

namespace fs = std::filesystem;

namespace {

TEST(ProgramFolder, IsTheFolderOfTheRunningExecutable) {
    // Tests are built into the same folder as the program.
    EXPECT_EQ(fs::canonical(GetProgramFolder()), fs::canonical(VELMORA_BIN_DIR));

    testmedia::TempDir dir;
    OverrideProgramFolder(dir.path());
    EXPECT_EQ(GetProgramFolder(), dir.path());
    OverrideProgramFolder({});
    EXPECT_EQ(fs::canonical(GetProgramFolder()), fs::canonical(VELMORA_BIN_DIR));
}

TEST(SettingPaths, AreBuiltFromTheProgramFolder) {
    const fs::path folder = fs::path("opt") / "velmora";
    EXPECT_EQ(SettingsPath(folder), folder / "setting.ini");
    EXPECT_EQ(LanguagePath(folder, "english.ini"), folder / "languages" / "english.ini");
    EXPECT_EQ(LanguagePath(folder, "中文.ini"), folder / "languages" / fs::path(u8"中文.ini"));

    // An absolute name does not lead out of the program folder as a whole:
    // it is appended to languages/ as text.
    const std::string absolute = LanguagePath(folder, "/etc/passwd").string();
    EXPECT_TRUE(absolute.starts_with((folder / "languages").string())) << absolute;
}

TEST(SettingsFile, MissingFileGivesTheDefaults) {
    testmedia::TempDir dir;
    const fs::path settings = SettingsPath(dir.path());
    EXPECT_EQ(ReadProfileString(settings, kLanguageFile), "");
    EXPECT_EQ(ReadProfileString(settings, kOutputFolder), "");
    EXPECT_TRUE(IsOpenFolderOn(ReadProfileString(settings, kOpenFolder)));

    // Without a language file name the language path is the languages
    // folder itself, and every text is its default: empty for the keys every
    // language file has carried, the window's original Chinese text for the
    // ones added later.
    fs::create_directories(dir / "languages");
    const fs::path language = LanguagePath(dir.path(), ReadProfileString(settings, kLanguageFile));
    for (const ProfileKey& key : lang::kMainWindowTexts) {
        EXPECT_EQ(ReadProfileString(language, key), key.defaultValue) << key.key;
    }
    EXPECT_EQ(ReadProfileString(language, lang::kStatusDone), "");
    EXPECT_EQ(ReadProfileString(language, lang::kOutputFolderLabel), "输出目录");
}

TEST(SettingsFile, OnlyTheExactText1OpensTheFolder) {
    struct Case {
        const char* line;
        bool on;
    };
    const Case cases[] = {
        {"open=1", true},     {"open = 1 ", true}, {"open=\"1\"", true}, {"open=0", false},
        {"open=", false},     {"open=yes", false}, {"open=11", false},   {"open=1.0", false},
        {"open=true", false}, {"open=01", false},
    };
    testmedia::TempDir dir;
    const fs::path settings = SettingsPath(dir.path());
    for (const auto& c : cases) {
        initest::WriteBytes(settings, std::string("[DIR]\n") + c.line + "\n");
        EXPECT_EQ(IsOpenFolderOn(ReadProfileString(settings, kOpenFolder)), c.on) << c.line;
    }
}

TEST(SettingsFile, RemembersWhatTheWindowsWrite) {
    testmedia::TempDir dir;
    const fs::path settings = SettingsPath(dir.path());
    initest::WriteBytes(settings, "[LANGUAGE]\nfile=chinese.ini\n");
    ASSERT_TRUE(WriteProfileString(settings, kOutputFolder, "/srv/视频 输出"));
    ASSERT_TRUE(WriteProfileString(settings, kOpenFolder, kOpenFolderOff));
    EXPECT_EQ(ReadProfileString(settings, kOutputFolder), "/srv/视频 输出");
    EXPECT_FALSE(IsOpenFolderOn(ReadProfileString(settings, kOpenFolder)));
    EXPECT_EQ(ReadProfileString(settings, kLanguageFile), "chinese.ini");
}

}  // namespace
