// Draws the editor's artwork: the amp face, the control strips and the about
// screen, written as PNG files bmp00128.png ... bmp00153.png.
//
//   artwork_generator <directory>      (the program built from this file)
//
// The images are committed in editor/artwork/ and built into the plug-in from
// there, so a build never needs this program. After changing the drawing or the
// editor's layout (editor/layout.h), regenerate them with
//
//   cmake --build build --target generate_artwork
//
// and commit the new PNG files; the artwork test fails while the committed
// images differ from what this program draws.
//
// Strips hold their frames one below the other. Switch strips picture the
// bottom position (value 0) in frame 0 and the top position in the last frame;
// knob strips sweep the pointer clockwise through 300 degrees from frame 0
// (value 0) to frame 75 (value 1); lamp buttons hold the off image above the on
// image. Strip sizes and frame counts, and the rectangles from which the face's
// legends are placed, are the editor's own (editor/layout.h), so a moved
// control moves its legend.
//
// The output is deterministic: no clock, no randomness, and fixed font options
// (grey antialiasing, no hinting), drawn with the DejaVu Sans fonts.

#include "editor/layout.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>

namespace {

using layout::Kind;
using layout::Strip;

constexpr double kPi = 3.14159265358979323846;

struct Box {
    double left, top, right, bottom;
    double width() const { return right - left; }
    double height() const { return bottom - top; }
    double centerX() const { return (left + right) / 2; }
    double centerY() const { return (top + bottom) / 2; }
    Box shifted(double dx, double dy) const {
        return {left + dx, top + dy, right + dx, bottom + dy};
    }
};

struct Rgb {
    double r, g, b;
};

Rgb rgb(int r, int g, int b) {
    return {r / 255.0, g / 255.0, b / 255.0};
}
Rgb scaled(Rgb c, double k) {
    return {c.r * k, c.g * k, c.b * k};
}
Rgb mixed(Rgb a, Rgb b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// Palette: a dark charcoal face with cream legends, amber section strips and a
// brushed-steel name rail.
const Rgb kPanelTop = rgb(46, 49, 54);
const Rgb kPanelBottom = rgb(30, 32, 36);
const Rgb kPanelEdge = rgb(12, 13, 15);
const Rgb kLegend = rgb(236, 230, 214);
const Rgb kLegendDim = rgb(160, 156, 146);
const Rgb kAccent = rgb(222, 134, 48);
const Rgb kAccentText = rgb(28, 24, 20);
const Rgb kSteelLight = rgb(200, 203, 207);
const Rgb kSteelDark = rgb(138, 142, 148);
const Rgb kInk = rgb(26, 28, 31);
const Rgb kLedRed = rgb(255, 58, 40);
const Rgb kLedGreen = rgb(70, 230, 90);
const Rgb kLedAmber = rgb(255, 190, 40);

void setColor(cairo_t* cr, Rgb c, double alpha = 1.0) {
    cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

void roundedRect(cairo_t* cr, Box b, double radius) {
    const double r = std::fmin(radius, std::fmin(b.width(), b.height()) / 2);
    cairo_new_sub_path(cr);
    cairo_arc(cr, b.right - r, b.top + r, r, -kPi / 2, 0);
    cairo_arc(cr, b.right - r, b.bottom - r, r, 0, kPi / 2);
    cairo_arc(cr, b.left + r, b.bottom - r, r, kPi / 2, kPi);
    cairo_arc(cr, b.left + r, b.top + r, r, kPi, 3 * kPi / 2);
    cairo_close_path(cr);
}

void verticalGradient(cairo_t* cr, double top, double bottom, Rgb from, Rgb to) {
    cairo_pattern_t* p = cairo_pattern_create_linear(0, top, 0, bottom);
    cairo_pattern_add_color_stop_rgb(p, 0, from.r, from.g, from.b);
    cairo_pattern_add_color_stop_rgb(p, 1, to.r, to.g, to.b);
    cairo_set_source(cr, p);
    cairo_pattern_destroy(p);
}

// ---------------------------------------------------------------------------
// Text

enum class Align { Left, Center, Right };

void useFont(cairo_t* cr, double size, bool bold) {
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
}

// Width of the text with `spacing` extra pixels after every character but the last.
double textWidth(cairo_t* cr, const std::string& s, double spacing) {
    cairo_text_extents_t e;
    cairo_text_extents(cr, s.c_str(), &e);
    return e.x_advance + (s.empty() ? 0 : spacing * static_cast<double>(s.size() - 1));
}

// Draws text on a baseline; letter spacing applies to ASCII text only.
void text(cairo_t* cr, const std::string& s, double x, double baseline, Align align,
          double spacing = 0) {
    const double w = textWidth(cr, s, spacing);
    double pen = align == Align::Left ? x : align == Align::Center ? x - w / 2 : x - w;
    if (spacing == 0) {
        cairo_move_to(cr, pen, baseline);
        cairo_show_text(cr, s.c_str());
        return;
    }
    for (char c : s) {
        const char one[2] = {c, 0};
        cairo_text_extents_t e;
        cairo_text_extents(cr, one, &e);
        cairo_move_to(cr, pen, baseline);
        cairo_show_text(cr, one);
        pen += e.x_advance + spacing;
    }
}

void legend(cairo_t* cr, const std::string& s, double x, double baseline,
            Align align = Align::Center, Rgb color = kLegend, double size = 7.5) {
    useFont(cr, size, true);
    setColor(cr, color);
    text(cr, s, x, baseline, align, 0.6);
}

// ---------------------------------------------------------------------------
// Images

class Image {
public:
    Image(int width, int height)
        : surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)),
          cr_(cairo_create(surface_)) {}
    ~Image() {
        cairo_destroy(cr_);
        cairo_surface_destroy(surface_);
    }
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    cairo_t* cr() const { return cr_; }

    bool write(const std::string& path) {
        cairo_surface_flush(surface_);
        return cairo_status(cr_) == CAIRO_STATUS_SUCCESS &&
               cairo_surface_write_to_png(surface_, path.c_str()) == CAIRO_STATUS_SUCCESS;
    }

private:
    cairo_surface_t* surface_;
    cairo_t* cr_;
};

// Runs `draw(cr, frame)` for every frame of a vertical strip, with the origin
// moved to the frame's top-left corner.
template <typename Draw> void drawStrip(cairo_t* cr, int frames, double frameHeight, Draw draw) {
    for (int f = 0; f < frames; ++f) {
        cairo_save(cr);
        cairo_translate(cr, 0, f * frameHeight);
        cairo_rectangle(cr, 0, 0, 1e4, frameHeight);
        cairo_clip(cr);
        draw(cr, f);
        cairo_restore(cr);
    }
}

// ---------------------------------------------------------------------------
// Parts shared by the strips

constexpr double kKnobSweepDegrees = 300;

// Pointer angle in radians, clockwise from straight up, of a knob value 0..1.
double knobAngle(double value) {
    return (-kKnobSweepDegrees / 2 + kKnobSweepDegrees * value) * kPi / 180;
}

// Body radius of the knob drawn in a square of `size` pixels; the face draws
// its scale just outside it.
double knobRadius(double size) {
    return size == 50 ? 19 : 15;
}

void drawKnob(cairo_t* cr, double size, double value) {
    const double c = size / 2;
    const double r = knobRadius(size);
    const double a = knobAngle(value);

    // Soft shadow below the skirt.
    cairo_pattern_t* shadow = cairo_pattern_create_radial(c, c + 1.5, r - 2, c, c + 1.5, r + 3);
    cairo_pattern_add_color_stop_rgba(shadow, 0, 0, 0, 0, 0.6);
    cairo_pattern_add_color_stop_rgba(shadow, 1, 0, 0, 0, 0);
    cairo_set_source(cr, shadow);
    cairo_arc(cr, c, c + 1.5, r + 3, 0, 2 * kPi);
    cairo_fill(cr);
    cairo_pattern_destroy(shadow);

    // Skirt with knurled rim; the knurls turn with the knob.
    cairo_arc(cr, c, c, r, 0, 2 * kPi);
    verticalGradient(cr, c - r, c + r, rgb(78, 80, 84), rgb(20, 21, 23));
    cairo_fill_preserve(cr);
    setColor(cr, rgb(8, 8, 9));
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    const int knurls = size == 50 ? 36 : 30;
    cairo_set_line_width(cr, 1);
    for (int i = 0; i < knurls; ++i) {
        const double k = a + 2 * kPi * i / knurls;
        setColor(cr, rgb(6, 6, 7), 0.8);
        cairo_move_to(cr, c + std::sin(k) * (r - 0.5), c - std::cos(k) * (r - 0.5));
        cairo_line_to(cr, c + std::sin(k) * (r - 3), c - std::cos(k) * (r - 3));
        cairo_stroke(cr);
    }

    // Cap: a shallow dome lit from above.
    const double capR = r * 0.72;
    cairo_arc(cr, c, c, capR, 0, 2 * kPi);
    cairo_pattern_t* cap =
        cairo_pattern_create_radial(c - capR * 0.3, c - capR * 0.5, 0, c, c, capR);
    cairo_pattern_add_color_stop_rgb(cap, 0, 0.34, 0.35, 0.37);
    cairo_pattern_add_color_stop_rgb(cap, 1, 0.12, 0.125, 0.135);
    cairo_set_source(cr, cap);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(cap);
    setColor(cr, rgb(0, 0, 0), 0.7);
    cairo_set_line_width(cr, 0.8);
    cairo_stroke(cr);

    // Pointer from the cap's centre out over the rim.
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, size == 50 ? 2.4 : 2.0);
    setColor(cr, kLegend);
    cairo_move_to(cr, c + std::sin(a) * r * 0.3, c - std::cos(a) * r * 0.3);
    cairo_line_to(cr, c + std::sin(a) * (r - 1.2), c - std::cos(a) * (r - 1.2));
    cairo_stroke(cr);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
}

// A chrome-looking horizontal gradient over [left, right].
void chrome(cairo_t* cr, double left, double right) {
    cairo_pattern_t* p = cairo_pattern_create_linear(left, 0, right, 0);
    cairo_pattern_add_color_stop_rgb(p, 0, 0.45, 0.46, 0.48);
    cairo_pattern_add_color_stop_rgb(p, 0.35, 0.93, 0.93, 0.94);
    cairo_pattern_add_color_stop_rgb(p, 0.6, 0.78, 0.79, 0.8);
    cairo_pattern_add_color_stop_rgb(p, 1, 0.38, 0.39, 0.41);
    cairo_set_source(cr, p);
    cairo_pattern_destroy(p);
}

// Round lamp of radius r centred at (x, y): lit, or dark in the lamp's colour.
void drawLamp(cairo_t* cr, double x, double y, double r, Rgb color, bool lit) {
    // Bezel.
    cairo_arc(cr, x, y, r + 2.2, 0, 2 * kPi);
    verticalGradient(cr, y - r - 2, y + r + 2, rgb(170, 172, 176), rgb(40, 41, 44));
    cairo_fill(cr);
    cairo_arc(cr, x, y, r + 0.6, 0, 2 * kPi);
    setColor(cr, rgb(10, 10, 11));
    cairo_fill(cr);
    // Lens.
    cairo_arc(cr, x, y, r, 0, 2 * kPi);
    cairo_pattern_t* lens = cairo_pattern_create_radial(x - r * 0.25, y - r * 0.3, 0, x, y, r);
    if (lit) {
        const Rgb hot = mixed(color, rgb(255, 255, 255), 0.6);
        cairo_pattern_add_color_stop_rgb(lens, 0, hot.r, hot.g, hot.b);
        cairo_pattern_add_color_stop_rgb(lens, 0.55, color.r, color.g, color.b);
        const Rgb edge = scaled(color, 0.65);
        cairo_pattern_add_color_stop_rgb(lens, 1, edge.r, edge.g, edge.b);
    } else {
        const Rgb dark = scaled(color, 0.32);
        const Rgb darker = scaled(color, 0.14);
        cairo_pattern_add_color_stop_rgb(lens, 0, dark.r, dark.g, dark.b);
        cairo_pattern_add_color_stop_rgb(lens, 1, darker.r, darker.g, darker.b);
    }
    cairo_set_source(cr, lens);
    cairo_fill(cr);
    cairo_pattern_destroy(lens);
    // Specular glint.
    cairo_arc(cr, x - r * 0.35, y - r * 0.4, r * 0.28, 0, 2 * kPi);
    cairo_set_source_rgba(cr, 1, 1, 1, lit ? 0.55 : 0.22);
    cairo_fill(cr);
}

// Handle of a lever selector: a chrome block centred at (x, y).
void drawSelectorHandle(cairo_t* cr, double x, double y, double w, double h) {
    roundedRect(cr, {x - w / 2 + 0.5, y - h / 2 + 1.5, x + w / 2 + 0.5, y + h / 2 + 1.5}, 2);
    setColor(cr, rgb(0, 0, 0), 0.55);
    cairo_fill(cr);
    roundedRect(cr, {x - w / 2, y - h / 2, x + w / 2, y + h / 2}, 2);
    chrome(cr, x - w / 2, x + w / 2);
    cairo_fill_preserve(cr);
    setColor(cr, rgb(20, 20, 22));
    cairo_set_line_width(cr, 0.8);
    cairo_stroke(cr);
    setColor(cr, rgb(40, 40, 44));
    cairo_set_line_width(cr, 1);
    cairo_move_to(cr, x - w / 2 + 1.5, y);
    cairo_line_to(cr, x + w / 2 - 1.5, y);
    cairo_stroke(cr);
}

// Dark plate and slot behind a lever selector.
void drawSelectorPlate(cairo_t* cr, Box plate, Box slot) {
    roundedRect(cr, plate, 3);
    verticalGradient(cr, plate.top, plate.bottom, rgb(24, 25, 28), rgb(14, 15, 17));
    cairo_fill_preserve(cr);
    setColor(cr, rgb(90, 92, 96));
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    roundedRect(cr, slot, slot.width() / 2);
    setColor(cr, rgb(0, 0, 0));
    cairo_fill(cr);
}

// ---------------------------------------------------------------------------
// The strips

// Each strip is drawn with the frames and sizes that the editor cuts it into
// (editor/layout.h).

// Band (0 = top) that a switch strip's frame pictures: frame 0 is the bottom.
int bandOfFrame(int frame, int positions) {
    return positions - 1 - frame;
}

void knobStrip(Image& image, const Strip& strip) {
    const double size = strip.width;
    drawStrip(image.cr(), strip.frames, strip.frameHeight, [&](cairo_t* cr, int f) {
        drawKnob(cr, size, static_cast<double>(f) / (strip.frames - 1));
    });
}

// Bat-lever toggle, 20 x 20: frame 0 lever down, frame 1 lever up.
void toggleStrip(Image& image) {
    const Strip& strip = layout::kToggleStrip;
    drawStrip(image.cr(), strip.frames, strip.frameHeight, [&](cairo_t* cr, int f) {
        const double c = 10;
        const bool up = f == strip.frames - 1;
        // Washer, hexagon nut and bushing, in darker metal than the lever.
        cairo_arc(cr, c, c, 8.6, 0, 2 * kPi);
        verticalGradient(cr, 1.4, 18.6, rgb(92, 94, 98), rgb(22, 23, 25));
        cairo_fill_preserve(cr);
        setColor(cr, rgb(4, 4, 5));
        cairo_set_line_width(cr, 0.8);
        cairo_stroke(cr);
        for (int i = 0; i < 6; ++i) {
            const double a = kPi / 6 + i * kPi / 3;
            const double x = c + 6.3 * std::cos(a), y = c + 6.3 * std::sin(a);
            i == 0 ? cairo_move_to(cr, x, y) : cairo_line_to(cr, x, y);
        }
        cairo_close_path(cr);
        cairo_pattern_t* nut = cairo_pattern_create_linear(c - 6, c - 6, c + 6, c + 6);
        cairo_pattern_add_color_stop_rgb(nut, 0, 0.62, 0.63, 0.65);
        cairo_pattern_add_color_stop_rgb(nut, 1, 0.2, 0.21, 0.22);
        cairo_set_source(cr, nut);
        cairo_fill_preserve(cr);
        cairo_pattern_destroy(nut);
        setColor(cr, rgb(10, 10, 11));
        cairo_set_line_width(cr, 0.7);
        cairo_stroke(cr);
        cairo_arc(cr, c, c, 3, 0, 2 * kPi);
        setColor(cr, rgb(8, 8, 9));
        cairo_fill(cr);
        // Lever, tapered from the bushing to a ball tip.
        const double tip = up ? 3.4 : 16.6;
        cairo_move_to(cr, c - 2.2, c);
        cairo_line_to(cr, c - 1.5, tip);
        cairo_line_to(cr, c + 1.5, tip);
        cairo_line_to(cr, c + 2.2, c);
        cairo_close_path(cr);
        chrome(cr, c - 2.2, c + 2.2);
        cairo_fill_preserve(cr);
        setColor(cr, rgb(20, 20, 22), 0.7);
        cairo_set_line_width(cr, 0.5);
        cairo_stroke(cr);
        cairo_arc(cr, c, tip, 2.7, 0, 2 * kPi);
        chrome(cr, c - 2.7, c + 2.7);
        cairo_fill_preserve(cr);
        setColor(cr, rgb(20, 20, 22), 0.8);
        cairo_set_line_width(cr, 0.6);
        cairo_stroke(cr);
    });
}

// Channel selector, 35 x 79 per frame: lever at the left, lit position name
// at the right ("A" top, "A+B" middle, "B" bottom).
void channelStrip(Image& image) {
    const Strip& strip = layout::kChannelSelectorStrip;
    static const char* const names[layout::kChannelPositions] = {"A", "A+B", "B"};
    drawStrip(image.cr(), strip.frames, strip.frameHeight, [&](cairo_t* cr, int f) {
        const double step = static_cast<double>(strip.frameHeight) / strip.frames;
        drawSelectorPlate(cr, {0.5, 0.5, strip.width - 0.5, strip.frameHeight - 0.5},
                          {7, 6, 12, 73});
        const int active = bandOfFrame(f, strip.frames);
        for (int band = 0; band < strip.frames; ++band) {
            const double y = (band + 0.5) * step;
            useFont(cr, 7.5, true);
            setColor(cr, band == active ? kLedAmber : rgb(105, 102, 96));
            text(cr, names[band], 25.5, y + 2.8, Align::Center, -0.7);
        }
        drawSelectorHandle(cr, 9.5, (active + 0.5) * step, 11, 9);
    });
}

// Cabinet selector, 22 x 83 per frame; the position names are on the face.
void cabinetStrip(Image& image) {
    const Strip& strip = layout::kCabinetSelectorStrip;
    drawStrip(image.cr(), strip.frames, strip.frameHeight, [&](cairo_t* cr, int f) {
        const double step = static_cast<double>(strip.frameHeight) / strip.frames;
        drawSelectorPlate(cr, {0.5, 0.5, strip.width - 0.5, strip.frameHeight - 0.5},
                          {8.5, 5, 13.5, 78});
        setColor(cr, rgb(120, 120, 124));
        cairo_set_line_width(cr, 1);
        for (int band = 0; band < strip.frames; ++band) {
            const double y = std::floor((band + 0.5) * step) + 0.5;
            cairo_move_to(cr, 2.5, y);
            cairo_line_to(cr, 6, y);
            cairo_move_to(cr, 16, y);
            cairo_line_to(cr, 19.5, y);
        }
        cairo_stroke(cr);
        drawSelectorHandle(cr, 11, (bandOfFrame(f, strip.frames) + 0.5) * step, 14, 8);
    });
}

// Lamp button, 20 x 40: off above, on below.
void lampButtonStrip(Image& image, const Strip& strip, Rgb color) {
    drawStrip(image.cr(), strip.frames, strip.frameHeight,
              [&](cairo_t* cr, int f) { drawLamp(cr, 10, 10, 5.6, color, f == 1); });
}

// Tall meter, 12 x 36 per frame: three segments lit from the bottom, one per frame.
void tallMeterStrip(Image& image) {
    const Strip& strip = layout::kTallMeterStrip;
    const double frameHeight = strip.frameHeight;
    const Rgb segmentColor[layout::kMeterFrames - 1] = {kLedGreen, kLedAmber, kLedRed};
    drawStrip(image.cr(), strip.frames, frameHeight, [&](cairo_t* cr, int f) {
        roundedRect(cr, {0, 0, static_cast<double>(strip.width), frameHeight}, 2);
        setColor(cr, rgb(8, 8, 9));
        cairo_fill_preserve(cr);
        setColor(cr, rgb(80, 82, 86));
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
        for (int i = 0; i < 3; ++i) {
            const double bottom = frameHeight - 2 - i * 11;
            const bool lit = i < f;
            const Rgb c = lit ? segmentColor[i] : scaled(segmentColor[i], 0.22);
            roundedRect(cr, {2.5, bottom - 10, 9.5, bottom}, 1);
            setColor(cr, c);
            cairo_fill(cr);
            if (lit) {
                cairo_rectangle(cr, 3.5, bottom - 9, 2, 8);
                cairo_set_source_rgba(cr, 1, 1, 1, 0.35);
                cairo_fill(cr);
            }
        }
    });
}

// Round meter, 20 x 20 per frame: dark, green, amber, red.
void roundMeterStrip(Image& image) {
    const Strip& strip = layout::kRoundMeterStrip;
    const Rgb levelColor[layout::kMeterFrames] = {kLedGreen, kLedGreen, kLedAmber, kLedRed};
    drawStrip(image.cr(), strip.frames, strip.frameHeight,
              [&](cairo_t* cr, int f) { drawLamp(cr, 10, 10, 6.2, levelColor[f], f > 0); });
}

// Tuner lamp, 6 x 9 per frame: an arrow pointing to the note name between the
// two lamps; the flat lamp sits left of it, the sharp lamp right.
void tunerLampStrip(Image& image, const Strip& strip, bool pointsRight) {
    drawStrip(image.cr(), strip.frames, strip.frameHeight, [&](cairo_t* cr, int f) {
        const double tipX = pointsRight ? 5.6 : 0.4;
        const double baseX = pointsRight ? 0.4 : 5.6;
        cairo_move_to(cr, baseX, 0.5);
        cairo_line_to(cr, tipX, 4.5);
        cairo_line_to(cr, baseX, 8.5);
        cairo_close_path(cr);
        setColor(cr, f == 1 ? rgb(255, 80, 40) : rgb(64, 22, 14));
        cairo_fill(cr);
    });
}

// Fader cap, 20 x 20.
void sliderHandle(Image& image) {
    cairo_t* cr = image.cr();
    roundedRect(cr, {1.5, 3, 19.5, 19.5}, 2.5);
    setColor(cr, rgb(0, 0, 0), 0.55);
    cairo_fill(cr);
    roundedRect(cr, {1, 1.5, 19, 18}, 2.5);
    verticalGradient(cr, 1.5, 18, rgb(96, 98, 103), rgb(26, 27, 30));
    cairo_fill_preserve(cr);
    setColor(cr, rgb(6, 6, 7));
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    cairo_set_line_width(cr, 1);
    for (double y : {5.5, 7.5, 12.5, 14.5}) {
        setColor(cr, rgb(10, 10, 12), 0.9);
        cairo_move_to(cr, 3, y);
        cairo_line_to(cr, 17, y);
        cairo_stroke(cr);
    }
    setColor(cr, kLegend);
    cairo_set_line_width(cr, 1.6);
    cairo_move_to(cr, 2, 10);
    cairo_line_to(cr, 18, 10);
    cairo_stroke(cr);
}

// ---------------------------------------------------------------------------
// The face, 701 x 336. Its controls' rectangles and the sliders' travels
// come from the editor's layout, found by kind and tag (a parameter index,
// or an editor tag such as kTunerTag).

using layout::kFaceHeight;
using layout::kFaceWidth;

[[noreturn]] void missingControl(long tag) {
    std::fprintf(stderr, "artwork_generator: the layout has no control of tag %ld\n", tag);
    std::exit(1);
}

// The table's entry of `kind` and `tag`; a constant expression stops the build
// when there is none.
constexpr const layout::Control& control(Kind kind, long tag) {
    const int entry = layout::findControl(kind, tag);
    if (entry < 0) missingControl(tag);
    return layout::kControls[entry];
}

constexpr Box boxOf(const layout::Rect& r) {
    return {static_cast<double>(r.left), static_cast<double>(r.top), static_cast<double>(r.right),
            static_cast<double>(r.bottom)};
}

constexpr Box controlBox(Kind kind, long tag) {
    return boxOf(control(kind, tag).rect);
}

struct Legended {
    long tag;
    const char* legend;
};

// Channel A's knobs; channel B's are found layout::kChannelTagStep tags later.
const Legended kChannelKnobs[] = {
    {Param::compressorA_amount, "AMOUNT"},
    {Param::compressorA_attack, "ATTACK"},
    {Param::gainA, "GAIN"},
    {Param::bassA, "BASS"},
    {Param::midsA, "MIDDLE"},
    {Param::midsA_frequency, "FREQ"},
    {Param::trebleA, "TREBLE"},
    {Param::driveA, "DRIVE"},
    {Param::clippingA, "CLIP"},
};
constexpr double kChannelLegendBaseline = 20; // channel A's knob legends
constexpr double kChannelBOffset = layout::kChannelBOffset;

constexpr Box kCrossoverKnob = controlBox(Kind::knob, Param::crossover_frequency);
constexpr Box kModeSwitch = controlBox(Kind::verticalSwitch, Param::mode);
constexpr Box kInvertSwitch = controlBox(Kind::verticalSwitch, Param::invertB_enable);
constexpr Box kChannelSelector = controlBox(Kind::verticalSwitch, Param::channel_select);
constexpr Box kCompressorLampA = controlBox(Kind::lampButton, Param::compressorA_enable);
constexpr Box kMixSlider = controlBox(Kind::slider, Param::mixAB);
constexpr layout::HandleTravel kMixHandleTravel = control(Kind::slider, Param::mixAB).handle;

constexpr Box kChorusSwitch = controlBox(Kind::verticalSwitch, Param::chorus_enable);
constexpr Box kReverbSwitch = controlBox(Kind::verticalSwitch, Param::reverb_enable);
const Legended kChorusKnobs[] = {
    {Param::chorus_level, "LEVEL"}, {Param::chorus_speed, "SPEED"}, {Param::chorus_cutoff, "TONE"}};
const Legended kReverbKnobs[] = {{Param::reverb_level, "LEVEL"},
                                 {Param::reverb_decay, "DECAY"},
                                 {Param::reverb_damping, "DAMP"}};

// The band sliders, eq_band1 to eq_band12.
constexpr int kBandCount = Param::eq_band12 - Param::eq_band1 + 1;
const char* const kBandNames[] = {"30",  "40",  "60",  "100", "180", "340",
                                  "660", "1k3", "2k6", "5k",  "10k", "15k"};
static_assert(std::size(kBandNames) == kBandCount);
constexpr Box kFirstBandSlider = controlBox(Kind::slider, Param::eq_band1);
constexpr Box kLastBandSlider = controlBox(Kind::slider, Param::eq_band12);
constexpr Box kEqLevelSlider = controlBox(Kind::slider, Param::eq_level);
constexpr layout::HandleTravel kEqHandleTravel = control(Kind::slider, Param::eq_band1).handle;
constexpr Box kEqSwitch = controlBox(Kind::verticalSwitch, Param::eq_enable);
constexpr Box kInputMeter = controlBox(Kind::meter, kInputMeterTag);
constexpr Box kOutputMeter = controlBox(Kind::meter, kOutputMeterTag);
constexpr Box kBrightKnob = controlBox(Kind::knob, Param::bright);
constexpr Box kDeepKnob = controlBox(Kind::knob, Param::deep);
constexpr Box kCabinetSelector = controlBox(Kind::verticalSwitch, Param::cabinet);
const char* const kCabinetNames[] = {"8x10", "4x10", "1x15", "D.I.", "OFF"}; // top to bottom
constexpr Box kVolumeSlider = controlBox(Kind::slider, Param::master_volume);
constexpr layout::HandleTravel kVolumeHandleTravel =
    control(Kind::slider, Param::master_volume).handle;
constexpr Box kTunerDisplay = controlBox(Kind::kickButton, kTunerTag);
constexpr Box kAboutButton = controlBox(Kind::kickButton, kAboutTag);

constexpr double kHandleHeight = layout::kSliderHandleStrip.frameHeight;

// Scale around a knob: eleven ticks over the pointer's sweep.
void knobScale(cairo_t* cr, Box knob) {
    const double r = knobRadius(knob.width());
    const double x = knob.centerX(), y = knob.centerY();
    for (int i = 0; i <= 10; ++i) {
        const double a = knobAngle(i / 10.0);
        const bool major = i == 0 || i == 5 || i == 10;
        const double inner = r + 1.2, outer = r + (major ? 4.6 : 3.4);
        setColor(cr, major ? kLegend : kLegendDim);
        cairo_set_line_width(cr, major ? 1.3 : 1.0);
        cairo_move_to(cr, x + std::sin(a) * inner, y - std::cos(a) * inner);
        cairo_line_to(cr, x + std::sin(a) * outer, y - std::cos(a) * outer);
        cairo_stroke(cr);
    }
}

void knobWithLegend(cairo_t* cr, Box knob, const char* name, double baseline) {
    knobScale(cr, knob);
    legend(cr, name, knob.centerX(), baseline);
}

// Slot of a fader whose handle top travels over `travel`.
void faderSlot(cairo_t* cr, Box slider, layout::HandleTravel travel) {
    const double x = slider.centerX();
    const double top = travel.top + kHandleHeight / 2 - 3,
                 bottom = travel.bottom + kHandleHeight / 2 + 3;
    roundedRect(cr, {x - 2.5, top, x + 2.5, bottom}, 2.5);
    setColor(cr, rgb(0, 0, 0));
    cairo_fill_preserve(cr);
    setColor(cr, rgb(84, 86, 90));
    cairo_set_line_width(cr, 0.8);
    cairo_stroke(cr);
}

// Centre of the fader's handle at value v (value 0 at the bottom).
double faderY(layout::HandleTravel travel, double v) {
    const double top = travel.top, bottom = travel.bottom;
    return bottom - v * (bottom - top) + kHandleHeight / 2;
}

// Amber section strip with its name, across [left, right] at the top `top`.
void sectionStrip(cairo_t* cr, double left, double right, double top, const char* name) {
    roundedRect(cr, {left, top, right, top + 9}, 2);
    setColor(cr, kAccent);
    cairo_fill(cr);
    legend(cr, name, (left + right) / 2, top + 7.3, Align::Center, kAccentText, 7);
}

// A rounded box filled with a vertical gradient from `top` at height `from`
// to `bottom` at height `to`, its edge stroked and a faint highlight just
// inside the edge.
void bevelledBox(cairo_t* cr, Box shape, double radius, double from, double to, Rgb top, Rgb bottom,
                 double edgeWidth, double highlightAlpha) {
    roundedRect(cr, shape, radius);
    verticalGradient(cr, from, to, top, bottom);
    cairo_fill_preserve(cr);
    setColor(cr, kPanelEdge);
    cairo_set_line_width(cr, edgeWidth);
    cairo_stroke(cr);
    roundedRect(cr, {shape.left + 1.5, shape.top + 1.5, shape.right - 1.5, shape.bottom - 1.5},
                radius - 1);
    setColor(cr, rgb(255, 255, 255), highlightAlpha);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
}

void panel(cairo_t* cr, Box b) {
    bevelledBox(cr, b, 6, b.top, b.bottom, kPanelTop, kPanelBottom, 2, 0.06);
}

void divider(cairo_t* cr, double x0, double y0, double x1, double y1) {
    setColor(cr, rgb(0, 0, 0), 0.55);
    cairo_set_line_width(cr, 1);
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, y1);
    cairo_stroke(cr);
    setColor(cr, rgb(255, 255, 255), 0.07);
    const bool vertical = x0 == x1;
    cairo_move_to(cr, x0 + (vertical ? 1 : 0), y0 + (vertical ? 0 : 1));
    cairo_line_to(cr, x1 + (vertical ? 1 : 0), y1 + (vertical ? 0 : 1));
    cairo_stroke(cr);
}

// Two words beside a two-position switch, for its top and bottom positions.
void switchPositions(cairo_t* cr, Box sw, const char* top, const char* bottom) {
    legend(cr, top, sw.right + 3, sw.top + 7.5, Align::Left, kLegend, 6.5);
    legend(cr, bottom, sw.right + 3, sw.bottom - 2, Align::Left, kLegendDim, 6.5);
}

void channelStrips(cairo_t* cr) {
    sectionStrip(cr, 8, 74, 4, "BI-AMP");
    sectionStrip(cr, 78, 122, 4, "CHANNEL");
    sectionStrip(cr, 126, 258, 4, "COMPRESSOR");
    sectionStrip(cr, 262, 336, 4, "PREAMP");
    sectionStrip(cr, 340, 527, 4, "TONE");
    sectionStrip(cr, 531, 639, 4, "TUBE");
    sectionStrip(cr, 643, 693, 4, "MIX");

    knobScale(cr, kCrossoverKnob);
    legend(cr, "CROSSOVER", kCrossoverKnob.centerX(), kCrossoverKnob.top - 4, Align::Center,
           kLegend, 6.5);
    switchPositions(cr, kModeSwitch, "BI-AMP", "NORMAL");
    switchPositions(cr, kInvertSwitch, "INVERT B", "NORMAL");

    divider(cr, 122, 73.5, 640, 73.5);
    for (int channel = 0; channel < 2; ++channel) {
        const double dy = channel * kChannelBOffset;
        const long tagStep = channel * layout::kChannelTagStep;
        const char* name = channel == 0 ? "A" : "B";
        // Channel letter in a ring between the selector and the strip.
        const double letterX = (kChannelSelector.right + kCompressorLampA.left) / 2;
        const double letterY = controlBox(Kind::knob, kChannelKnobs[0].tag + tagStep).centerY();
        cairo_arc(cr, letterX, letterY, 6, 0, 2 * kPi);
        setColor(cr, kAccent);
        cairo_set_line_width(cr, 1.4);
        cairo_stroke(cr);
        legend(cr, name, letterX + 0.1, letterY + 3.4, Align::Center, kAccent, 9);

        for (const Legended& k : kChannelKnobs) {
            knobWithLegend(cr, controlBox(Kind::knob, k.tag + tagStep), k.legend,
                           kChannelLegendBaseline + dy);
        }
        const Box compressorLamp =
            controlBox(Kind::lampButton, Param::compressorA_enable + tagStep);
        const Box boostLamp = controlBox(Kind::lampButton, Param::boostA_enable + tagStep);
        legend(cr, "ON", compressorLamp.centerX(), compressorLamp.top - 2.5, Align::Center, kLegend,
               6.5);
        legend(cr, "BOOST", boostLamp.centerX(), boostLamp.top - 2.5, Align::Center, kLegend, 6.5);
        // Meter housings' bezels.
        const long compressorMeter = channel == 0 ? kCompressorAMeterTag : kCompressorBMeterTag;
        const long limiterMeter = channel == 0 ? kLimiterAMeterTag : kLimiterBMeterTag;
        for (long meter : {compressorMeter, limiterMeter}) {
            const Box b = controlBox(Kind::meter, meter);
            roundedRect(cr, {b.left - 1.5, b.top - 1.5, b.right + 1.5, b.bottom + 1.5}, 3);
            setColor(cr, rgb(0, 0, 0), 0.6);
            cairo_fill(cr);
        }
    }

    // A/B mix fader: channel A at the top, B at the bottom.
    faderSlot(cr, kMixSlider, kMixHandleTravel);
    for (int i = 0; i <= 4; ++i) {
        const double y = std::floor(faderY(kMixHandleTravel, i / 4.0)) + 0.5;
        setColor(cr, i == 2 ? kLegend : kLegendDim);
        cairo_set_line_width(cr, 1);
        cairo_move_to(cr, kMixSlider.left - 4, y);
        cairo_line_to(cr, kMixSlider.left + 3, y);
        cairo_move_to(cr, kMixSlider.right - 3, y);
        cairo_line_to(cr, kMixSlider.right + 4, y);
        cairo_stroke(cr);
    }
    legend(cr, "A", kMixSlider.right + 10, faderY(kMixHandleTravel, 1) + 3, Align::Center, kAccent,
           8.5);
    legend(cr, "B", kMixSlider.right + 10, faderY(kMixHandleTravel, 0) + 3, Align::Center, kAccent,
           8.5);
}

void nameRail(cairo_t* cr) {
    const Box rail{3, 143, 698, 172};
    cairo_rectangle(cr, rail.left, rail.top, rail.width(), rail.height());
    verticalGradient(cr, rail.top, rail.bottom, kSteelLight, kSteelDark);
    cairo_fill(cr);
    // Fine horizontal brushing, a fixed pattern.
    cairo_set_line_width(cr, 1);
    for (int i = 0; i < 29; i += 2) {
        cairo_set_source_rgba(cr, 1, 1, 1, (i % 3 == 0) ? 0.10 : 0.05);
        cairo_move_to(cr, rail.left, rail.top + i + 0.5);
        cairo_line_to(cr, rail.right, rail.top + i + 0.5);
        cairo_stroke(cr);
    }
    setColor(cr, rgb(0, 0, 0), 0.6);
    cairo_move_to(cr, rail.left, rail.top + 0.5);
    cairo_line_to(cr, rail.right, rail.top + 0.5);
    cairo_move_to(cr, rail.left, rail.bottom - 0.5);
    cairo_line_to(cr, rail.right, rail.bottom - 0.5);
    cairo_stroke(cr);

    useFont(cr, 19, true);
    setColor(cr, kInk);
    text(cr, "TARVEX", 26, 165, Align::Left, 3);
    const double brandRight = 26 + textWidth(cr, "TARVEX", 3);
    setColor(cr, kAccent);
    cairo_rectangle(cr, brandRight + 8, 152, 2, 14);
    cairo_fill(cr);
    legend(cr, "TWO-CHANNEL BASS AMPLIFIER", brandRight + 16, 162, Align::Left, kInk, 7.5);

    // Level lamps' names over the input and output meters.
    legend(cr, "IN", kInputMeter.centerX(), kInputMeter.top - 5, Align::Center, kInk, 6.5);
    legend(cr, "OUT", kOutputMeter.centerX(), kOutputMeter.top - 5, Align::Center, kInk, 6.5);

    // The about button.
    const Box b = kAboutButton;
    roundedRect(cr, {b.left + 0.5, b.top + 1.5, b.right + 0.5, b.bottom + 1.5}, 4);
    setColor(cr, rgb(0, 0, 0), 0.35);
    cairo_fill(cr);
    roundedRect(cr, {b.left, b.top, b.right, b.bottom}, 4);
    verticalGradient(cr, b.top, b.bottom, rgb(58, 61, 66), rgb(26, 27, 30));
    cairo_fill_preserve(cr);
    setColor(cr, kInk);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    legend(cr, "ABOUT", b.centerX(), b.centerY() + 2.8, Align::Center, kLegend, 7.5);
}

void effects(cairo_t* cr) {
    sectionStrip(cr, 8, 244, 177, "EFFECTS");
    for (int unit = 0; unit < 2; ++unit) {
        const Box sw = unit == 0 ? kChorusSwitch : kReverbSwitch;
        const Legended* knobs = unit == 0 ? kChorusKnobs : kReverbKnobs;
        legend(cr, unit == 0 ? "CHORUS" : "REVERB", sw.left - 3, sw.top - 9, Align::Left, kAccent,
               8.5);
        legend(cr, "ON", sw.left - 3, sw.top + 7.5, Align::Right, kLegend, 6.5);
        for (int i = 0; i < 3; ++i) {
            const Box knob = controlBox(Kind::knob, knobs[i].tag);
            knobWithLegend(cr, knob, knobs[i].legend, knob.top - 4);
        }
    }
    divider(cr, 12, 258.5, 240, 258.5);
}

void equalizer(cairo_t* cr) {
    sectionStrip(cr, 250, kEqSwitch.left - 6, 177, "GRAPHIC EQUALIZER");
    // Scale lines at +15, 0 and -15 dB across the bands.
    const double last = kLastBandSlider.right;
    for (int i = 0; i <= 6; ++i) {
        const double y = std::floor(faderY(kEqHandleTravel, i / 6.0)) + 0.5;
        setColor(cr, i == 3 ? kLegend : kLegendDim, i == 3 ? 0.8 : 0.35);
        cairo_set_line_width(cr, 1);
        cairo_move_to(cr, kFirstBandSlider.left + 1, y);
        cairo_line_to(cr, last - 1, y);
        if (i % 3 != 0) {
            cairo_move_to(cr, last + 2, y);
            cairo_line_to(cr, kEqLevelSlider.left - 2, y);
        }
        cairo_move_to(cr, kEqLevelSlider.left + 1, y);
        cairo_line_to(cr, kEqLevelSlider.right - 1, y);
        cairo_stroke(cr);
    }
    const struct {
        double value;
        const char* name;
    } marks[] = {{1, "+15"}, {0.5, "0"}, {0, "-15"}};
    for (const auto& m : marks) {
        legend(cr, m.name, (last + kEqLevelSlider.left) / 2, faderY(kEqHandleTravel, m.value) + 2.4,
               Align::Center, kLegendDim, 6);
    }
    for (int band = 0; band < kBandCount; ++band) {
        const Box s = controlBox(Kind::slider, Param::eq_band1 + band);
        faderSlot(cr, s, kEqHandleTravel);
        legend(cr, kBandNames[band], s.centerX(), s.bottom + 9, Align::Center, kLegend, 6.3);
    }
    faderSlot(cr, kEqLevelSlider, kEqHandleTravel);
    legend(cr, "LEVEL", kEqLevelSlider.centerX(), kEqLevelSlider.bottom + 9, Align::Center, kLegend,
           6.3);
    legend(cr, "Hz", (last + kEqLevelSlider.left) / 2, kFirstBandSlider.bottom + 9, Align::Center,
           kLegendDim, 6);
}

void outputSection(cairo_t* cr) {
    knobWithLegend(cr, kBrightKnob, "BRIGHT", kBrightKnob.top - 4);
    knobWithLegend(cr, kDeepKnob, "DEEP", kDeepKnob.top - 4);

    sectionStrip(cr, 591, 651, 182, "CABINET");
    const double step = kCabinetSelector.height() / layout::kCabinetPositions;
    for (int band = 0; band < layout::kCabinetPositions; ++band) {
        legend(cr, kCabinetNames[band], kCabinetSelector.right + 3,
               kCabinetSelector.top + (band + 0.5) * step + 2.6, Align::Left, kLegend, 6.5);
    }

    sectionStrip(cr, 655, 695, 182, "VOLUME");
    faderSlot(cr, kVolumeSlider, kVolumeHandleTravel);
    for (int i = 0; i <= 10; ++i) {
        const double y = std::floor(faderY(kVolumeHandleTravel, i / 10.0)) + 0.5;
        const bool major = i % 5 == 0;
        setColor(cr, major ? kLegend : kLegendDim);
        cairo_set_line_width(cr, 1);
        cairo_move_to(cr, kVolumeSlider.right + 1, y);
        cairo_line_to(cr, kVolumeSlider.right + (major ? 6 : 4), y);
        cairo_stroke(cr);
    }
    legend(cr, "10", kVolumeSlider.right + 8, faderY(kVolumeHandleTravel, 1) + 2.4, Align::Left,
           kLegendDim, 6);
    legend(cr, "0", kVolumeSlider.right + 8, faderY(kVolumeHandleTravel, 0) + 2.4, Align::Left,
           kLegendDim, 6);

    // Tuner display: a dark window for the note name between its two lamps.
    const Box t = kTunerDisplay;
    roundedRect(cr, {t.left - 2, t.top - 2, t.right + 2, t.bottom + 2}, 3);
    verticalGradient(cr, t.top - 2, t.bottom + 2, rgb(110, 112, 116), rgb(50, 52, 56));
    cairo_fill(cr);
    roundedRect(cr, t, 2);
    setColor(cr, rgb(6, 4, 4));
    cairo_fill(cr);
    legend(cr, "TUNER", t.centerX(), t.bottom + 10, Align::Center, kLegend, 7);
}

void drawFace(Image& image) {
    cairo_t* cr = image.cr();
    cairo_rectangle(cr, 0, 0, kFaceWidth, kFaceHeight);
    setColor(cr, rgb(8, 8, 9));
    cairo_fill(cr);
    panel(cr, {2, 1, 699, 143});
    panel(cr, {2, 172, 699, 335});
    nameRail(cr);
    channelStrips(cr);
    effects(cr);
    equalizer(cr);
    outputSection(cr);
    divider(cr, 246.5, 190, 246.5, 326);
    divider(cr, 539.5, 200, 539.5, 326);
    divider(cr, 589.5, 182, 589.5, 326);
}

// ---------------------------------------------------------------------------
// The about screen, 591 x 182, laid over the face at (55, 77). Its buttons are
// click areas over this picture, where the editor places them.

constexpr Box kImportButton = boxOf(layout::kImportButton);
constexpr Box kExportButton = boxOf(layout::kExportButton);
constexpr Box kCloseButton = boxOf(layout::kCloseAboutButton);
constexpr Box kVersionText = boxOf(layout::kVersionLabel);

void aboutButton(cairo_t* cr, Box b, const char* name) {
    bevelledBox(cr, {b.left + 1, b.top + 1, b.right - 1, b.bottom - 1}, 5, b.top, b.bottom,
                rgb(62, 65, 70), rgb(28, 29, 32), 1.2, 0.08);
    legend(cr, name, b.centerX(), b.centerY() + 3.2, Align::Center, kLegend, 8.5);
}

void drawAbout(Image& image, int width, int height) {
    cairo_t* cr = image.cr();
    const Box plate{1, 1, width - 1.0, height - 1.0};
    roundedRect(cr, plate, 8);
    verticalGradient(cr, plate.top, plate.bottom, rgb(226, 224, 218), rgb(186, 186, 184));
    cairo_fill_preserve(cr);
    setColor(cr, kPanelEdge);
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
    cairo_rectangle(cr, 2, 38, width - 4, 4);
    setColor(cr, kAccent);
    cairo_fill(cr);

    useFont(cr, 26, true);
    setColor(cr, kInk);
    text(cr, "Tarvex", 22, 31, Align::Left, 1);
    const double subtitleX = 22 + textWidth(cr, "Tarvex", 1) + 10;
    useFont(cr, 10, false);
    text(cr, "two-channel bass amplifier", subtitleX, 30, Align::Left);

    aboutButton(cr, kCloseButton, "CLOSE");

    useFont(cr, 10, false);
    setColor(cr, kInk);
    text(cr, "Two tube channels, bi-amp crossover, twelve-band equaliser,", 22, 64, Align::Left);
    text(cr, "cabinet simulation, chorus and reverb.", 22, 78, Align::Left);
    legend(cr, "VERSION", kVersionText.left - 6, kVersionText.bottom - 6, Align::Right, kInk, 8);

    useFont(cr, 9, false);
    setColor(cr, rgb(70, 72, 76));
    text(cr, "Presets are kept in XML files:", 22, 112, Align::Left);
    text(cr, "import one, or export the current sound.", 22, 125, Align::Left);

    aboutButton(cr, kImportButton, "IMPORT PRESET");
    aboutButton(cr, kExportButton, "EXPORT PRESET");

    divider(cr, 22, 150.5, width - 22.0, 150.5);
    useFont(cr, 9, false);
    setColor(cr, rgb(60, 62, 66));
    text(cr, "Designed and built by the Tarvex developers.", width / 2.0, 168, Align::Center);
}

// ---------------------------------------------------------------------------

struct Output {
    long number;
    int width, height;
    void (*draw)(Image&);
};

// A strip's image, as large as its frames.
constexpr Output stripImage(const Strip& strip, void (*draw)(Image&)) {
    return {strip.bitmap, strip.width, strip.height(), draw};
}

const Output kOutputs[] = {
    {layout::kBackgroundBitmap, kFaceWidth, kFaceHeight, [](Image& i) { drawFace(i); }},
    stripImage(layout::kToggleStrip, [](Image& i) { toggleStrip(i); }),
    stripImage(layout::kSmallKnobStrip, [](Image& i) { knobStrip(i, layout::kSmallKnobStrip); }),
    stripImage(layout::kLargeKnobStrip, [](Image& i) { knobStrip(i, layout::kLargeKnobStrip); }),
    stripImage(layout::kFlatLampStrip,
               [](Image& i) { tunerLampStrip(i, layout::kFlatLampStrip, true); }),
    stripImage(layout::kSharpLampStrip,
               [](Image& i) { tunerLampStrip(i, layout::kSharpLampStrip, false); }),
    stripImage(layout::kChannelSelectorStrip, [](Image& i) { channelStrip(i); }),
    stripImage(layout::kSliderHandleStrip, [](Image& i) { sliderHandle(i); }),
    stripImage(layout::kChannelLampStrip,
               [](Image& i) { lampButtonStrip(i, layout::kChannelLampStrip, kLedRed); }),
    stripImage(layout::kEffectLampStrip,
               [](Image& i) { lampButtonStrip(i, layout::kEffectLampStrip, kLedGreen); }),
    stripImage(layout::kCabinetSelectorStrip, [](Image& i) { cabinetStrip(i); }),
    stripImage(layout::kTallMeterStrip, [](Image& i) { tallMeterStrip(i); }),
    stripImage(layout::kRoundMeterStrip, [](Image& i) { roundMeterStrip(i); }),
    {layout::kAboutBitmap, layout::kAboutWidth, layout::kAboutHeight,
     [](Image& i) { drawAbout(i, layout::kAboutWidth, layout::kAboutHeight); }},
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: artwork_generator <directory>\n");
        return 2;
    }
    const std::string directory = argv[1];
    for (const Output& out : kOutputs) {
        Image image(out.width, out.height);
        out.draw(image);
        char name[32];
        std::snprintf(name, sizeof name, "/bmp%05ld.png", out.number);
        if (!image.write(directory + name)) {
            std::fprintf(stderr, "artwork_generator: cannot write %s%s\n", directory.c_str(), name);
            return 1;
        }
    }
    // Drops cairo's and fontconfig's caches, so leak checkers see every
    // allocation freed.
    cairo_debug_reset_static_data();
    FcFini();
    return 0;
}
