// Crash reports: a fatal signal leaves a short plain-text file naming the signal and the
// last screen, then the process dies by that signal as it would have anyway. Nothing is
// sent anywhere.
#pragma once

namespace platform {

// Prepares the report path and header and installs the handler for SIGSEGV, SIGABRT,
// SIGFPE, SIGILL, SIGBUS and SIGTRAP. The report goes to $XDG_RUNTIME_DIR when that is set
// and not empty, else to the data directory, as "Plumbrix_crash.txt".
void installCrashHandler();

// Sets the "Zuletzt: " line of a future report to the first 120 bytes of text; null
// clears it. Main thread only.
void setCrashContext(const char* text);

// The prepared report path (empty before installCrashHandler) and the current context.
const char* crashReportPath();
const char* crashContext();

}  // namespace platform
