#pragma once

// Texts the program shows in every language (they are not in the language
// files). UTF-8; wrap them with QString::fromUtf8.
namespace fixedtext {

inline constexpr char kBitRateColumn[] = "视频质量";
inline constexpr char kProfileColumn[] = "profile";
inline constexpr char kFileListTip[] = "拖放文件到这里";
inline constexpr char kClearListTip[] = "删除所有文件";
inline constexpr char kOutputFolderLabel[] = "输出目录";
inline constexpr char kChooseFolderTitle[] = "Please select output folder:";

// Output folder chosen with the browse button.
inline constexpr char kFolderInvalid[] = "目录无效!请点击浏览按钮选择保存其他目录";
inline constexpr char kFolderNotWritable[] = "没有写权限，请保存到其他目录!";

// Start of a job.
inline constexpr char kJobFolderNotWritable[] =
    "MP4文件生成失败，请点击浏览按钮选择保存到其他目录!";
inline constexpr char kJobNotEnoughSpace[] = "磁盘可用容量不够，请点击浏览按钮选择保存到其他盘!";
inline constexpr char kJobNothingChecked[] = "请先选中文件!";

}  // namespace fixedtext
