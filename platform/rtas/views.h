// Plug-in views. On the real platform the library lays out the plug-in's
// window from view descriptions, builds custom views through creators the
// plug-in registers by name, and forwards the host's drawing and clicks to
// them. Here a CNoResourceView holds the views built from its descriptions.
#pragma once

#include "platform/rtas/carbon.h"

#include <memory>
#include <vector>

class CPlugInView {
public:
    virtual ~CPlugInView();
    void SetEnable(bool enabled) { mEnabled = enabled; }
    bool IsEnabled() const { return mEnabled; }
    const Rect& GetRect() const { return mRect; }
    void SetRect(const Rect& rect) { mRect = rect; }
    // The host's requests: redraw an area, a mouse press.
    virtual void DrawContents(Rect* /*area*/) {}
    virtual void MouseCommand(EventRecord* /*event*/) {}
    // The pointer a process keeps to this view, which the host owns and may
    // delete at any time: set to null when the view goes, so that the
    // process never reaches a deleted view. Null ends the watch (the process
    // goes first).
    void WatchPointer(CPlugInView** holder) { mHolder = holder; }

private:
    bool mEnabled = false;
    Rect mRect{};
    CPlugInView** mHolder = nullptr;
};

using ViewCreator = CPlugInView* (*)();

class CCustomView : public CPlugInView {
public:
    // Registers the creator that builds views described by `name`.
    static void AddNewViewProc(const char* name, ViewCreator creator);
    // A new view of a registered name; null for an unknown one.
    static CPlugInView* CreateView(const char* name);
};

class CNoResourceView : public CPlugInView {
public:
    void SetSize(short width, short height);
    // Builds a sub-view from a description "!Name[('ID')]" at the given place
    // and returns it (owned by this view); null when no creator has that name.
    // Throws CDAEError when the host cannot build views.
    CPlugInView* AddView2(const char* description, short left, short top, short width, short height,
                          long flags);
    void DrawContents(Rect* area) override;
    void MouseCommand(EventRecord* event) override;
    std::size_t GetNumViews() const { return mViews.size(); }

private:
    std::vector<std::unique_ptr<CPlugInView>> mViews;
};
