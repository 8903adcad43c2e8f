// The five visual worlds (colours, marble skin and palettes) and the small colour helpers
// every painter uses. Colours are 0xRRGGBB in a uint32.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace theme {

// How a marble is painted on top of its common body and gloss.
enum class MarbleSkin : int { Classic = 0, Bubble = 1, Crystal = 2 };

struct World {
    std::string id;       // "candy", "tropical", "galaxy", "forest", "underwater"
    std::string name;     // English name
    std::string nameKey;  // translation key of the name
    std::uint32_t bg = 0;
    std::vector<std::uint32_t> bgGradient;  // four stops, top to bottom
    std::uint32_t glassTint = 0;
    std::uint32_t panelTint = 0;
    std::uint32_t glowColor = 0;
    std::uint32_t boardTint = 0;
    std::vector<std::uint32_t> sceneryPalette;  // five colours
    MarbleSkin marbleSkin = MarbleSkin::Classic;
    std::vector<std::uint32_t> marbleColors;  // fifteen colours
    std::vector<std::uint32_t> shapePalette;  // five colours
    bool dark = false;  // light text and decorations belong on it
};

// The five worlds in order candy, tropical, galaxy, forest, underwater; built once.
const std::vector<World>& allWorlds();
// Worlds come in pairs of stages (blocks of ten levels): index clamp(stage / 2, 0, 4).
const World& worldForStage(int stage0Based);
// Campaign levels take the worlds in turn: index flatLevel mod 5, also for negative levels.
const World& worldForLevel(int flatLevel);
// The stage whose world equals worldForLevel(flatLevel): 2 x (flatLevel mod 5).
int stageForLevel(int flatLevel);
// The level's fifteen marble colours: its world's list rotated left by the level's palette
// offset, so neighbouring levels of one world show different colour sets.
std::vector<std::uint32_t> paletteForLevel(int flatLevel);

// The colour a fraction t (clamped to 0..1) of the way from a to b, rounded per byte.
std::uint32_t mix(std::uint32_t a, std::uint32_t b, double t);
// Relative brightness in 0..1 of the raw bytes (no gamma).
double luminance(std::uint32_t rgb);
// mix towards white, or towards black, by amount.
std::uint32_t lighten(std::uint32_t rgb, double amount);
std::uint32_t darken(std::uint32_t rgb, double amount);

}  // namespace theme
