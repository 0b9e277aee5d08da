#include "engine/no_replace_rename.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#ifdef _WIN32
#include "engine/output_name.h"
#include "engine/utf8_path.h"
#else
#include <unistd.h>
#endif

namespace velmora {

#ifndef _WIN32

namespace {

// The file system takes no RENAME_NOREPLACE.
bool NoNoReplace(int error) { return error == EINVAL || error == ENOSYS || error == ENOTSUP; }

// The file system makes no hard links.
bool NoHardLinks(int error) { return error == EPERM || error == ENOTSUP || error == ENOSYS; }

int RenameOverPlaceholder(int fromFolder, const std::string& from, int toFolder,
                          const std::string& to) {
    const int placeholder =
        openat(toFolder, to.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (placeholder < 0) return errno;
    struct stat made {};
    const bool known = fstat(placeholder, &made) == 0;
    close(placeholder);
    if (renameat(fromFolder, from.c_str(), toFolder, to.c_str()) == 0) return 0;
    const int error = errno;
    // Only the placeholder made here goes, never a file put under its name
    // since.
    struct stat named {};
    if (known && fstatat(toFolder, to.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        named.st_dev == made.st_dev && named.st_ino == made.st_ino && named.st_size == 0)
        unlinkat(toFolder, to.c_str(), 0);
    return error;
}

}  // namespace

int RenameNoReplaceAt(int fromFolder, const std::string& from, int toFolder,
                      const std::string& to) {
    if (renameat2(fromFolder, from.c_str(), toFolder, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (!NoNoReplace(errno)) return errno;
    if (linkat(fromFolder, from.c_str(), toFolder, to.c_str(), 0) == 0) {
        unlinkat(fromFolder, from.c_str(), 0);
        return 0;
    }
    if (!NoHardLinks(errno)) return errno;
    return RenameOverPlaceholder(fromFolder, from, toFolder, to);
}

int RenameNoReplace(const std::string& from, const std::string& to) {
    return RenameNoReplaceAt(AT_FDCWD, from, AT_FDCWD, to);
}

#else

int RenameNoReplace(const std::string& from, const std::string& to) {
    // _wrename never replaces an existing file.
    if (_wrename(PathFromUtf8(from).c_str(), PathFromUtf8(to).c_str()) == 0) return 0;
    return errno == EACCES && StateOfName(to) != NameState::kFree ? EEXIST : errno;
}

#endif

}  // namespace velmora
