#include "platform/leakcheck.h"

#if defined(__SANITIZE_ADDRESS__)
#include <dlfcn.h>

#include <initializer_list>

extern "C" const char* __lsan_default_suppressions() {
    return "leak:libSDL2\n"
           "leak:swrast_dri\n"
           "leak:libEGL_mesa\n"
           "leak:libGLX_mesa\n"
           "leak:libglapi\n"
           "leak:libGLX\n"
           "leak:libEGL\n"
           "leak:libLLVM\n"
           "leak:libfontconfig\n"
           "leak:libpango\n"
           "leak:libharfbuzz\n"
           "leak:libfreetype\n"
           "leak:libglib\n"
           "leak:libgobject\n"
           "leak:libcairo\n"
           "leak:libX11\n"
           "leak:libxcb\n"
           "leak:libdbus\n";
}
#endif

namespace platform {

void holdSystemLibraries() {
#if defined(__SANITIZE_ADDRESS__)
    static const bool held = [] {
        for (const char* lib : {"libEGL_mesa.so.0", "libGLX_mesa.so.0",
                                "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so"})
            dlopen(lib, RTLD_NOW | RTLD_GLOBAL | RTLD_NODELETE);
        return true;
    }();
    (void)held;
#endif
}

}  // namespace platform
