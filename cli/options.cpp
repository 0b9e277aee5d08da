#include "options.h"

#include <charconv>
#include <string_view>

namespace {

// Reads an option that takes a value: "--name VALUE", "--name=VALUE", and
// for a short option "-x VALUE" or "-xVALUE". Returns false when argv[i] is
// not that option; else stores the value (moving `i` past a separate one),
// or sets `missing` when none follows.
bool TakeValue(int argc, const char* const* argv, int& i, std::string_view longName,
               std::string_view shortName, std::string& value, bool& missing) {
    const std::string_view arg = argv[i];
    if (arg == longName || (!shortName.empty() && arg == shortName)) {
        if (i + 1 >= argc) {
            missing = true;
            return true;
        }
        value = argv[++i];
        return true;
    }
    if (arg.size() > longName.size() && arg.starts_with(longName) && arg[longName.size()] == '=') {
        value = arg.substr(longName.size() + 1);
        return true;
    }
    if (!shortName.empty() && arg.size() > shortName.size() && arg.starts_with(shortName)) {
        value = arg.substr(shortName.size());
        return true;
    }
    return false;
}

// The number of -j: a whole number from 1 to kMaxJobs, nothing else.
bool ReadJobs(std::string_view text, int& jobs) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || at != end || value < 1 || value > kMaxJobs) return false;
    jobs = value;
    return true;
}

}  // namespace

ParsedOptions ParseOptions(int argc, const char* const* argv) {
    ParsedOptions parsed;
    CliOptions& o = parsed.options;
    bool outputGiven = false;
    bool jobsGiven = false;
    bool onlyFiles = false;
    bool standardInputTaken = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        std::string value;
        bool missing = false;
        if (arg == "-") {
            // "-" names no file: standard input is read only as a list.
            parsed.error =
                "\"-\" is not a file name; use --files-from - for a list on standard "
                "input, ./- for a file named -";
            return parsed;
        } else if (onlyFiles || arg.empty() || arg[0] != '-') {
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
        } else if (arg == "-n" || arg == "--dry-run") {
            o.dryRun = true;
        } else if (arg == "-0") {
            o.nulSeparated = true;
        } else if (TakeValue(argc, argv, i, "--output", "-o", value, missing)) {
            if (missing) {
                parsed.error = "option " + std::string(arg) + " needs a folder";
                return parsed;
            }
            o.outputFolder = value;
            outputGiven = true;
        } else if (TakeValue(argc, argv, i, "--files-from", "", value, missing)) {
            if (missing || value.empty()) {
                parsed.error = "option --files-from needs a file (- for standard input)";
                return parsed;
            }
            if (value == "-") {
                if (standardInputTaken) {
                    parsed.error = "standard input can be read only once";
                    return parsed;
                }
                standardInputTaken = true;
            }
            o.fileLists.push_back(value);
        } else if (TakeValue(argc, argv, i, "--if-exists", "", value, missing)) {
            if (value == "rename") {
                o.ifExists = CliOptions::IfExists::kRename;
            } else if (value == "skip") {
                o.ifExists = CliOptions::IfExists::kSkip;
            } else {
                parsed.error = "option --if-exists takes rename or skip";
                return parsed;
            }
        } else if (TakeValue(argc, argv, i, "--jobs", "-j", value, missing)) {
            if (missing || !ReadJobs(value, o.jobs)) {
                parsed.error = std::string("option ") + (arg.starts_with("--") ? "--jobs" : "-j") +
                               " takes a number of files from 1 to " + std::to_string(kMaxJobs);
                return parsed;
            }
            jobsGiven = true;
        } else if (TakeValue(argc, argv, i, "--keep-tree", "", value, missing)) {
            if (missing || value.empty()) {
                parsed.error = "option --keep-tree needs a folder";
                return parsed;
            }
            o.keepTree = value;
        } else {
            parsed.error = "unknown option " + std::string(arg);
            return parsed;
        }
    }

    const bool probe = o.mode == CliOptions::Mode::kProbe;
    if (o.files.empty() && o.fileLists.empty())
        parsed.error = "no file given";
    else if (o.nulSeparated && o.fileLists.empty())
        parsed.error = "-0 goes with --files-from";
    else if (probe &&
             (o.dryRun || !o.keepTree.empty() || o.ifExists != CliOptions::IfExists::kRename))
        parsed.error = "--dry-run, --keep-tree and --if-exists have no use with --probe";
    else if (outputGiven && probe)
        parsed.error = "-o has no use with --probe";
    else if (jobsGiven && probe)
        parsed.error = "-j has no use with --probe";
    else if (outputGiven && o.outputFolder.empty())
        parsed.error = "the output folder name is empty";
    return parsed;
}

std::string UsageText() {
    return R"usage(Usage: velmora-cli [-o DIR] [--keep-tree ROOT] [--if-exists rename|skip]
                   [-j N] [-n] [--json] [-q] [-v] [--files-from LIST [-0]] [FILE...]
       velmora-cli --probe [--json] [--files-from LIST [-0]] [FILE...]

Removes the sound from video files. Each FILE is copied into DIR (default:
the current folder) under its own name and container, with its video
unchanged and without its audio; nothing is re-encoded. An existing file is
never replaced: the new name gets "(0)", "(1)", ... before its extension.

  -o, --output DIR       write the outputs into DIR
      --files-from LIST  also take the files named in LIST, one per line;
                         "-" reads the list from standard input
  -0                     the names in LIST are separated by NUL characters
                         (as find -print0 writes them), not by newlines
      --if-exists rename when an output's name is taken, add "(n)" (default)
      --if-exists skip   when an output's name is taken, leave that FILE out:
                         a re-run of a batch only does what is left
      --keep-tree ROOT   write each output under the folders of its FILE
                         relative to ROOT (made inside DIR as needed); a FILE
                         outside ROOT is refused
  -j, --jobs N           copy N files at once (1 to 16, default 1); the
                         report still lists the files in the order given
  -n, --dry-run          probe the files and print "FILE -> OUTPUT" for each,
                         writing nothing
      --json             one JSON object per file and line instead of text
  -q, --quiet            print no progress
  -v, --verbose          show FFmpeg's own messages
      --probe            print what is known about each FILE instead: path,
                         extension, duration, width*height, video bit rate,
                         frame rate, profile and profile name, separated by
                         tabs
  -h, --help             show this text
      --version          show the version and the FFmpeg libraries in use

Each output is written under a temporary name (NAME.velmora-XXXXXX.part)
and gets its final name once complete, so a final name always holds a
finished copy. A file stopped by a signal keeps a shortened output under its
final name; with --if-exists skip it is set aside as
NAME.velmora-stopped.part instead, so that a re-run copies it again. "-" alone
is not a file name (write ./- for a file of that name). Names with control
characters are printed with them escaped (\xNN); in JSON, bytes that are not
UTF-8 are written as \udc80-\udcff.

Each line of a job reads "done     FILE -> OUTPUT", "failed   FILE: WHY",
"refused  FILE: WHY", "stopped  FILE -> OUTPUT (shortened)" or
"skipped  FILE: OUTPUT exists" / "skipped  FILE: not started". With --json
each is an object with "schema" (1), "input", "output", "status" (done,
failed, refused, stopped, skipped; planned with --dry-run), "reason",
"bytes", "duration" (s), "packets", "left_out", "file_end" (s, where the
copy of a file cut short ends), "bit_rate" (bit/s) and "frame_rate";
unknown numbers are null.

A file cut short before the job (a download whose index comes first) is
copied as far as it goes: "done FILE -> OUTPUT (320 of 745 video packets
left out: the file ends at 00:00:12.800)".

Exit status: 0 when every file was copied whole (or left out by
--if-exists skip because its output exists), 1 when a file was refused or
failed or had video packets left out, 2 for a usage error or an unreadable
LIST; when stopped, 128 + the signal: 129 (SIGHUP, a closed terminal), 130
(Ctrl-C), 143 (SIGTERM). The file in work then keeps a shortened, playable
output.
)usage";
}
