// Black-box sessions: a bash script that drives the real game binary on a virtual X display
// (xvfb-run -a, so parallel runs never share one) with the helpers of tests/blackbox/lib.sh.
#pragma once

#include <string>

#include "support/headless.h"

namespace testsupport {

struct Session {
    int status = -1;  // exit status of the script
    std::string dir;  // the session folder: $OUT of the script
    std::string log;  // everything the script printed
};

// True when the game binary (TARNWICK_BIN or the build's), xvfb-run, xdotool, xwd and
// xdpyinfo are all there.
bool xSessionPossible();
std::string gameBinary();

// Runs body once the display answers, on a fresh virtual screen; the game's data and crash
// files go to $OUT/data and $OUT/run. A virtual display that fails to start is retried.
Session runXSession(const std::string& name, const std::string& body,
                    const std::string& screen = "1280x1024");

// A screenshot written by lib.sh's `shot`, and the whole text of a file; empty when unreadable.
Frame loadXwd(const std::string& path);
std::string readText(const std::string& path);

}  // namespace testsupport
