// The editor's artwork as the module carries it: every image decodes with the
// size and frames its controls cut it into, pictures its frames in the order the
// controls show them, and equals what the generator draws; and the editor's
// layout table, which both read, fits the images.

#include "editor/layout.h"
#include "gui/resources.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Unpremultiplied RGBA pixels of a decoded image.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;

    const std::uint8_t* at(int x, int y) const { return &rgba[4 * (std::size_t(y) * width + x)]; }
};

struct Reader {
    const unsigned char* data;
    unsigned long size;
    unsigned long position;
};

cairo_status_t readFromMemory(void* closure, unsigned char* out, unsigned int length) {
    Reader& r = *static_cast<Reader*>(closure);
    if (length > r.size - r.position) {
        return CAIRO_STATUS_READ_ERROR;
    }
    std::copy(r.data + r.position, r.data + r.position + length, out);
    r.position += length;
    return CAIRO_STATUS_SUCCESS;
}

// Empty pixels when the surface did not decode.
Pixels toPixels(cairo_surface_t* surface) {
    Pixels p;
    if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
        cairo_surface_flush(surface);
        const bool alpha = cairo_image_surface_get_format(surface) == CAIRO_FORMAT_ARGB32;
        p.width = cairo_image_surface_get_width(surface);
        p.height = cairo_image_surface_get_height(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        const unsigned char* data = cairo_image_surface_get_data(surface);
        p.rgba.resize(4 * std::size_t(p.width) * p.height);
        for (int y = 0; y < p.height; ++y) {
            for (int x = 0; x < p.width; ++x) {
                std::uint32_t v;
                std::memcpy(&v, data + std::size_t(y) * stride + 4 * x, 4);
                const unsigned a = alpha ? v >> 24 : 255;
                std::uint8_t* out = &p.rgba[4 * (std::size_t(y) * p.width + x)];
                for (int c = 0; c < 3; ++c) {
                    const unsigned premultiplied = (v >> (16 - 8 * c)) & 0xff;
                    out[c] = a == 0 ? 0 : std::uint8_t((premultiplied * 255 + a / 2) / a);
                }
                out[3] = std::uint8_t(a);
            }
        }
    }
    cairo_surface_destroy(surface);
    return p;
}

Pixels embedded(int number) {
    char name[32];
    std::snprintf(name, sizeof name, "bmp%05d.png", number);
    const EmbeddedResource* resource = findEmbeddedResource(name);
    if (resource == nullptr) {
        return {};
    }
    Reader reader{resource->data, resource->size, 0};
    return toPixels(cairo_image_surface_create_from_png_stream(readFromMemory, &reader));
}

struct Expected {
    int number;
    int width;
    int frameHeight; // 0: one image of any height
    int frames;
};

// The sizes the editor's controls cut the images into.
const Expected kImages[] = {
    {128, 701, 336, 1}, {129, 20, 20, 2}, {130, 40, 40, 76}, {131, 50, 50, 76}, {132, 6, 9, 2},
    {133, 6, 9, 2},     {134, 35, 79, 3}, {135, 20, 0, 1},   {136, 20, 20, 2},  {137, 20, 20, 2},
    {138, 22, 83, 5},   {139, 12, 36, 4}, {140, 20, 20, 4},
};

TEST(ArtworkTest, EveryImageDecodesWithTheSizeAndFramesOfItsControls) {
    for (const Expected& e : kImages) {
        SCOPED_TRACE(e.number);
        const Pixels p = embedded(e.number);
        EXPECT_EQ(p.width, e.width);
        if (e.frameHeight > 0) {
            EXPECT_EQ(p.height, e.frameHeight * e.frames);
        } else {
            EXPECT_GE(p.height, 12);
            EXPECT_LE(p.height, 30);
        }
    }
    // The about screen holds its buttons and version text, and stays inside
    // the main page when laid over it at (55, 77).
    const Pixels about = embedded(153);
    EXPECT_GE(about.width, 581);
    EXPECT_GE(about.height, 133);
    EXPECT_LE(55 + about.width, 701);
    EXPECT_LE(77 + about.height, 336);
}

TEST(ArtworkTest, NamesOutsideTheSetFindNothing) {
    EXPECT_EQ(findEmbeddedResource(nullptr), nullptr);
    EXPECT_EQ(findEmbeddedResource(""), nullptr);
    EXPECT_EQ(findEmbeddedResource("bmp00141.png"), nullptr);
    EXPECT_EQ(findEmbeddedResource("bmp00128"), nullptr);
    EXPECT_EQ(findEmbeddedResource("bmp00128.png.bak"), nullptr);
    EXPECT_EQ(findEmbeddedResource("BMP00128.PNG"), nullptr);
}

double luma(const std::uint8_t* px) {
    return 0.299 * px[0] + 0.587 * px[1] + 0.114 * px[2];
}

// Centroid of the bright, opaque pixels of one frame (the knob's pointer, the
// switch's chrome lever or handle), relative to the frame's top-left corner.
bool brightCentroid(const Pixels& p, int frame, int frameHeight, double& cx, double& cy) {
    double sx = 0, sy = 0, n = 0;
    for (int y = 0; y < frameHeight; ++y) {
        for (int x = 0; x < p.width; ++x) {
            const std::uint8_t* px = p.at(x, frame * frameHeight + y);
            if (px[3] > 128 && luma(px) >= 200) {
                sx += x + 0.5;
                sy += y + 0.5;
                n += 1;
            }
        }
    }
    if (n == 0) {
        return false;
    }
    cx = sx / n;
    cy = sy / n;
    return true;
}

TEST(ArtworkTest, SwitchStripsPictureTheBottomPositionInFrameZeroAndTheTopLast) {
    for (const Expected& e : kImages) {
        if (e.number != 129 && e.number != 134 && e.number != 138) {
            continue;
        }
        SCOPED_TRACE(e.number);
        const Pixels p = embedded(e.number);
        ASSERT_EQ(p.height, e.frameHeight * e.frames);
        const double band = double(e.frameHeight) / e.frames;
        for (int f = 0; f < e.frames; ++f) {
            double cx, cy;
            ASSERT_TRUE(brightCentroid(p, f, e.frameHeight, cx, cy)) << "frame " << f;
            // The control reads the band under the pointer, top band = last frame.
            const int bandFromTop = e.frames - 1 - f;
            EXPECT_GE(cy, bandFromTop * band) << "frame " << f;
            EXPECT_LT(cy, (bandFromTop + 1) * band) << "frame " << f;
        }
    }
}

TEST(ArtworkTest, KnobPointersSweepClockwiseThroughThreeHundredDegrees) {
    for (int number : {130, 131}) {
        SCOPED_TRACE(number);
        const Pixels p = embedded(number);
        const int size = p.width;
        ASSERT_EQ(p.height, 76 * size);
        double previous = -360;
        for (int f = 0; f < 76; ++f) {
            double cx, cy;
            ASSERT_TRUE(brightCentroid(p, f, size, cx, cy)) << "frame " << f;
            const double degrees =
                std::atan2(cx - size / 2.0, size / 2.0 - cy) * 180 / 3.14159265358979323846;
            const double expected = -150 + 300 * f / 75.0;
            EXPECT_NEAR(degrees, expected, 6) << "frame " << f;
            EXPECT_GT(degrees, previous) << "frame " << f;
            previous = degrees;
        }
    }
}

// Pixels of one frame showing a lit lamp colour.
int litPixels(const Pixels& p, int frame, int frameHeight) {
    int n = 0;
    for (int y = 0; y < frameHeight; ++y) {
        for (int x = 0; x < p.width; ++x) {
            const std::uint8_t* px = p.at(x, frame * frameHeight + y);
            n += px[3] > 128 && std::max({px[0], px[1], px[2]}) >= 220;
        }
    }
    return n;
}

TEST(ArtworkTest, LampsAreDarkInFrameZeroAndMetersLightUpFrameByFrame) {
    for (const Expected& e : kImages) {
        const bool lamp = e.number == 132 || e.number == 133 || e.number == 136 || e.number == 137;
        const bool meter = e.number == 139 || e.number == 140;
        if (!lamp && !meter) {
            continue;
        }
        SCOPED_TRACE(e.number);
        const Pixels p = embedded(e.number);
        ASSERT_EQ(p.height, e.frameHeight * e.frames);
        EXPECT_EQ(litPixels(p, 0, e.frameHeight), 0);
        for (int f = 1; f < e.frames; ++f) {
            EXPECT_GT(litPixels(p, f, e.frameHeight), 0) << "frame " << f;
        }
    }
    // The bar meter lights one more segment with each frame.
    const Pixels bar = embedded(139);
    for (int f = 1; f < 4; ++f) {
        EXPECT_GT(litPixels(bar, f, 36), litPixels(bar, f - 1, 36)) << "frame " << f;
    }
}

// The editor cuts each control's image from the strip the generator drew
// with the same table: one frame is exactly the control's rectangle, and the
// rectangle lies on the face.
TEST(LayoutTest, EveryControlShowsOneFrameOfItsImageAsDrawn) {
    using layout::Kind;
    for (int entry = 0; entry < layout::kNumControls; ++entry) {
        SCOPED_TRACE(entry);
        const layout::Control& c = layout::kControls[entry];
        EXPECT_GE(c.rect.left, 0);
        EXPECT_GE(c.rect.top, 0);
        EXPECT_LE(c.rect.right, layout::kFaceWidth);
        EXPECT_LE(c.rect.bottom, layout::kFaceHeight);
        const bool drawn = c.kind != Kind::tunerLabel && c.kind != Kind::kickButton;
        ASSERT_EQ(c.bitmap != layout::kNoBitmap, drawn);
        if (!drawn) continue;
        const layout::Strip* strip = layout::findStrip(c.bitmap);
        ASSERT_NE(strip, nullptr);
        const Pixels image = embedded(static_cast<int>(c.bitmap));
        EXPECT_EQ(image.width, c.rect.width());
        EXPECT_EQ(image.height, strip->frames * strip->frameHeight);
        if (c.kind == Kind::slider) {
            // The handle travels inside the face, bottom below top.
            EXPECT_LT(c.handle.top, c.handle.bottom);
            EXPECT_GE(c.handle.top, 0);
            EXPECT_LE(c.handle.bottom + image.height, layout::kFaceHeight);
        } else {
            EXPECT_EQ(strip->frameHeight, c.rect.height());
        }
    }
}

// The face draws channel B's legends kChannelBOffset below channel A's.
TEST(LayoutTest, ChannelBRepeatsChannelAOffsetLower) {
    using layout::kControls;
    int twins = 0;
    for (const layout::Control& a : kControls) {
        const bool meter = a.tag == kCompressorAMeterTag || a.tag == kLimiterAMeterTag;
        if (!meter && (a.tag < 4 || a.tag > 14)) continue; // channel A: CompA .. ClipA
        const long twinTag = meter ? a.tag + 2 : a.tag + layout::kChannelTagStep;
        const int b = layout::findControl(a.kind, twinTag);
        ASSERT_GE(b, 0) << "tag " << a.tag;
        EXPECT_EQ(kControls[b].rect, a.rect.shifted(0, layout::kChannelBOffset)) << "tag " << a.tag;
        EXPECT_EQ(kControls[b].bitmap, a.bitmap) << "tag " << a.tag;
        ++twins;
    }
    EXPECT_EQ(twins, 15);
}

// The refresh finds the six meters and the tuner display by kind and tag.
TEST(LayoutTest, MetersAndTunerDisplayAreFoundByKindAndTag) {
    using layout::Kind;
    int meters = 0;
    for (const layout::Control& c : layout::kControls)
        meters += c.kind == Kind::meter;
    EXPECT_EQ(meters, 6);
    for (long tag = kCompressorAMeterTag; tag <= kOutputMeterTag; ++tag)
        EXPECT_GE(layout::findControl(Kind::meter, tag), 0) << "tag " << tag;
    EXPECT_EQ(layout::findControl(Kind::meter, kTunerTag), -1);
    // A click anywhere on the display (label and both lamps) toggles the tuner.
    const layout::Rect button =
        layout::kControls[layout::findControl(Kind::kickButton, kTunerTag)].rect;
    const int parts[] = {layout::findControl(Kind::tunerLabel, kNoTag),
                         layout::findControl(Kind::tunerLamp, kTunerTag, layout::kFlatLampBitmap),
                         layout::findControl(Kind::tunerLamp, kTunerTag, layout::kSharpLampBitmap)};
    for (int entry : parts) {
        ASSERT_GE(entry, 0);
        const layout::Rect r = layout::kControls[entry].rect;
        EXPECT_TRUE(r.left >= button.left && r.top >= button.top && r.right <= button.right &&
                    r.bottom <= button.bottom)
            << "entry " << entry;
    }
}

#ifdef TARVEX_ARTWORK_GENERATOR
TEST(ArtworkTest, TheGeneratorRedrawsTheEmbeddedImagesPixelForPixel) {
    const std::filesystem::path dir =
        std::filesystem::path(::testing::TempDir()) / ("artwork_" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string command =
        std::string("\"") + TARVEX_ARTWORK_GENERATOR + "\" \"" + dir.string() + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    std::vector<int> numbers;
    for (const Expected& e : kImages) {
        numbers.push_back(e.number);
    }
    numbers.push_back(153);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir),
                            std::filesystem::directory_iterator()),
              static_cast<long>(numbers.size()));
    for (int number : numbers) {
        SCOPED_TRACE(number);
        char name[32];
        std::snprintf(name, sizeof name, "bmp%05d.png", number);
        const Pixels drawn =
            toPixels(cairo_image_surface_create_from_png((dir / name).string().c_str()));
        const Pixels carried = embedded(number);
        ASSERT_GT(drawn.width, 0);
        ASSERT_EQ(drawn.width, carried.width);
        ASSERT_EQ(drawn.height, carried.height);
        long differing = 0;
        for (std::size_t i = 0; i < drawn.rgba.size(); ++i) {
            differing += drawn.rgba[i] != carried.rgba[i];
        }
        EXPECT_EQ(differing, 0) << "regenerate with: cmake --build build --target generate_artwork";
    }
    std::filesystem::remove_all(dir);
}
#endif

} // namespace
