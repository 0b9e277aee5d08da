#pragma once

#include <QIcon>
#include <QPixmap>

// The program's pictures, asked for by number:
//   178 add files, 214 clear the list, 268 open folder, 295 start,
//   331 delete file, 335 browse, 292 the check-box strip of the list header.
// Returns a null pixmap for a number the program has no picture for.
QPixmap LoadPicture(int id);

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
