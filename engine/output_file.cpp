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

#include "engine/no_replace_rename.h"
#include "engine/utf8_path.h"

namespace fs = std::filesystem;

namespace velmora {

namespace {

// Candidates tried before a name is given up as taken.
constexpr long long kMaxCandidates = 100000;

std::string RandomTag() {
    static thread_local std::mt19937 generator{std::random_device{}()};
    static constexpr char kLetters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::uniform_int_distribution<int> pick(0, sizeof kLetters - 2);
    std::string text;
    for (int i = 0; i < 6; ++i) text += kLetters[pick(generator)];
    return text;
}

#ifndef _WIN32

// A folder open for the calls relative to it. Without read permission on
// it (a drop box), a path descriptor serves as well; only the flush of the
// folder then does not happen.
int OpenFolderAt(int at, const char* name, int flags) {
    const int fd = openat(at, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | flags);
    if (fd >= 0 || errno != EACCES) return fd;
    return openat(at, name, O_PATH | O_DIRECTORY | O_CLOEXEC | flags);
}

// Opens `folder`: `root` as given, then each folder below it without
// following a link. Returns a descriptor, or -1 with errno set.
int OpenOutputFolder(const std::string& folder, const std::string& root) {
    const std::string start = root.empty() ? folder : root;
    int fd = OpenFolderAt(AT_FDCWD, start.empty() ? "." : start.c_str(), 0);
    if (fd < 0 || root.empty()) return fd;
    const fs::path below = PathFromUtf8(folder.empty() ? "." : folder)
                               .lexically_normal()
                               .lexically_relative(PathFromUtf8(root).lexically_normal());
    for (const fs::path& part : below) {
        const std::string name = Utf8FromPath(part);
        if (name.empty() || name == ".") continue;
        if (name == "..") {
            close(fd);
            errno = EXDEV;  // not below the root: a caller's mistake
            return -1;
        }
        const int next = OpenFolderAt(fd, name.c_str(), O_NOFOLLOW);
        int error = errno;
        // A link on the way is refused with ENOTDIR or ELOOP, depending on
        // the flags: told apart from a file in the way as ELOOP.
        struct stat named {};
        if (next < 0 && error == ENOTDIR &&
            fstatat(fd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(named.st_mode))
            error = ELOOP;
        close(fd);
        if (next < 0) {
            errno = error;
            return -1;
        }
        fd = next;
    }
    return fd;
}

#endif

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

OutputFile::~OutputFile() {
    Discard();
    CloseFolder();
}

void OutputFile::CloseFolder() {
#ifndef _WIN32
    if (m_folderFd >= 0) close(m_folderFd);
#endif
    m_folderFd = -1;
}

int OutputFile::Create(const std::string& finalName, const std::string& root) {
    Discard();
    CloseFolder();
    m_named = false;
    m_stranded.clear();
    m_folder = finalName.substr(0, finalName.size() - FileNameOf(finalName).size());
#ifndef _WIN32
    m_folderFd = OpenOutputFolder(m_folder, root);
    if (m_folderFd < 0) return AVERROR(errno);
#else
    (void)root;
#endif
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string leaf = FileNameOf(TemporaryName(finalName, RandomTag()));
#ifdef _WIN32
        m_fd = CreateNewFile(m_folder + leaf);
#else
        m_fd = openat(m_folderFd, leaf.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC | O_NOFOLLOW,
                      0666);
#endif
        if (m_fd >= 0) {
            m_tempLeaf = leaf;
#ifndef _WIN32
            struct stat made {};
            if (fstat(m_fd, &made) == 0) {
                m_device = made.st_dev;
                m_inode = made.st_ino;
            }
#endif
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
    return StateOfName(m_folder + m_tempLeaf) == NameState::kFree;
#else
    struct stat info {};
    return fstat(m_fd, &info) != 0 || info.st_nlink == 0;
#endif
}

int OutputFile::Finish() {
    if (m_fd < 0) return AVERROR(EBADF);
    // Whatever the context still holds belongs in the file.
    if (const int rc = m_io.Close(); rc < 0) return rc;
#ifndef _WIN32
    if (fsync(m_fd) != 0 && errno != EINVAL) return AVERROR(errno);
#endif
    const int fd = m_fd;
    m_fd = -1;
    if (CloseFd(fd) != 0) return AVERROR(errno);
    return 0;
}

int OutputFile::RenameTo(const std::string& name) {
#ifdef _WIN32
    return RenameNoReplace(m_folder + m_tempLeaf, m_folder + FileNameOf(name));
#else
    return RenameNoReplaceAt(m_folderFd, m_tempLeaf, m_folderFd, FileNameOf(name));
#endif
}

int OutputFile::NameFirstFree(long long from, const std::function<std::string(long long)>& nameAt,
                              const NameHeld& held, std::string& used) {
    if (const int rc = Finish(); rc < 0) return rc;
    for (long long n = from; n < from + kMaxCandidates; ++n) {
        const std::string candidate = nameAt(n);
        if (held && held(candidate)) continue;
        const int rc = RenameTo(candidate);
        if (rc == EEXIST) continue;
        if (rc != 0) return AVERROR(rc);
        used = FolderNow() + FileNameOf(candidate);
        m_named = true;
#ifndef _WIN32
        // The new name is only safe from a power cut once the folder is on
        // disk.
        fsync(m_folderFd);
#endif
        return 0;
    }
    return AVERROR(EEXIST);
}

std::string OutputFile::FolderNow() const {
#ifndef _WIN32
    struct stat held {
    }, named{};
    if (fstat(m_folderFd, &held) != 0) return m_folder;
    if (stat(m_folder.empty() ? "." : m_folder.c_str(), &named) == 0 &&
        held.st_dev == named.st_dev && held.st_ino == named.st_ino)
        return m_folder;
    // Moved meanwhile: Linux tells where the open folder is now.
    char path[4096];
    const std::string link = "/proc/self/fd/" + std::to_string(m_folderFd);
    const ssize_t n = readlink(link.c_str(), path, sizeof path - 1);
    if (n <= 0 || path[0] != '/') return m_folder;
    const std::string now(path, static_cast<size_t>(n));
    return now == "/" ? now : now + "/";
#else
    return m_folder;
#endif
}

int OutputFile::Publish(const NamePlace& place, const NameHeld& held, std::string& used) {
    return NameFirstFree(
        place.number, [&](long long n) { return NumberedName(place.first, n); }, held, used);
}

int OutputFile::SetAside(const std::string& finalName, std::string& used) {
    return NameFirstFree(
        -1, [&](long long n) { return SetAsideName(finalName, n); }, nullptr, used);
}

void OutputFile::RemoveTemporary() {
#ifdef _WIN32
    std::error_code ec;
    const std::string name = m_folder + m_tempLeaf;
    if (!fs::remove(PathFromUtf8(name), ec) && ec && StateOfName(name) == NameState::kTaken)
        m_stranded = name;
#else
    // Only the file made here is removed, never one put under its name since.
    struct stat named {};
    if (fstatat(m_folderFd, m_tempLeaf.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT) m_stranded = m_folder + m_tempLeaf;
        return;
    }
    if (named.st_dev != m_device || named.st_ino != m_inode) return;
    if (unlinkat(m_folderFd, m_tempLeaf.c_str(), 0) != 0 && errno != ENOENT)
        m_stranded = m_folder + m_tempLeaf;
#endif
}

void OutputFile::Discard() {
    m_io.Release();
    if (m_fd >= 0) {
        CloseFd(m_fd);
        m_fd = -1;
    }
    if (!m_named && !m_tempLeaf.empty()) RemoveTemporary();
    m_tempLeaf.clear();
}

}  // namespace velmora
