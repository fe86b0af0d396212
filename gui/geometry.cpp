#include "gui/geometry.h"

#include <algorithm>

CRect& CRect::offset(CCoord dx, CCoord dy) {
    left += dx;
    right += dx;
    top += dy;
    bottom += dy;
    return *this;
}

CRect& CRect::bound(const CRect& other) {
    left = std::max(left, other.left);
    top = std::max(top, other.top);
    right = std::min(right, other.right);
    bottom = std::min(bottom, other.bottom);
    if (isEmpty()) *this = CRect();
    return *this;
}

CRect& CRect::unite(const CRect& other) {
    if (other.isEmpty()) return *this;
    if (isEmpty()) {
        *this = other;
        return *this;
    }
    left = std::min(left, other.left);
    top = std::min(top, other.top);
    right = std::max(right, other.right);
    bottom = std::max(bottom, other.bottom);
    return *this;
}

bool CRect::pointInside(const CPoint& where) const {
    return where.h >= left && where.h < right && where.v >= top && where.v < bottom;
}

bool CRect::rectOverlap(const CRect& other) const {
    CRect overlap = *this;
    return !overlap.bound(other).isEmpty();
}

CPoint& CPoint::limit() {
    h = std::clamp(h, -kCoordLimit, kCoordLimit);
    v = std::clamp(v, -kCoordLimit, kCoordLimit);
    return *this;
}

CRect& CRect::limit() {
    for (CCoord* value : {&left, &top, &right, &bottom})
        *value = std::clamp(*value, -kCoordLimit, kCoordLimit);
    return *this;
}
