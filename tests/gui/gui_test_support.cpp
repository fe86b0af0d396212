#include "gui_test_support.h"

#include <cstdio>
#include <map>
#include <mutex>
#include <string>

namespace {
struct Image {
    std::string name;
    std::vector<unsigned char> bytes;
    EmbeddedResource resource{};
};

std::mutex imagesMutex;
std::map<std::string, Image>& images() {
    static std::map<std::string, Image> all;
    return all;
}

std::string imageName(long number) {
    char name[32];
    std::snprintf(name, sizeof name, "bmp%05ld.png", number);
    return name;
}

cairo_status_t appendPng(void* closure, const unsigned char* data, unsigned int length) {
    auto* out = static_cast<std::vector<unsigned char>*>(closure);
    out->insert(out->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}
} // namespace

// The test program's images, in place of the toolkit's empty default.
const EmbeddedResource* findEmbeddedResource(const char* name) {
    std::lock_guard<std::mutex> lock(imagesMutex);
    auto found = images().find(name ? name : "");
    return found == images().end() ? nullptr : &found->second.resource;
}

namespace guitest {

CColor frameColor(int k) {
    return CColor{static_cast<unsigned char>(40 * (k + 1) % 256), static_cast<unsigned char>(k * 3),
                  static_cast<unsigned char>(200 - k), 255};
}

void addRawImage(long number, std::vector<unsigned char> bytes) {
    std::lock_guard<std::mutex> lock(imagesMutex);
    Image& image = images()[imageName(number)];
    image.name = imageName(number);
    image.bytes = std::move(bytes);
    image.resource = {image.name.c_str(), image.bytes.data(), image.bytes.size()};
}

void addStripImage(long number, int width, int frameHeight, int frames) {
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, frameHeight * frames);
    cairo_t* cairo = cairo_create(surface);
    for (int k = 0; k < frames; ++k) {
        CColor c = frameColor(k);
        cairo_set_source_rgb(cairo, c.red / 255.0, c.green / 255.0, c.blue / 255.0);
        cairo_rectangle(cairo, 0, k * frameHeight, width, frameHeight);
        cairo_fill(cairo);
    }
    cairo_destroy(cairo);
    std::vector<unsigned char> png;
    cairo_surface_write_to_png_stream(surface, appendPng, &png);
    cairo_surface_destroy(surface);
    addRawImage(number, std::move(png));
}

CColor pixelAt(CFrame* frame, CCoord x, CCoord y) {
    cairo_surface_t* surface = frame->getSurface();
    cairo_surface_flush(surface);
    const unsigned char* row =
        cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
    std::uint32_t pixel = reinterpret_cast<const std::uint32_t*>(row)[x];
    return CColor{static_cast<unsigned char>(pixel >> 16), static_cast<unsigned char>(pixel >> 8),
                  static_cast<unsigned char>(pixel), static_cast<unsigned char>(pixel >> 24)};
}

} // namespace guitest
