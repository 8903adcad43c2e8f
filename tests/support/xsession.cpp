#include "support/xsession.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace testsupport {
namespace {

std::uint32_t be32(const unsigned char* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

}  // namespace

std::string gameBinary() {
    const char* bin = std::getenv("TARNWICK_BIN");
    if (bin != nullptr && bin[0] != '\0') return bin;
    return std::string(TARNWICK_BINARY_DIR) + "/tarnwick";
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
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

Session runXSession(const std::string& name, const std::string& body, const std::string& screen) {
    Session s;
    s.dir = scratchDir("x-" + name);
    std::filesystem::create_directories(s.dir + "/data");
    std::filesystem::create_directories(s.dir + "/run");
    const std::string script = s.dir + "/session.sh";
    {
        std::ofstream out(script);
        out << "unset SDL_VIDEODRIVER SDL_RENDER_DRIVER WAYLAND_DISPLAY PLUMBRIX_SCREEN "
               "PLUMBRIX_STATS\n"
            << "export TARNWICK_BIN='" << gameBinary() << "'\n"
            << "export OUT='" << s.dir << "'\n"
            << "export XDG_DATA_HOME='" << s.dir << "/data'\n"
            << "export XDG_RUNTIME_DIR='" << s.dir << "/run'\n"
            << "export SDL_AUDIODRIVER=dummy\n"
            << "source '" << TARNWICK_SOURCE_DIR << "/tests/blackbox/lib.sh'\n"
            << "wait_display || exit 90\n"
            << body << "\n";
    }
    const std::string logPath = s.dir + "/session.log";
    const std::string cmd = "xvfb-run -a -s '-screen 0 " + screen + "x24' bash '" + script +
                            "' >'" + logPath + "' 2>&1";
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int raw = std::system(cmd.c_str());
        s.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        s.log = readText(logPath);
        // The virtual display itself failed to come up: try again on another number.
        const bool noServer =
            s.log.find("Xvfb failed to start") != std::string::npos || s.status == 90;
        if (!noServer) break;
        sleep(1);
    }
    return s;
}

Frame loadXwd(const std::string& path) {
    Frame f;
    const std::string data = readText(path);
    const auto* p = reinterpret_cast<const unsigned char*>(data.data());
    if (data.size() < 100) return f;
    const std::uint32_t headerSize = be32(p);
    const std::uint32_t width = be32(p + 16);
    const std::uint32_t height = be32(p + 20);
    const std::uint32_t byteOrder = be32(p + 28);
    const std::uint32_t bitsPerPixel = be32(p + 44);
    const std::uint32_t bytesPerLine = be32(p + 48);
    const std::uint32_t ncolors = be32(p + 76);
    if (width == 0 || height == 0 || width > 10000 || height > 10000) return f;
    // A 24-bit screen may come packed three bytes a pixel, with padded lines.
    const std::uint32_t bytesPP = bitsPerPixel / 8;
    if ((bytesPP != 3 && bytesPP != 4) || bytesPerLine < width * bytesPP) return f;
    const size_t start = headerSize + static_cast<size_t>(ncolors) * 12;
    if (data.size() < start + static_cast<size_t>(bytesPerLine) * height) return f;
    f.w = static_cast<int>(width);
    f.h = static_cast<int>(height);
    f.px.resize(static_cast<size_t>(width) * height);
    for (std::uint32_t y = 0; y < height; ++y) {
        const unsigned char* row = p + start + static_cast<size_t>(y) * bytesPerLine;
        for (std::uint32_t x = 0; x < width; ++x) {
            const unsigned char* q = row + x * bytesPP;
            std::uint32_t v = 0;
            for (std::uint32_t b = 0; b < bytesPP; ++b) {
                const std::uint32_t byte = byteOrder == 0 ? q[b] : q[bytesPP - 1 - b];
                v |= byte << (8 * b);
            }
            f.px[static_cast<size_t>(y) * width + x] = 0xFF000000u | (v & 0xFFFFFF);
        }
    }
    return f;
}

}  // namespace testsupport
