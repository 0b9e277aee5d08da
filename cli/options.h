#pragma once

// The command line of velmora-cli, parsed into one value.

#include <string>
#include <vector>

struct CliOptions {
    enum class Mode { kConvert, kProbe, kHelp, kVersion };
    Mode mode = Mode::kConvert;
    bool json = false;     // --probe prints JSON lines
    bool quiet = false;    // no progress
    bool verbose = false;  // let FFmpeg's own log through
    std::string outputFolder = ".";
    std::vector<std::string> files;
};

struct ParsedOptions {
    CliOptions options;
    std::string error;  // non-empty: a usage error, worded for the user
};

ParsedOptions ParseOptions(int argc, const char* const* argv);

// The text --help prints.
std::string UsageText();
