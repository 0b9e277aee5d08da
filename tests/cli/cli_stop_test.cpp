#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <iterator>
#include <optional>
#include <thread>

#include "cli_test_support.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

using testmedia::ReadAll;

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Opens the writing end of a named pipe once a reader has it, polling so the
// caller can give up: a plain blocking open would hang for good if the
// program under test never opens the pipe.
int OpenWriter(const fs::path& fifo, const std::atomic<bool>& giveUp) {
    while (!giveUp) {
        const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) {
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            return fd;
        }
        if (errno != ENXIO) return -1;
        std::this_thread::sleep_for(5ms);
    }
    return -1;
}

// The probe and the job each open the input by its name. A pipe cannot tell
// its readers apart, so the name is made to stand for two pipes: the one
// the probe opens, and a second one moved over its name once the probe has
// opened the first, which the job opens.
bool MakeLivePipe(const fs::path& fifo) {
    return mkfifo(fifo.c_str(), 0644) == 0 && mkfifo((fifo.string() + ".job").c_str(), 0644) == 0;
}

// Gives the probe of a pipe made by MakeLivePipe() the whole file, then TS
// null packets until the probe closes the pipe, and puts the job's pipe
// under the name meanwhile, so that nothing of this feed reaches the job.
// False when no reader came.
bool FeedTheProbe(const fs::path& fifo, const std::string& data, const std::atomic<bool>& giveUp) {
    const int fd = OpenWriter(fifo, giveUp);
    if (fd < 0) return false;
    std::error_code ec;
    fs::rename(fifo.string() + ".job", fifo, ec);
    if (ec) {
        close(fd);
        return false;
    }
    WriteAll(fd, data.data(), data.size());
    std::string null(188, '\xff');
    null[0] = 0x47, null[1] = 0x1f, null[2] = static_cast<char>(0xff), null[3] = 0x10;
    while (WriteAll(fd, null.data(), null.size())) {
    }
    close(fd);
    return true;
}

// The names that appear in a folder (made there, or moved in), in order, as
// the kernel reports them: a name that is there for a moment only is seen
// too, however short the moment.
class NamesAppearing {
public:
    explicit NamesAppearing(const fs::path& folder)
        : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        if (m_fd >= 0) inotify_add_watch(m_fd, folder.c_str(), IN_CREATE | IN_MOVED_TO);
    }
    ~NamesAppearing() {
        if (m_fd >= 0) close(m_fd);
    }
    NamesAppearing(const NamesAppearing&) = delete;
    NamesAppearing& operator=(const NamesAppearing&) = delete;
    bool ok() const { return m_fd >= 0; }

    // The names reported so far.
    std::vector<std::string> Names() {
        alignas(inotify_event) char buffer[16 * 1024];
        for (;;) {
            const ssize_t n = read(m_fd, buffer, sizeof buffer);
            if (n <= 0) break;
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->mask & IN_Q_OVERFLOW) m_names.push_back("<overflow>");
                if (event->len > 0) m_names.emplace_back(event->name);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        return m_names;
    }

private:
    int m_fd = -1;
    std::vector<std::string> m_names;
};

// A transport stream long enough that half of it is many packets.
fs::path LongStream() {
    return testmedia::Make("cli_long.ts",
                           "-f lavfi -i testsrc=duration=20:size=160x120:rate=25 -f lavfi -i "
                           "sine=duration=20 -c:v libx264 -pix_fmt yuv420p -g 25 -c:a aac "
                           "-shortest");
}

struct StopCase {
    const char* name;
    int signal;
    int exitCode;
    // With --if-exists skip the shortened output must not keep the final
    // name, which would pass for a finished copy on a re-run.
    bool skip = false;
};

std::ostream& operator<<(std::ostream& os, const StopCase& c) { return os << c.name; }

class CliStop : public testing::TestWithParam<StopCase> {};

// The input is a named pipe fed by the test, so the job is in the middle of
// the file for as long as the test wants: the probe gets the whole stream
// (padded with null packets until it lets go), the job gets the first half,
// then the signal arrives, then the rest of the pipe closes. Ctrl-C, a
// polite kill and a closed terminal all stop the same way.
TEST_P(CliStop, KeepsAShortenedOutputAndStartsNothingElse) {
    const StopCase& c = GetParam();
    signal(SIGPIPE, SIG_IGN);
    testmedia::TempDir cwd;
    const fs::path source = LongStream();
    const std::string data = ReadAll(source);
    ASSERT_TRUE(MakeLivePipe(cwd / "live.ts"));
    clitest::CopyTo(clitest::Clip("mp4"), cwd / "next.mp4");
    fs::create_directory(cwd / "out");

    std::vector<std::string> args = {"-o", "out", "live.ts", "next.mp4"};
    if (c.skip) args.insert(args.begin(), {"--if-exists", "skip"});
    const std::string kept = c.skip ? "live.ts.velmora-stopped.part" : "live.ts";
    const fs::path shortened = cwd / "out" / kept;
    NamesAppearing appearing(cwd / "out");
    ASSERT_TRUE(appearing.ok());
    clitest::Process cli(args, cwd.path());
    std::atomic<bool> halfWritten{false};
    std::atomic<bool> giveUp{false};
    std::thread feeder([&] {
        if (!FeedTheProbe(cwd / "live.ts", data, giveUp)) return;
        // The job: the first half, then a pause while the stop arrives.
        const int fd = OpenWriter(cwd / "live.ts", giveUp);
        if (fd < 0) return;
        WriteAll(fd, data.data(), data.size() / 2 / 188 * 188);
        halfWritten = true;
        std::this_thread::sleep_for(1500ms);
        close(fd);
    });
    for (int i = 0; i < 600 && !halfWritten; ++i) std::this_thread::sleep_for(100ms);
    if (!halfWritten) {
        // End the CLI so the feeder's pipe breaks and the thread can be
        // joined; a failed wait must report, not abort the test program.
        giveUp = true;
        kill(cli.pid(), SIGKILL);
        const auto stuck = cli.Wait();
        feeder.join();
        FAIL() << "the job never read the pipe; stderr:\n" << stuck.err;
    }
    std::this_thread::sleep_for(300ms);
    kill(cli.pid(), c.signal);
    const auto result = cli.Wait();
    feeder.join();

    EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
    EXPECT_EQ(result.out,
              c.skip ? "stopped  live.ts -> out/live.ts.velmora-stopped.part (shortened; set aside "
                       "so that a re-run copies it again)\n"
                       "skipped  next.mp4: not started\n"
                     : "stopped  live.ts -> out/live.ts (shortened)\n"
                       "skipped  next.mp4: not started\n");
    // The shortened copy went from its temporary name straight to the name
    // it keeps: under --if-exists skip, the final name never appeared, not
    // even for a moment.
    EXPECT_EQ(testmedia::FilesIn(cwd / "out"), std::vector<std::string>{kept});
    // (The output folder's check before the job writes a test file of its
    // own there too.)
    std::vector<std::string> names;
    for (const std::string& name : appearing.Names())
        if (name.rfind("live.ts", 0) == 0) names.push_back(name);
    ASSERT_EQ(names.size(), 2u) << testing::PrintToString(appearing.Names());
    EXPECT_EQ(names[0].rfind("live.ts.velmora-", 0), 0u) << names[0];
    EXPECT_EQ(names[1], kept);
    // Plain progress lines, as standard error is no terminal here.
    EXPECT_NE(result.err.find("live.ts  (0 of 2 files done)\n"), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(cwd / "out" / "next.mp4"));

    // The shortened output is a valid file holding the first video packets,
    // whole, the last one too.
    const auto copied = clitest::VideoHashes(shortened);
    const auto all = clitest::VideoHashes(source);
    ASSERT_GT(copied.size(), 1u);
    EXPECT_LT(copied.size(), all.size());
    EXPECT_TRUE(std::equal(copied.begin(), copied.end(), all.begin()));
    EXPECT_TRUE(clitest::HasNoAudioPackets(shortened));
}

INSTANTIATE_TEST_SUITE_P(Signals, CliStop,
                         testing::Values(StopCase{"ctrl_c", SIGINT, 130},
                                         StopCase{"sigterm", SIGTERM, 143},
                                         StopCase{"closed_terminal", SIGHUP, 129},
                                         StopCase{"sigterm_if_exists_skip", SIGTERM, 143, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Another program finishes its own copy under the output's name while
// velmora-cli --if-exists skip waits for the input, and a stop ends the run
// before velmora-cli has written a picture: velmora-cli wrote nothing, so
// it moves nothing. The other program's file stays where and as it is.
TEST(CliStopSkip, AnotherProgramsFileIsNeverMoved) {
    signal(SIGPIPE, SIG_IGN);
    testmedia::TempDir cwd;
    const std::string data = ReadAll(LongStream());
    ASSERT_TRUE(MakeLivePipe(cwd / "live.ts"));
    fs::create_directory(cwd / "out");
    clitest::Process cli({"--if-exists", "skip", "-o", "out", "live.ts"}, cwd.path());
    std::atomic<bool> jobWaits{false};
    std::atomic<bool> release{false};
    std::atomic<bool> giveUp{false};
    std::thread feeder([&] {
        if (!FeedTheProbe(cwd / "live.ts", data, giveUp)) return;
        // The job has the pipe open and waits for its first bytes, which
        // never come.
        const int fd = OpenWriter(cwd / "live.ts", giveUp);
        if (fd < 0) return;
        jobWaits = true;
        while (!release && !giveUp) std::this_thread::sleep_for(10ms);
        close(fd);
    });
    for (int i = 0; i < 600 && !jobWaits; ++i) std::this_thread::sleep_for(100ms);
    if (!jobWaits) {
        giveUp = true;
        kill(cli.pid(), SIGKILL);
        const auto stuck = cli.Wait();
        feeder.join();
        FAIL() << "the job never opened the pipe; stderr:\n" << stuck.err;
    }
    const std::string theirs = "another program's finished copy";
    { std::ofstream(cwd / "out" / "live.ts", std::ios::binary) << theirs; }
    kill(cli.pid(), SIGTERM);
    // The stop reaches the job before its input ends; should the machine be
    // too slow for that, the job fails on the empty input, which writes
    // nothing either.
    std::this_thread::sleep_for(300ms);
    release = true;
    const auto result = cli.Wait();
    feeder.join();

    EXPECT_EQ(result.exitCode, 143) << result.err;
    EXPECT_EQ(result.out.find("stopped"), std::string::npos) << result.out;
    EXPECT_EQ(testmedia::FilesIn(cwd / "out"), std::vector<std::string>{"live.ts"});
    EXPECT_EQ(ReadAll(cwd / "out" / "live.ts"), theirs);
}

// Feeds a named pipe as the stop test above does: the probe gets the whole
// stream and then null packets until it lets go, the job gets the first
// half and then waits until `release` is raised (or `giveUp`).
class LiveFeed {
public:
    LiveFeed(fs::path fifo, const std::string& data, const std::atomic<bool>& release,
             const std::atomic<bool>& giveUp)
        : m_thread([this, fifo, &data, &release, &giveUp] {
              if (!FeedTheProbe(fifo, data, giveUp)) return;
              int fd = OpenWriter(fifo, giveUp);
              if (fd < 0) return;
              WriteAll(fd, data.data(), data.size() / 2 / 188 * 188);
              m_halfWritten = true;
              while (!release && !giveUp) std::this_thread::sleep_for(10ms);
              close(fd);
          }) {}
    ~LiveFeed() { m_thread.join(); }
    bool halfWritten() const { return m_halfWritten; }

private:
    std::atomic<bool> m_halfWritten{false};
    std::thread m_thread;
};

// A stop with two files in work at once (-j 2): both keep a valid shortened
// output under their final names, the file after them is not started, no
// temporary file is left, and the report keeps the order of the files.
TEST(CliStopJobs, StopsEveryFileInWork) {
    signal(SIGPIPE, SIG_IGN);
    testmedia::TempDir cwd;
    const fs::path source = LongStream();
    const std::string data = ReadAll(source);
    ASSERT_TRUE(MakeLivePipe(cwd / "one.ts"));
    ASSERT_TRUE(MakeLivePipe(cwd / "two.ts"));
    clitest::CopyTo(clitest::Clip("mp4"), cwd / "next.mp4");
    fs::create_directory(cwd / "out");

    clitest::Process cli({"-j", "2", "-o", "out", "one.ts", "two.ts", "next.mp4"}, cwd.path());
    std::atomic<bool> release{false};
    std::atomic<bool> giveUp{false};
    std::optional<clitest::Result> result;
    {
        LiveFeed one(cwd / "one.ts", data, release, giveUp);
        LiveFeed two(cwd / "two.ts", data, release, giveUp);
        for (int i = 0; i < 600 && !(one.halfWritten() && two.halfWritten()); ++i)
            std::this_thread::sleep_for(100ms);
        if (!(one.halfWritten() && two.halfWritten())) {
            giveUp = true;
            kill(cli.pid(), SIGKILL);
            const auto stuck = cli.Wait();
            FAIL() << "the two jobs never both read their pipes; stderr:\n" << stuck.err;
        }
        // Both copies are under way: their outputs take packets.
        std::this_thread::sleep_for(300ms);
        kill(cli.pid(), SIGINT);
        result = cli.Wait();
        release = true;
    }

    EXPECT_EQ(result->exitCode, 130) << result->err;
    EXPECT_EQ(result->out,
              "stopped  one.ts -> out/one.ts (shortened)\n"
              "stopped  two.ts -> out/two.ts (shortened)\n"
              "skipped  next.mp4: not started\n");
    EXPECT_EQ(testmedia::FilesIn(cwd / "out"), (std::vector<std::string>{"one.ts", "two.ts"}));
    const auto all = clitest::VideoHashes(source);
    for (const char* name : {"one.ts", "two.ts"}) {
        const auto copied = clitest::VideoHashes(cwd / "out" / name);
        ASSERT_GT(copied.size(), 1u) << name;
        EXPECT_LT(copied.size(), all.size()) << name;
        EXPECT_TRUE(std::equal(copied.begin(), copied.end(), all.begin())) << name;
        EXPECT_TRUE(clitest::HasNoAudioPackets(cwd / "out" / name)) << name;
    }
}

// A reader of the report that goes away early (`| head -n 1`) does not end
// the program in the middle of a file: every output is finished.
TEST(CliPipe, AClosedReportPipeLeavesNoPartialFile) {
    testmedia::TempDir cwd;
    for (const char* name : {"a.mp4", "b.mp4", "c.mp4"})
        clitest::CopyTo(clitest::Clip("mp4"), cwd / name);
    fs::create_directory(cwd / "out");
    testmedia::Run("cd " + testmedia::Quote(cwd.path().string()) + " && " +
                   testmedia::Quote(VELMORA_CLI) +
                   " -o out a.mp4 b.mp4 c.mp4 2>&1 | head -c 1 >/dev/null");
    for (const char* name : {"a.mp4", "b.mp4", "c.mp4"})
        EXPECT_EQ(clitest::VideoHashes(cwd / "out" / name), clitest::VideoHashes(cwd / name));
    EXPECT_EQ(testmedia::FilesIn(cwd / "out").size(), 3u);
}

// Names are printed so that one line is one file.
TEST(CliNames, ControlCharactersArePrintedEscaped) {
    testmedia::TempDir cwd;
    const std::string name = "two\nlines\x1b[2J.mp4";
    clitest::CopyTo(clitest::Clip("mp4"), cwd / name);
    fs::create_directory(cwd / "out");
    const auto result = clitest::Run({"-q", "-o", "out", name}, cwd.path());
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "done     two\\x0alines\\x1b[2J.mp4 -> out/two\\x0alines\\x1b[2J.mp4\n");
    EXPECT_TRUE(fs::exists(cwd / "out" / name));
}

TEST(CliStop, QuietPrintsNoProgress) {
    testmedia::TempDir cwd;
    const auto result = clitest::Run({"-q", LongStream().string()}, cwd.path());
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "");
}

}  // namespace
