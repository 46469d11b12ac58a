// SLPrnSupport: the program the RunOnce entry names. Started with "refresh"
// it restores the capture printer as fnSLPrnRefresh does.

#include <cstdio>
#include <cstring>

#include "printer_support/slprnsupprt.h"

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "refresh") == 0) {
        fnSLPrnRefresh();
        return 0;
    }
    std::fprintf(stderr, "usage: SLPrnSupport refresh\n");
    return 2;
}
