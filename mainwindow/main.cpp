#include <QApplication>

#include "tarnwick_app.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    CTarnwickApp app;
    return app.Run();
}
