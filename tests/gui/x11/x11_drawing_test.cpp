// What another client reads from the frame's window while the frame redraws:
// never a picture half drawn. Runs under its own virtual X server.

#include "gui/gui.h"
#include "test_display.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

constexpr int kWidth = 400;
constexpr int kHeight = 80;
constexpr std::uint32_t kPageGrey = 0x5a5a5a;

// A control drawn, as the bitmap controls are, from a picture: a solid block
// whose colour shows its value.
class Block : public CControl {
public:
    Block(const CRect& rect, std::uint32_t off, std::uint32_t on)
        : CControl(rect), offColour(off), onColour(on) {
        for (int k = 0; k < 2; ++k) {
            images[k] =
                cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(rect.width()),
                                           static_cast<int>(rect.height()));
            cairo_t* cairo = cairo_create(images[k]);
            const std::uint32_t c = colour(k == 1);
            cairo_set_source_rgb(cairo, (c >> 16) / 255.0, ((c >> 8) & 0xff) / 255.0,
                                 (c & 0xff) / 255.0);
            cairo_paint(cairo);
            cairo_destroy(cairo);
        }
    }
    ~Block() override {
        for (cairo_surface_t* image : images)
            cairo_surface_destroy(image);
    }
    void draw(CDrawContext* context) override {
        cairo_t* cairo = context->getCairo();
        cairo_set_source_surface(cairo, images[value > 0.5f ? 1 : 0],
                                 static_cast<double>(size.left), static_cast<double>(size.top));
        cairo_paint(cairo);
    }
    std::uint32_t colour(bool on) const { return on ? onColour : offColour; }

private:
    std::uint32_t offColour, onColour;
    cairo_surface_t* images[2];
};

// The editor's row of meters with knobs between them: six 12 x 36 meters,
// five 40 x 40 knobs, on a grey page over the frame's black.
struct MeterRow {
    explicit MeterRow(CFrame& frame) {
        auto* page = new CViewContainer(CRect(0, 0, kWidth, kHeight), &frame);
        page->setBackgroundColor(CColor{0x5a, 0x5a, 0x5a, 255});
        for (int i = 0; i < 6; ++i) {
            meters.push_back(
                new Block(CRect(20 + 60 * i, 20, 32 + 60 * i, 56), 0x104010, 0x30f030));
            page->addView(meters.back());
            if (i == 5) break;
            knobs.push_back(new Block(CRect(35 + 60 * i, 18, 75 + 60 * i, 58), 0x2040c0, 0xf09020));
            page->addView(knobs.back());
        }
        frame.addView(page);
    }
    // The whole picture with every meter (and every knob) on or off.
    std::vector<std::uint32_t> picture(bool metersOn, bool knobsOn) const {
        std::vector<std::uint32_t> pixels(kWidth * kHeight, kPageGrey);
        auto fill = [&](const Block* b, bool on) {
            const CRect& r = b->getViewSize();
            for (CCoord y = r.top; y < r.bottom; ++y)
                for (CCoord x = r.left; x < r.right; ++x)
                    pixels[static_cast<size_t>(y * kWidth + x)] = b->colour(on);
        };
        for (const Block* m : meters)
            fill(m, metersOn);
        for (const Block* k : knobs)
            fill(k, knobsOn);
        return pixels;
    }
    void set(std::vector<Block*>& blocks, bool on) {
        for (Block* b : blocks)
            b->setValue(on ? 1.f : 0.f);
    }

    std::vector<Block*> meters, knobs;
};

TEST(X11DrawingTest, AnotherClientNeverReadsAPictureHalfDrawnWhileMetersAndKnobsChange) {
    TestDisplay display;
    ASSERT_TRUE(display.connected()) << "needs an X server (run under xvfb-run)";
    const xcb_window_t parent = display.createWindow(0, 0, kWidth, kHeight);
    CFrame frame(CRect(0, 0, kWidth, kHeight), reinterpret_cast<void*>(std::uintptr_t{parent}),
                 nullptr);
    ASSERT_TRUE(frame.isOpen());
    MeterRow row(frame);
    frame.update();
    const xcb_window_t window = display.children(parent)[0];
    const std::vector<std::uint32_t> off = row.picture(false, false);
    const std::vector<std::uint32_t> on = row.picture(true, true);
    ASSERT_TRUE(pumpUntil([&] { frame.idle(); },
                          [&] { return display.image(window, kWidth, kHeight) == off; }));

    // Every pixel of a reading must be its view's old or new picture: never
    // the frame's black or the page's grey where a control stands.
    constexpr int kGrabs = 300;
    std::atomic<int> grabs{0};
    int partial = 0, refused = 0;
    std::thread reader([&] {
        TestDisplay own;
        for (int i = 0; i < kGrabs; ++i, grabs.store(i)) {
            const std::vector<std::uint32_t> seen = own.image(window, kWidth, kHeight);
            if (seen.empty()) {
                ++refused;
                continue;
            }
            for (size_t p = 0; p < seen.size(); ++p) {
                if (seen[p] != off[p] && seen[p] != on[p]) {
                    ++partial;
                    break;
                }
            }
        }
    });
    bool metersOn = false, knobsOn = false;
    for (int step = 0; grabs.load() < kGrabs; ++step) {
        // Mostly the meters alone, as while audio plays; now and then a knob.
        metersOn = !metersOn;
        row.set(row.meters, metersOn);
        if (step % 4 == 0) {
            knobsOn = !knobsOn;
            row.set(row.knobs, knobsOn);
        }
        frame.idle();
    }
    reader.join();
    std::printf("%d of %d readings half drawn\n", partial, kGrabs);
    EXPECT_EQ(refused, 0);
    EXPECT_EQ(partial, 0) << partial << " of " << kGrabs << " readings were half drawn";
}

} // namespace
