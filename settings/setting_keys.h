#pragma once

// Where the program's two kinds of INI file live, and every key it reads or
// writes in them.
//
// setting.ini, beside the executable, holds what is remembered between
// runs. Nothing caches it: each value is read when it is needed and written
// at once.
//
// The language file, languages/<LANGUAGE/file> beside the executable, holds
// the texts of the user interface. Every text is read with the empty default,
// so a missing file, section or key simply gives an empty text. The main
// window reads its texts once at start-up (kMainWindowTexts); the progress
// dialog reads its own each time it opens (kProgressDialogTexts), so an
// edited language file shows there at the next job.

#include <array>
#include <filesystem>
#include <string>
#include <string_view>

#include "engine/utf8_path.h"
#include "settings/ini_file.h"

struct ProfileKey {
    std::string_view section;
    std::string_view key;
    std::string_view defaultValue;
};

// ---- setting.ini ------------------------------------------------------------

// File name of the language file inside languages/. Read by the main window
// at start-up and by the progress dialog each time it opens; written only by
// installation or by hand.
inline constexpr ProfileKey kLanguageFile{"LANGUAGE", "file", ""};
// Output folder as the folder browser returned it. Read at start-up; written
// when a folder chosen with Browse has passed its write test.
inline constexpr ProfileKey kOutputFolder{"PATH", "name", ""};
// The window's size ("width,height") and the list's column widths
// ("w0,w1,…"), once the user has changed them; empty: as designed.
inline constexpr ProfileKey kWindowSize{"WINDOW", "size", ""};
inline constexpr ProfileKey kListColumnWidths{"WINDOW", "columns", ""};
// Whether the output folder is opened after a job succeeded: only the exact
// text kOpenFolderOn means yes. Read at start-up and when the progress dialog
// opens; written when the progress dialog closes.
inline constexpr ProfileKey kOpenFolder{"DIR", "open", "1"};
inline constexpr std::string_view kOpenFolderOn = "1";
inline constexpr std::string_view kOpenFolderOff = "0";

inline bool IsOpenFolderOn(std::string_view value) { return value == kOpenFolderOn; }

// ---- Language files ---------------------------------------------------------

namespace lang {

inline constexpr std::string_view kApplication = "APPLICATION";  // program identity
inline constexpr std::string_view kControls = "JIEMIAN";         // labels, columns, status words
inline constexpr std::string_view kMessages = "TISHI";           // messages and status words
inline constexpr std::string_view kHints = "HINT";               // tooltips of the main window

// APPLICATION
inline constexpr ProfileKey kName{kApplication, "name", ""};        // window titles
inline constexpr ProfileKey kVersion{kApplication, "version", ""};  // after the name in the title
inline constexpr ProfileKey kUrl{kApplication, "url", ""};  // help link; opened when a job fails
// The language's locale name ("en", "zh_CN"): chooses Qt's own translations
// for its dialogs and the pictures drawn with words. A file without it is
// one of the older Chinese files.
inline constexpr ProfileKey kLocale{kApplication, "locale", "zh_CN"};

// JIEMIAN, main window
inline constexpr ProfileKey kHelpLinkText{kControls, "zysybrj", ""};
inline constexpr ProfileKey kStatusAdded{kControls, "zb", ""};  // status of a newly added file
inline constexpr ProfileKey kVideoFilesFilter{kControls, "symtwj", ""};  // Add-file dialog
inline constexpr ProfileKey kAllFilesFilter{kControls, "sywj", ""};      // Add-file dialog
inline constexpr ProfileKey kColumnFile{kControls, "ywj", ""};           // list column 0
inline constexpr ProfileKey kColumnFormat{kControls, "spgs", ""};        // list column 1
inline constexpr ProfileKey kColumnDuration{kControls, "spcd", ""};      // list column 2
inline constexpr ProfileKey kColumnFrameSize{kControls, "spdx", ""};     // list column 3
inline constexpr ProfileKey kColumnFrameRate{kControls, "zl", ""};       // list column 5
inline constexpr ProfileKey kColumnStatus{kControls, "zt", ""};          // list column 6
// Texts that older language files do not carry: a missing key gives the
// window's original Chinese text.
inline constexpr ProfileKey kColumnBitRate{kControls, "spzl", "视频质量"};  // list column 4
inline constexpr ProfileKey kColumnProfile{kControls, "pz", "profile"};     // list column 7
inline constexpr ProfileKey kOutputFolderLabel{kControls, "scml", "输出目录"};
inline constexpr ProfileKey kRowCount{kControls, "gwj", "个文件"};  // after the number of rows

// JIEMIAN, progress dialog
inline constexpr ProfileKey kCurrentFileLabel{kControls, "dqwj", ""};
inline constexpr ProfileKey kAllFilesLabel{kControls, "zgwj", ""};
inline constexpr ProfileKey kStop{kControls, "tz", ""};  // stop button and its tooltip
inline constexpr ProfileKey kOpenFolderWhenDone{kControls, "wcdk", "完成后打开文件夹"};

// TISHI. A refused file is reported as kFileRefusedStart + file name + " " +
// kFileRefusedEnd. The progress lines read
//   name + "   " + percent + "% " + kFileProgressEnd
//   done + " " + kDoneOfTotal + " " + total + " " + kFilesProgressEnd
inline constexpr ProfileKey kFileRefusedStart{kMessages, "wj", ""};
inline constexpr ProfileKey kFileRefusedEnd{kMessages, "wx", ""};
inline constexpr ProfileKey kNoFiles{kMessages, "qxtjsp", ""};  // start with an empty list
// No place to keep the settings: neither beside the program nor in the
// user's configuration folder.
inline constexpr ProfileKey kSettingsNotSaved{kMessages, "szwfbc", ""};
inline constexpr ProfileKey kOutputFolderMissing{kMessages, "mlbcz", ""};
inline constexpr ProfileKey kFileProgressEnd{kMessages, "wjwc", ""};
inline constexpr ProfileKey kDoneOfTotal{kMessages, "wjwczg", ""};
inline constexpr ProfileKey kFilesProgressEnd{kMessages, "wj1", ""};
inline constexpr ProfileKey kStatusDone{kMessages, "wc", ""};
inline constexpr ProfileKey kStatusFailed{kMessages, "sb", ""};
// The row in work when a job was stopped, and the stopped count of the line
// under the list.
inline constexpr ProfileKey kStatusStopped{kMessages, "ytz", "已停止"};
inline constexpr ProfileKey kJobSucceeded{kMessages, "hbcg", ""};
inline constexpr ProfileKey kJobFailed{kMessages, "hbsb", ""};
// Output folder chosen with the browse button.
inline constexpr ProfileKey kFolderInvalid{kMessages, "mlwx",
                                           "目录无效!请点击浏览按钮选择保存其他目录"};
inline constexpr ProfileKey kFolderNotWritable{kMessages, "mlbkx", "没有写权限，请保存到其他目录!"};
// Start of a job.
inline constexpr ProfileKey kJobFolderNotWritable{
    kMessages, "scsb", "MP4文件生成失败，请点击浏览按钮选择保存到其他目录!"};
inline constexpr ProfileKey kJobNotEnoughSpace{kMessages, "rlbg",
                                               "磁盘可用容量不够，请点击浏览按钮选择保存到其他盘!"};
inline constexpr ProfileKey kJobNothingChecked{kMessages, "qxxz", "请先选中文件!"};
// A job stopped with Esc asks first.
inline constexpr ProfileKey kStopJobQuestion{kMessages, "tzrw", "要停止去除声音吗？"};
// The folder or link the program asked the desktop to open did not open.
inline constexpr ProfileKey kCannotOpen{kMessages, "bndk", "无法打开："};
// End of a job: what was written and how long it took.
inline constexpr ProfileKey kBytesWritten{kMessages, "xr", "已写入"};
inline constexpr ProfileKey kTimeTaken{kMessages, "ys", "用时"};
// A copied file whose name stood for another container than the one it
// holds; it was copied in its own. %1: that container, %2: the extension.
inline constexpr ProfileKey kNameMismatch{kMessages, "kzmbf",
                                          "文件内容为 %1，扩展名却是 .%2：已按 %1 复制"};
// A copy that is not whole, on its row and in the end message: %1 video
// packets left out of %2; for a file that was cut short, %3 is where its
// copy ends (time text). A cut whose index cannot count the missing packets
// (Matroska's cues) says only where the copy ends, as %1.
inline constexpr ProfileKey kPacketsLeftOut{kMessages, "lqb", "%2 个视频包中有 %1 个被略去"};
inline constexpr ProfileKey kFileCutShort{kMessages, "wjjd",
                                          "%2 个视频包中有 %1 个被略去：文件结束于 %3"};
inline constexpr ProfileKey kFileCutShortUncounted{kMessages, "wjbwz", "文件不完整：结束于 %1"};

// HINT
inline constexpr ProfileKey kAddFilesHint{kHints, "tjspwj", ""};  // add-files button
inline constexpr ProfileKey kDeleteFileHint{kHints, "sc", ""};    // delete-file button
inline constexpr ProfileKey kStartHint{kHints, "hbcygwj", ""};    // start button
inline constexpr ProfileKey kFileListHint{kHints, "tfwj", "拖放文件到这里"};
inline constexpr ProfileKey kClearListHint{kHints, "qk", "删除所有文件"};
inline constexpr ProfileKey kBrowseHint{kHints, "xzml", "Please select output folder:"};
inline constexpr ProfileKey kOpenFolderHint{kHints, "dkml", "打开输出目录"};
// Context menu of the list.
inline constexpr ProfileKey kMenuOpenOutput{kHints, "dksc", "打开输出文件"};
inline constexpr ProfileKey kMenuShowInFolder{kHints, "zwjjzxs", "在文件夹中显示"};
inline constexpr ProfileKey kMenuCopyPath{kHints, "fzlj", "复制路径"};

// Read by the main window once at start-up.
inline constexpr std::array kMainWindowTexts{
    kName,
    kVersion,
    kUrl,
    kLocale,
    kHelpLinkText,
    kStatusAdded,
    kVideoFilesFilter,
    kAllFilesFilter,
    kColumnFile,
    kColumnFormat,
    kColumnDuration,
    kColumnFrameSize,
    kColumnFrameRate,
    kColumnStatus,
    kColumnBitRate,
    kColumnProfile,
    kOutputFolderLabel,
    kRowCount,
    kFileRefusedStart,
    kFileRefusedEnd,
    kNoFiles,
    kOutputFolderMissing,
    kFileProgressEnd,
    kDoneOfTotal,
    kFilesProgressEnd,
    kStatusDone,
    kStatusFailed,
    kStatusStopped,
    kJobSucceeded,
    kJobFailed,
    kFolderInvalid,
    kFolderNotWritable,
    kJobFolderNotWritable,
    kJobNotEnoughSpace,
    kJobNothingChecked,
    kStopJobQuestion,
    kCannotOpen,
    kBytesWritten,
    kTimeTaken,
    kNameMismatch,
    kPacketsLeftOut,
    kFileCutShort,
    kFileCutShortUncounted,
    kSettingsNotSaved,
    kAddFilesHint,
    kDeleteFileHint,
    kStartHint,
    kFileListHint,
    kClearListHint,
    kBrowseHint,
    kOpenFolderHint,
    kMenuOpenOutput,
    kMenuShowInFolder,
    kMenuCopyPath,
};

// Read by the progress dialog each time it opens.
inline constexpr std::array kProgressDialogTexts{kName, kCurrentFileLabel, kAllFilesLabel, kStop,
                                                 kOpenFolderWhenDone};

}  // namespace lang

// ---- Paths ------------------------------------------------------------------

inline constexpr std::string_view kSettingsFileName = "setting.ini";
inline constexpr std::string_view kLanguagesFolderName = "languages";

// programFolder/setting.ini
std::filesystem::path SettingsPath(const std::filesystem::path& programFolder);

// programFolder/languages/<languageFile>, or, when there is none,
// programFolder/../share/velmora/languages/<languageFile> of an installed
// program. The name is used as it stands and
// appended as text, so it may name any file in languages/; an empty name
// gives the folder itself, which reads as a missing file.
std::filesystem::path LanguagePath(const std::filesystem::path& programFolder,
                                   std::string_view languageFile);

// Reads and writes a key with its own section and default.
inline std::string ReadProfileString(const std::filesystem::path& file, const ProfileKey& key) {
    return ReadProfileString(file, key.section, key.key, key.defaultValue);
}
inline bool WriteProfileString(const std::filesystem::path& file, const ProfileKey& key,
                               std::string_view value) {
    return WriteProfileString(file, key.section, key.key, value);
}
