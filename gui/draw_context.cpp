#include "gui/draw_context.h"

#include <string>

namespace {
// cairo stops drawing altogether after text that is not UTF-8, so bytes that
// do not form UTF-8 sequences are shown as '?'.
std::string validUtf8(const char* text) {
    std::string out;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        int length = *p < 0x80           ? 1
                     : (*p >> 5) == 0x6  ? 2
                     : (*p >> 4) == 0xE  ? 3
                     : (*p >> 3) == 0x1E ? 4
                                         : 0;
        bool ok = length > 0;
        for (int i = 1; ok && i < length; ++i)
            ok = (p[i] & 0xC0) == 0x80;
        if (!ok) {
            out += '?';
            ++p;
            continue;
        }
        out.append(reinterpret_cast<const char*>(p), static_cast<size_t>(length));
        p += length;
    }
    return out;
}

void setSource(cairo_t* cairo, const CColor& color) {
    cairo_set_source_rgba(cairo, color.red / 255.0, color.green / 255.0, color.blue / 255.0,
                          color.alpha / 255.0);
}
} // namespace

CDrawContext::CDrawContext(cairo_surface_t* surface) {
    cairo = cairo_create(surface);
    if (cairo_surface_get_type(surface) == CAIRO_SURFACE_TYPE_IMAGE)
        clip = CRect(0, 0, cairo_image_surface_get_width(surface),
                     cairo_image_surface_get_height(surface));
    else
        clip = CRect(0, 0, 1L << 20, 1L << 20);
    applyClip();
}

CDrawContext::~CDrawContext() {
    cairo_destroy(cairo);
}

void CDrawContext::setOffset(const CPoint& value) {
    clip.offset(offset.h - value.h, offset.v - value.v);
    offset = value;
    applyClip();
}

void CDrawContext::setClipRect(const CRect& rect) {
    clip.bound(rect);
    applyClip();
}

void CDrawContext::applyClip() {
    cairo_reset_clip(cairo);
    cairo_identity_matrix(cairo);
    cairo_translate(cairo, static_cast<double>(offset.h), static_cast<double>(offset.v));
    if (clip.isEmpty()) {
        cairo_rectangle(cairo, 0, 0, 0, 0);
    } else {
        cairo_rectangle(cairo, static_cast<double>(clip.left), static_cast<double>(clip.top),
                        static_cast<double>(clip.width()), static_cast<double>(clip.height()));
    }
    cairo_clip(cairo);
}

void CDrawContext::save() {
    saved.push_back(State{offset, clip, fillColor, frameColor, fontColor, font});
}

void CDrawContext::restore() {
    if (saved.empty()) return;
    const State& state = saved.back();
    offset = state.offset;
    clip = state.clip;
    fillColor = state.fillColor;
    frameColor = state.frameColor;
    fontColor = state.fontColor;
    font = state.font;
    saved.pop_back();
    applyClip();
}

void CDrawContext::fillRect(const CRect& rect) {
    if (rect.isEmpty()) return;
    setSource(cairo, fillColor);
    cairo_rectangle(cairo, static_cast<double>(rect.left), static_cast<double>(rect.top),
                    static_cast<double>(rect.width()), static_cast<double>(rect.height()));
    cairo_fill(cairo);
}

void CDrawContext::drawRect(const CRect& rect) {
    if (rect.isEmpty()) return;
    setSource(cairo, frameColor);
    cairo_set_line_width(cairo, 1.0);
    cairo_rectangle(cairo, static_cast<double>(rect.left) + 0.5,
                    static_cast<double>(rect.top) + 0.5, static_cast<double>(rect.width()) - 1.0,
                    static_cast<double>(rect.height()) - 1.0);
    cairo_stroke(cairo);
}

double CDrawContext::fontSize(CFont value) {
    switch (value) {
    case kNormalFontVeryBig:
        return 18.0;
    case kNormalFontBig:
        return 14.0;
    case kSystemFont:
    case kNormalFont:
        return 12.0;
    case kNormalFontSmall:
        return 11.0;
    case kNormalFontSmaller:
        return 10.0;
    case kNormalFontVerySmall:
        return 9.0;
    case kSymbolFont:
        return 12.0;
    }
    return 12.0;
}

void CDrawContext::drawString(const char* text, const CRect& rect, CHoriTxtAlign align) {
    if (!text || !*text || rect.isEmpty()) return;
    cairo_save(cairo);
    cairo_rectangle(cairo, static_cast<double>(rect.left), static_cast<double>(rect.top),
                    static_cast<double>(rect.width()), static_cast<double>(rect.height()));
    cairo_clip(cairo);
    cairo_select_font_face(cairo, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL,
                           font == kNormalFontVeryBig ? CAIRO_FONT_WEIGHT_BOLD
                                                      : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cairo, fontSize(font));
    const std::string shown = validUtf8(text);
    cairo_text_extents_t extents;
    cairo_text_extents(cairo, shown.c_str(), &extents);
    cairo_font_extents_t fontExtents;
    cairo_font_extents(cairo, &fontExtents);
    double x = static_cast<double>(rect.left) - extents.x_bearing;
    if (align == kCenterText)
        x += (static_cast<double>(rect.width()) - extents.width) / 2.0;
    else if (align == kRightText)
        x += static_cast<double>(rect.width()) - extents.width;
    double y =
        static_cast<double>(rect.top) +
        (static_cast<double>(rect.height()) + fontExtents.ascent - fontExtents.descent) / 2.0;
    setSource(cairo, fontColor);
    cairo_move_to(cairo, x, y);
    cairo_show_text(cairo, shown.c_str());
    cairo_restore(cairo);
}
