// The effect's editor inside the host's plug-in window: the custom UI embeds
// the editor and hands it the window, drawing, clicks and idle time; the host
// view, placed in the window by the plug-in library, forwards its drawing and
// clicks to the custom UI. The editor belongs to the effect.
#pragma once

#include "platform/rtas/views.h"

class AEffEditor;

class ITemplateCustomUI {
public:
    // `process` is the ITemplateProcess the UI belongs to.
    explicit ITemplateCustomUI(void* process) : mProcess(process) {}
    virtual ~ITemplateCustomUI() = default;
    virtual long Init() = 0;
    virtual long Open(void* window) = 0;
    virtual long Close() = 0;
    virtual long UpdateGraphicControl(long index, long value) = 0;
    virtual void Idle() = 0;
    virtual void Draw(long left, long top, long right, long bottom) = 0;
    virtual void GetRect(short* left, short* top, short* right, short* bottom) = 0;
    virtual void SetRect(short left, short top, short right, short bottom) = 0;
    virtual void SetControlHighlight(long index, short highlighted, short colour) = 0;
    virtual void GetControlIndexFromPoint(long x, long y, long* index) = 0;
    // Spelled with three m, as every caller has it.
    virtual long MouseCommmand(long x, long y) = 0;

protected:
    void* mProcess;
};

// The window's fixed size, which the editor's background fills.
constexpr short kPlugInViewWidth = 701;
constexpr short kPlugInViewHeight = 336;

class CTemplateCustomUI : public ITemplateCustomUI {
public:
    explicit CTemplateCustomUI(void* process);
    ~CTemplateCustomUI() override;
    long Init() override { return 1; }
    long Open(void* window) override;
    long Close() override;
    long UpdateGraphicControl(long /*index*/, long /*value*/) override { return 0; }
    void Idle() override;
    void Draw(long left, long top, long right, long bottom) override;
    void GetRect(short* left, short* top, short* right, short* bottom) override;
    void SetRect(short, short, short, short) override {}
    void SetControlHighlight(long, short, short) override {}
    void GetControlIndexFromPoint(long x, long y, long* index) override;
    long MouseCommmand(long x, long y) override;

private:
    void* mWindow = nullptr;
    Rect mRect{};
    AEffEditor* mEditor = nullptr;
};

class CTemplateNoUIView : public CCustomView {
public:
    ~CTemplateNoUIView() override = default;
    void DrawContents(Rect* rect) override;
    void MouseCommand(EventRecord* event) override;
    virtual void SetCustomUI(ITemplateCustomUI* ui) { mCustomUI = ui; }

private:
    ITemplateCustomUI* mCustomUI = nullptr;
};

ITemplateCustomUI* CreateCTemplateCustomUI(void* process);
// The view creator registered under "NoUIView".
CPlugInView* CreateCTemplateNoUIView();
