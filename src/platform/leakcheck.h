// The sanitizer build's leak report, kept to our own allocations. The system libraries
// under the window and the text (the GL driver SDL loads, fontconfig, pango, glib, X) keep
// caches for the life of the process by design; those are left out. Does nothing in an
// ordinary build.
#pragma once

namespace platform {

// Keeps the GL driver loaded for the whole process, so that the leak report can still name
// (and so leave out) what it allocated after SDL unloads it. Call before the first window.
void holdSystemLibraries();

}  // namespace platform
