// Runs the main-window test classes that need no media, one after the other.

#include <QApplication>

int RunStartupTest(int argc, char** argv);
int RunFileListTest(int argc, char** argv);
int RunOutputFolderTest(int argc, char** argv);
int RunLanguageTest(int argc, char** argv);

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int failures = 0;
    for (auto run : {RunStartupTest, RunFileListTest, RunOutputFolderTest, RunLanguageTest}) {
        failures += run(argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
