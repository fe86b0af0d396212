// The bitmap controls: knob, vertical slider, on/off button, kick button,
// vertical switch and movie bitmap. Each draws one sub-image of its bitmap
// strip (images stacked top to bottom, image k starts k x height of one
// image from the top) or, for the slider, its handle.
#pragma once

#include "gui/control.h"

// Slider style bit: value 0 at the bottom, 1 at the top (without it, 0 at the top).
inline constexpr long kBottom = 64;

// A knob drawn as a strip of `subPixmaps` images. Dragging it up raises the
// value and down lowers it, 200 pixels covering the whole range (the linear
// knob mode); the value follows the distance from where the press began.
class CAnimKnob : public CControl {
public:
    CAnimKnob(const CRect& size, CControlListener* listener, long tag, long subPixmaps,
              CCoord heightOfOneImage, CBitmap* background, const CPoint& offset = CPoint());

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const long& buttons) override;
    // Turns the knob by the wheel increment per notch (up raises the value).
    bool onWheel(CPoint& where, const float& distance, const long& buttons) override;

    // Pixels of vertical drag that move the value over its whole range.
    static constexpr CCoord kDragRange = 200;

protected:
    long subPixmaps;
    CCoord heightOfOneImage;
    CPoint offset;
    CPoint pressPoint;
    float pressValue = 0.f;
};

// A slider whose handle moves vertically. `minPos` and `maxPos` are where the
// handle's top edge stands at the top and at the bottom of its travel, in the
// same space as the rectangle. With style kBottom the top of the travel is
// value 1. The handle is drawn with CBitmap::drawTransparent; a transparent
// slider draws no background of its own, so its container's background shows.
class CVerticalSlider : public CControl {
public:
    CVerticalSlider(const CRect& size, CControlListener* listener, long tag, long minPos,
                    long maxPos, CBitmap* handle, CBitmap* background,
                    const CPoint& offset = CPoint(), long style = kBottom);
    ~CVerticalSlider() override;

    void draw(CDrawContext* context) override;
    // A press on the handle drags it from where it was taken; a press beside
    // it moves the handle's centre to the pointer first.
    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const long& buttons) override;
    // Moves the value by the wheel increment per notch (up raises it).
    bool onWheel(CPoint& where, const float& distance, const long& buttons) override;

    void setTransparency(bool state) { transparent = state; }
    CBitmap* getHandle() const { return handle; }
    // The handle's rectangle for the current value (the slider's container space).
    CRect getHandleRect() const;

protected:
    // The value for a handle whose top edge stands at `handleTop`, within min..max.
    float valueForHandleTop(CCoord handleTop) const;

    long minPos;
    long maxPos;
    CBitmap* handle;
    CPoint offset;
    long style;
    bool transparent = false;
    CCoord grabOffset = 0; // pointer y minus handle top while dragging
};

// A button that flips its value between 0 and 1 on every press and tells the
// listener. Its bitmap holds two images, each half the bitmap high: off above, on below.
class COnOffButton : public CControl {
public:
    COnOffButton(const CRect& size, CControlListener* listener, long tag, CBitmap* background,
                 long style = 0);

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;

protected:
    long style;
};

// A push button: the value is 1 while pressed with the pointer over it and 0
// otherwise. Its bitmap holds two images of `heightOfOneImage`: released
// above, pressed below; without a bitmap it is an invisible click area.
// On release over the button the listener hears of the value 1 and then 0; a
// release elsewhere only ends the edit.
class CKickButton : public CControl {
public:
    CKickButton(const CRect& size, CControlListener* listener, long tag, CCoord heightOfOneImage,
                CBitmap* background, const CPoint& offset = CPoint());

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const long& buttons) override;

protected:
    CCoord heightOfOneImage;
    CPoint offset;
};

// A switch of `maxPositions` positions stacked vertically: the pointer's band
// (height of one image / positions pixels each) picks the position, the top
// band giving value 0. It draws image (positions - 1) x value + 0.5, truncated.
class CVerticalSwitch : public CControl {
public:
    CVerticalSwitch(const CRect& size, CControlListener* listener, long tag, long subPixmaps,
                    CCoord heightOfOneImage, long maxPositions, CBitmap* background,
                    const CPoint& offset = CPoint());

    void draw(CDrawContext* context) override;
    // Begins the edit, applies the reset gesture, else sets the position under the pointer.
    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const long& buttons) override;

protected:
    long subPixmaps;
    CCoord heightOfOneImage;
    long maxPositions;
    CPoint offset;
};

// A display of one image of a strip picked by the value, as the switch picks
// its image; it takes no mouse presses.
class CMovieBitmap : public CControl {
public:
    CMovieBitmap(const CRect& size, CControlListener* listener, long tag, long subPixmaps,
                 CCoord heightOfOneImage, CBitmap* background, const CPoint& offset = CPoint());

    void draw(CDrawContext* context) override;

protected:
    long subPixmaps;
    CCoord heightOfOneImage;
    CPoint offset;
};
