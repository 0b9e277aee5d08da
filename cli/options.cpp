#include "options.h"

#include <string_view>

ParsedOptions ParseOptions(int argc, const char* const* argv) {
    ParsedOptions parsed;
    CliOptions& o = parsed.options;
    bool outputGiven = false;
    bool onlyFiles = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (onlyFiles || arg.empty() || arg[0] != '-' || arg == "-") {
            o.files.emplace_back(arg);
        } else if (arg == "--") {
            onlyFiles = true;
        } else if (arg == "-h" || arg == "--help") {
            o.mode = CliOptions::Mode::kHelp;
            return parsed;
        } else if (arg == "--version") {
            o.mode = CliOptions::Mode::kVersion;
            return parsed;
        } else if (arg == "--probe") {
            o.mode = CliOptions::Mode::kProbe;
        } else if (arg == "--json") {
            o.json = true;
        } else if (arg == "-q" || arg == "--quiet") {
            o.quiet = true;
        } else if (arg == "-v" || arg == "--verbose") {
            o.verbose = true;
        } else if (arg == "-o" || arg == "--output") {
            if (i + 1 >= argc) {
                parsed.error = "option " + std::string(arg) + " needs a folder";
                return parsed;
            }
            o.outputFolder = argv[++i];
            outputGiven = true;
        } else if (arg.starts_with("--output=")) {
            o.outputFolder = arg.substr(9);
            outputGiven = true;
        } else if (arg.starts_with("-o")) {
            o.outputFolder = arg.substr(2);
            outputGiven = true;
        } else {
            parsed.error = "unknown option " + std::string(arg);
            return parsed;
        }
    }

    if (o.files.empty())
        parsed.error = "no file given";
    else if (o.json && o.mode != CliOptions::Mode::kProbe)
        parsed.error = "--json goes with --probe";
    else if (outputGiven && o.mode == CliOptions::Mode::kProbe)
        parsed.error = "-o has no use with --probe";
    else if (outputGiven && o.outputFolder.empty())
        parsed.error = "the output folder name is empty";
    return parsed;
}

std::string UsageText() {
    return R"usage(Usage: velmora-cli [-o DIR] [-q] [-v] FILE...
       velmora-cli --probe [--json] FILE...

Removes the sound from video files. Each FILE is copied into DIR (default:
the current folder) under its own name and container, with its video
unchanged and without its audio; nothing is re-encoded. An existing file is
never replaced: the new name gets "(0)", "(1)", ... before its extension.

  -o, --output DIR  write the outputs into DIR
  -q, --quiet       print no progress
  -v, --verbose     show FFmpeg's own messages
      --probe       print what is known about each FILE instead: path,
                    extension, duration, width*height, video bit rate,
                    frame rate and profile, separated by tabs
      --json        with --probe: one JSON object per line
  -h, --help        show this text
      --version     show the version

Each output is written under a temporary name (NAME.velmora-XXXXXX.part)
and gets its final name once complete. Names with control characters are
printed with them escaped (\xNN); in JSON, bytes that are not UTF-8 are
written as \udc80-\udcff.

Exit status: 0 when every file was copied whole, 1 when a file was refused
or failed or had video packets left out, 2 for a usage error; when stopped,
128 + the signal: 129 (SIGHUP, a closed terminal), 130 (Ctrl-C), 143
(SIGTERM). The file in work then keeps a shortened, playable output.
)usage";
}
