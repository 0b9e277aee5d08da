#pragma once

// Output names: their parts, whether a name is free on disk, and names with
// a number: "clip.mp4" becomes "clip(0).mp4", "clip(1).mp4", … when the name
// is taken. Shared by the job planning, which picks a free name before the
// job, the worker, which takes the next one when a name was taken by the
// time the output is finished, and both front ends. Names are UTF-8.

#include <string>

namespace velmora {

// The longest file name (without its folder) most file systems take, in
// bytes.
inline constexpr size_t kMaxFileNameBytes = 255;

// The file name part of a path: the text after its last "\" or "/".
std::string FileNameOf(const std::string& path);

// The extension of the file name of `path`, without its dot: the text after
// the last "." of the file name; empty when the file name has none.
std::string ExtensionOfFileName(const std::string& path);

// What goes by a name on disk. Links are not followed: a link counts, even
// one to nothing, since a writer would write through it.
enum class NameState {
    kFree,        // nothing at all
    kTaken,       // a file, a folder, a link, anything
    kUnreadable,  // the name's state cannot be read (a folder on the way
                  // cannot be searched); each caller decides what that means
};
NameState StateOfName(const std::string& name);

// `folder + separator + stem + "(n)" + extension`, where `path` is split
// into those parts at its last separator and the last dot of its file name.
// With n < 0, no number is added. The stem is shortened (on a UTF-8 character
// boundary) so the file name fits kMaxFileNameBytes.
std::string NumberedName(const std::string& path, long long n);

// The number a numbered name carries ("clip(4).mp4" -> 4), or -1.
long long NumberOf(const std::string& path);

// `path` without the number NumberOf() reads ("clip(4).mp4" -> "clip.mp4").
std::string WithoutNumber(const std::string& path);

}  // namespace velmora
