#include "theme.h"

#include <algorithm>
#include <cmath>

#include "core/levels.h"

namespace theme {

namespace {

int positiveMod(int v, int m) {
    const int r = v % m;
    return r < 0 ? r + m : r;
}

std::vector<World> buildWorlds() {
    std::vector<World> w(5);
    w[0] = {"candy",
            "Candy",
            "worlds.candy",
            0xFFD9E6,
            {0xFFB98A, 0xFF7FA8, 0xEC4F8A, 0xA92E63},
            0xFF9EC0,
            0xFFE3EE,
            0xFF4F9A,
            0x6E1C48,
            {0xFF5FA3, 0xFF9E6B, 0xFFD166, 0xC77DFF, 0xFF2E88},
            MarbleSkin::Bubble,
            {0xFF4D6D, 0xDB6A04, 0xFFE04D, 0x4DD97A, 0x4DC6FF, 0x9B6DFF, 0xFF80C8, 0x51E1C5,
             0xFBBF24, 0xA855F7, 0xFB7185, 0xFACC15, 0x29D39B, 0x60A5FA, 0xF472B6},
            {0xFFD0E0, 0xFFE8A8, 0xFFC070, 0xFF5FA3, 0x9B6DFF},
            false};
    w[1] = {"tropical",
            "Tropical",
            "worlds.tropical",
            0xFFDCAE,
            {0xFFCF56, 0xFF9440, 0xF04E5F, 0x7C2A68},
            0xFFAB6E,
            0xFFE8CD,
            0xFF7A1F,
            0x6B2338,
            {0xFFB703, 0xFF6D00, 0xEF476F, 0x9B2C6F, 0xFFD60A},
            MarbleSkin::Bubble,
            {0xFF7043, 0xDB6A04, 0xFFE04D, 0x4DD97A, 0x4DC6FF, 0xFF4069, 0xFF80C8, 0x9B6DFF,
             0xFB7185, 0xFACC15, 0xE1B200, 0x29D39B, 0xA855F7, 0xEC4899, 0xF97316},
            {0xFFC090, 0xFFD28A, 0xFF8A5C, 0xFF4D6D, 0xFFE04D},
            false};
    w[2] = {"galaxy",
            "Galaxy",
            "worlds.galaxy",
            0x241543,
            {0x06020F, 0x150A30, 0x3A1268, 0x8E24AA},
            0x5B2F96,
            0x2A1650,
            0xB44DF0,
            0x0D0620,
            {0xB44DF0, 0x5DFFE0, 0xFFD700, 0xFF5FA3, 0x4DC6FF},
            MarbleSkin::Crystal,
            {0xFF5FA3, 0x5DFFE0, 0xFFD700, 0x9B6DFF, 0x4DC6FF, 0xFF80C8, 0xA855F7, 0xFF7A1F,
             0x60A5FA, 0xE760A7, 0x29D39B, 0xFB7185, 0xE0BB00, 0xA78BFA, 0x22D3EE},
            {0x4A2C7C, 0x6A3C9C, 0xA55CD4, 0xFF5FA3, 0xFFD700},
            true};
    w[3] = {"forest",
            "Forest",
            "worlds.forest",
            0xC9EEC9,
            {0x86DD55, 0x3CB054, 0x177243, 0x0A452A},
            0x6FCE85,
            0xDDF5E0,
            0x35C465,
            0x0C3A24,
            {0x57CC5F, 0xC8E64A, 0xFFD23F, 0xE05252, 0x1F8A4C},
            MarbleSkin::Bubble,
            {0x4DD97A, 0x29D39B, 0xA3E635, 0xFFBE18, 0xFB7185, 0x9B6DFF, 0x4DC6FF, 0xFF80C8,
             0xDB6A04, 0x2DD4BF, 0xFFD52F, 0x60A5FA, 0xF472B6, 0x18C558, 0x84CC16},
            {0xA8E0B8, 0x88C898, 0x5FB070, 0x4DD97A, 0xFBBF24},
            false};
    w[4] = {"underwater",
            "Underwater",
            "worlds.underwater",
            0xB2E6F5,
            {0x5FF2DF, 0x23C3DE, 0x0F7CC4, 0x083A8A},
            0x5CC4E8,
            0xD2F0FA,
            0x1FB6FF,
            0x062F66,
            {0x35E0C8, 0x2FA8EE, 0xFFB84D, 0xFF6F91, 0x0A4D8F},
            MarbleSkin::Bubble,
            {0x4DC6FF, 0x2DD4BF, 0x5DFFE0, 0x9B6DFF, 0xF27ACA, 0xFBBF24, 0x4DD97A, 0xFF5FA3,
             0xA855F7, 0x60A5FA, 0x22D3EE, 0xFACC15, 0x29D39B, 0xF472B6, 0xFB7185},
            {0x8ACCE0, 0x5FB0D0, 0x4DC6FF, 0x2DD4BF, 0xFFD700},
            false};
    return w;
}

}  // namespace

const std::vector<World>& allWorlds() {
    static const std::vector<World> worlds = buildWorlds();
    return worlds;
}

const World& worldForStage(int stage0Based) {
    return allWorlds()[static_cast<std::size_t>(std::clamp(stage0Based / 2, 0, 4))];
}

const World& worldForLevel(int flatLevel) {
    return allWorlds()[static_cast<std::size_t>(positiveMod(flatLevel, 5))];
}

int stageForLevel(int flatLevel) { return 2 * positiveMod(flatLevel, 5); }

std::vector<std::uint32_t> paletteForLevel(int flatLevel) {
    const core::LevelConfig cfg = core::levelConfig(flatLevel);
    const std::vector<std::uint32_t>& colours = worldForLevel(flatLevel).marbleColors;
    const int n = static_cast<int>(colours.size());
    const int k = positiveMod(cfg.paletteOffset, n);
    std::vector<std::uint32_t> out;
    out.reserve(colours.size());
    for (int i = 0; i < n; ++i) out.push_back(colours[static_cast<std::size_t>((i + k) % n)]);
    return out;
}

std::uint32_t mix(std::uint32_t a, std::uint32_t b, double t) {
    // NaN counts as 0: a colour never comes out of an undefined amount.
    t = std::isnan(t) ? 0.0 : std::clamp(t, 0.0, 1.0);
    std::uint32_t out = 0;
    for (int shift = 16; shift >= 0; shift -= 8) {
        const double ca = static_cast<double>((a >> shift) & 0xFFu);
        const double cb = static_cast<double>((b >> shift) & 0xFFu);
        const double v = std::round(ca + (cb - ca) * t);
        out |= static_cast<std::uint32_t>(std::clamp(v, 0.0, 255.0)) << shift;
    }
    return out;
}

double luminance(std::uint32_t rgb) {
    return 0.2126 * static_cast<double>((rgb >> 16) & 0xFFu) / 255.0 +
           0.7152 * static_cast<double>((rgb >> 8) & 0xFFu) / 255.0 +
           0.0722 * static_cast<double>(rgb & 0xFFu) / 255.0;
}

std::uint32_t lighten(std::uint32_t rgb, double amount) { return mix(rgb, 0xFFFFFF, amount); }

std::uint32_t darken(std::uint32_t rgb, double amount) { return mix(rgb, 0x000000, amount); }

}  // namespace theme
