#include "rtas/custom_ui.h"

#include "rtas/template_process.h"
#include "vst/aeffeditor.h"

namespace {

ITemplateProcess* processOf(void* process) {
    return static_cast<ITemplateProcess*>(process);
}

} // namespace

CTemplateCustomUI::CTemplateCustomUI(void* process) : ITemplateCustomUI(process) {
    if (mProcess) mEditor = processOf(mProcess)->getEditor();
}

// The editor belongs to the effect: neither closed nor deleted here.
CTemplateCustomUI::~CTemplateCustomUI() {
    mEditor = nullptr;
}

long CTemplateCustomUI::Open(void* window) {
    mWindow = window;
    // The editor loads its bitmaps from the plug-in's resource file.
    const short previous = mProcess ? processOf(mProcess)->ProcessUseResourceFile() : 0;
    if (mEditor) mEditor->open(window);
    if (mProcess) processOf(mProcess)->ProcessRestoreResourceFile(previous);
    return 1;
}

long CTemplateCustomUI::Close() {
    if (mWindow && mEditor) mEditor->close();
    return 0;
}

void CTemplateCustomUI::Idle() {
    if (mEditor) mEditor->idle();
}

void CTemplateCustomUI::Draw(long left, long top, long right, long bottom) {
    if (!mEditor) return;
    ERect area{static_cast<std::int16_t>(top), static_cast<std::int16_t>(left),
               static_cast<std::int16_t>(bottom), static_cast<std::int16_t>(right)};
    mEditor->__drawDeprecated(&area);
}

void CTemplateCustomUI::GetRect(short* left, short* top, short* right, short* bottom) {
    mRect = Rect{0, 0, kPlugInViewHeight, kPlugInViewWidth};
    if (left) *left = mRect.left;
    if (top) *top = mRect.top;
    if (right) *right = mRect.right;
    if (bottom) *bottom = mRect.bottom;
}

void CTemplateCustomUI::GetControlIndexFromPoint(long /*x*/, long /*y*/, long* index) {
    if (index) *index = 0;
}

long CTemplateCustomUI::MouseCommmand(long x, long y) {
    if (mEditor) mEditor->__mouseDeprecated(static_cast<VstInt32>(x), static_cast<VstInt32>(y));
    return 0;
}

void CTemplateNoUIView::DrawContents(Rect* rect) {
    if (mCustomUI && rect) mCustomUI->Draw(rect->left, rect->top, rect->right, rect->bottom);
}

void CTemplateNoUIView::MouseCommand(EventRecord* event) {
    if (mCustomUI && event) mCustomUI->MouseCommmand(event->where.h, event->where.v);
}

ITemplateCustomUI* CreateCTemplateCustomUI(void* process) {
    return new CTemplateCustomUI(process);
}

CPlugInView* CreateCTemplateNoUIView() {
    return new CTemplateNoUIView;
}
