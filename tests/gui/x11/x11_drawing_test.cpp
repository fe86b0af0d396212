// What another client reads from the frame's window while the frame redraws:
// never a picture half drawn. Runs under its own virtual X server.

#include "gui/gui.h"
#include "tests/support/x11/test_display.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

constexpr int kWidth = 400, kHeight = 80;

// A control drawn from a picture, as the bitmap controls are: a block whose
// colour shows its value.
class Block : public CControl {
public:
    Block(const CRect& rect, std::uint32_t off, std::uint32_t on)
        : CControl(rect), colours{off, on} {
        for (int k = 0; k < 2; ++k) {
            images[k] = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, int(rect.width()),
                                                   int(rect.height()));
            cairo_t* cairo = cairo_create(images[k]);
            cairo_set_source_rgb(cairo, (colours[k] >> 16) / 255.0,
                                 ((colours[k] >> 8) & 0xff) / 255.0, (colours[k] & 0xff) / 255.0);
            cairo_paint(cairo);
            cairo_destroy(cairo);
        }
    }
    ~Block() override {
        for (cairo_surface_t* image : images)
            cairo_surface_destroy(image);
    }
    void draw(CDrawContext* context) override {
        cairo_set_source_surface(context->getCairo(), images[value > 0.5f ? 1 : 0],
                                 double(size.left), double(size.top));
        cairo_paint(context->getCairo());
    }
    const std::uint32_t colours[2];

private:
    cairo_surface_t* images[2];
};

TEST(X11DrawingTest, AnotherClientNeverReadsAPictureHalfDrawnWhileMetersAndKnobsChange) {
    TestDisplay display;
    ASSERT_TRUE(display.connected()) << "needs an X server (run under xvfb-run)";
    const xcb_window_t parent = display.createWindow(0, 0, kWidth, kHeight);
    CFrame frame(CRect(0, 0, kWidth, kHeight), reinterpret_cast<void*>(std::uintptr_t{parent}),
                 nullptr);
    ASSERT_TRUE(frame.isOpen());
    // The editor's row: six 12 x 36 meters with 40 x 40 knobs between them, on
    // a grey page over the frame's black.
    auto* page = new CViewContainer(CRect(0, 0, kWidth, kHeight), &frame);
    page->setBackgroundColor(CColor{0x5a, 0x5a, 0x5a, 255});
    std::vector<Block*> meters, knobs;
    for (int i = 0; i < 6; ++i) {
        meters.push_back(new Block(CRect(20 + 60 * i, 20, 32 + 60 * i, 56), 0x104010, 0x30f030));
        if (i < 5)
            knobs.push_back(new Block(CRect(35 + 60 * i, 18, 75 + 60 * i, 58), 0x2040c0, 0xf09020));
    }
    std::vector<std::uint32_t> pictures[2]; // every control off, every one on
    for (int on = 0; on < 2; ++on) {
        pictures[on].assign(kWidth * kHeight, 0x5a5a5a);
        for (const auto* group : {&meters, &knobs}) {
            for (Block* block : *group) {
                const CRect& r = block->getViewSize();
                for (CCoord y = r.top; y < r.bottom; ++y)
                    for (CCoord x = r.left; x < r.right; ++x)
                        pictures[on][size_t(y * kWidth + x)] = block->colours[on];
                if (on) page->addView(block);
            }
        }
    }
    frame.addView(page);
    const xcb_window_t window = display.children(parent)[0];
    ASSERT_TRUE(
        pumpUntil([&] { frame.idle(); },
                  [&] { return display.image(window, 0, 0, kWidth, kHeight) == pictures[0]; }));

    // Every pixel read must be its view's old or new picture: never the
    // frame's black or the page's grey where a control stands.
    constexpr int kReadings = 300;
    std::atomic<int> readings{0};
    int partial = 0;
    std::thread reader([&] {
        TestDisplay own;
        for (int i = 0; i < kReadings; readings.store(++i)) {
            const std::vector<std::uint32_t> seen = own.image(window, 0, 0, kWidth, kHeight);
            for (size_t p = 0; p < seen.size(); ++p) {
                if (seen[p] != pictures[0][p] && seen[p] != pictures[1][p]) {
                    ++partial;
                    break;
                }
            }
            if (seen.empty()) ++partial;
        }
    });
    // Mostly the meters alone, as while audio plays; now and then the knobs.
    for (int step = 0; readings.load() < kReadings; ++step) {
        for (Block* meter : meters)
            meter->setValue(step % 2 ? 1.f : 0.f);
        for (Block* knob : knobs)
            knob->setValue(step % 8 < 4 ? 1.f : 0.f);
        frame.idle();
    }
    reader.join();
    std::printf("%d of %d readings half drawn\n", partial, kReadings);
    EXPECT_EQ(partial, 0);
}

} // namespace
