#pragma once

// Running jobs and probes on a private engine, and checking their outputs
// with ffprobe.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/av_converter.h"
#include "media_fixture.h"
#include "test_media.h"

namespace enginetest {

namespace fs = std::filesystem;

using testmedia::kPicture;
using testmedia::kSound;
using testmedia::NoisyTransportStream;
using testmedia::RealMedia;
using testmedia::SmallVideo;

struct JobInput {
    fs::path input;
    fs::path output;
    double end = 2.0;  // seconds; what 100 % progress means
};

struct JobOutcome {
    std::vector<int> statuses;
    std::vector<int> errors;
    int current = 0;
    int result = 0;
    int progress = 0;
};

// Hands `inputs` to `engine` as a job and starts it.
void StartJob(CAVConverter& engine, const std::vector<JobInput>& inputs);

// What the engine reports for each of the `count` inputs of its last job.
JobOutcome OutcomeOf(const CAVConverter& engine, int count);

// Runs one job to its end on a fresh engine. `whileRunning`, when given,
// runs on the test's thread after Start(), before the join.
JobOutcome RunJob(const std::vector<JobInput>& inputs,
                  const std::function<void(CAVConverter&)>& whileRunning = nullptr);

// Runs a one-input job from `input` to `output` and expects it to succeed.
void CopyOk(const fs::path& input, const fs::path& output);

// What ffprobe says about a file, read once.
struct Media {
    explicit Media(const fs::path& file);

    fs::path file;
    std::vector<testmedia::Stream> streams;
    std::vector<testmedia::Packet> packets;

    // Index of the first video stream that is not a cover picture, -1 if none.
    int Video() const;
    // Number of streams of `type` ("audio", "video", ...).
    int Count(const std::string& type) const;
    std::vector<testmedia::Packet> PacketsOf(int stream) const;
    // The earliest pts of a stream in seconds, or the earliest dts where the
    // container stores no pts (AVI).
    double FirstTime(int stream) const;
};

// Time in seconds of a timestamp in a stream whose time base reads "1/90000".
double Seconds(std::int64_t ts, const std::string& timeBase);

// Expects the packets of the output's video to be those of the input's
// video: same payloads, same count, same order, and the same spacing in time
// (every pts and dts moved by one constant, unset ones staying unset).
// Returns the constant in seconds (output minus input).
double ExpectSameVideo(const Media& in, const Media& out);

// The same check for any pair of streams.
double ExpectSamePackets(const Media& in, int inIndex, const Media& out, int outIndex);

}  // namespace enginetest
