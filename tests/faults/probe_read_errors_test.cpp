// A probe that cannot read the file: the file system's own error is what
// the probe reports and what the user reads, never "not a video file". The
// probe's own refusals are engine tags, so no errno can pass for one.

#include <gtest/gtest.h>

#include <cerrno>

#include "cli_test_support.h"
#include "fault_support.h"
#include "frontend_core/failure_text.h"
#include "read_shim.h"

extern "C" {
#include <libavutil/error.h>
}

namespace faults {
namespace {

struct ReadErrorCase {
    const char* name;
    int error;  // the errno every read of the file fails with
    const char* words;
};

std::ostream& operator<<(std::ostream& os, const ReadErrorCase& c) { return os << c.name; }

const ReadErrorCase kReadErrors[] = {
    {"bad_sector", EIO, "the file cannot be read (Input/output error)"},
    // Equal by value to what the probe once returned for "no video" and
    // for "no stream info": neither may read as those.
    {"not_permitted", EPERM, "the file cannot be read (Operation not permitted)"},
    {"no_such_file", ENOENT, "the file cannot be read (No such file or directory)"},
};

class ProbeReadError : public testing::TestWithParam<ReadErrorCase> {};

// The disk fails the very first read: nothing of the file is known, and
// the file is there and readable as far as its name and permissions tell.
TEST_P(ProbeReadError, IsReportedAndWordedAsWhatItIs) {
    const ReadErrorCase& c = GetParam();
    TempDir dir;
    const fs::path input = dir / "bad_start.mkv";
    fs::copy_file(SmallVideo("mkv"), input);

    CAVConverter engine;
    velmora::ProbeFacts facts;
    {
        readshim::Plan plan;
        plan.pathEnd = "/bad_start.mkv";
        plan.errorAt = 0;
        plan.error = c.error;
        readshim::Watching failing(plan);
        facts = engine.ProbeFile(input.string());
    }
    EXPECT_EQ(facts.error, AVERROR(c.error));
    EXPECT_TRUE(facts.unreadable);
    EXPECT_EQ(ProbeRefusalText(input.string(), facts), c.words);
}

// The same through velmora-cli, the read() stand-in loaded into it: the
// refusal it prints carries the read's error.
TEST_P(ProbeReadError, IsWhatTheCommandLineSays) {
    const ReadErrorCase& c = GetParam();
    TempDir cwd;
    clitest::CopyTo(SmallVideo("mkv"), cwd / "bad_start.mkv");
    ScopedEnv preload("LD_PRELOAD", VELMORA_READ_SHIM);
    ScopedEnv asan("ASAN_OPTIONS", "verify_asan_link_order=0:detect_leaks=0");
    ScopedEnv path("VELMORA_READ_SHIM_PATH", "/bad_start.mkv");
    ScopedEnv at("VELMORA_READ_SHIM_ERROR_AT", "0");
    ScopedEnv error("VELMORA_READ_SHIM_ERRNO", std::to_string(c.error));
    const clitest::Result result = clitest::Run({"--probe", "bad_start.mkv"}, cwd.path());
    EXPECT_EQ(result.exitCode, 1) << result.out;
    EXPECT_NE(result.err.find("bad_start.mkv: refused: " + std::string(c.words)), std::string::npos)
        << result.err;
}

INSTANTIATE_TEST_SUITE_P(Errors, ProbeReadError, testing::ValuesIn(kReadErrors),
                         [](const auto& info) { return std::string(info.param.name); });

// A file the user may not read is refused with the file system's EACCES,
// not with a code of the probe's own that happens to equal EPERM. Root
// reads anything, so a child of root gives up its rights first; the child
// reports the errno as its exit code.
TEST(ProbeWithoutReadPermission, SaysEacces) {
    TempDir dir;
    const fs::path input = dir / "locked.mp4";
    fs::copy_file(SmallVideo("mp4"), input);
    fs::permissions(input, fs::perms::none);
    const int code = InChild(
        [&] {
            CAVConverter engine;
            const velmora::ProbeFacts facts = engine.ProbeFile(input.string());
            if (!facts.unreadable) return 254;
            return facts.error < 0 && facts.error > -128 ? -facts.error : 255;
        },
        /*unprivileged=*/true);
    EXPECT_EQ(code, EACCES);
}

}  // namespace
}  // namespace faults
