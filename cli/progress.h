#pragma once

// Progress of a running job on standard error: one line kept up to date on
// a terminal, plain lines when standard error goes elsewhere, or nothing.

#include <string>

class ProgressPrinter {
public:
    enum class Style { kLive, kLines, kQuiet };

    // kLive or kLines depending on whether standard error is a terminal.
    static Style StyleFor(bool quiet);

    explicit ProgressPrinter(Style style);
    ~ProgressPrinter();
    ProgressPrinter(const ProgressPrinter&) = delete;
    ProgressPrinter& operator=(const ProgressPrinter&) = delete;

    // The file in work (its overall number among all files of the run),
    // its percentage (< 0: none can be given) and the files finished so far.
    void Show(int fileNumber, const std::string& name, int percent, int done, int total);

    // Removes the live line so that other output starts on a clean line.
    void Clear();

private:
    Style m_style;
    bool m_bLineShown = false;
    int m_nLastFile = -1;
    int m_nLastPercent = -1;
    int m_nLastDone = -1;
};
