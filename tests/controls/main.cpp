// Runs one suite of the control tests (named as the first argument) or all
// of them. Further arguments go to Qt Test.

#include <QApplication>
#include <cstdio>
#include <cstring>
#include <vector>

#include "suites.h"

namespace {

struct Suite {
    const char* name;
    int (*run)(int, char**);
};

const Suite kSuites[] = {
    {"ControlButton", RunControlButtonTests}, {"Pictures", RunPicturesTests},
    {"CheckList", RunCheckListTests},         {"Label", RunLabelTests},
    {"HyperLink", RunHyperLinkTests},
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const char* only = nullptr;
    std::vector<char*> args{argv[0]};
    for (int i = 1; i < argc; ++i) {
        if (i == 1 && argv[i][0] != '-') {
            only = argv[i];
        } else {
            args.push_back(argv[i]);
        }
    }
    int failures = 0;
    bool found = false;
    for (const Suite& suite : kSuites) {
        if (only && std::strcmp(only, suite.name) != 0) {
            continue;
        }
        found = true;
        failures += suite.run(static_cast<int>(args.size()), args.data());
    }
    if (!found) {
        std::fprintf(stderr, "no test suite named %s\n", only);
        return 2;
    }
    return failures == 0 ? 0 : 1;
}
