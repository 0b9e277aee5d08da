// The setting.ini and language files that ship with the program, as the
// build copies them beside the executable.

#include <gtest/gtest.h>

#include <set>
#include <span>
#include <string>

#include "ini_test_files.h"
#include "setting_keys.h"

namespace fs = std::filesystem;

namespace {

const fs::path kBin = VELMORA_BIN_DIR;

TEST(ShippedFiles, SettingsChooseEnglishAndOpenTheFolder) {
    const fs::path settings = SettingsPath(kBin);
    ASSERT_TRUE(fs::is_regular_file(settings));
    EXPECT_EQ(ReadProfileString(settings, kLanguageFile), "english.ini");
    EXPECT_TRUE(IsOpenFolderOn(ReadProfileString(settings, kOpenFolder)));
    EXPECT_TRUE(
        fs::is_regular_file(LanguagePath(kBin, ReadProfileString(settings, kLanguageFile))));
}

class LanguageFile : public testing::TestWithParam<const char*> {};

TEST_P(LanguageFile, HasATextForEveryKey) {
    const fs::path file = LanguagePath(kBin, GetParam());
    ASSERT_TRUE(fs::is_regular_file(file)) << file;
    const std::string bytes = initest::ReadBytes(file);
    EXPECT_EQ(bytes.find('@'), std::string::npos) << "a CMake variable was not replaced";

    std::set<std::pair<std::string_view, std::string_view>> keys;
    for (const auto& list : {std::span<const ProfileKey>(lang::kMainWindowTexts),
                             std::span<const ProfileKey>(lang::kProgressDialogTexts)}) {
        for (const ProfileKey& key : list) {
            EXPECT_NE(ReadProfileString(file, key), "") << key.section << "/" << key.key;
            keys.emplace(key.section, key.key);
        }
    }
    EXPECT_EQ(keys.size(), 31u);  // every key of the four sections

    EXPECT_EQ(ReadProfileString(file, lang::kName), "Velmora");
    EXPECT_EQ(ReadProfileString(file, lang::kVersion), VELMORA_VERSION);
    const std::string url = ReadProfileString(file, lang::kUrl);
    EXPECT_TRUE(url.starts_with("https://") && url.find("velmora") != std::string::npos) << url;
    // The refused-file message puts the file name right after wj: the blank
    // that separates them must survive the reading rules.
    EXPECT_TRUE(ReadProfileString(file, lang::kFileRefusedStart).ends_with(' '));
}

INSTANTIATE_TEST_SUITE_P(Shipped, LanguageFile, testing::Values("english.ini", "chinese.ini"));

}  // namespace
