// libFuzzer target: whatever file a user may hand over goes through the
// probe and, when the probe accepts it, through a one-input job, as the
// desktop program and velmora-cli do with it.
//
// The first byte of the input picks the file's extension, which is also the
// output's container; the rest is the file. So a Matroska file named .avi,
// say, is copied into an AVI, as happens with renamed files.
//
// Besides crashes, leaks and hangs (found by the sanitizers and libFuzzer's
// timeout), every run checks what the engine reports against what is on
// disk, and that no file descriptor is left open.

#include <dirent.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "engine/av_converter.h"
#include "engine/input_result.h"
#include "fuzz_extensions.h"

extern "C" {
#include <libavutil/log.h>
}

namespace fs = std::filesystem;

namespace {

fs::path g_dir;

void Die(const std::string& why) {
    std::fprintf(stderr, "fuzz_probe_job: %s\n", why.c_str());
    std::abort();
}

int OpenDescriptors() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir)) ++count;
        closedir(dir);
    }
    return count;
}

std::set<std::string> FolderContents() {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(g_dir))
        names.insert(entry.path().filename().string());
    return names;
}

void RemoveTemporaryFolder() {
    std::error_code ignored;
    fs::remove_all(g_dir, ignored);
}

// The job of one accepted input, checked against the disk.
void RunJob(CAVConverter& engine, const fs::path& input, const fs::path& output) {
    const std::int64_t duration = engine.m_llDuration;
    engine.StartJob({{input.string(), output.string(),
                      duration > 0 ? static_cast<double>(duration) / 1e6 : 0.0}});
    engine.Join();

    if (engine.IsRunning()) Die("the worker still runs after Join()");
    const int status = engine.m_status[0];
    const int error = ReadInputResult(engine, 0).error;
    const int current = engine.m_nCurrent;
    const int result = engine.WorkerResult();
    switch (status) {
        case kStatusSucceeded:
            if (error != 0 || current != 1 || result != 0)
                Die("a success with error " + std::to_string(error) + ", current " +
                    std::to_string(current) + ", result " + std::to_string(result));
            if (!fs::is_regular_file(output)) Die("a success without an output file");
            break;
        case kStatusFailed:
            if (error >= 0) Die("a failure without an error code");
            if (current != 1 || result != -1)
                Die("a failure with current " + std::to_string(current) + ", result " +
                    std::to_string(result));
            if (fs::exists(output)) Die("a failed input left its output behind");
            break;
        default:
            Die("status " + std::to_string(status) + " at the end of a job nobody stopped");
    }
    const int progress = engine.m_nProgress;
    if (progress < -1 || progress > 100) Die("progress " + std::to_string(progress));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    av_log_set_level(AV_LOG_QUIET);
    std::string pattern = (fs::temp_directory_path() / "velmora-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data())) Die("cannot make a temporary folder");
    g_dir = pattern;
    std::atexit(RemoveTemporaryFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::string extension = kFuzzExtensions[data[0] % kFuzzExtensions.size()];
    const fs::path input = g_dir / ("in." + extension);
    const fs::path output = g_dir / ("out." + extension);
    std::ofstream(input, std::ios::binary)
        .write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));

    const int descriptors = OpenDescriptors();
    {
        CAVConverter engine;
        engine.m_pszProbeFile = input.string();
        const int probe = engine.Probe();
        if (probe > 0) Die("probe result " + std::to_string(probe));
        if (probe == kProbeOk) RunJob(engine, input, output);
    }
    if (OpenDescriptors() != descriptors) Die("a file descriptor was left open");
    for (const auto& name : FolderContents())
        if (name != input.filename() && name != output.filename())
            Die("the job left a file it was not asked for: " + name);

    std::error_code ignored;
    fs::remove(input, ignored);
    fs::remove(output, ignored);
    return 0;
}
