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

    // Every key is in the file itself, not only given by its default, and
    // no two texts of one list share a key.
    for (const auto& list : {std::span<const ProfileKey>(lang::kMainWindowTexts),
                             std::span<const ProfileKey>(lang::kProgressDialogTexts)}) {
        std::set<std::pair<std::string_view, std::string_view>> keys;
        for (const ProfileKey& key : list) {
            EXPECT_NE(ReadProfileString(file, ProfileKey{key.section, key.key, ""}), "")
                << key.section << "/" << key.key;
            EXPECT_TRUE(keys.emplace(key.section, key.key).second) << key.key << " twice";
        }
    }

    EXPECT_EQ(ReadProfileString(file, lang::kName), "Velmora");
    EXPECT_EQ(ReadProfileString(file, lang::kVersion), VELMORA_VERSION);
    const std::string url = ReadProfileString(file, lang::kUrl);
    EXPECT_TRUE(url.starts_with("https://") && url.find("velmora") != std::string::npos) << url;
    // The refused-file message puts the file name right after wj: the blank
    // that separates them must survive the reading rules.
    EXPECT_TRUE(ReadProfileString(file, lang::kFileRefusedStart).ends_with(' '));
}

INSTANTIATE_TEST_SUITE_P(Shipped, LanguageFile, testing::Values("english.ini", "chinese.ini"));

// Nothing Chinese shows in English: the English file has no character of
// the CJK blocks (U+2E80 onwards, three or more UTF-8 bytes) anywhere.
TEST(ShippedFiles, EnglishHasNoChineseText) {
    const std::string bytes = initest::ReadBytes(LanguagePath(kBin, "english.ini"));
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        EXPECT_FALSE(byte >= 0xE2 && byte <= 0xEF && i + 1 < bytes.size() &&
                     (byte > 0xE2 || static_cast<unsigned char>(bytes[i + 1]) >= 0xBA))
            << "at byte " << i;
    }
}

}  // namespace
