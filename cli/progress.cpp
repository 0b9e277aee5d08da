#include "progress.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "shown_name.h"

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace {

// Plain lines are written when the percentage has moved this far.
constexpr int kLineStep = 10;

int TerminalColumns() {
#ifndef _WIN32
    winsize size = {};
    if (ioctl(fileno(stderr), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
#endif
    return 80;
}

// Columns a UTF-8 text takes, erring on the wide side: anything beyond
// ASCII counts as two, as CJK characters do.
int Columns(const std::string& text) {
    int columns = 0;
    for (unsigned char c : text) {
        if (c < 0x80)
            columns += 1;
        else if ((c & 0xC0) != 0x80)
            columns += 2;
    }
    return columns;
}

// Drops characters from the front of `name` until it fits `columns`,
// marking the cut with "...".
std::string FitFromLeft(const std::string& name, int columns) {
    if (Columns(name) <= columns) return name;
    if (columns <= 3) return "";
    size_t start = 0;
    while (start < name.size() && Columns(name.substr(start)) > columns - 3) {
        ++start;
        while (start < name.size() && (static_cast<unsigned char>(name[start]) & 0xC0) == 0x80)
            ++start;
    }
    return "..." + name.substr(start);
}

std::string PercentText(int percent) {
    char text[16];
    if (percent < 0) return "    ";
    std::snprintf(text, sizeof text, "%3d%%", percent);
    return text;
}

}  // namespace

ProgressPrinter::Style ProgressPrinter::StyleFor(bool quiet) {
    if (quiet) return Style::kQuiet;
    return isatty(fileno(stderr)) ? Style::kLive : Style::kLines;
}

ProgressPrinter::ProgressPrinter(Style style) : m_style(style) {}

ProgressPrinter::~ProgressPrinter() { Clear(); }

void ProgressPrinter::Show(int fileNumber, const std::string& fileName, int percent, int done,
                           int total) {
    if (m_style == Style::kQuiet) return;
    const std::string name = ShownName(fileName);
    const bool sameFile = fileNumber == m_nLastFile && done == m_nLastDone;
    if (sameFile && percent == m_nLastPercent) return;
    if (m_style == Style::kLines && sameFile &&
        (percent < 0 || (percent < m_nLastPercent + kLineStep && percent != 100)))
        return;
    m_nLastFile = fileNumber;
    m_nLastPercent = percent;
    m_nLastDone = done;

    const std::string counts =
        "  (" + std::to_string(done) + " of " + std::to_string(total) + " files done)";
    const std::string percentText = PercentText(percent) + "  ";
    if (m_style == Style::kLines) {
        std::fprintf(stderr, "%s%s%s\n", percentText.c_str(), name.c_str(), counts.c_str());
        return;
    }
    const int room = TerminalColumns() - 1 - Columns(percentText) - Columns(counts);
    std::fprintf(stderr, "\r\033[K%s%s%s", percentText.c_str(), FitFromLeft(name, room).c_str(),
                 counts.c_str());
    std::fflush(stderr);
    m_bLineShown = true;
}

bool ProgressPrinter::LineDue(const InWork& file, int done) {
    const auto last = m_lastLines.find(file.number);
    if (last != m_lastLines.end()) {
        const auto [lastPercent, lastDone] = last->second;
        if (done == lastDone && (file.percent == lastPercent || file.percent < 0 ||
                                 (file.percent < lastPercent + kLineStep && file.percent != 100)))
            return false;
    }
    m_lastLines[file.number] = {file.percent, done};
    return true;
}

void ProgressPrinter::Show(const std::vector<InWork>& files, int done, int total) {
    if (m_style == Style::kQuiet || files.empty()) return;
    if (files.size() == 1) {
        m_lastShown.clear();
        m_lastLines.clear();
        Show(files[0].number, files[0].name, files[0].percent, done, total);
        return;
    }
    // A later single file must be shown again.
    m_nLastFile = -1;
    const std::string counts =
        "  (" + std::to_string(done) + " of " + std::to_string(total) + " files done)";
    if (m_style == Style::kLines) {
        for (auto it = m_lastLines.begin(); it != m_lastLines.end();) {
            bool inWork = false;
            for (const auto& f : files) inWork = inWork || f.number == it->first;
            it = inWork ? std::next(it) : m_lastLines.erase(it);
        }
        for (const auto& f : files)
            if (LineDue(f, done))
                std::fprintf(stderr, "%s  %s%s\n", PercentText(f.percent).c_str(),
                             ShownName(f.name).c_str(), counts.c_str());
        return;
    }
    const bool same = done == m_nLastDone && files.size() == m_lastShown.size() &&
                      std::equal(files.begin(), files.end(), m_lastShown.begin(),
                                 [](const InWork& a, const InWork& b) {
                                     return a.number == b.number && a.percent == b.percent;
                                 });
    if (same) return;
    m_lastShown = files;
    m_nLastDone = done;

    // Each file gets an equal share of the room the percentages, the
    // separators and the counts leave.
    const std::string separator = "  |  ";
    int fixed = Columns(counts) + 1;
    for (size_t i = 0; i < files.size(); ++i)
        fixed += Columns(PercentText(files[i].percent) + " ") + (i > 0 ? Columns(separator) : 0);
    const int share = (TerminalColumns() - fixed) / static_cast<int>(files.size());
    std::string line;
    for (size_t i = 0; i < files.size(); ++i) {
        if (i > 0) line += separator;
        line += PercentText(files[i].percent) + " " + FitFromLeft(ShownName(files[i].name), share);
    }
    std::fprintf(stderr, "\r\033[K%s%s", line.c_str(), counts.c_str());
    std::fflush(stderr);
    m_bLineShown = true;
}

void ProgressPrinter::Clear() {
    if (!m_bLineShown) return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    m_bLineShown = false;
}
