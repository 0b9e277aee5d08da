// One engine job over the files named on the command line, each copied into
// OUTPUT_FOLDER under its own name, polled as the window polls it. Prints
// the open file descriptors before, during (the most seen) and after the job,
// so that anything the engine keeps open per input shows; fails when an
// input fails or a descriptor is left open.
//
//   velmora_stress OUTPUT_FOLDER INPUT...

#include <dirent.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "engine/av_converter.h"
#include "engine/input_result.h"

extern "C" {
#include <libavutil/log.h>
}

namespace {

int OpenDescriptors() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (const dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.') ++count;
        closedir(dir);
    }
    return count - 1;  // the listing's own
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER INPUT...\n", argv[0]);
        return 2;
    }
    av_log_set_level(AV_LOG_ERROR);
    const std::filesystem::path folder = argv[1];
    const int count = argc - 2;

    const int before = OpenDescriptors();
    int most = before;
    int failed = 0;
    {
        CAVConverter engine;
        std::vector<JobItem> items;
        for (int i = 0; i < count; ++i) {
            const std::filesystem::path input = argv[i + 2];
            items.push_back({input.string(), (folder / input.filename()).string(), 0});
        }
        engine.StartJob(items);
        while (engine.IsRunning()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            most = std::max(most, OpenDescriptors());
        }
        engine.Join();
        for (int i = 0; i < count; ++i)
            if (engine.m_status[i] != kStatusSucceeded) {
                if (failed++ < 5)
                    std::fprintf(stderr, "input %d (%s): status %d, error %d\n", i, argv[i + 2],
                                 static_cast<int>(engine.m_status[i]),
                                 static_cast<int>(ReadInputResult(engine, i).error));
            }
    }
    const int after = OpenDescriptors();
    std::printf("inputs %d, failed %d, descriptors before %d, most during %d, after %d\n", count,
                failed, before, most, after);
    return failed == 0 && after == before ? 0 : 1;
}
