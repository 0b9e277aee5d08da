// The engine seen from the thread that drives it, as the window does: it
// starts a job, polls the shared fields while the worker runs, raises a stop
// at any moment, and probes or releases the engine right after. These tests
// also run under ThreadSanitizer, which reports any unsynchronised access.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <thread>

#include "engine_test_support.h"

namespace enginetest {
namespace {

using Clock = std::chrono::steady_clock;
using testmedia::TempDir;

// A short clip, a longer noisy one and another short one: three inputs whose
// copy takes long enough that a random moment can land anywhere in the job.
struct ThreeInputs {
    std::vector<fs::path> inputs{SmallVideo("mp4"), NoisyTransportStream(), SmallVideo("mkv")};
    std::vector<double> ends{2.0, 10.0, 2.0};
    std::vector<fs::path> Outputs(const fs::path& dir) const {
        return {dir / "a.mp4", dir / "b.ts", dir / "c.mkv"};
    }
    // What ffprobe says about input i, read once.
    const Media& Probed(int i) const {
        static const std::vector<Media> media{Media(inputs[0]), Media(inputs[1]), Media(inputs[2])};
        return media.at(i);
    }
};

void StartThree(CAVConverter& engine, const ThreeInputs& job, const fs::path& dir) {
    const auto outputs = job.Outputs(dir);
    std::vector<JobItem> items;
    for (int i = 0; i < 3; ++i)
        items.push_back({job.inputs[i].string(), outputs[i].string(), job.ends[i]});
    engine.StartJob(items);
}

// Reads what the progress display reads, as often as it can, until `until`
// or the end of the worker, and checks that what it sees only moves forward:
// the current input never goes back and a status once final stays.
class Poller {
public:
    explicit Poller(const CAVConverter& engine, int count) : m_engine(engine), m_seen(count, -1) {}

    void PollUntil(Clock::time_point until) {
        do {
            Poll();
        } while (m_engine.IsRunning() && Clock::now() < until);
    }

    void Poll() {
        const int current = m_engine.m_nCurrent.load(std::memory_order_relaxed);
        const int progress = m_engine.m_nProgress.load(std::memory_order_relaxed);
        EXPECT_GE(current, m_current);
        EXPECT_LE(current, static_cast<int>(m_seen.size()));
        EXPECT_GE(progress, -1);
        EXPECT_LE(progress, 100);
        m_current = current;
        for (size_t i = 0; i < m_seen.size(); ++i) {
            const int status = m_engine.m_status[i].load(std::memory_order_relaxed);
            if (m_seen[i] != -1) {
                EXPECT_EQ(status, m_seen[i]) << "input " << i;
            }
            m_seen[i] = status;
        }
    }

private:
    const CAVConverter& m_engine;
    std::vector<int> m_seen;
    int m_current = -1;
};

// How long the three inputs take without a stop, so that the random moments
// of the other tests cover the whole job on this machine and build.
Clock::duration JobLength(const ThreeInputs& job) {
    TempDir dir;
    CAVConverter engine;
    const auto start = Clock::now();
    StartThree(engine, job, dir.path());
    Poller(engine, 3).PollUntil(Clock::time_point::max());
    engine.Join();
    return Clock::now() - start;
}

// Expects what a stopped job leaves: the inputs before the stopped one are
// complete copies, the stopped one is a valid file holding the first video
// packets of its input or, stopped before its first packet, no file at all,
// and the later ones do not exist.
void ExpectStoppedJob(CAVConverter& engine, const ThreeInputs& job, const fs::path& dir) {
    const auto outputs = job.Outputs(dir);
    EXPECT_EQ(engine.WorkerResult(), 0);
    int done = 0;
    while (done < 3 && engine.m_status[done] == kStatusSucceeded) ++done;
    for (int i = done; i < 3; ++i) EXPECT_EQ(engine.m_status[i], kStatusPending) << "input " << i;
    // The worker moves on to the next input before it sees the stop, unless
    // the stop came before the input it is on was begun.
    EXPECT_GE(engine.m_nCurrent, done);
    EXPECT_LE(engine.m_nCurrent, std::min(done + 1, 3));

    for (int i = 0; i < done; ++i) ExpectSameVideo(job.Probed(i), Media(outputs[i]));
    if (done < 3 && fs::exists(outputs[done])) {
        const Media& in = job.Probed(done);
        const Media out(outputs[done]);
        ASSERT_GE(out.Video(), 0) << outputs[done];
        const auto all = in.PacketsOf(in.Video());
        const auto kept = out.PacketsOf(out.Video());
        EXPECT_FALSE(kept.empty()) << outputs[done];
        EXPECT_LE(kept.size(), all.size());
        for (size_t p = 0; p < kept.size() && p < all.size(); ++p)
            ASSERT_EQ(kept[p].hash, all[p].hash) << "packet " << p << " of " << outputs[done];
    }
    for (int i = done + 1; i < 3; ++i) EXPECT_FALSE(fs::exists(outputs[i])) << outputs[i];
}

class Threading : public testing::Test {
protected:
    static void SetUpTestSuite() {
        s_length = JobLength(ThreeInputs());
        std::printf("a job of the three inputs takes %lld ms\n",
                    static_cast<long long>(
                        std::chrono::duration_cast<std::chrono::milliseconds>(s_length).count()));
    }

    // A moment anywhere from the start of the job to a little past its end.
    Clock::duration RandomMoment() {
        const auto span = std::chrono::duration_cast<std::chrono::microseconds>(s_length) * 6 / 5;
        std::uniform_int_distribution<std::int64_t> pick(0, span.count());
        return std::chrono::microseconds(pick(m_random));
    }

    static inline Clock::duration s_length{};
    ThreeInputs m_job;
    std::mt19937 m_random{20240611};
};

// Each job is started while the previous one may still run: Start() and
// AllocNames() wait for it, so the record is never filled under a worker.
TEST_F(Threading, JobsStartedBackToBackOnOneEngine) {
    CAVConverter engine;
    for (int round = 0; round < 4; ++round) {
        TempDir dir;
        StartThree(engine, m_job, dir.path());
        Poller(engine, 3).PollUntil(Clock::now() + RandomMoment());
        if (round % 2 == 1) continue;  // the next StartJob() joins the worker
        engine.Join();
        EXPECT_EQ(engine.m_nCurrent, 3);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(engine.m_status[i], kStatusSucceeded);
        const auto outputs = m_job.Outputs(dir.path());
        ExpectSameVideo(m_job.Probed(1), Media(outputs[1]));
    }
}

// A stop at any moment: before the first input is opened, in the middle of
// a packet loop, between two inputs, after the last one.
TEST_F(Threading, StopAtRandomMoments) {
    for (int round = 0; round < 12; ++round) {
        const auto moment = RandomMoment();
        SCOPED_TRACE(testing::Message()
                     << "stop after "
                     << std::chrono::duration_cast<std::chrono::microseconds>(moment).count()
                     << " us");
        TempDir dir;
        CAVConverter engine;
        StartThree(engine, m_job, dir.path());
        Poller poller(engine, 3);
        poller.PollUntil(Clock::now() + moment);
        engine.m_bStop.store(true, std::memory_order_relaxed);
        poller.PollUntil(Clock::time_point::max());
        engine.Join();
        ExpectStoppedJob(engine, m_job, dir.path());
    }
}

// Releasing the engine right after a stop, or with no stop at all, waits for
// the worker: nothing of the engine is used after it is gone, and every
// output file is closed.
TEST_F(Threading, ReleaseRightAfterAStop) {
    for (int round = 0; round < 8; ++round) {
        const auto moment = RandomMoment();
        TempDir dir;
        auto engine = std::make_unique<CAVConverter>();
        StartThree(*engine, m_job, dir.path());
        std::this_thread::sleep_for(moment);
        if (round % 4 != 3) engine->m_bStop = true;
        engine.reset();
        for (const auto& output : m_job.Outputs(dir.path()))
            if (fs::exists(output)) {
                EXPECT_NO_THROW(testmedia::Streams(output)) << output;
            }
    }
}

// A probe right after a stop waits for the worker and then gets the whole
// input slot; the stop request it leaves raised does not spoil the probe, and
// the next job on the same engine runs in full.
TEST_F(Threading, ProbeRightAfterAStop) {
    CAVConverter engine;
    for (int round = 0; round < 6; ++round) {
        TempDir dir;
        StartThree(engine, m_job, dir.path());
        std::this_thread::sleep_for(RandomMoment());
        engine.m_bStop = true;
        engine.m_pszProbeFile = NoisyTransportStream().string();
        ASSERT_EQ(engine.Probe(), kProbeOk);
        EXPECT_EQ(engine.m_nInWidth, 160);
        EXPECT_EQ(engine.m_nInHeight, 120);
        EXPECT_EQ(engine.m_nFpsNum, 25);
        EXPECT_EQ(engine.m_nFpsDen, 1);
        EXPECT_FALSE(engine.IsRunning());
        ExpectStoppedJob(engine, m_job, dir.path());
    }
    TempDir dir;
    StartThree(engine, m_job, dir.path());
    engine.Join();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(engine.m_status[i], kStatusSucceeded);
}

// Engines side by side, as velmora-cli -j runs them: each on a thread of
// its own probes an input, keeps it for the job and copies it, over and
// over, with the others doing the same at the same time. Nothing in the
// engine is shared between them (under ThreadSanitizer this shows any
// process-wide state they would touch), and every output is whole.
TEST_F(Threading, EnginesSideBySideProbeAndCopy) {
    constexpr int kEngines = 3;
    constexpr int kRounds = 4;
    TempDir dir;
    const auto input = [](int engine, int round) { return (engine + round) % 3; };
    const auto output = [&](int engine, int round) {
        return dir / ("e" + std::to_string(engine) + "r" + std::to_string(round) + "_" +
                      m_job.Outputs(dir.path())[input(engine, round)].filename().string());
    };
    std::vector<std::thread> threads;
    for (int e = 0; e < kEngines; ++e)
        threads.emplace_back([&, e] {
            CAVConverter engine;
            engine.m_bKeepProbedInput = true;
            for (int round = 0; round < kRounds; ++round) {
                const int i = input(e, round);
                engine.m_pszProbeFile = m_job.inputs[i].string();
                ASSERT_EQ(engine.Probe(), kProbeOk) << m_job.inputs[i];
                engine.StartJob(
                    {{m_job.inputs[i].string(), output(e, round).string(), m_job.ends[i]}});
                Poller(engine, 1).PollUntil(Clock::time_point::max());
                engine.Join();
                ASSERT_EQ(engine.m_status[0], kStatusSucceeded) << output(e, round);
            }
        });
    for (auto& thread : threads) thread.join();
    for (int e = 0; e < kEngines; ++e)
        for (int round = 0; round < kRounds; ++round)
            ExpectSameVideo(m_job.Probed(input(e, round)), Media(output(e, round)));
}

}  // namespace
}  // namespace enginetest
