// A texture cache bound to SDL's software renderer drawing into memory: real blits, no window.
#pragma once

#include <SDL.h>

#include "support/headless.h"

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
    Frame image() const;  // ARGB8888

  private:
    SDL_Surface* surface_ = nullptr;
    SDL_Renderer* ren_ = nullptr;
};

}  // namespace testsupport
