#include "file_replace.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

// A name beside the target that no other writer uses at the same moment.
fs::path TemporaryName(const fs::path& file, int attempt) {
    static std::atomic<unsigned> counter{0};
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path name = file;
    name += ".tmp" + std::to_string(ticks % 1000000007) + "-" + std::to_string(counter++) + "-" +
            std::to_string(attempt);
    return name;
}

// Whether the existing file may be written by us. A rename would replace a
// read-only file without asking, so the check has to be made here.
bool MayWrite(const fs::path& file) {
#ifdef _WIN32
    std::error_code ec;
    const auto perms = fs::status(file, ec).permissions();
    return !ec && (perms & fs::perms::owner_write) != fs::perms::none;
#else
    return ::access(file.c_str(), W_OK) == 0;
#endif
}

enum class WriteResult {
    kNameTaken,  // another file has this name: try another one
    kNotCreated,
    kFailed,  // created but not completely written: the caller removes it
    kOk,
};

// Creates `name` exclusively and writes `bytes` to it, flushed to disk.
WriteResult WriteNewFile(const fs::path& name, std::string_view bytes) {
#ifdef _WIN32
    FILE* f = nullptr;
    if (_wfopen_s(&f, name.c_str(), L"wbx") != 0 || !f) {
        return errno == EEXIST ? WriteResult::kNameTaken : WriteResult::kNotCreated;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fflush(f) == 0 && ok;
    ok = _commit(_fileno(f)) == 0 && ok;
    ok = std::fclose(f) == 0 && ok;
    return ok ? WriteResult::kOk : WriteResult::kFailed;
#else
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return errno == EEXIST ? WriteResult::kNameTaken : WriteResult::kNotCreated;
    bool ok = true;
    for (std::size_t done = 0; ok && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<std::size_t>(n);
    }
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    return ok ? WriteResult::kOk : WriteResult::kFailed;
#endif
}

}  // namespace

bool ReplaceFileContents(const fs::path& file, std::string_view bytes) noexcept {
    try {
        std::error_code ec;
        // Write through a symbolic link to its target instead of replacing
        // the link with a plain file.
        fs::path target = file;
        if (fs::is_symlink(fs::symlink_status(file, ec))) {
            target = fs::canonical(file, ec);
            if (ec) return false;
        }
        const auto status = fs::status(target, ec);
        const bool exists = fs::exists(status);
        if (!exists && status.type() != fs::file_type::not_found) return false;
        if (exists && (!fs::is_regular_file(status) || !MayWrite(target))) return false;

        fs::path temporary;
        WriteResult result = WriteResult::kNameTaken;
        for (int attempt = 0; attempt < 5 && result == WriteResult::kNameTaken; ++attempt) {
            temporary = TemporaryName(target, attempt);
            result = WriteNewFile(temporary, bytes);
        }
        if (result == WriteResult::kFailed) fs::remove(temporary, ec);
        if (result != WriteResult::kOk) return false;

        if (exists) fs::permissions(temporary, status.permissions(), ec);
        fs::rename(temporary, target, ec);
        if (ec) {
            fs::remove(temporary, ec);
            return false;
        }
        return true;
    } catch (...) {
        // Allocation failures and the like: the target has not been touched
        // before the rename, so nothing is lost.
        return false;
    }
}
