#include "cli/output_tree.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include "engine/output_name.h"
#include "engine/utf8_path.h"

namespace fs = std::filesystem;

std::optional<std::string> FolderBelowRoot(const std::string& root, const std::string& input) {
    std::error_code ec;
    const fs::path absRoot = fs::absolute(PathFromUtf8(root), ec).lexically_normal();
    if (ec) return std::nullopt;
    const fs::path absInput = fs::absolute(PathFromUtf8(input), ec).lexically_normal();
    if (ec) return std::nullopt;
    const fs::path relative = absInput.lexically_relative(absRoot);
    if (relative.empty() || relative == "." || !relative.has_filename()) return std::nullopt;
    const fs::path first = *relative.begin();
    if (first == "..") return std::nullopt;
    return Utf8FromPath(relative.parent_path());
}

std::string JoinFolder(const std::string& folder, const std::string& below) {
    if (below.empty()) return folder;
    if (!folder.empty() && folder.back() == '/') return folder + below;
    return folder + "/" + below;
}

std::string MakeFoldersBelow(const std::string& folder, const std::string& below, bool make) {
    fs::path path = PathFromUtf8(folder);
    for (const fs::path& part : PathFromUtf8(below)) {
        path /= part;
        std::error_code ec;
        const fs::file_status status = fs::symlink_status(path, ec);
        if (status.type() == fs::file_type::directory) continue;
        const std::string shown = Utf8FromPath(path);
        if (status.type() == fs::file_type::not_found) {
            if (!make) return "";  // the rest would be made new
            if (!fs::create_directory(path, ec) && ec)
                return "cannot make the folder " + shown + " (" + ec.message() + ")";
            // Made by another process in the meantime: that is as good, as
            // long as it is a real folder.
            if (fs::symlink_status(path, ec).type() == fs::file_type::directory) continue;
        }
        if (status.type() == fs::file_type::symlink)
            return shown + " is a link; outputs are written only inside the output folder";
        return shown + " is in the way of a folder";
    }
    return "";
}

std::string SetAside(const std::string& output) {
    for (int n = 0; n < 100; ++n) {
        std::string aside = output + ".velmora-stopped";
        if (n > 0) aside += "(" + std::to_string(n) + ")";
        aside += ".part";
#ifdef _WIN32
        // std::filesystem::rename may replace here: the name is tested first.
        std::error_code ec;
        if (velmora::StateOfName(aside) == velmora::NameState::kTaken) continue;
        fs::rename(PathFromUtf8(output), PathFromUtf8(aside), ec);
        if (!ec) return aside;
#else
        if (renameat2(AT_FDCWD, output.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0)
            return aside;
        if (errno == EEXIST) continue;
        if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return "";
        // No RENAME_NOREPLACE on this file system: a hard link is never made
        // over an existing name either.
        if (link(output.c_str(), aside.c_str()) == 0) {
            unlink(output.c_str());
            return aside;
        }
        if (errno != EEXIST) return "";
#endif
    }
    return "";
}
