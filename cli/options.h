#pragma once

// The command line of velmora-cli, parsed into one value.

#include <string>
#include <vector>

struct CliOptions {
    enum class Mode { kConvert, kProbe, kHelp, kVersion };
    Mode mode = Mode::kConvert;
    // What to do when an output's name is already taken: number it "(n)", or
    // leave the input out (a re-run then does only what is left).
    enum class IfExists { kRename, kSkip };
    IfExists ifExists = IfExists::kRename;
    bool json = false;          // one JSON object per file and line
    bool quiet = false;         // no progress
    bool verbose = false;       // let FFmpeg's own log through
    bool dryRun = false;        // print the plan, write nothing
    bool nulSeparated = false;  // the lists of --files-from are NUL-separated
    // Files copied at once, each by an engine of its own (-j); 1 to kMaxJobs.
    int jobs = 1;
    std::string outputFolder = ".";
    std::string keepTree;  // non-empty: outputs keep their folders below this root
    std::vector<std::string> files;
    std::vector<std::string> fileLists;  // --files-from; "-" is standard input
};

inline constexpr int kMaxJobs = 16;

struct ParsedOptions {
    CliOptions options;
    std::string error;  // non-empty: a usage error, worded for the user
};

ParsedOptions ParseOptions(int argc, const char* const* argv);

// The text --help prints.
std::string UsageText();
