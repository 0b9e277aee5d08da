#pragma once

// What became of one file of a job, as velmora-cli reports it: one line of
// text, or one JSON object on one line (JSON Lines) with --json.

#include <cstdint>
#include <optional>
#include <string>

struct FileResult {
    enum class Status { kDone, kFailed, kRefused, kStopped, kSkipped, kPlanned };
    Status status = Status::kDone;
    std::string input;
    std::string output;  // empty when there is none
    // Why the file was refused, failed or skipped, or what else a done or
    // stopped file needs to say; empty when there is nothing to say.
    std::string reason;
    bool outputExists = false;         // skipped: the output's name was taken before
    bool setAside = false;             // stopped: the shortened output was moved aside
    std::uintmax_t bytes = 0;          // size of the output file
    std::optional<double> duration;    // of the input, in seconds
    long long packets = 0;             // video packets copied
    long long leftOut = 0;             // video packets not copied (refused, or missing)
    std::optional<double> fileEnd;     // a file cut short: where its copy ends, seconds
    std::optional<long long> bitRate;  // of the input's video, bit/s
    std::optional<double> frameRate;   // of the input's video, frames/s
};

// The version of the JSON objects velmora-cli writes; raised when a field
// changes its meaning or goes away, not when one is added.
inline constexpr int kJsonSchema = 1;

// "done     IN -> OUT", "refused  IN: WHY", ... ; names are printed with
// control characters escaped.
std::string TextLine(const FileResult& result);

// {"schema":1,"input":...,"status":"done",...}
std::string JsonLine(const FileResult& result);

// The size of `name`, or 0 when it cannot be read.
std::uintmax_t SizeOf(const std::string& name);

// A number for JSON: integers as such, others with enough digits to read
// back; null for none.
std::string JsonNumber(std::optional<double> value);
