#pragma once

// Progress of a running job on standard error: one line kept up to date on
// a terminal, plain lines when standard error goes elsewhere, or nothing.

#include <map>
#include <string>
#include <vector>

class ProgressPrinter {
public:
    enum class Style { kLive, kLines, kQuiet };

    // kLive or kLines depending on whether standard error is a terminal.
    static Style StyleFor(bool quiet);

    explicit ProgressPrinter(Style style);
    ~ProgressPrinter();
    ProgressPrinter(const ProgressPrinter&) = delete;
    ProgressPrinter& operator=(const ProgressPrinter&) = delete;

    // A file in work: its number among all files of the run, its name and
    // its percentage (< 0: none can be given).
    struct InWork {
        int number = 0;
        std::string name;
        int percent = -1;
    };

    // The file in work and the files finished so far.
    void Show(int fileNumber, const std::string& name, int percent, int done, int total);

    // The files in work at once (-j), in the order of the run. A live line
    // shows them all side by side; plain lines come for each file on its own.
    void Show(const std::vector<InWork>& files, int done, int total);

    // Removes the live line so that other output starts on a clean line.
    void Clear();

private:
    // Whether a plain line for `file` is due, and if so notes it as written.
    bool LineDue(const InWork& file, int done);

    Style m_style;
    bool m_bLineShown = false;
    int m_nLastFile = -1;
    int m_nLastPercent = -1;
    int m_nLastDone = -1;
    // What the live line of several files showed last.
    std::vector<InWork> m_lastShown;
    // Per file in work: the percentage and finished count of its last
    // plain line.
    std::map<int, std::pair<int, int>> m_lastLines;
};
