// CDrawContext: drawing on a cairo surface in the coordinates of the view being
// drawn. Containers move the origin for their children with setOffset, so a
// view always draws in the space of its own size rectangle.
#pragma once

#include "gui/color.h"
#include "gui/geometry.h"

#include <cairo.h>
#include <memory>
#include <vector>

enum CFont {
    kSystemFont,
    kNormalFontVeryBig,
    kNormalFontBig,
    kNormalFont,
    kNormalFontSmall,
    kNormalFontSmaller,
    kNormalFontVerySmall,
    kSymbolFont,
};

enum CHoriTxtAlign { kLeftText, kCenterText, kRightText };

class CFrame;

class CDrawContext {
public:
    // Draws on `surface` (not owned; the caller keeps it alive).
    explicit CDrawContext(cairo_surface_t* surface);
    ~CDrawContext();
    CDrawContext(const CDrawContext&) = delete;
    CDrawContext& operator=(const CDrawContext&) = delete;

    cairo_t* getCairo() const { return cairo; }

    // The origin of the current view, in surface pixels.
    void setOffset(const CPoint& offset);
    CPoint getOffset() const { return offset; }

    // Restricts drawing to `rect` (current coordinates) within the clip so far.
    void setClipRect(const CRect& rect);
    CRect getClipRect() const { return clip; }

    void setFillColor(const CColor& color) { fillColor = color; }
    void setFontColor(const CColor& color) { fontColor = color; }
    void setFont(CFont value) { font = value; }
    CColor getFillColor() const { return fillColor; }
    CColor getFontColor() const { return fontColor; }
    CFont getFont() const { return font; }

    void fillRect(const CRect& rect);
    // A one-pixel outline just inside `rect`.
    void drawRect(const CRect& rect);
    // One line of text in the current font and font colour, centred vertically in `rect`.
    void drawString(const char* text, const CRect& rect, CHoriTxtAlign align = kCenterText);

    // Saves and restores offset, clip and colours around a child's drawing.
    void save();
    void restore();

    // The pixel height of each font (DejaVu Sans).
    static double fontSize(CFont font);

#ifdef TARVEX_RTAS
    // The older generation's context for a frame: draws on the frame's
    // surface (on nothing while the frame is not open) and reads the pointer
    // of its window. This toolkit draws with cairo alone, so neither the
    // system context nor the host window is needed.
    CDrawContext(CFrame* frame, void* systemContext, void* window = nullptr);

    CFrame* getFrame() const {
        return frame;
    }
    // Reads the pointer anew and answers the buttons and modifier keys held now
    // (0 without a frame or once its window is gone).
    long getMouseButtons();
    // Where the pointer was at the last reading of the buttons, in frame coordinates.
    CPoint getMouseLocation() const;
#endif

private:
    struct State {
        CPoint offset;
        CRect clip;
        CColor fillColor, frameColor, fontColor;
        CFont font;
    };
    void applyClip();

    cairo_t* cairo = nullptr;
    CPoint offset;
    CRect clip;
    CColor fillColor = kBlackCColor;
    CColor frameColor = kBlackCColor;
    CColor fontColor = kWhiteCColor;
    CFont font = kNormalFont;
    std::vector<State> saved;
#ifdef TARVEX_RTAS
    struct SurfaceDeleter {
        void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
    };
    CFrame* frame = nullptr;
    // Stands in while the frame has none; freed after the cairo context.
    std::unique_ptr<cairo_surface_t, SurfaceDeleter> ownSurface;
#endif
};
