#include "gui/controls.h"

#include <algorithm>
#include <cmath>

namespace {
// Draws sub-image `index` of a strip whose images are `imageHeight` high
// (nothing when that lies beyond any picture).
void drawStripImage(CBitmap* bitmap, CDrawContext* context, const CRect& size, const CPoint& offset,
                    long index, CCoord imageHeight) {
    CCoord top = 0;
    if (!bitmap || __builtin_mul_overflow(index, imageHeight, &top) ||
        __builtin_add_overflow(top, offset.v, &top))
        return;
    bitmap->draw(context, size, CPoint(offset.h, top));
}
} // namespace

// --- CAnimKnob ---

CAnimKnob::CAnimKnob(const CRect& rect, CControlListener* owner, long id, long images,
                     CCoord imageHeight, CBitmap* bitmap, const CPoint& origin)
    : CControl(rect, owner, id, bitmap), subPixmaps(images), heightOfOneImage(imageHeight),
      offset(origin) {}

void CAnimKnob::draw(CDrawContext* context) {
    drawStripImage(background, context, size, offset, frameForValue(subPixmaps), heightOfOneImage);
}

CMouseEventResult CAnimKnob::onMouseDown(CPoint& where, const long& buttons) {
    if (!(buttons & kLButton)) return kMouseEventNotHandled;
    beginEdit();
    if (checkDefaultValue(buttons)) {
        endEdit();
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
    pressPoint = where;
    pressValue = value;
    return kMouseEventHandled;
}

CMouseEventResult CAnimKnob::onMouseMoved(CPoint& where, const long& buttons) {
    if (!(buttons & kLButton)) return kMouseEventHandled;
    const double travel = static_cast<double>(pressPoint.v - where.v) / kDragRange;
    changeValue(static_cast<float>(pressValue + travel * (vmax - vmin)));
    return kMouseEventHandled;
}

CMouseEventResult CAnimKnob::onMouseUp(CPoint& /*where*/, const long& /*buttons*/) {
    endEdit();
    return kMouseEventHandled;
}

bool CAnimKnob::onWheel(CPoint& /*where*/, const float& distance, const long& buttons) {
    turnByWheel(distance, buttons);
    return true;
}

// --- CVerticalSlider ---

CVerticalSlider::CVerticalSlider(const CRect& rect, CControlListener* owner, long id, long top,
                                 long bottom, CBitmap* handleBitmap, CBitmap* bitmap,
                                 const CPoint& origin, long sliderStyle)
    : CControl(rect, owner, id, bitmap), minPos(std::clamp(top, -kCoordLimit, kCoordLimit)),
      maxPos(std::clamp(bottom, -kCoordLimit, kCoordLimit)), handle(handleBitmap), offset(origin),
      style(sliderStyle) {
    if (handle) handle->remember();
}

CVerticalSlider::~CVerticalSlider() {
    if (handle) handle->forget();
}

CRect CVerticalSlider::getHandleRect() const {
    const CCoord width = handle ? handle->getWidth() : 0;
    const CCoord height = handle ? handle->getHeight() : 0;
    const float range = vmax - vmin;
    double share = range > 0.f ? (value - vmin) / range : 0.0;
    if (style & kBottom) share = 1.0 - share;
    const CCoord top = minPos + std::lround(share * static_cast<double>(maxPos - minPos));
    const CCoord left = size.left + (size.width() - width) / 2;
    return CRect(left, top, left + width, top + height);
}

float CVerticalSlider::valueForHandleTop(CCoord handleTop) const {
    const CCoord travel = maxPos - minPos;
    if (travel <= 0) return value;
    double share = std::clamp(static_cast<double>(handleTop - minPos) / travel, 0.0, 1.0);
    if (style & kBottom) share = 1.0 - share;
    return static_cast<float>(vmin + share * (vmax - vmin));
}

void CVerticalSlider::draw(CDrawContext* context) {
    if (!transparent && background) background->draw(context, size, offset);
    if (handle) handle->drawTransparent(context, getHandleRect());
}

CMouseEventResult CVerticalSlider::onMouseDown(CPoint& where, const long& buttons) {
    if (!(buttons & kLButton)) return kMouseEventNotHandled;
    beginEdit();
    if (checkDefaultValue(buttons)) {
        endEdit();
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
    const CRect handleRect = getHandleRect();
    if (where.v >= handleRect.top && where.v < handleRect.bottom) {
        grabOffset = where.v - handleRect.top;
        return kMouseEventHandled;
    }
    grabOffset = handleRect.height() / 2;
    return onMouseMoved(where, buttons);
}

CMouseEventResult CVerticalSlider::onMouseMoved(CPoint& where, const long& buttons) {
    if (!(buttons & kLButton)) return kMouseEventHandled;
    changeValue(valueForHandleTop(where.v - grabOffset));
    return kMouseEventHandled;
}

CMouseEventResult CVerticalSlider::onMouseUp(CPoint& /*where*/, const long& /*buttons*/) {
    endEdit();
    return kMouseEventHandled;
}

bool CVerticalSlider::onWheel(CPoint& /*where*/, const float& distance, const long& buttons) {
    turnByWheel(distance, buttons);
    return true;
}

// --- COnOffButton ---

COnOffButton::COnOffButton(const CRect& rect, CControlListener* owner, long id, CBitmap* bitmap,
                           long buttonStyle)
    : CControl(rect, owner, id, bitmap), style(buttonStyle) {}

void COnOffButton::draw(CDrawContext* context) {
    if (background)
        drawStripImage(background, context, size, CPoint(), frameForValue(2),
                       background->getHeight() / 2);
}

CMouseEventResult COnOffButton::onMouseDown(CPoint& /*where*/, const long& buttons) {
    if (!(buttons & kLButton)) return kMouseEventNotHandled;
    beginEdit();
    setValue(value > (vmin + vmax) / 2 ? vmin : vmax);
    invalid();
    notifyValueChanged();
    endEdit();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

// --- CKickButton ---

CKickButton::CKickButton(const CRect& rect, CControlListener* owner, long id, CCoord imageHeight,
                         CBitmap* bitmap, const CPoint& origin)
    : CControl(rect, owner, id, bitmap), heightOfOneImage(imageHeight), offset(origin) {}

void CKickButton::draw(CDrawContext* context) {
    drawStripImage(background, context, size, offset, frameForValue(2), heightOfOneImage);
}

CMouseEventResult CKickButton::onMouseDown(CPoint& /*where*/, const long& buttons) {
    if (!(buttons & kLButton)) return kMouseEventNotHandled;
    beginEdit();
    setValue(vmax);
    invalid();
    return kMouseEventHandled;
}

CMouseEventResult CKickButton::onMouseMoved(CPoint& where, const long& buttons) {
    if (!(buttons & kLButton)) return kMouseEventHandled;
    const float pressed = size.pointInside(where) ? vmax : vmin;
    if (pressed != value) {
        setValue(pressed);
        invalid();
    }
    return kMouseEventHandled;
}

CMouseEventResult CKickButton::onMouseUp(CPoint& where, const long& /*buttons*/) {
    if (size.pointInside(where)) {
        setValue(vmax);
        notifyValueChanged();
    }
    setValue(vmin);
    if (size.pointInside(where)) notifyValueChanged();
    invalid();
    endEdit();
    return kMouseEventHandled;
}

// --- CVerticalSwitch ---

CVerticalSwitch::CVerticalSwitch(const CRect& rect, CControlListener* owner, long id, long images,
                                 CCoord imageHeight, long positions, CBitmap* bitmap,
                                 const CPoint& origin)
    : CControl(rect, owner, id, bitmap), subPixmaps(images), heightOfOneImage(imageHeight),
      maxPositions(positions), offset(origin) {}

void CVerticalSwitch::draw(CDrawContext* context) {
    drawStripImage(background, context, size, offset, frameForValue(maxPositions),
                   heightOfOneImage);
}

CMouseEventResult CVerticalSwitch::onMouseDown(CPoint& where, const long& buttons) {
    if (!(buttons & kLButton)) return kMouseEventNotHandled;
    beginEdit();
    if (checkDefaultValue(buttons)) {
        endEdit();
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
    return onMouseMoved(where, buttons);
}

CMouseEventResult CVerticalSwitch::onMouseMoved(CPoint& where, const long& buttons) {
    if (!(buttons & kLButton)) return kMouseEventHandled;
    double position = 0.0;
    if (maxPositions > 1 && heightOfOneImage > 0) {
        const double step = static_cast<double>(heightOfOneImage) / maxPositions;
        const double band = std::trunc(static_cast<double>(where.v - size.top) / step);
        position = std::clamp(band / static_cast<double>(maxPositions - 1), 0.0, 1.0);
    }
    changeValue(static_cast<float>(vmin + position * (vmax - vmin)));
    return kMouseEventHandled;
}

CMouseEventResult CVerticalSwitch::onMouseUp(CPoint& /*where*/, const long& /*buttons*/) {
    endEdit();
    return kMouseEventHandled;
}

// --- CMovieBitmap ---

CMovieBitmap::CMovieBitmap(const CRect& rect, CControlListener* owner, long id, long images,
                           CCoord imageHeight, CBitmap* bitmap, const CPoint& origin)
    : CControl(rect, owner, id, bitmap), subPixmaps(images), heightOfOneImage(imageHeight),
      offset(origin) {}

void CMovieBitmap::draw(CDrawContext* context) {
    drawStripImage(background, context, size, offset, frameForValue(subPixmaps), heightOfOneImage);
}
