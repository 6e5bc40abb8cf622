// picture_files.cpp - PNG through a cairo image surface over a copy of the
// picture, PFM by hand (a text header and raw floats).
#include "picture_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace example {

bool WritePng(const std::string& path, const Image& image, std::string& why)
{
    std::unique_ptr<cairo_surface_t, void (*)(cairo_surface_t*)> surface(
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, image.Width(), image.Height()), cairo_surface_destroy);
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
        why = cairo_status_to_string(cairo_surface_status(surface.get()));
        return false;
    }
    cairo_surface_flush(surface.get());
    unsigned char* data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    for (int y = 0; y < image.Height(); ++y) {
        uint32_t* row = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride);
        for (int x = 0; x < image.Width(); ++x) {
            Rgb c = image.Get(x, y);
            row[x] = (uint32_t(c.r) << 16) | (uint32_t(c.g) << 8) | c.b;  // RGB24: 0x00RRGGBB
        }
    }
    cairo_surface_mark_dirty(surface.get());
    return WriteSurfacePng(path, surface.get(), why);
}

bool WriteSurfacePng(const std::string& path, cairo_surface_t* surface, std::string& why)
{
    cairo_surface_flush(surface);
    cairo_status_t status = cairo_surface_write_to_png(surface, path.c_str());
    if (status != CAIRO_STATUS_SUCCESS) {
        why = "cannot write '" + path + "': " + cairo_status_to_string(status);
        return false;
    }
    return true;
}

bool WritePfm(const std::string& path, const std::vector<Vec3>& pixels, int width, int height, std::string& why)
{
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!file) {
        why = "cannot write '" + path + "': " + std::strerror(errno);
        return false;
    }
    std::fprintf(file.get(), "PF\n%d %d\n-1.0\n", width, height);
    static_assert(sizeof(Vec3) == 3 * sizeof(float), "a pixel is three packed floats");
    bool ok = true;
    for (int y = height - 1; y >= 0 && ok; --y)
        ok = std::fwrite(&pixels[static_cast<size_t>(y) * width], sizeof(Vec3), width, file.get()) == size_t(width);
    if (!ok || std::fflush(file.get()) != 0) {
        why = "cannot write '" + path + "': " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace example
