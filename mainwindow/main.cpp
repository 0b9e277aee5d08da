#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <cstring>

#include "engine/heap_margin.h"

extern "C" {
#include <libavutil/log.h>
}

#include "tarnwick_app.h"

int main(int argc, char* argv[]) {
    // Answered before any window: lets scripts and packagers check that the
    // installed program starts.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("velmora %s\n", VELMORA_VERSION);
        return 0;
    }
    KeepHeapMarginBetweenFiles();
    // FFmpeg's own messages (a stream dump for every file added) have no
    // reader in a window.
    av_log_set_level(AV_LOG_QUIET);
    QApplication application(argc, argv);
    // Files named on the command line (a file manager's "Open with") are
    // added as a drop would add them.
    CTarnwickApp app(application.arguments().mid(1));
    return app.Run();
}
