#include "support/soft_gpu.h"

#include "ui/gpu.h"

namespace testsupport {

SoftGpu::SoftGpu(int w, int h) {
    surface_ = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
    if (surface_) ren_ = SDL_CreateSoftwareRenderer(surface_);
    ui::gpuInit(ren_);
    ui::gpuSetScale(1.0);
    clear();
}

SoftGpu::~SoftGpu() {
    ui::gpuShutdown();
    if (ren_) SDL_DestroyRenderer(ren_);
    if (surface_) SDL_FreeSurface(surface_);
}

void SoftGpu::clear() {
    if (ren_) {
        SDL_SetRenderDrawBlendMode(ren_, SDL_BLENDMODE_NONE);
        SDL_SetRenderDrawColor(ren_, 0, 0, 0, 0);
        SDL_RenderClear(ren_);
    }
    ui::gpuBeginFrame();
}

Frame SoftGpu::image() const {
    Frame f{surface_ ? surface_->w : 0, surface_ ? surface_->h : 0, {}};
    for (int y = 0; y < f.h; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(
            static_cast<const std::uint8_t*>(surface_->pixels) + y * surface_->pitch);
        f.px.insert(f.px.end(), row, row + f.w);
    }
    return f;
}

}  // namespace testsupport
