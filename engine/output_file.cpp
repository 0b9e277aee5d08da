#include "engine/output_file.h"

#include <fcntl.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#else
#include <unistd.h>
#endif

extern "C" {
#include <libavutil/error.h>
}

namespace fs = std::filesystem;

namespace velmora {

namespace {

fs::path PathOf(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace

bool NameIsFree(const std::string& name) {
    std::error_code ec;
    return fs::symlink_status(PathOf(name), ec).type() == fs::file_type::not_found;
}

void NewFile::Close() {
    if (m_fd < 0) return;
#ifdef _WIN32
    _close(m_fd);
#else
    close(m_fd);
#endif
    m_fd = -1;
}

int NewFile::Create(const std::string& name) {
    // O_EXCL also refuses a link, even one that points nowhere.
#ifdef _WIN32
    m_fd = _wopen(PathOf(name).c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY,
                  _S_IREAD | _S_IWRITE);
    if (m_fd < 0) return AVERROR(errno);
    m_openName = name;
#else
    m_fd = open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
    if (m_fd < 0) return AVERROR(errno);
    const std::string held = "/proc/self/fd/" + std::to_string(m_fd);
    std::error_code ec;
    m_openName = fs::exists(held, ec) ? held : name;
#endif
    return 0;
}

void RemoveNewFile(const std::string& name) {
    std::error_code ignored;
    fs::remove(PathOf(name), ignored);
}

}  // namespace velmora
