#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

// The program's pictures, asked for by number:
//   178 add files, 214 clear the list, 268 open folder, 295 start,
//   331 delete file, 335 browse, 292 the check-box strip of the list header.
// Each is drawn at two densities (plain and @2x), and the ones with words
// once per picture language.

// The language of the pictures with words; Chinese unless told otherwise.
enum class PictureLanguage { kChinese, kEnglish };
void SetPictureLanguage(PictureLanguage language);
// Chinese pictures for a Chinese locale name ("zh", "zh_CN", "zh-TW"),
// English ones for every other.
PictureLanguage PictureLanguageFor(const QString& localeName);

// The picture for the program's screens: the @2x drawing with a device
// pixel ratio of 2 when any screen is denser than 1, else the plain one.
// A null pixmap for a number the program has no picture for.
QPixmap LoadPicture(int id);

// The plain drawing, one pixel per logical pixel: what a shaped button's
// outline is cut from, whatever the screen.
QImage LoadPictureOutline(int id);

// The program icon (266) in all the sizes it was drawn at.
QIcon LoadProgramIcon();

// The picture numbers, for callers that prefer names.
namespace picture {
inline constexpr int kAddFiles = 178;
inline constexpr int kClearList = 214;
inline constexpr int kOpenFolder = 268;
inline constexpr int kStart = 295;
inline constexpr int kDeleteFile = 331;
inline constexpr int kBrowse = 335;
inline constexpr int kCheckStrip = 292;
inline constexpr int kProgramIcon = 266;
}  // namespace picture
