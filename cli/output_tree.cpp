#include "cli/output_tree.h"

#include <filesystem>
#include <system_error>

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
