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
    // Each signal's line, and the last screen when one was set. Before any screen was built
    // there is no "Zuletzt: " line. The default action still runs (139 from a shell).
    const std::string dir = testsupport::freshDir("crash-signals");
    const struct {
        int sig;
        const char *line, *context;
    } cases[] = {
        {SIGSEGV, "SIGSEGV (Zugriff auf fremden Speicher)\n",
         "Bildschirm 3, Level 5, Seed 77, Level-Modus"},
        {SIGTRAP, "SIGTRAP (fataler GLib-Fehler — fehlt eine Ressource?)\n", nullptr},
        {SIGBUS, "SIGBUS (Busfehler)\n", nullptr},
    };
    for (const auto& c : cases) {
        const int status = inChild([&] {
            setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
            platform::installCrashHandler();
            if (c.context) platform::setCrashContext(c.context);
            std::raise(c.sig);
        });
        ASSERT_TRUE(WIFSIGNALED(status)) << c.line;
        EXPECT_EQ(WTERMSIG(status), c.sig);
        EXPECT_EQ(testsupport::readBytes(dir + "/Plumbrix_crash.txt"),
                  std::string(kHeader) + "Signal: " + c.line +
                      (c.context ? "Zuletzt: " + std::string(c.context) + "\n" : "") + kFooter);
    }

    // An empty XDG_RUNTIME_DIR counts as unset: the report goes to the data directory.
    const std::string data = testsupport::freshDir("crash-data");
    const int status = inChild([&] {
        setenv("XDG_RUNTIME_DIR", "", 1);
        setenv("XDG_DATA_HOME", data.c_str(), 1);
        platform::installCrashHandler();
        platform::setCrashContext(std::string(200, 'x').c_str());
        platform::setCrashContext("first");
        platform::setCrashContext(nullptr);  // cleared: no context line
        std::raise(SIGABRT);
    });
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(testsupport::readBytes(data + "/Plumbrix/Plumbrix_crash.txt"),
              std::string(kHeader) + "Signal: SIGABRT (abgebrochen)\n" + kFooter);

    // A long context is cut to 120 bytes.
    platform::setCrashContext(std::string(200, 'y').c_str());
    EXPECT_EQ(std::string(platform::crashContext()), std::string(120, 'y'));
    platform::setCrashContext(nullptr);
    EXPECT_STREQ(platform::crashContext(), "");

    // An unwritable place writes nothing and still dies by the signal.
    const int lost = inChild([&] {
        setenv("XDG_RUNTIME_DIR", "/nonexistent/for/sure", 1);
        platform::installCrashHandler();
        std::raise(SIGFPE);
    });
    ASSERT_TRUE(WIFSIGNALED(lost));
    EXPECT_EQ(WTERMSIG(lost), SIGFPE);
}
