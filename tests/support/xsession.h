// Black-box sessions: a shell script that drives the real game binary on a virtual X
// display (xvfb-run -a, so parallel runs never share a display), with the helpers of
// tests/blackbox/lib.sh, and the screenshots it leaves behind.
#pragma once

#include <string>

#include "support/headless.h"

namespace testsupport {

struct Session {
    int status = -1;  // exit status of the script (the xvfb-run wrapper's status)
    std::string dir;  // the session folder: $OUT of the script
    std::string log;  // everything the script printed
};

// True when the game binary, xvfb-run, xdotool and xwd are all there.
bool xSessionPossible();
// The game binary under test (TARNWICK_BIN).
std::string gameBinary();

// Runs body (bash, with lib.sh sourced and the display awaited) on a fresh virtual screen
// of the given size. The game's data and crash files go to $OUT/data and $OUT/run; a
// virtual display that fails to start is retried.
Session runXSession(const std::string& name, const std::string& body,
                    const std::string& screen = "1280x1024");

// A screenshot written by the `shot` helper, as a frame; empty when unreadable.
Frame loadXwd(const std::string& path);

// The whole text of a file; empty when missing.
std::string readText(const std::string& path);

}  // namespace testsupport
