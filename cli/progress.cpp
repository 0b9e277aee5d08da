#include "progress.h"

#include "shown_name.h"

#include <cstdio>

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

void ProgressPrinter::Clear() {
    if (!m_bLineShown) return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    m_bLineShown = false;
}
