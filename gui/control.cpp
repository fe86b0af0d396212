#include "gui/control.h"

#include "gui/editor.h"
#include "gui/frame.h"

#include <algorithm>
#include <cmath>

void CControlListener::controlBeginEdit(CControl*) {}

void CControlListener::controlEndEdit(CControl*) {}

CControl::CControl(const CRect& rect, CControlListener* owner, long id, CBitmap* bitmap)
    : CView(rect), listener(owner), tag(id) {
    setBackground(bitmap);
}

CControl::~CControl() = default;

void CControl::setValue(float newValue) {
    value = std::isnan(newValue) ? vmin : newValue;
    bounceValue();
}

void CControl::bounceValue() {
    if (value > vmax) value = vmax;
    if (value < vmin) value = vmin;
}

bool CControl::isDirty() const {
    return dirty || value != oldValue;
}

void CControl::setDirty(bool state) {
    dirty = state;
    if (!state) oldValue = value;
}

void CControl::beginEdit() {
    if (listener) listener->controlBeginEdit(this);
    if (frame && frame->getEditor()) frame->getEditor()->beginEdit(static_cast<VstInt32>(tag));
}

void CControl::endEdit() {
    if (frame && frame->getEditor()) frame->getEditor()->endEdit(static_cast<VstInt32>(tag));
    if (listener) listener->controlEndEdit(this);
}

bool CControl::checkDefaultValue(long buttons) {
    if (buttons != (kLButton | kControl)) return false;
    changeValue(defaultValue);
    return true;
}

void CControl::changeValue(float newValue) {
    const float before = value;
    setValue(newValue);
    if (value != before) {
        notifyValueChanged();
        invalid();
    }
}

void CControl::turnByWheel(float distance, long buttons) {
    const float notch = (buttons & kShift) ? wheelInc / 10.f : wheelInc;
    float next = value + distance * notch * (vmax - vmin);
    if (std::isnan(next)) return;
    next = std::clamp(next, vmin, vmax);
    if (next == value) return;
    beginEdit();
    changeValue(next);
    endEdit();
}

long CControl::frameForValue(long count) const {
    if (count <= 1) return 0;
    float range = vmax - vmin;
    float normal = range > 0.f ? (value - vmin) / range : 0.f;
    double position = static_cast<double>(count - 1) * normal + 0.5;
    if (!(position >= 0.0)) return 0;
    if (position >= static_cast<double>(count - 1)) return count - 1;
    return static_cast<long>(position);
}
