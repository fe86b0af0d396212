// The cairo regions a frame gathers the areas to redraw and to show in.
#pragma once

#include "gui/geometry.h"

#include <cairo.h>

// Adds `rect` cut to `bounds` (the frame, whose sides fit an int) to `region`.
inline void addRect(cairo_region_t* region, CRect rect, const CRect& bounds) {
    rect.bound(bounds);
    if (rect.isEmpty()) return;
    const cairo_rectangle_int_t r{static_cast<int>(rect.left), static_cast<int>(rect.top),
                                  static_cast<int>(rect.width()), static_cast<int>(rect.height())};
    cairo_region_union_rectangle(region, &r);
}

inline CRect rectOf(const cairo_region_t* region, int index) {
    cairo_rectangle_int_t r;
    cairo_region_get_rectangle(region, index, &r);
    return CRect(r.x, r.y, CCoord{r.x} + r.width, CCoord{r.y} + r.height);
}

// Frees a region when it goes out of scope.
struct RegionHolder {
    cairo_region_t* region;
    ~RegionHolder() { cairo_region_destroy(region); }
};
