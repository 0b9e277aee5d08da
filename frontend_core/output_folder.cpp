#include "frontend_core/output_folder.h"

#include <cerrno>
#include <string>

#include "engine/output_file.h"
#include "engine/utf8_path.h"

namespace fs = std::filesystem;

namespace {

// The name the write test has always used; users may have seen it appear.
constexpr const char kWriteTestName[] = "jlewhqlhqwenqfwk";
constexpr const char kWriteTestExtension[] = ".mp4";
// Other names tried when a file of the test name is already there.
constexpr int kWriteTestAttempts = 100;

// Creates `path` only if nothing of that name exists. Returns 0 or errno.
int CreateExclusive(const fs::path& path) {
    const int fd = velmora::CreateNewFile(Utf8FromPath(path));
    if (fd < 0) return errno;
    velmora::CloseFd(fd);
    return 0;
}

fs::path WriteTestPath(const fs::path& folder, int attempt) {
    std::string name = kWriteTestName;
    if (attempt > 0) name += "-" + std::to_string(attempt);
    return folder / (name + kWriteTestExtension);
}

}  // namespace

std::error_code FolderWriteTest(const fs::path& folder) {
    int error = EEXIST;
    for (int attempt = 0; attempt < kWriteTestAttempts && error == EEXIST; ++attempt) {
        const fs::path probe = WriteTestPath(folder, attempt);
        error = CreateExclusive(probe);
        if (error == 0) {
            // This call made the file, so it is ours to delete.
            std::error_code ignored;
            fs::remove(probe, ignored);
        }
    }
    return error == 0 ? std::error_code() : std::error_code(error, std::generic_category());
}

std::uintmax_t TotalInputSize(const std::vector<std::string>& inputs) {
    std::uintmax_t total = 0;
    for (const auto& input : inputs) {
        std::error_code ec;
        const std::uintmax_t size = fs::file_size(PathFromUtf8(input), ec);
        if (!ec) total += size;
    }
    return total;
}

FolderCheckResult CheckOutputFolder(const std::string& folder,
                                    const std::vector<std::string>& inputs,
                                    FolderCheckDepth depth) {
    FolderCheckResult result;
    if (folder == "\\") {
        result.check = FolderCheck::kBareSeparator;
        return result;
    }

    const fs::path path = PathFromUtf8(folder);
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (folder.empty() || !fs::exists(status)) {
        result.check = FolderCheck::kMissing;
        return result;
    }
    if (!fs::is_directory(status)) {
        result.check = FolderCheck::kNotAFolder;
        return result;
    }

    if (depth == FolderCheckDepth::kFull) result.error = FolderWriteTest(path);
    if (result.error) {
        result.check = FolderCheck::kNotWritable;
        return result;
    }

    result.needed = TotalInputSize(inputs);
    const fs::space_info space = fs::space(path, ec);
    // A file system that cannot tell its free space is not refused: the write
    // test has already shown that it takes files.
    if (ec) return result;
    result.available = space.free;
    if (result.available < result.needed) result.check = FolderCheck::kNotEnoughSpace;
    return result;
}
