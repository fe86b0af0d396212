// Points and rectangles in pixels. A rectangle is written left, top, right,
// bottom; right and bottom lie just outside it, so a 20 x 20 control at the
// origin is CRect(0, 0, 20, 20). A rectangle whose right is not beyond its
// left (or bottom beyond top) is empty: it contains no point and draws nothing.
#pragma once

using CCoord = long;

// Views keep their coordinates within this many pixels of the origin, so
// sizes and offsets computed from them never overflow.
inline constexpr CCoord kCoordLimit = 1L << 30;

struct CPoint {
    CCoord h = 0; // horizontal: x
    CCoord v = 0; // vertical: y

    constexpr CPoint() = default;
    constexpr CPoint(CCoord x, CCoord y) : h(x), v(y) {}

    CPoint& offset(CCoord dx, CCoord dy) {
        h += dx;
        v += dy;
        return *this;
    }
    // Both coordinates brought within -kCoordLimit..kCoordLimit.
    CPoint& limit();
    constexpr bool operator==(const CPoint&) const = default;
};

struct CRect {
    CCoord left = 0;
    CCoord top = 0;
    CCoord right = 0;
    CCoord bottom = 0;

    constexpr CRect() = default;
    constexpr CRect(CCoord l, CCoord t, CCoord r, CCoord b)
        : left(l), top(t), right(r), bottom(b) {}

    constexpr CCoord width() const { return right - left; }
    constexpr CCoord height() const { return bottom - top; }
    constexpr bool isEmpty() const { return right <= left || bottom <= top; }

    CRect& offset(CCoord dx, CCoord dy);
    // Shrinks this rectangle to its overlap with `other` (empty when none).
    CRect& bound(const CRect& other);
    // Grows this rectangle to cover `other` too; an empty rectangle adds nothing.
    CRect& unite(const CRect& other);
    bool pointInside(const CPoint& where) const;
    // Every coordinate brought within -kCoordLimit..kCoordLimit.
    CRect& limit();
    bool rectOverlap(const CRect& other) const;

    constexpr bool operator==(const CRect&) const = default;
};
