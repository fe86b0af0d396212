// Shared by the toolkit tests: pictures served as the module's embedded
// images, a listener that records what controls tell it, and pixel reading.
#pragma once

#include "gui/gui.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace guitest {

// Serves a PNG picture as image `number`: `frames` sub-images of
// width x frameHeight, sub-image k filled with frameColor(k).
void addStripImage(long number, int width, int frameHeight, int frames);
// Serves `bytes` as image `number` as they are (for undecodable data).
void addRawImage(long number, std::vector<unsigned char> bytes);
// The solid colour of sub-image k in strips made by addStripImage.
CColor frameColor(int k);

// The colour of one pixel of the frame's picture (as drawn so far).
CColor pixelAt(CFrame* frame, CCoord x, CCoord y);

struct RecordingListener : CControlListener {
    void valueChanged(CControl* control) override { values.push_back(control->getValue()); }
    void controlBeginEdit(CControl*) override { ++begins; }
    void controlEndEdit(CControl*) override { ++ends; }
    long controlModifierClicked(CControl*, long) override { return modifierAnswer; }
    std::vector<float> values;
    int begins = 0;
    int ends = 0;
    long modifierAnswer = 0;
};

// A press and a release at the same point, in frame coordinates.
inline void click(CFrame* frame, CPoint where, long buttons = kLButton) {
    frame->platformMouseDown(where, buttons);
    frame->platformMouseUp(where, buttons);
}

} // namespace guitest
