#include "gui/view.h"

#include "gui/editor.h"
#include "gui/frame.h"

#include <algorithm>

CView::CView(const CRect& rect) : size(rect) {
    size.limit();
}

CView::~CView() {
    // Forgotten while still held by a container: leave no dangling entry there.
    if (parent) parent->removeView(this, false);
    if (background) background->forget();
}

void CView::draw(CDrawContext* context) {
    if (background) background->draw(context, size);
}

CMouseEventResult CView::onMouseDown(CPoint& /*where*/, const long& /*buttons*/) {
    return kMouseEventNotHandled;
}

CMouseEventResult CView::onMouseUp(CPoint& /*where*/, const long& /*buttons*/) {
    return kMouseEventNotHandled;
}

CMouseEventResult CView::onMouseMoved(CPoint& /*where*/, const long& /*buttons*/) {
    return kMouseEventNotHandled;
}

bool CView::onWheel(CPoint& /*where*/, const float& /*distance*/, const long& /*buttons*/) {
    return false;
}

void CView::invalid() {
    if (frame)
        frame->invalidRect(getFrameRect());
    else
        dirty = true;
}

void CView::setViewSize(const CRect& rect) {
    if (frame) frame->invalidRect(getFrameRect());
    size = rect;
    size.limit();
    invalid();
}

CRect CView::getFrameRect() const {
    CRect rect = size;
    // The root's own corner is the origin of frame coordinates.
    for (const CViewContainer* up = parent; up && up->getParentView(); up = up->getParentView())
        rect.offset(up->getViewSize().left, up->getViewSize().top);
    return rect;
}

void CView::setBackground(CBitmap* bitmap) {
    if (bitmap) bitmap->remember();
    if (background) background->forget();
    background = bitmap;
    setDirty(true);
}

void CView::attached(CViewContainer* container, CFrame* owner) {
    parent = container;
    frame = owner;
    setDirty(true);
}

void CView::removed() {
    parent = nullptr;
    frame = nullptr;
}

CViewContainer::CViewContainer(const CRect& rect, CFrame* owner, CBitmap* bitmap) : CView(rect) {
    frame = owner;
    setBackground(bitmap);
}

CViewContainer::~CViewContainer() {
    removeAll(true);
}

bool CViewContainer::addView(CView* view) {
    if (!view || view == this || isChild(view) || view->getParentView()) return false;
    views.push_back(view);
    view->attached(this, frame);
    if (frame) frame->invalidRect(view->getFrameRect());
    return true;
}

bool CViewContainer::removeView(CView* view, bool withForget) {
    auto found = std::find(views.begin(), views.end(), view);
    if (found == views.end()) return false;
    if (frame) frame->invalidRect(view->getFrameRect());
    if (mouseTarget == view) mouseTarget = nullptr;
    views.erase(found);
    view->removed();
    if (withForget) view->forget();
    return true;
}

bool CViewContainer::removeAll(bool withForget) {
    if (frame) frame->invalidRect(getFrameRect());
    mouseTarget = nullptr;
    // Take the list first: a view forgotten here may not reach back into it.
    std::vector<CView*> taken;
    taken.swap(views);
    for (CView* view : taken) {
        view->removed();
        if (withForget) view->forget();
    }
    return true;
}

bool CViewContainer::isChild(const CView* view) const {
    return std::find(views.begin(), views.end(), view) != views.end();
}

CView* CViewContainer::getView(long index) const {
    if (index < 0 || index >= getNbViews()) return nullptr;
    return views[static_cast<size_t>(index)];
}

void CViewContainer::draw(CDrawContext* context) {
    drawRect(context, CRect(0, 0, size.width(), size.height()));
}

void CViewContainer::drawRect(CDrawContext* context, const CRect& area) {
    context->save();
    context->setOffset(
        CPoint(context->getOffset().h + size.left, context->getOffset().v + size.top));
    CRect local(0, 0, size.width(), size.height());
    local.bound(area);
    context->setClipRect(local);
    if (background) {
        background->draw(context, CRect(0, 0, size.width(), size.height()));
    } else {
        context->setFillColor(backgroundColor);
        context->fillRect(local);
    }
    for (CView* view : views) {
        if (!view->getViewSize().rectOverlap(local)) continue;
        context->save();
        context->setClipRect(view->getViewSize());
        if (auto* container = dynamic_cast<CViewContainer*>(view)) {
            CRect inner = local;
            inner.offset(-view->getViewSize().left, -view->getViewSize().top);
            container->drawRect(context, inner);
        } else {
            view->draw(context);
        }
        view->setDirty(false);
        context->restore();
    }
    context->restore();
    setDirty(false);
}

CView* CViewContainer::getViewAt(const CPoint& where) const {
    for (auto it = views.rbegin(); it != views.rend(); ++it) {
        if ((*it)->getMouseEnabled() && (*it)->getViewSize().pointInside(where)) return *it;
    }
    return nullptr;
}

CPoint CViewContainer::toChildSpace(const CView* child, const CPoint& where) {
    if (dynamic_cast<const CViewContainer*>(child) == nullptr) return where;
    return CPoint(where.h - child->getViewSize().left, where.v - child->getViewSize().top);
}

CMouseEventResult CViewContainer::onMouseDown(CPoint& where, const long& buttons) {
    mouseTarget = nullptr;
    // Walk front to back over a copy: a handler may add or remove views.
    std::vector<CView*> order(views.rbegin(), views.rend());
    for (CView* view : order) {
        if (!isChild(view) || !view->getMouseEnabled() || !view->getViewSize().pointInside(where))
            continue;
        CPoint local = toChildSpace(view, where);
        CMouseEventResult result = view->onMouseDown(local, buttons);
        if (result == kMouseEventNotHandled) continue;
        if (result == kMouseEventHandled && isChild(view)) mouseTarget = view;
        return result;
    }
    return kMouseEventNotHandled;
}

CMouseEventResult CViewContainer::onMouseUp(CPoint& where, const long& buttons) {
    CView* target = mouseTarget;
    mouseTarget = nullptr;
    if (!target || !isChild(target)) return kMouseEventNotHandled;
    CPoint local = toChildSpace(target, where);
    return target->onMouseUp(local, buttons);
}

CMouseEventResult CViewContainer::onMouseMoved(CPoint& where, const long& buttons) {
    CView* target = mouseTarget;
    if (!target || !isChild(target)) return kMouseEventNotHandled;
    CPoint local = toChildSpace(target, where);
    return target->onMouseMoved(local, buttons);
}

bool CViewContainer::onWheel(CPoint& where, const float& distance, const long& buttons) {
    CView* target = getViewAt(where);
    if (!target) return false;
    CPoint local = toChildSpace(target, where);
    // The handler may take the view out of this container.
    target->remember();
    const bool used = target->onWheel(local, distance, buttons);
    target->forget();
    return used;
}

bool CViewContainer::isDirty() const {
    if (dirty) return true;
    return std::any_of(views.begin(), views.end(), [](const CView* v) { return v->isDirty(); });
}

void CViewContainer::setDirty(bool state) {
    dirty = state;
    if (state && frame) frame->invalidRect(getFrameRect());
}

void CViewContainer::attached(CViewContainer* container, CFrame* owner) {
    CView::attached(container, owner);
    for (CView* view : views)
        view->attached(this, owner);
}

void CViewContainer::removed() {
    // Children keep knowing this container; only the frame is gone.
    for (CView* view : views)
        view->attached(this, nullptr);
    CView::removed();
}
