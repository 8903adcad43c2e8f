#include "support/xsession.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace testsupport {

std::string gameBinary() {
    const char* bin = std::getenv("TARNWICK_BIN");
    return bin != nullptr && bin[0] != '\0' ? bin : std::string(TARNWICK_BINARY_DIR) + "/tarnwick";
}

bool xSessionPossible() {
    if (!std::filesystem::exists(gameBinary())) return false;
    for (const char* tool : {"xvfb-run", "xdotool", "xwd", "xdpyinfo"})
        if (std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) != 0)
            return false;
    return true;
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Session runXSession(const std::string& name, const std::string& body, const std::string& screen) {
    Session s;
    s.dir = scratchDir("x-" + name);
    for (const char* sub : {"/data", "/run"}) std::filesystem::create_directories(s.dir + sub);
    const std::string script = s.dir + "/session.sh";
    std::ofstream(script) << "unset SDL_VIDEODRIVER SDL_RENDER_DRIVER WAYLAND_DISPLAY "
                             "PLUMBRIX_SCREEN PLUMBRIX_STATS\nexport SDL_AUDIODRIVER=dummy TARNWICK_BIN='"
                          << gameBinary() << "' OUT='" << s.dir << "' XDG_DATA_HOME='" << s.dir
                          << "/data' XDG_RUNTIME_DIR='" << s.dir << "/run'\nsource '"
                          << TARNWICK_SOURCE_DIR << "/tests/blackbox/lib.sh'\n"
                          << "wait_display || exit 90\n" << body << "\n";
    const std::string logPath = s.dir + "/session.log";
    const std::string cmd = "xvfb-run -a -s '-screen 0 " + screen + "x24' bash '" + script +
                            "' >'" + logPath + "' 2>&1";
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int raw = std::system(cmd.c_str());
        s.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        s.log = readText(logPath);
        // The virtual display itself failed to come up: try again on another number.
        if (s.log.find("Xvfb failed to start") == std::string::npos && s.status != 90) break;
        sleep(1);
    }
    return s;
}

Frame loadXwd(const std::string& path) {
    Frame f;
    const std::string data = readText(path);
    const auto* p = reinterpret_cast<const unsigned char*>(data.data());
    if (data.size() < 100) return f;
    const auto be32 = [p](int at) {
        return std::uint32_t{p[at]} << 24 | std::uint32_t{p[at + 1]} << 16 |
               std::uint32_t{p[at + 2]} << 8 | std::uint32_t{p[at + 3]};
    };
    const std::uint32_t w = be32(16), h = be32(20), msbFirst = be32(28), line = be32(48);
    // A 24-bit screen may come packed three bytes a pixel, with padded lines.
    const std::uint32_t bytes = be32(44) / 8;
    const size_t start = be32(0) + size_t{be32(76)} * 12;  // header, then the colour map
    if (w == 0 || h == 0 || w > 10000 || h > 10000 || (bytes != 3 && bytes != 4) ||
        line < w * bytes || data.size() < start + size_t{line} * h)
        return f;
    f.w = static_cast<int>(w);
    f.h = static_cast<int>(h);
    f.px.resize(size_t{w} * h);
    for (size_t y = 0; y < h; ++y)
        for (size_t x = 0; x < w; ++x) {
            const unsigned char* q = p + start + y * line + x * bytes;
            std::uint32_t v = 0;
            for (std::uint32_t b = 0; b < bytes; ++b)
                v |= std::uint32_t{q[msbFirst ? bytes - 1 - b : b]} << (8 * b);
            f.px[y * w + x] = 0xFF000000u | (v & 0xFFFFFF);
        }
    return f;
}

}  // namespace testsupport
