// CView, the base of everything on screen, and CViewContainer, a view that
// holds others.
//
// Coordinates: a view's size rectangle lies in the space of its container;
// the mouse handlers receive points in that same space, so a view compares
// them directly with its size. A container translates points and drawing for
// its children by its own top-left corner.
//
// Ownership: views are reference counted. addView takes over the caller's
// reference; removeView and removeAll with `withForget` true drop it, with
// false they leave the view alive for the caller to add again or forget.
#pragma once

#include "gui/bitmap.h"
#include "gui/color.h"
#include "gui/draw_context.h"
#include "gui/geometry.h"
#include "gui/mouse.h"
#include "gui/reference.h"

#include <vector>

class CFrame;
class CViewContainer;

class CView : public CReferenceCounter {
public:
    explicit CView(const CRect& size);
    ~CView() override;

    virtual void draw(CDrawContext* context);

    virtual CMouseEventResult onMouseDown(CPoint& where, const long& buttons);
    virtual CMouseEventResult onMouseUp(CPoint& where, const long& buttons);
    virtual CMouseEventResult onMouseMoved(CPoint& where, const long& buttons);
    // The wheel turned `distance` notches (positive away from the user) with
    // the pointer at `where`; true when the view used it. False here.
    virtual bool onWheel(CPoint& where, const float& distance, const long& buttons);

    // Needs redrawing. A control is also dirty while its value differs from the one last drawn.
    virtual bool isDirty() const { return dirty; }
    virtual void setDirty(bool state = true) { dirty = state; }
    // Asks the frame to redraw this view's area at its next drawing pass.
    virtual void invalid();

    void setMouseEnabled(bool enabled) { mouseEnabled = enabled; }
    bool getMouseEnabled() const { return mouseEnabled; }

    const CRect& getViewSize() const { return size; }
    void getViewSize(CRect& rect) const { rect = size; }
    virtual void setViewSize(const CRect& rect);
    CCoord getWidth() const { return size.width(); }
    CCoord getHeight() const { return size.height(); }
    // This view's rectangle in frame coordinates.
    CRect getFrameRect() const;

    CFrame* getFrame() const { return frame; }
    CViewContainer* getParentView() const { return parent; }
    bool isAttached() const { return frame != nullptr; }

    // The bitmap the view draws as its background (remembered while held); may be null.
    virtual void setBackground(CBitmap* bitmap);
    CBitmap* getBackground() const { return background; }

    // Called by a container when the view is added to it (or removed).
    virtual void attached(CViewContainer* container, CFrame* owner);
    virtual void removed();

#ifdef TARVEX_RTAS
    // The older generation's single modal entry for a press at `where` (the
    // space the handlers above receive). A button word of -1 stands for the
    // buttons held now. By default it runs the handlers above: the press,
    // then, while the left button stays down, a move for every reading of the
    // pointer, then the release.
    virtual void mouse(CDrawContext* context, CPoint& where, long buttons = -1);
    // Where the pointer is now, in the space of this view's press point.
    void getMouseLocation(CDrawContext* context, CPoint& where) const;
    // One pass of idle time during modal tracking: the frame's editor redraws.
    void doIdleStuff();
#endif

protected:
    CRect size;
    CBitmap* background = nullptr;
    CFrame* frame = nullptr;
    CViewContainer* parent = nullptr;
    bool dirty = false;
    bool mouseEnabled = true;
};

class CViewContainer : public CView {
public:
    // `owner` is the frame the container will show in (may be null until it is added).
    CViewContainer(const CRect& size, CFrame* owner, CBitmap* background = nullptr);
    // Forgets every view it holds.
    ~CViewContainer() override;

    // Adds `view` in front of the views already held, taking over the caller's reference.
    virtual bool addView(CView* view);
    // Takes `view` out; with `withForget` drops the container's reference. False when not held.
    virtual bool removeView(CView* view, bool withForget = true);
    virtual bool removeAll(bool withForget = true);
    bool isChild(const CView* view) const;
    long getNbViews() const { return static_cast<long>(views.size()); }
    CView* getView(long index) const;

    void setBackgroundColor(const CColor& color) { backgroundColor = color; }
    CColor getBackgroundColor() const { return backgroundColor; }

    // Background (bitmap, else the background colour), then the views in the order they were added.
    void draw(CDrawContext* context) override;
    // Draws only what lies in `area` (this container's coordinates).
    virtual void drawRect(CDrawContext* context, const CRect& area);

    // The front-most view under the point whose mouse is enabled gets the
    // press; when it does not handle it, the press goes on to the one beneath.
    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;
    // Moves and the release go to the child that took the press.
    CMouseEventResult onMouseUp(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const long& buttons) override;
    // The front-most view under the point whose mouse is enabled gets the wheel.
    bool onWheel(CPoint& where, const float& distance, const long& buttons) override;
#ifdef TARVEX_RTAS
    // The front-most view under the point whose mouse is enabled gets the press.
    void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
#endif

    bool isDirty() const override;
    void setDirty(bool state = true) override;

    void attached(CViewContainer* container, CFrame* owner) override;
    void removed() override;

    // The view under `where` (container coordinates) that would get a press, or null.
    CView* getViewAt(const CPoint& where) const;

protected:
    // A point of this container's space in the space `child` works in: a
    // plain view works in its container's space, a container in its own.
    static CPoint toChildSpace(const CView* child, const CPoint& where);

    std::vector<CView*> views; // back to front
    CColor backgroundColor = kBlackCColor;
    CView* mouseTarget = nullptr; // the child that took the last press
    friend class CFrame;
};
