#include "engine/file_identity.h"

#include <sys/stat.h>

namespace velmora {

std::optional<FileIdentity> IdentityOf(const char* name) {
#ifdef _WIN32
    (void)name;
    return std::nullopt;
#else
    struct stat info {};
    if (stat(name, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    FileIdentity id;
    id.device = info.st_dev;
    id.inode = info.st_ino;
    id.size = info.st_size;
    id.modifiedSeconds = info.st_mtim.tv_sec;
    id.modifiedNanoseconds = info.st_mtim.tv_nsec;
    id.changedSeconds = info.st_ctim.tv_sec;
    id.changedNanoseconds = info.st_ctim.tv_nsec;
    return id;
#endif
}

}  // namespace velmora
