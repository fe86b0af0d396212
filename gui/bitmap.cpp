#include "gui/bitmap.h"

#include "gui/draw_context.h"
#include "gui/resources.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {
struct PngReader {
    const unsigned char* data;
    unsigned long size;
    unsigned long position;
};

cairo_status_t readPng(void* closure, unsigned char* out, unsigned int length) {
    auto* reader = static_cast<PngReader*>(closure);
    if (length > reader->size - reader->position) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(out, reader->data + reader->position, length);
    reader->position += length;
    return CAIRO_STATUS_SUCCESS;
}

cairo_surface_t* decode(const EmbeddedResource* resource) {
    if (!resource || !resource->data || resource->size == 0) return nullptr;
    PngReader reader{resource->data, resource->size, 0};
    cairo_surface_t* image = cairo_image_surface_create_from_png_stream(readPng, &reader);
    if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(image);
        return nullptr;
    }
    return image;
}
} // namespace

CBitmap::CBitmap(long number) : resourceNumber(number) {
    char name[32];
    std::snprintf(name, sizeof name, "bmp%05ld.png", number);
    image = decode(findEmbeddedResource(name));
    if (image) {
        width = cairo_image_surface_get_width(image);
        height = cairo_image_surface_get_height(image);
    }
}

CBitmap::~CBitmap() {
    if (keyedImage) cairo_surface_destroy(keyedImage);
    if (image) cairo_surface_destroy(image);
}

void CBitmap::setTransparentColor(const CColor& color) {
    if (color == transparentColor) return;
    transparentColor = color;
    if (keyedImage) {
        cairo_surface_destroy(keyedImage);
        keyedImage = nullptr;
    }
}

void CBitmap::draw(CDrawContext* context, const CRect& destination, const CPoint& offset) {
    paint(context, image, destination, offset);
}

void CBitmap::drawTransparent(CDrawContext* context, const CRect& destination,
                              const CPoint& offset) {
    if (!image) return;
    if (!keyedImage) {
        // A copy of the picture in which every pixel of the transparent colour is clear.
        cairo_surface_t* copy = cairo_image_surface_create(
            CAIRO_FORMAT_ARGB32, static_cast<int>(width), static_cast<int>(height));
        if (cairo_surface_status(copy) != CAIRO_STATUS_SUCCESS) {
            cairo_surface_destroy(copy);
            return;
        }
        cairo_t* cairo = cairo_create(copy);
        cairo_set_source_surface(cairo, image, 0, 0);
        cairo_set_operator(cairo, CAIRO_OPERATOR_SOURCE);
        cairo_paint(cairo);
        cairo_destroy(cairo);
        cairo_surface_flush(copy);
        const std::uint32_t key = 0xFF000000u | (std::uint32_t{transparentColor.red} << 16) |
                                  (std::uint32_t{transparentColor.green} << 8) |
                                  transparentColor.blue;
        unsigned char* pixels = cairo_image_surface_get_data(copy);
        const int stride = cairo_image_surface_get_stride(copy);
        for (CCoord y = 0; y < height; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(pixels + y * stride);
            for (CCoord x = 0; x < width; ++x) {
                if (row[x] == key) row[x] = 0;
            }
        }
        cairo_surface_mark_dirty(copy);
        keyedImage = copy;
    }
    paint(context, keyedImage, destination, offset);
}

void CBitmap::paint(CDrawContext* context, cairo_surface_t* source, const CRect& destination,
                    const CPoint& offset) {
    if (!context || !source || destination.isEmpty()) return;
    cairo_t* cairo = context->getCairo();
    cairo_save(cairo);
    cairo_rectangle(cairo, static_cast<double>(destination.left),
                    static_cast<double>(destination.top), static_cast<double>(destination.width()),
                    static_cast<double>(destination.height()));
    cairo_clip(cairo);
    cairo_set_source_surface(cairo, source, static_cast<double>(destination.left - offset.h),
                             static_cast<double>(destination.top - offset.v));
    cairo_paint(cairo);
    cairo_restore(cairo);
}
