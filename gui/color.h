// An 8-bit RGBA colour; alpha 255 is opaque.
#pragma once

struct CColor {
    unsigned char red = 0;
    unsigned char green = 0;
    unsigned char blue = 0;
    unsigned char alpha = 255;

    constexpr bool operator==(const CColor&) const = default;
};

constexpr CColor MakeCColor(unsigned char red, unsigned char green, unsigned char blue,
                            unsigned char alpha = 255) {
    return CColor{red, green, blue, alpha};
}

inline constexpr CColor kBlackCColor{0, 0, 0, 255};
inline constexpr CColor kWhiteCColor{255, 255, 255, 255};
inline constexpr CColor kRedCColor{255, 0, 0, 255};
// The colour that CBitmap::drawTransparent leaves out by default (magenta).
inline constexpr CColor kMagentaCColor{255, 0, 255, 255};
