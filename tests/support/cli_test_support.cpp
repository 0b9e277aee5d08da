#include "cli_test_support.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string_view>

extern char** environ;

namespace fs = std::filesystem;

namespace clitest {

namespace {

using testmedia::ReadAll;

}  // namespace

Process::Process(const std::vector<std::string>& args, const fs::path& cwd, const fs::path& input) {
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

namespace {

class FlatJsonReader {
public:
    explicit FlatJsonReader(const std::string& text) : m_text(text) {}

    std::optional<std::map<std::string, JsonValue>> Object() {
        std::map<std::string, JsonValue> fields;
        if (!Take('{')) return std::nullopt;
        if (Take('}')) return End(fields);
        do {
            std::string key;
            JsonValue value;
            if (!String(key) || !Take(':') || !Value(value)) return std::nullopt;
            if (!fields.emplace(key, value).second) return std::nullopt;  // a key twice
        } while (Take(','));
        if (!Take('}')) return std::nullopt;
        return End(fields);
    }

private:
    std::optional<std::map<std::string, JsonValue>> End(std::map<std::string, JsonValue>& f) {
        if (m_pos != m_text.size()) return std::nullopt;
        return f;
    }

    bool Take(char c) {
        if (m_pos < m_text.size() && m_text[m_pos] == c) {
            ++m_pos;
            return true;
        }
        return false;
    }

    bool Word(const std::string& word) {
        if (m_text.compare(m_pos, word.size(), word) != 0) return false;
        m_pos += word.size();
        return true;
    }

    static void AppendUtf8(std::string& out, unsigned cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    bool String(std::string& out) {
        if (!Take('"')) return false;
        while (m_pos < m_text.size()) {
            const char c = m_text[m_pos++];
            if (c == '"') return true;
            if (static_cast<unsigned char>(c) < 0x20) return false;  // must be escaped
            if (c != '\\') {
                out += c;
                continue;
            }
            if (m_pos >= m_text.size()) return false;
            const char e = m_text[m_pos++];
            switch (e) {
                case '"':
                case '\\':
                case '/':
                    out += e;
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'u': {
                    if (m_pos + 4 > m_text.size()) return false;
                    const unsigned cp = std::stoul(m_text.substr(m_pos, 4), nullptr, 16);
                    m_pos += 4;
                    if (cp >= 0xDC80 && cp <= 0xDCFF)
                        out += static_cast<char>(cp - 0xDC00);  // a byte that is not UTF-8
                    else
                        AppendUtf8(out, cp);
                    break;
                }
                default:
                    return false;
            }
        }
        return false;
    }

    bool Value(JsonValue& value) {
        if (m_pos < m_text.size() && m_text[m_pos] == '"') {
            value.kind = JsonValue::Kind::kString;
            return String(value.text);
        }
        if (Word("null")) return value.kind = JsonValue::Kind::kNull, true;
        if (Word("true")) return value.kind = JsonValue::Kind::kBool, value.number = 1, true;
        if (Word("false")) return value.kind = JsonValue::Kind::kBool, true;
        const size_t start = m_pos;
        while (m_pos < m_text.size() &&
               std::string_view("+-0123456789.eE").find(m_text[m_pos]) != std::string_view::npos)
            ++m_pos;
        if (m_pos == start) return false;
        size_t used = 0;
        value.kind = JsonValue::Kind::kNumber;
        value.number = std::stod(m_text.substr(start, m_pos - start), &used);
        return used == m_pos - start;
    }

    const std::string& m_text;
    size_t m_pos = 0;
};

}  // namespace

std::optional<std::map<std::string, JsonValue>> ParseFlatJson(const std::string& line) {
    try {
        return FlatJsonReader(line).Object();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace clitest
