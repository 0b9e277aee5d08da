#pragma once

// Tells whether a name still names the same, unchanged regular file: same
// file system and file, same size, same modification and status-change
// times.

#include <optional>

namespace velmora {

struct FileIdentity {
    unsigned long long device = 0;
    unsigned long long inode = 0;
    long long size = 0;
    long long modifiedSeconds = 0;
    long long modifiedNanoseconds = 0;
    long long changedSeconds = 0;
    long long changedNanoseconds = 0;

    bool operator==(const FileIdentity&) const = default;
};

// The identity of the regular file `name`; none for anything else (a pipe,
// a folder, a name that cannot be read), and none where the platform gives
// no file numbers.
std::optional<FileIdentity> IdentityOf(const char* name);

}  // namespace velmora
