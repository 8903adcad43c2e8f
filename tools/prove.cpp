// Plays every campaign level with the test bot over a fixed set of seeds and reports what
// it won, the difficulty curve per block of ten and how long arcade runs last.
//   tarnwick_prove [--seeds N] [--arcade N] [--arcade-shots N] [--levels A-B] [--out FILE]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>

#include "bot/prove.h"

int main(int argc, char** argv) {
    testsupport::ProveOptions o;
    const char* outPath = nullptr;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (!std::strcmp(argv[i], "--seeds") && hasValue) {
            o.seeds = std::atoi(argv[++i]);
        } else if (!std::strcmp(argv[i], "--arcade") && hasValue) {
            o.arcadeSeeds = std::atoi(argv[++i]);
        } else if (!std::strcmp(argv[i], "--arcade-shots") && hasValue) {
            o.arcadeShots = std::atoi(argv[++i]);
        } else if (!std::strcmp(argv[i], "--levels") && hasValue &&
                   std::sscanf(argv[i + 1], "%d-%d", &o.firstLevel, &o.lastLevel) == 2) {
            --o.firstLevel;  // levels are numbered from 1 as players see them
            --o.lastLevel;
            ++i;
        } else if (!std::strcmp(argv[i], "--out") && hasValue) {
            outPath = argv[++i];
        } else {
            std::fprintf(stderr,
                         "usage: %s [--seeds N] [--arcade N] [--arcade-shots N] [--levels A-B] [--out FILE]\n",
                         argv[0]);
            return 2;
        }
    }
    const int levels = o.lastLevel - o.firstLevel + 1;
    if (!outPath) return testsupport::proveAll(std::cout, o) == levels ? 0 : 1;
    std::ofstream f(outPath);
    if (!f) {
        std::fprintf(stderr, "cannot write %s\n", outPath);
        return 2;
    }
    const int won = testsupport::proveAll(f, o);
    std::printf("won %d/%d\n", won, levels);
    return won == levels ? 0 : 1;
}
