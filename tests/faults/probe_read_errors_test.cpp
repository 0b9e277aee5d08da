// A probe that cannot read the file: the file system's own error is what
// the probe reports and what the user reads, never "not a video file". The
// probe's own refusals are engine tags, so no errno can pass for one.

#include <gtest/gtest.h>

#include <cerrno>

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

class ProbeReadError : public testing::TestWithParam<ReadErrorCase> {};

// The disk fails the very first read: nothing of the file is known, and
// the file is there and readable as far as its name and permissions tell.
TEST_P(ProbeReadError, IsReportedAndWordedAsWhatItIs) {
    const ReadErrorCase& c = GetParam();
    TempDir dir;
    const fs::path input = dir / "bad_start.mkv";
    fs::copy_file(SmallVideo("mkv"), input);

    CAVConverter engine;
    engine.m_pszProbeFile = input.string();
    int result = 0;
    {
        readshim::Plan plan;
        plan.pathEnd = "/bad_start.mkv";
        plan.errorAt = 0;
        plan.error = c.error;
        readshim::Watching failing(plan);
        result = engine.Probe();
    }
    EXPECT_EQ(result, AVERROR(c.error));
    EXPECT_EQ(ProbeRefusalText(input.string(), result), c.words);
}

INSTANTIATE_TEST_SUITE_P(
    Errors, ProbeReadError,
    testing::Values(
        ReadErrorCase{"bad_sector", EIO, "the file cannot be read (Input/output error)"},
        // Equal to the probe's old "no video" result: must not read as it.
        ReadErrorCase{"not_permitted", EPERM, "the file cannot be read (Operation not permitted)"},
        // Equal to its old "no stream info" result.
        ReadErrorCase{"gone_on_the_server", ENOENT,
                      "the file cannot be read (No such file or directory)"}),
    [](const auto& info) { return std::string(info.param.name); });

// A file the user may not read is refused with the file system's EACCES,
// not with the probe's own code. Root reads anything, so a child of root
// gives up its rights first; the child reports the errno as its exit code.
TEST(ProbeReadError, WithoutReadPermissionSaysEacces) {
    TempDir dir;
    const fs::path input = dir / "locked.mp4";
    fs::copy_file(SmallVideo("mp4"), input);
    fs::permissions(input, fs::perms::none);
    const int code = InChild(
        [&] {
            CAVConverter engine;
            engine.m_pszProbeFile = input.string();
            const int result = engine.Probe();
            return result < 0 && result > -128 ? -result : 255;
        },
        /*unprivileged=*/true);
    EXPECT_EQ(code, EACCES);
}

}  // namespace
}  // namespace faults
