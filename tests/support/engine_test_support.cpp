#include "engine_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "engine/input_result.h"

extern "C" {
#include <libavutil/log.h>
}

namespace enginetest {

namespace {

// FFmpeg's stream dumps would bury the test output.
const int kQuietLog = [] {
    av_log_set_level(AV_LOG_ERROR);
    return 0;
}();

}  // namespace

void StartJob(CAVConverter& engine, const std::vector<JobInput>& inputs) {
    std::vector<JobItem> items;
    for (const JobInput& in : inputs)
        items.push_back({in.input.string(), in.output.string(), in.end});
    engine.StartJob(items);
}

JobOutcome OutcomeOf(const CAVConverter& engine, int count) {
    JobOutcome outcome;
    for (int i = 0; i < count; ++i) {
        outcome.statuses.push_back(engine.m_status[i]);
        outcome.errors.push_back(ReadInputResult(engine, i).error);
    }
    outcome.current = engine.m_nCurrent;
    outcome.result = engine.WorkerResult();
    outcome.progress = engine.m_nProgress;
    return outcome;
}

JobOutcome RunJob(const std::vector<JobInput>& inputs,
                  const std::function<void(CAVConverter&)>& whileRunning) {
    CAVConverter engine;
    StartJob(engine, inputs);
    if (whileRunning) whileRunning(engine);
    engine.Join();
    EXPECT_FALSE(engine.IsRunning());
    return OutcomeOf(engine, static_cast<int>(inputs.size()));
}

void CopyOk(const fs::path& input, const fs::path& output) {
    JobOutcome outcome = RunJob({{input, output}});
    ASSERT_EQ(outcome.statuses, std::vector<int>{kStatusSucceeded})
        << input << " error " << outcome.errors[0];
    ASSERT_EQ(outcome.result, 0);
    ASSERT_EQ(outcome.current, 1);
}

Media::Media(const fs::path& path)
    : file(path), streams(testmedia::Streams(path)), packets(testmedia::Packets(path)) {}

int Media::Video() const {
    for (const auto& s : streams)
        if (s.codecType == "video" && !s.attachedPic) return s.index;
    return -1;
}

int Media::Count(const std::string& type) const {
    return static_cast<int>(std::count_if(streams.begin(), streams.end(),
                                          [&](const auto& s) { return s.codecType == type; }));
}

std::vector<testmedia::Packet> Media::PacketsOf(int stream) const {
    return testmedia::PacketsOf(packets, stream);
}

double Media::FirstTime(int stream) const {
    const std::string& timeBase = streams.at(stream).timeBase;
    const auto own = PacketsOf(stream);
    double first = std::numeric_limits<double>::infinity();
    for (const auto& p : own)
        if (p.pts) first = std::min(first, Seconds(*p.pts, timeBase));
    if (first == std::numeric_limits<double>::infinity())
        for (const auto& p : own)
            if (p.dts) first = std::min(first, Seconds(*p.dts, timeBase));
    return first;
}

double Seconds(std::int64_t ts, const std::string& timeBase) {
    const size_t slash = timeBase.find('/');
    const double num = std::stod(timeBase.substr(0, slash));
    const double den = std::stod(timeBase.substr(slash + 1));
    return static_cast<double>(ts) * num / den;
}

double ExpectSameVideo(const Media& in, const Media& out) {
    const int inIndex = in.Video();
    const int outIndex = out.Video();
    EXPECT_GE(inIndex, 0) << "no video in " << in.file;
    EXPECT_GE(outIndex, 0) << "no video in " << out.file;
    if (inIndex < 0 || outIndex < 0) return 0.0;
    return ExpectSamePackets(in, inIndex, out, outIndex);
}

double ExpectSamePackets(const Media& in, int inIndex, const Media& out, int outIndex) {
    const auto inPackets = in.PacketsOf(inIndex);
    const auto outPackets = out.PacketsOf(outIndex);
    const std::string& inBase = in.streams.at(inIndex).timeBase;
    const std::string& outBase = out.streams.at(outIndex).timeBase;

    EXPECT_FALSE(inPackets.empty());
    EXPECT_EQ(inPackets.size(), outPackets.size()) << in.file << " -> " << out.file;
    const size_t count = std::min(inPackets.size(), outPackets.size());
    for (size_t i = 0; i < count; ++i) {
        if (inPackets[i].hash.empty()) {
            ADD_FAILURE() << "no payload hash from ffprobe for " << in.file;
            break;
        }
        EXPECT_EQ(inPackets[i].hash, outPackets[i].hash) << "packet " << i << " of " << out.file;
    }

    // One constant moves every timestamp; take it from the first pts both
    // sides have and hold every other one to it (within a millisecond, for
    // containers that count in milliseconds).
    std::optional<double> shift;
    for (size_t i = 0; i < count; ++i) {
        const auto& a = inPackets[i];
        const auto& b = outPackets[i];
        EXPECT_EQ(a.pts.has_value(), b.pts.has_value())
            << "pts of packet " << i << " of " << out.file;
        if (a.pts && b.pts) {
            const double d = Seconds(*b.pts, outBase) - Seconds(*a.pts, inBase);
            if (!shift) shift = d;
            EXPECT_NEAR(d, *shift, 0.0011) << "pts of packet " << i << " of " << out.file;
        }
        if (a.dts && b.dts && shift) {
            EXPECT_NEAR(Seconds(*b.dts, outBase) - Seconds(*a.dts, inBase), *shift, 0.0011)
                << "dts of packet " << i << " of " << out.file;
        }
    }
    return shift.value_or(0.0);
}

}  // namespace enginetest
