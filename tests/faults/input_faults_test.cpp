// Inputs that go wrong: deleted or cut short while the job reads them,
// unreadable, damaged (files cut short before the job: see
// truncated_download_test.cpp). Each test checks what the engine reports and
// what is left on disk, and that the job ends by itself.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include "engine/engine_errors.h"
#include "fault_support.h"
#include "fuzz_extensions.h"
#include "read_shim.h"

extern "C" {
#include <libavutil/error.h>
}

namespace faults {
namespace {

// ---- Deleted while the job runs ------------------------------------------

// An open file stays readable when its name is removed: the copy is whole.
TEST(InputDeleted, WhileItIsCopiedTheCopyIsWhole) {
    TempDir dir;
    const fs::path input = dir / "in.ts";
    fs::copy_file(NoisyTransportStream(), input);
    readshim::Watching held({"/in.ts", -1, static_cast<std::int64_t>(fs::file_size(input) / 3)});
    const JobOutcome job = RunJobWithin({{input, dir / "out.ts", 10.0}}, 60s, [&](CAVConverter&) {
        ASSERT_TRUE(readshim::WaitUntilHeld());
        fs::remove(input);
        readshim::Release();
    });
    EXPECT_EQ(job.statuses, std::vector<int>{kStatusSucceeded});
    EXPECT_EQ(job.result, 0);
    ExpectSameVideo(Media(NoisyTransportStream()), Media(dir / "out.ts"));
}

// The next input is gone by the time the worker comes to it: it fails, as
// any input that cannot be opened, and no file is made for it.
TEST(InputDeleted, BeforeItsTurnFailsThatInput) {
    TempDir dir;
    const fs::path first = dir / "first.ts";
    fs::copy_file(NoisyTransportStream(), first);
    const fs::path next = dir / "next.mp4";
    fs::copy_file(SmallVideo("mp4"), next);
    readshim::Watching held({"/first.ts", -1, 64 * 1024});
    const JobOutcome job = RunJobWithin(
        {{first, dir / "out.ts", 10.0}, {next, dir / "next-out.mp4"}}, 60s, [&](CAVConverter&) {
            ASSERT_TRUE(readshim::WaitUntilHeld());
            fs::remove(next);
            readshim::Release();
        });
    EXPECT_EQ(job.statuses, (std::vector<int>{kStatusSucceeded, kStatusFailed}));
    EXPECT_EQ(job.errors[1], AVERROR(ENOENT));
    EXPECT_EQ(job.current, 2);
    EXPECT_EQ(job.result, -1);
    EXPECT_FALSE(fs::exists(dir / "next-out.mp4"));
    ExpectSameVideo(Media(NoisyTransportStream()), Media(dir / "out.ts"));
}

// ---- Cut short while the job runs ----------------------------------------

struct CutCase {
    const char* name;
    std::function<fs::path()> source;
    const char* ext;
    // A container that takes the packets unchanged and needs no seeking,
    // since the output is a pipe.
    const char* outputExt;
};

std::ostream& operator<<(std::ostream& os, const CutCase& c) { return os << c.name; }

class InputCutWhileCopied : public testing::TestWithParam<CutCase> {};

// Someone truncates the file the worker is reading. What was copied is not
// the video, so the input has failed, not succeeded, and leaves no file; the
// next input is copied as usual.
TEST_P(InputCutWhileCopied, FailsThatInput) {
    const CutCase& c = GetParam();
    TempDir dir;
    const fs::path input = dir / (std::string("in.") + c.ext);
    fs::copy_file(c.source(), input);
    const auto size = fs::file_size(input);
    const fs::path output = dir / (std::string("out.") + c.outputExt);
    readshim::Watching held({std::string("/in.") + c.ext, -1, static_cast<std::int64_t>(size / 5)});
    const JobOutcome job = RunJobWithin(
        {{input, output, 10.0}, {SmallVideo("mkv"), dir / "next.mkv"}}, 60s, [&](CAVConverter&) {
            ASSERT_TRUE(readshim::WaitUntilHeld());
            fs::resize_file(input, size * 2 / 5);
            readshim::Release();
        });
    EXPECT_EQ(job.statuses, (std::vector<int>{kStatusFailed, kStatusSucceeded}));
    EXPECT_EQ(job.errors[0], velmora::kErrorInputChanged);
    EXPECT_EQ(job.result, -1);
    EXPECT_FALSE(fs::exists(output));
    ExpectSameVideo(Media(SmallVideo("mkv")), Media(dir / "next.mkv"));
}

// A long MP4 whose index the demuxer has read before the cut (it comes
// first, so the reads that are held are those of the packets), and a
// transport stream, which has no index at all.
fs::path LongMp4() {
    return testmedia::Make(
        "fault_long_faststart.mp4",
        "-i " + testmedia::Quote(NoisyTransportStream()) + " -c copy -movflags +faststart");
}

INSTANTIATE_TEST_SUITE_P(Containers, InputCutWhileCopied,
                         testing::Values(CutCase{"transport_stream",
                                                 [] { return NoisyTransportStream(); }, "ts", "ts"},
                                         CutCase{"mp4", [] { return LongMp4(); }, "mp4", "mkv"}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Inputs that cannot be read -------------------------------------------

struct UnreadableCase {
    const char* name;
    // Makes the bad input in `dir` and returns its name.
    std::function<fs::path(const fs::path& dir)> make;
    int error;  // what the engine reports; 0: any negative code
};

std::ostream& operator<<(std::ostream& os, const UnreadableCase& c) { return os << c.name; }

class UnreadableInput : public testing::TestWithParam<UnreadableCase> {};

// The job fails at that input, makes no file for it and touches nothing
// after it; the input itself is left as it was.
TEST_P(UnreadableInput, FailsThatInputAndWritesNothingForIt) {
    const UnreadableCase& c = GetParam();
    TempDir dir;
    fs::create_directory(dir / "out");
    const fs::path bad = c.make(dir.path());
    const Snapshot before = Snap(dir.path());
    const JobOutcome job = RunJobWithin(
        {{bad, dir / "out" / "bad.mp4"}, {SmallVideo("mp4"), dir / "out" / "next.mp4"}}, 60s);
    EXPECT_EQ(job.statuses, (std::vector<int>{kStatusFailed, kStatusSucceeded}));
    if (c.error != 0) {
        EXPECT_EQ(job.errors[0], c.error);
    } else {
        EXPECT_LT(job.errors[0], 0);
    }
    EXPECT_EQ(job.current, 2);
    EXPECT_EQ(job.result, -1);
    EXPECT_EQ(testmedia::FilesIn(dir / "out"), std::vector<std::string>{"next.mp4"});
    fs::remove(dir / "out" / "next.mp4");
    EXPECT_EQ(Snap(dir.path()), before);
}

INSTANTIATE_TEST_SUITE_P(Inputs, UnreadableInput,
                         testing::Values(UnreadableCase{"path_through_a_file",
                                                        [](const fs::path& dir) {
                                                            WriteBytes(dir / "notes.txt",
                                                                       "not a folder");
                                                            return dir / "notes.txt" / "clip.mp4";
                                                        },
                                                        AVERROR(ENOTDIR)},
                                         UnreadableCase{"a_folder",
                                                        [](const fs::path& dir) {
                                                            fs::create_directory(dir / "clip.mp4");
                                                            return dir / "clip.mp4";
                                                        },
                                                        0},
                                         UnreadableCase{"dangling_link",
                                                        [](const fs::path& dir) {
                                                            fs::create_symlink(dir / "gone.mp4",
                                                                               dir / "clip.mp4");
                                                            return dir / "clip.mp4";
                                                        },
                                                        AVERROR(ENOENT)}),
                         [](const auto& info) { return std::string(info.param.name); });

// A file the user may not read. Root reads anything, so a child process of
// root gives up its rights first.
TEST(UnreadableInput, WithoutReadPermission) {
    TempDir dir;
    fs::create_directory(dir / "out");
    const fs::path input = dir / "locked.mp4";
    fs::copy_file(SmallVideo("mp4"), input);
    fs::permissions(input, fs::perms::none);
    fs::permissions(dir / "out", fs::perms::all);
    const fs::path next = dir / "next.mp4";
    fs::copy_file(SmallVideo("mp4"), next);
    fs::permissions(next, fs::perms::owner_read | fs::perms::others_read);

    const int code = InChild(
        [&] {
            SaveOutcome(
                RunJobWithin(
                    {{input, dir / "out" / "locked.mp4"}, {next, dir / "out" / "next.mp4"}}, 60s),
                dir / "out" / "outcome.txt");
            return 0;
        },
        /*unprivileged=*/true);
    ASSERT_EQ(code, 0);
    const JobOutcome job = LoadOutcome(dir / "out" / "outcome.txt");
    EXPECT_EQ(job.statuses, (std::vector<int>{kStatusFailed, kStatusSucceeded}));
    EXPECT_EQ(job.errors[0], AVERROR(EACCES));
    EXPECT_EQ(job.result, -1);
    EXPECT_FALSE(fs::exists(dir / "out" / "locked.mp4"));
    EXPECT_TRUE(fs::exists(dir / "out" / "next.mp4"));
}

// ---- Named pipes ----------------------------------------------------------

// A pipe whose writer comes and goes without a byte is an empty input.
TEST(PipeInput, ClosedWithoutDataFailsThatInput) {
    TempDir dir;
    FedPipe pipe(dir / "in.ts", "", 0);
    ASSERT_TRUE(pipe.ok());
    const JobOutcome job =
        RunJobWithin({{pipe.path(), dir / "out.ts"}, {SmallVideo("mp4"), dir / "next.mp4"}}, 60s);
    EXPECT_EQ(job.statuses, (std::vector<int>{kStatusFailed, kStatusSucceeded}));
    EXPECT_EQ(job.result, -1);
    EXPECT_FALSE(fs::exists(dir / "out.ts"));
    EXPECT_TRUE(fs::exists(dir / "next.mp4"));
}

// A pipe nobody writes to would keep the worker waiting for ever; a stop
// request ends the wait, and nothing is written.
TEST(PipeInput, WithoutWriterEndsAtAStop) {
    TempDir dir;
    ASSERT_EQ(mkfifo((dir / "in.ts").c_str(), 0644), 0);
    const JobOutcome job =
        RunJobWithin({{dir / "in.ts", dir / "out.ts"}, {SmallVideo("mp4"), dir / "next.mp4"}}, 60s,
                     [](CAVConverter& engine) {
                         std::this_thread::sleep_for(300ms);
                         EXPECT_TRUE(engine.IsRunning());
                         engine.m_bStop = true;
                     });
    EXPECT_EQ(job.statuses, (std::vector<int>{kStatusPending, kStatusPending}));
    EXPECT_EQ(job.result, 0);
    EXPECT_FALSE(fs::exists(dir / "out.ts"));
    EXPECT_FALSE(fs::exists(dir / "next.mp4"));
    // The test's own end of the pipe, in case the worker is still waiting.
    const int fd = open((dir / "in.ts").c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) close(fd);
}

// ---- Damaged files ----------------------------------------------------------

struct Damage {
    const char* name;
    std::function<void(std::string&)> apply;
};

// Each damage, in each container: the probe answers and the job ends within
// the watchdog's time, a success leaves a readable file, and nothing else
// is written.
class DamagedInput : public testing::TestWithParam<std::tuple<const char*, Damage>> {};

TEST_P(DamagedInput, EndsInBoundedTime) {
    const auto& [ext, damage] = GetParam();
    TempDir dir;
    std::string bytes = ReadBytes(SmallVideo(ext));
    damage.apply(bytes);
    const fs::path input = dir / (std::string("in.") + ext);
    WriteBytes(input, bytes);

    int probe = 0;
    std::int64_t duration = 0;
    FinishWithin(60s, [&] {
        CAVConverter engine;
        engine.m_pszProbeFile = input.string();
        probe = engine.Probe();
        duration = engine.m_llDuration;
    });
    if (probe < 0) return;  // refused: nothing more to do

    fs::create_directory(dir / "out");
    const fs::path output = dir / "out" / (std::string("out.") + ext);
    const double end = duration > 0 ? static_cast<double>(duration) / 1e6 : 0.0;
    const JobOutcome job = RunJobWithin({{input, output, end}}, 60s);
    ASSERT_EQ(job.statuses.size(), 1u);
    EXPECT_TRUE(job.statuses[0] == kStatusSucceeded || job.statuses[0] == kStatusFailed)
        << job.statuses[0];
    if (job.statuses[0] == kStatusSucceeded) {
        EXPECT_NO_THROW(testmedia::Streams(output));
    }
    for (const auto& entry : fs::directory_iterator(dir / "out")) EXPECT_EQ(entry.path(), output);
    EXPECT_EQ(ReadBytes(input), bytes);
}

std::string PseudoRandom(size_t size, unsigned seed) {
    std::string out(size, '\0');
    for (char& c : out) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
    return out;
}

const Damage kDamages[] = {
    {"flipped_bytes",
     [](std::string& b) {
         for (size_t i = b.size() / 10; i < b.size(); i += 97) b[i] = static_cast<char>(~b[i]);
     }},
    {"zeroed_middle",
     [](std::string& b) {
         const size_t from = b.size() / 3;
         std::fill(b.begin() + from, b.begin() + std::min(b.size(), from + 16384), '\0');
     }},
    {"second_half_repeats_the_first",
     [](std::string& b) {
         const size_t half = b.size() / 2;
         std::copy(b.begin(), b.begin() + half, b.begin() + half);
     }},
    {"garbage_in_the_middle",
     [](std::string& b) { b.insert(b.size() / 2, PseudoRandom(8192, 7)); }},
    {"cut_mid_packet", [](std::string& b) { b.resize(b.size() * 3 / 4 + 5); }},
};

INSTANTIATE_TEST_SUITE_P(Containers, DamagedInput,
                         testing::Combine(testing::Values("mp4", "mkv", "ts", "avi", "flv", "mov"),
                                          testing::ValuesIn(kDamages)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param)) + "_" +
                                    std::get<1>(info.param).name;
                         });

// ---- Inputs the fuzzer found ---------------------------------------------

// Every input that made the fuzzing target crash is kept, its first byte
// picking the extension. Each must now be refused by the probe, or copied or
// failed by the job, within the watchdog's time. The first one was a WMV
// whose video time goes back after its first picture: FFmpeg's ASF muxer
// aborted the whole program on it.
TEST(FuzzRegressions, EveryKeptInputEndsCleanly) {
    const fs::path kept = VELMORA_FUZZ_REGRESSIONS;
    ASSERT_TRUE(fs::is_directory(kept));
    for (const auto& entry : fs::directory_iterator(kept)) {
        SCOPED_TRACE(entry.path().filename().string());
        const std::string bytes = ReadBytes(entry.path());
        ASSERT_FALSE(bytes.empty());
        const std::string ext =
            kFuzzExtensions[static_cast<unsigned char>(bytes[0]) % kFuzzExtensions.size()];
        TempDir dir;
        const fs::path input = dir / ("in." + ext);
        WriteBytes(input, bytes.substr(1));

        int probe = 0;
        FinishWithin(60s, [&] {
            CAVConverter engine;
            engine.m_pszProbeFile = input.string();
            probe = engine.Probe();
        });
        if (probe < 0) continue;
        const fs::path output = dir / ("out." + ext);
        const JobOutcome job = RunJobWithin({{input, output}}, 60s);
        EXPECT_TRUE(job.statuses[0] == kStatusSucceeded || job.statuses[0] == kStatusFailed)
            << job.statuses[0];
        if (job.statuses[0] == kStatusSucceeded) {
            EXPECT_NO_THROW(testmedia::Streams(output));
        }
    }
}

}  // namespace
}  // namespace faults
