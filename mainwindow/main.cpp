#include <QApplication>

#include "engine/heap_margin.h"
#include "tarnwick_app.h"

int main(int argc, char* argv[]) {
    KeepHeapMarginBetweenFiles();
    QApplication application(argc, argv);
    CTarnwickApp app;
    return app.Run();
}
