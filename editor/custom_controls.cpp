#include "editor/custom_controls.h"

#include <algorithm>
#include <cmath>

AEffGUIEditor* CMyKickButton::frameEditor() const {
    return frame != nullptr ? frame->getEditor() : nullptr;
}

void CMyKickButton::endEditAfterNotifying(AEffGUIEditor* editor) {
    if (frame != nullptr || editor == nullptr) {
        endEdit();
        return;
    }
    editor->endEdit(static_cast<VstInt32>(tag));
    if (listener != nullptr) listener->controlEndEdit(this);
}

float CMyVerticalSwitch::valueAt(const CPoint& where) const {
    // Bands of (height of one image / positions) pixels from the top; band k
    // is position k / (positions - 1) counted from the top.
    const double step = static_cast<double>(heightOfOneImage) / static_cast<double>(maxPositions);
    double position = 0.0;
    if (step > 0.0 && maxPositions > 1)
        position = std::trunc(static_cast<double>(where.v - size.top) / step) /
                   static_cast<double>(maxPositions - 1);
    return 1.0f - std::clamp(static_cast<float>(position), 0.0f, 1.0f);
}
