#include "engine/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

extern "C" {
#include <libavutil/error.h>
}

#include "engine/output_name.h"
#include "engine/utf8_path.h"

namespace fs = std::filesystem;

namespace velmora {

namespace {

constexpr const char* kTempMark = ".velmora-";
constexpr const char* kTempEnd = ".part";
constexpr int kRandomLength = 6;

std::string RandomPart() {
    static thread_local std::mt19937 generator{std::random_device{}()};
    static constexpr char kLetters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::uniform_int_distribution<int> pick(0, sizeof kLetters - 2);
    std::string text;
    for (int i = 0; i < kRandomLength; ++i) text += kLetters[pick(generator)];
    return text;
}

// "<folder>/<file name>.velmora-XXXXXX.part", the file name cut so the
// whole fits the file system's limit.
std::string TempNameFor(const std::string& finalName) {
    std::string name = FileNameOf(finalName);
    const size_t start = finalName.size() - name.size();
    const size_t added =
        std::string(kTempMark).size() + kRandomLength + std::string(kTempEnd).size();
    if (name.size() + added > kMaxFileNameBytes) {
        size_t end = kMaxFileNameBytes - added;
        while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) --end;
        name.resize(end);
    }
    return finalName.substr(0, start) + name + kTempMark + RandomPart() + kTempEnd;
}

// Renames `from` to `to` unless something goes by `to`. Returns 0, or the
// errno of the failure (EEXIST when `to` is taken).
int RenameNoReplace(const std::string& from, const std::string& to) {
#ifdef _WIN32
    // _wrename never replaces an existing file.
    if (_wrename(PathFromUtf8(from).c_str(), PathFromUtf8(to).c_str()) == 0) return 0;
    return errno == EACCES && StateOfName(to) != NameState::kFree ? EEXIST : errno;
#else
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return errno;
    // A file system without RENAME_NOREPLACE: a hard link is never made over
    // an existing name either.
    if (link(from.c_str(), to.c_str()) != 0) return errno;
    unlink(from.c_str());
    return 0;
#endif
}

}  // namespace

int CreateNewFile(const std::string& name) {
#ifdef _WIN32
    return _wopen(PathFromUtf8(name).c_str(), _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY,
                  _S_IREAD | _S_IWRITE);
#else
    // O_EXCL refuses any existing name, a link too, even one to nothing.
    return open(name.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC | O_NOFOLLOW, 0666);
#endif
}

int CloseFd(int fd) {
#ifdef _WIN32
    return _close(fd);
#else
    return close(fd);
#endif
}

int OutputFile::Create(const std::string& finalName) {
    Discard();
    m_published = false;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = TempNameFor(finalName);
        m_fd = CreateNewFile(name);
        if (m_fd >= 0) {
            m_tempName = name;
            return 0;
        }
        if (errno != EEXIST) return AVERROR(errno);
    }
    return AVERROR(EEXIST);
}

int OutputFile::OpenIo() {
    if (m_fd < 0) return AVERROR(EBADF);
    return m_io.Open(m_fd);
}

bool OutputFile::Removed() const {
    if (m_fd < 0) return true;
#ifdef _WIN32
    // A name whose state cannot be read is not taken for a removed file.
    return StateOfName(m_tempName) == NameState::kFree;
#else
    struct stat info {};
    return fstat(m_fd, &info) != 0 || info.st_nlink == 0;
#endif
}

int OutputFile::Publish(std::string& finalName) {
    if (m_fd < 0) return AVERROR(EBADF);
    // Whatever the context still holds belongs in the file.
    if (const int rc = m_io.Close(); rc < 0) return rc;
#ifndef _WIN32
    if (fsync(m_fd) != 0 && errno != EINVAL) return AVERROR(errno);
#endif
    const int fd = m_fd;
    m_fd = -1;
    if (CloseFd(fd) != 0) return AVERROR(errno);

    // The planned name first; when it is taken by now, the numbers after
    // the one it carries.
    const long long first = NumberOf(finalName);
    const std::string base = WithoutNumber(finalName);
    std::string candidate = finalName;
    for (long long n = first + 1;; ++n) {
        const int rc = RenameNoReplace(m_tempName, candidate);
        if (rc == 0) break;
        if (rc != EEXIST || n > first + 100000) return AVERROR(rc);
        candidate = NumberedName(base, n);
    }
    finalName = candidate;
    m_published = true;
#ifndef _WIN32
    // The new name is only safe from a power cut once the folder is on disk.
    const size_t slash = candidate.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : candidate.substr(0, slash + 1);
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
#endif
    return 0;
}

void OutputFile::Discard() {
    bool ours = true;
#ifndef _WIN32
    // Only the file made here is removed, never one put under its name since.
    struct stat held {
    }, named{};
    if (m_fd >= 0 && !m_tempName.empty())
        ours = fstat(m_fd, &held) == 0 && lstat(m_tempName.c_str(), &named) == 0 &&
               held.st_dev == named.st_dev && held.st_ino == named.st_ino;
#endif
    m_io.Release();
    if (m_fd >= 0) {
        CloseFd(m_fd);
        m_fd = -1;
    }
    if (!m_published && !m_tempName.empty() && ours) {
        std::error_code ignored;
        fs::remove(PathFromUtf8(m_tempName), ignored);
    }
    m_tempName.clear();
}

}  // namespace velmora
