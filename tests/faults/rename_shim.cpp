// A stand-in for renameat2() and the hard-link calls, loaded into
// velmora-cli with LD_PRELOAD, answering them as a file system without
// RENAME_NOREPLACE and without hard links does (FAT or exFAT through FUSE):
// a rename with RENAME_NOREPLACE fails with EINVAL, a hard link with EPERM.
// Every other rename goes to the C library. The C library's headers are
// left out, so these definitions need not match its exception specifiers.

#include <dlfcn.h>

#include <cerrno>

namespace {

constexpr unsigned kRenameNoReplace = 1;

using RenameAt2 = int (*)(int, const char*, int, const char*, unsigned);

}  // namespace

extern "C" int renameat2(int fromFolder, const char* from, int toFolder, const char* to,
                         unsigned flags) {
    if (flags & kRenameNoReplace) {
        errno = EINVAL;
        return -1;
    }
    static const auto real = reinterpret_cast<RenameAt2>(dlsym(RTLD_NEXT, "renameat2"));
    return real(fromFolder, from, toFolder, to, flags);
}

extern "C" int linkat(int, const char*, int, const char*, int) {
    errno = EPERM;
    return -1;
}

extern "C" int link(const char*, const char*) {
    errno = EPERM;
    return -1;
}
