// One batch split across several velmora-cli processes with GNU parallel,
// all writing into one output tree: --keep-tree keeps files of one name
// apart, --if-exists skip makes a re-run do nothing.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>

#include "cli_test_support.h"

namespace fs = std::filesystem;

namespace {

bool HaveParallel() {
    int status = -1;
    testmedia::Run("parallel --version >/dev/null 2>&1", &status);
    return status == 0;
}

// The output tree: each file's relative name with its inode and change time,
// so that a file written again shows.
std::map<std::string, std::pair<ino_t, long long>> Tree(const fs::path& folder) {
    std::map<std::string, std::pair<ino_t, long long>> tree;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_directory()) continue;
        struct stat info {};
        stat(entry.path().c_str(), &info);
        tree[fs::relative(entry.path(), folder).string()] = {
            info.st_ino, info.st_ctim.tv_sec * 1000000000LL + info.st_ctim.tv_nsec};
    }
    return tree;
}

TEST(CliParallel, ThreeProcessesShareOneBatch) {
    if (!HaveParallel()) GTEST_SKIP() << "GNU parallel is not installed";
    testmedia::TempDir cwd;
    const std::vector<std::pair<std::string, std::string>> files = {
        {"x/a.mp4", "mp4"},
        {"x/b.mkv", "mkv"},
        {"x/c.mp4", "mp4"},
        {"x/d.ts", "ts"},
        {"y/a.mp4", "mkv"},  // Matroska inside: told apart from x/a.mp4 by its
                             // packets
        {"y/b.mkv", "mkv"},
        {"y/e.mp4", "mp4"},
        {"f.mp4", "mp4"},
    };
    std::ofstream list(cwd / "list");
    for (const auto& [name, kind] : files) {
        clitest::CopyTo(clitest::Clip(kind), cwd / "in" / name);
        list << "in/" << name << "\n";
    }
    list.close();
    fs::create_directory(cwd / "out");

    // Three records (names) per process: three processes for eight files.
    const std::string command = "cd " + testmedia::Quote(cwd.path().string()) +
                                " && parallel --will-cite --pipe -N3 -j3 --joblog jobs.log " +
                                testmedia::Quote(VELMORA_CLI) +
                                " -q --keep-tree in --if-exists skip -o out --files-from - < list";

    int status = -1;
    const std::string first = testmedia::Run(command, &status);
    EXPECT_EQ(status, 0) << first;
    std::ifstream log(cwd / "jobs.log");
    EXPECT_EQ(clitest::Lines(std::string(std::istreambuf_iterator<char>(log), {})).size(), 4u)
        << "a header and three processes";

    // The Matroska file named .mp4 is copied as what it is, and said to be.
    const std::map<std::string, std::string> said = {
        {"y/a.mp4", " (a Matroska file named .mp4, copied as Matroska)"}};
    std::multiset<std::string> done;
    for (const auto& line : clitest::Lines(first)) {
        ASSERT_EQ(line.rfind("done     in/", 0), 0u) << first;
        const std::string name = line.substr(12, line.find(" -> ") - 12);
        const auto words = said.find(name);
        EXPECT_EQ(line, "done     in/" + name + " -> out/" + name +
                            (words == said.end() ? "" : words->second));
        done.insert(name);
    }
    std::multiset<std::string> expected;
    for (const auto& [name, kind] : files) expected.insert(name);
    EXPECT_EQ(done, expected) << first;  // each file once

    const auto tree = Tree(cwd / "out");
    std::set<std::string> names;
    for (const auto& [name, id] : tree) names.insert(name);
    EXPECT_EQ(names, std::set<std::string>(expected.begin(), expected.end()));
    for (const auto& [name, kind] : files) {
        SCOPED_TRACE(name);
        EXPECT_EQ(clitest::VideoHashes(cwd / "out" / name),
                  clitest::VideoHashes(cwd / "in" / name));
    }

    const std::string again = testmedia::Run(command, &status);
    EXPECT_EQ(status, 0) << again;
    const auto lines = clitest::Lines(again);
    EXPECT_EQ(lines.size(), files.size()) << again;
    for (const auto& line : lines) {
        const std::string name = line.substr(12, line.find(':') - 12);
        EXPECT_EQ(line, "skipped  in/" + name + ": out/" + name + " exists");
    }
    EXPECT_EQ(Tree(cwd / "out"), tree);  // nothing written again
}

}  // namespace
