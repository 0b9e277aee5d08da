#include "program_folder.h"

#include <mutex>
#include <system_error>

#ifdef _WIN32
#include <windows.h>

#include <vector>
#endif

namespace fs = std::filesystem;

namespace {

std::mutex g_overrideMutex;
fs::path g_override;  // guarded by g_overrideMutex

fs::path ExecutablePath() {
#ifdef _WIN32
    // The buffer grows until the whole path fits: long paths exceed MAX_PATH.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) return fs::path(std::wstring(buffer.data(), length));
        if (buffer.size() >= 32768) return {};
        buffer.resize(buffer.size() * 2);
    }
#else
    std::error_code ec;
    fs::path path = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : path;
#endif
}

}  // namespace

fs::path GetProgramFolder() {
    {
        std::lock_guard lock(g_overrideMutex);
        if (!g_override.empty()) return g_override;
    }
    return ExecutablePath().parent_path();
}

void OverrideProgramFolder(const fs::path& folder) {
    std::lock_guard lock(g_overrideMutex);
    g_override = folder;
}
