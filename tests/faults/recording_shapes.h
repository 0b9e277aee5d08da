#pragma once

// Recordings as people have them, made from clean test media: files joined
// end to end, damaged bytes, streams the tables declare but never carry,
// times that contradict each other. Each returns a cached file.

#include <filesystem>
#include <string>
#include <vector>

namespace faults {

namespace fs = std::filesystem;

// The files `parts`, joined with nothing but their bytes (as `cat` joins
// recordings).
fs::path Joined(const std::string& name, const std::vector<fs::path>& parts);

// A copy of `source` whose bytes from 2/5 to 3/5 of its length are zero.
fs::path ZeroedMiddle(const std::string& name, const fs::path& source);

// A copy of transport stream `source` without any packet of PID `pid`.
fs::path WithoutPid(const std::string& name, const fs::path& source, int pid);

// A copy of transport stream `source` in which every fifth video PES that
// carries both times gets a pts 20 ms before its dts.
fs::path PtsBeforeDts(const std::string& name, const fs::path& source);

// A copy of MP4 `source` in which every sample lasts 0 and has no
// composition offset: every packet carries the time 0.
fs::path AllTimesZero(const std::string& name, const fs::path& source);

}  // namespace faults
