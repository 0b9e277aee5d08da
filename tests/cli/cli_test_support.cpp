#include "cli_test_support.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace fs = std::filesystem;

namespace clitest {

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

Process::Process(const std::vector<std::string>& args, const fs::path& cwd,
                 const fs::path& input) {
    const std::string in = input.empty() ? "/dev/null" : input.string();
    // posix_spawn has no portable way to change folder, so fork and exec.
    const std::string out = (m_logs / "out").string();
    const std::string err = (m_logs / "err").string();
    std::vector<std::string> argv_storage = {VELMORA_CLI};
    argv_storage.insert(argv_storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argv_storage) argv.push_back(a.data());
    argv.push_back(nullptr);

    m_pid = fork();
    if (m_pid < 0) throw std::runtime_error("fork failed");
    if (m_pid == 0) {
        int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int nullFd = open(in.c_str(), O_RDONLY);
        if (outFd < 0 || errFd < 0 || nullFd < 0 || chdir(cwd.c_str()) != 0) _exit(126);
        dup2(nullFd, 0);
        dup2(outFd, 1);
        dup2(errFd, 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
}

Process::~Process() {
    if (m_pid > 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
}

Result Process::Wait() {
    Result result;
    int status = 0;
    waitpid(m_pid, &status, 0);
    m_pid = -1;
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.exitCode = 128 + WTERMSIG(status);
    result.out = ReadAll(m_logs / "out");
    result.err = ReadAll(m_logs / "err");
    return result;
}

Result Run(const std::vector<std::string>& args, const fs::path& cwd, const fs::path& input) {
    return Process(args, cwd, input).Wait();
}

fs::path Clip(const std::string& extension) {
    return testmedia::Make(
        "cli_clip." + extension,
        "-f lavfi -i testsrc=duration=2:size=160x120:rate=25 -f lavfi -i sine=duration=2 "
        "-c:v libx264 -profile:v high -pix_fmt yuv420p -g 10 -c:a aac -shortest");
}

fs::path AudioOnly() {
    return testmedia::Make("cli_audio.m4a", "-f lavfi -i sine=duration=1 -c:a aac");
}

fs::path CopyTo(const fs::path& source, const fs::path& target) {
    fs::create_directories(target.parent_path());
    fs::copy_file(source, target, fs::copy_options::overwrite_existing);
    return target;
}

std::vector<std::string> VideoHashes(const fs::path& file) {
    int video = -1;
    for (const auto& s : testmedia::Streams(file))
        if (s.codecType == "video") video = s.index;
    std::vector<std::string> hashes;
    for (const auto& p : testmedia::PacketsOf(testmedia::Packets(file), video))
        hashes.push_back(p.hash);
    return hashes;
}

bool HasNoAudioPackets(const fs::path& file) {
    const auto streams = testmedia::Streams(file);
    for (const auto& p : testmedia::Packets(file))
        if (streams.at(p.stream).codecType == "audio") return false;
    return true;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

}  // namespace clitest
