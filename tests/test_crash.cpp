// Crash reports: each case crashes a forked child and reads what it left behind.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <functional>
#include <string>

#include "platform/crash.h"
#include "support/tmpdir.h"

namespace {

const char kHeader[] =
    "Tarnwick 1.0.0 (Build 1034)\nportiert aus 1.0\n-----------------------------------------\n";
const char kFooter[] =
    "\nDiese Datei wird NICHT verschickt. Wenn du magst, schick sie an\n"
    "support@tarnwick.example — daraus laesst sich der Fehler finden.\n";

// Runs body in a child and returns its raw wait status.
int inChild(const std::function<void()>& body) {
    const pid_t pid = fork();
    if (pid == 0) {
        body();
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

}  // namespace

TEST(Crash, SignalLinesContextRulesAndReportPlace) {
    // Each signal's line, and the last screen when one was set; an empty XDG_RUNTIME_DIR
    // counts as unset (the report goes to the data directory), and a cleared context leaves
    // no "Zuletzt: " line. The default action still runs; an unwritable place writes nothing.
    const std::string run = testsupport::freshDir("crash-run"),
                      data = testsupport::freshDir("crash-data");
    const struct {
        int sig;
        const char *runtimeDir, *line, *context, *report;
    } cases[] = {
        {SIGSEGV, run.c_str(), "SIGSEGV (Zugriff auf fremden Speicher)",
         "Bildschirm 3, Level 5, Seed 77, Level-Modus", "/Plumbrix_crash.txt"},
        {SIGTRAP, run.c_str(), "SIGTRAP (fataler GLib-Fehler — fehlt eine Ressource?)", nullptr,
         "/Plumbrix_crash.txt"},
        {SIGABRT, "", "SIGABRT (abgebrochen)", nullptr, "/Plumbrix/Plumbrix_crash.txt"},
        {SIGFPE, "/nonexistent/for/sure", nullptr, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        const int status = inChild([&] {
            setenv("XDG_RUNTIME_DIR", c.runtimeDir, 1);
            setenv("XDG_DATA_HOME", data.c_str(), 1);
            platform::installCrashHandler();
            platform::setCrashContext(c.context ? c.context : "cleared before the crash");
            if (!c.context) platform::setCrashContext(nullptr);
            std::raise(c.sig);
        });
        ASSERT_TRUE(WIFSIGNALED(status)) << c.sig;
        EXPECT_EQ(WTERMSIG(status), c.sig);
        if (c.report == nullptr) continue;
        EXPECT_EQ(testsupport::readBytes((*c.runtimeDir ? run : data) + c.report),
                  std::string(kHeader) + "Signal: " + c.line + "\n" +
                      (c.context ? "Zuletzt: " + std::string(c.context) + "\n" : "") + kFooter);
    }
    platform::setCrashContext(std::string(200, 'y').c_str());  // cut to 120 bytes
    EXPECT_EQ(std::string(platform::crashContext()), std::string(120, 'y'));
}
