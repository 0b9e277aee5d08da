#pragma once

// Output names: their parts, whether a name is free on disk, and the one
// rule for the names an output may take. An input's first choice is the
// output folder plus the input's file name ("out/clip.mp4"); when that is
// taken, the same name numbered "(0)", "(1)", … before its extension
// ("out/clip(0).mp4"). The job planning walks this sequence before the job,
// and the worker goes on from where the planning stopped when a name was
// taken by the time the output is finished; a name that already ends in a
// number ("clip(3).mp4") is numbered like any other ("clip(3)(0).mp4"), so
// it never takes the first choice of another input. Shared by both front
// ends. Names are UTF-8.

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

// `text` cut to at most `bytes` bytes without splitting a UTF-8 character:
// every name this program shortens is shortened by this.
std::string CutToBytes(const std::string& text, size_t bytes);

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
// With n < 0, no number is added. The stem is shortened (by CutToBytes())
// so the file name fits kMaxFileNameBytes.
std::string NumberedName(const std::string& path, long long n);

// Where a name stands in the sequence of names of one output.
struct NamePlace {
    std::string first;      // the first choice: output folder + input's file name
    long long number = -1;  // -1: the first choice itself; n: NumberedName(first, n)
};

// The name at `place`: NumberedName(place.first, place.number).
std::string NameAt(const NamePlace& place);

// `path` with `suffix` added to its file name, the file name shortened (by
// CutToBytes()) so the whole fits kMaxFileNameBytes: the names of the files
// an output is held under before it is finished, or set aside under.
std::string WithSuffix(const std::string& path, const std::string& suffix);

// The temporary name an output is written under until it is finished:
// "<final name>.velmora-<tag>.part". Every name the program gives a file
// that is not a finished copy looks so.
std::string TemporaryName(const std::string& finalName, const std::string& tag);

// A stopped copy set aside: "<final name>.velmora-stopped.part", then the
// same numbered "….velmora-stopped(0).part", "(1)", … as n goes from -1 up.
std::string SetAsideName(const std::string& finalName, long long n);

// The key two names compare equal by on the file system: the name itself,
// or on Windows, where names differ in case only, with ASCII letters
// folded (the disk test catches the rest).
std::string NameKey(const std::string& name);

}  // namespace velmora
