// A texture cache bound to SDL's software renderer drawing into a memory surface: real
// blits and real pixels without a window or a display.
#pragma once

#include <SDL.h>

#include <cairo.h>

#include <cstdint>
#include <functional>
#include <string>

namespace testsupport {

class SoftGpu {
public:
    SoftGpu(int w = 256, int h = 256);
    ~SoftGpu();
    SoftGpu(const SoftGpu&) = delete;
    SoftGpu& operator=(const SoftGpu&) = delete;

    SDL_Renderer* renderer() const { return ren_; }
    // Clears the surface to transparent black and starts a new frame of the cache.
    void clear();
    // 0xAARRGGBB of the pixel at (x, y) of the surface.
    std::uint32_t pixel(int x, int y) const;
    // Lets overlay paint with cairo on top of the surface, then writes it as a PNG
    // (folders are made as needed). False when the file could not be written.
    bool savePng(const std::string& path, const std::function<void(cairo_t*)>& overlay = {});

private:
    SDL_Surface* surface_ = nullptr;
    SDL_Renderer* ren_ = nullptr;
};

// Byte helpers for 0xAARRGGBB values.
inline int alphaOf(std::uint32_t p) { return static_cast<int>((p >> 24) & 0xFF); }
inline int redOf(std::uint32_t p) { return static_cast<int>((p >> 16) & 0xFF); }
inline int greenOf(std::uint32_t p) { return static_cast<int>((p >> 8) & 0xFF); }
inline int blueOf(std::uint32_t p) { return static_cast<int>(p & 0xFF); }

}  // namespace testsupport
