#include "platform/crash.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "platform/paths.h"
#include "version.h"

namespace platform {
namespace {

// Everything the handler writes is prepared here beforehand: inside the handler only
// open, write, close, signal and raise are safe.
char g_path[512];
char g_header[512];
int g_headerLen = 0;
char g_context[192];
volatile std::sig_atomic_t g_ready = 0;

constexpr char kFooter[] =
    "\nDiese Datei wird NICHT verschickt. Wenn du magst, schick sie an\n"
    "support@tarnwick.example — daraus laesst sich der Fehler finden.\n";

int textLength(const char* s) {
    int n = 0;
    while (s[n] != '\0') ++n;
    return n;
}

// Writes all of a piece unless a write fails or stalls; then that piece ends early.
void writeAll(int fd, const char* data, int len) {
    while (len > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(len));
        if (n < 1) return;
        data += n;
        len -= static_cast<int>(n);
    }
}

const char* signalLine(int sig) {
    switch (sig) {
        case SIGILL:
            return "SIGILL (unerlaubter Befehl)\n";
        case SIGTRAP:
            return "SIGTRAP (fataler GLib-Fehler — fehlt eine Ressource?)\n";
        case SIGABRT:
            return "SIGABRT (abgebrochen)\n";
        case SIGBUS:
            return "SIGBUS (Busfehler)\n";
        case SIGFPE:
            return "SIGFPE (Rechenfehler)\n";
        case SIGSEGV:
            return "SIGSEGV (Zugriff auf fremden Speicher)\n";
        default:
            return "unbekanntes Signal\n";
    }
}

void onFatalSignal(int sig) {
    if (g_ready) {
        const int fd = ::open(g_path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            writeAll(fd, g_header, g_headerLen);
            static constexpr char kSignal[] = "Signal: ";
            writeAll(fd, kSignal, sizeof kSignal - 1);
            const char* line = signalLine(sig);
            writeAll(fd, line, textLength(line));
            if (g_context[0] != '\0') {
                static constexpr char kLast[] = "Zuletzt: ";
                writeAll(fd, kLast, sizeof kLast - 1);
                writeAll(fd, g_context, textLength(g_context));
                writeAll(fd, "\n", 1);
            }
            writeAll(fd, kFooter, sizeof kFooter - 1);
            ::close(fd);
        }
    }
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

}  // namespace

void installCrashHandler() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const char* dir =
        (runtime != nullptr && runtime[0] != '\0') ? runtime : paths::dataDir().c_str();
    std::snprintf(g_path, sizeof g_path, "%s/%s_crash.txt", dir, "Plumbrix");
    const int n = std::snprintf(
        g_header, sizeof g_header,
        "%s %s (Build %d)\nportiert aus %s\n-----------------------------------------\n",
        version::kDisplayName, version::kVersion, version::kBuild, version::kPortedFrom);
    g_headerLen = n < 0 ? 0 : (n < static_cast<int>(sizeof g_header) ? n : sizeof g_header - 1);
    g_context[0] = '\0';
    g_ready = 1;
    for (int sig : {SIGSEGV, SIGABRT, SIGFPE, SIGILL, SIGBUS, SIGTRAP})
        std::signal(sig, onFatalSignal);
}

void setCrashContext(const char* text) {
    if (text == nullptr) {
        g_context[0] = '\0';
        return;
    }
    std::snprintf(g_context, sizeof g_context, "%.120s", text);
}

const char* crashReportPath() {
    return g_path;
}

const char* crashContext() {
    return g_context;
}

}  // namespace platform
