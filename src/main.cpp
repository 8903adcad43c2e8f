// Tarnwick's entry point. For now it answers the command line; the window and frame loop
// join it as the application shell grows.
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kDisplayName = "Tarnwick";
constexpr const char* kVersion = "1.0.0";
constexpr int kBuild = 1034;

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s %s (Build %d)\n", kDisplayName, kVersion, kBuild);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0) {
            std::printf(
                "%s %s\n  --version    Version ausgeben\n  --fullscreen im Vollbild starten\n"
                "  --windowed   im Fenster starten\n  --size BxH   mit dieser Fenstergroesse "
                "starten\n",
                kDisplayName, kVersion);
            return 0;
        }
    }
    std::printf("%s %s (Build %d)\n", kDisplayName, kVersion, kBuild);
    return 0;
}
