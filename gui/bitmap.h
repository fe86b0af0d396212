// CBitmap: a reference-counted picture. Made from a resource number, it loads
// the PNG image named "bmp%05d.png" that is built into the module; a number
// with no image, or an image that does not decode, gives the empty bitmap
// (width and height 0, drawing does nothing), so a missing picture never
// stops a window from being built.
//
// Strips: controls with several states keep them as sub-images stacked top to
// bottom in one bitmap; sub-image k starts k x (height of one image) from the top.
#pragma once

#include "gui/color.h"
#include "gui/geometry.h"
#include "gui/reference.h"

#include <cairo.h>

class CDrawContext;

class CBitmap : public CReferenceCounter {
public:
    explicit CBitmap(long resourceNumber);
    ~CBitmap() override;

    long getResourceNumber() const { return resourceNumber; }
    bool isLoaded() const { return image != nullptr; }
    CCoord getWidth() const { return width; }
    CCoord getHeight() const { return height; }

    // Draws the part of the picture that starts at `offset` (picture
    // coordinates) into `destination`, clipped to it; the picture's own alpha
    // blends it over what is already there.
    void draw(CDrawContext* context, const CRect& destination, const CPoint& offset = CPoint());
    // As draw, but pixels of the transparent colour are left out as well.
    void drawTransparent(CDrawContext* context, const CRect& destination,
                         const CPoint& offset = CPoint());

    void setTransparentColor(const CColor& color);
    CColor getTransparentColor() const { return transparentColor; }

    // The decoded picture (null for the empty bitmap).
    cairo_surface_t* getSurface() const { return image; }

private:
    void paint(CDrawContext* context, cairo_surface_t* source, const CRect& destination,
               const CPoint& offset);

    long resourceNumber;
    cairo_surface_t* image = nullptr;
    cairo_surface_t* keyedImage =
        nullptr; // the picture without the transparent colour, made on first use
    CCoord width = 0;
    CCoord height = 0;
    CColor transparentColor = kMagentaCColor;
};
