#include "support/soft_gpu.h"

#include <filesystem>

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

std::uint32_t SoftGpu::pixel(int x, int y) const {
    if (!surface_ || x < 0 || y < 0 || x >= surface_->w || y >= surface_->h) return 0;
    const auto* row = static_cast<const std::uint8_t*>(surface_->pixels) + y * surface_->pitch;
    return reinterpret_cast<const std::uint32_t*>(row)[x];
}

bool SoftGpu::savePng(const std::string& path, const std::function<void(cairo_t*)>& overlay) {
    if (!surface_) return false;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    cairo_surface_t* cs = cairo_image_surface_create_for_data(
        static_cast<unsigned char*>(surface_->pixels), CAIRO_FORMAT_ARGB32, surface_->w,
        surface_->h, surface_->pitch);
    if (overlay) {
        cairo_t* cr = cairo_create(cs);
        overlay(cr);
        cairo_destroy(cr);
    }
    cairo_surface_flush(cs);
    const bool ok = cairo_surface_write_to_png(cs, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(cs);
    return ok;
}

}  // namespace testsupport
