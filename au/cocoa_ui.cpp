#include "au/cocoa_ui.h"

#include "au/au_plug.h"
#include "vst/aeffeditor.h"

namespace {

// The unit's effect, through its effect property; null for no unit or a
// unit that is gone.
AudioEffect* effectOf(AudioUnit unit) {
    AudioEffect* effect = nullptr;
    UInt32 size = sizeof effect;
    if (AudioUnitGetProperty(unit, kAUPlugProperty_Effect, kAudioUnitScope_Global, 0, &effect,
                             &size) != noErr)
        return nullptr;
    return effect;
}

AEffEditor* editorOf(AudioUnit unit) {
    AudioEffect* effect = effectOf(unit);
    return effect != nullptr ? effect->getEditor() : nullptr;
}

// The class registers with the class runtime when the module loads.
const bool registered = [] {
    NSRegisterClass(kCocoaViewClassName, []() -> NSObject* { return new QVL_Tarvex_AUCocoaUI(); });
    return true;
}();

} // namespace

NSView* QVL_Tarvex_AUCocoaUI::uiViewForAudioUnit(AudioUnit unit, NSSize) {
    auto* view = new QVL_Tarvex_AUCocoaUI();
    if (view->initWithAudioUnit(unit) == nullptr) return nullptr;
    return static_cast<NSView*>(view->autorelease());
}

QVL_Tarvex_AUCocoaUI* QVL_Tarvex_AUCocoaUI::initWithAudioUnit(AudioUnit unit) {
    if (NSView::initWithFrame(NSZeroRect) == nullptr) {
        release();
        return nullptr;
    }
    _audioUnit = unit;
    if (AEffEditor* editor = editorOf(unit)) {
        ERect* rect = nullptr;
        editor->getRect(&rect);
        if (rect != nullptr)
            setFrame({{static_cast<double>(rect->left), static_cast<double>(rect->top)},
                      {static_cast<double>(rect->right - rect->left),
                       static_cast<double>(rect->bottom - rect->top)}});
        // The editor's parent is the view's native window.
        editor->open(reinterpret_cast<void*>(nativeWindow()));
    }
    NSDictionary* userInfo = NSDictionary::dictionaryWithObject(
        NSNumber::numberWithUnsignedLongLong(reinterpret_cast<std::uintptr_t>(unit)), "AudioUnit");
    _idleTimer = static_cast<NSTimer*>(
        NSTimer::scheduledTimerWithTimeInterval(kIdleInterval, &onIdleTimer, userInfo, true)
            ->retain());
    return this;
}

void QVL_Tarvex_AUCocoaUI::onIdleTimer(NSTimer* timer) {
    auto* number = dynamic_cast<NSNumber*>(timer->userInfo()->objectForKey("AudioUnit"));
    if (number == nullptr) return;
    if (AEffEditor* editor = editorOf(reinterpret_cast<AudioUnit>(number->unsignedLongLongValue())))
        editor->idle();
}

void QVL_Tarvex_AUCocoaUI::dealloc() {
    if (_idleTimer != nullptr) {
        _idleTimer->invalidate();
        _idleTimer->release();
        _idleTimer = nullptr;
    }
    // A newer view of the same unit may have taken the editor into its window:
    // that one closes it.
    AEffEditor* editor = editorOf(_audioUnit);
    if (editor != nullptr && editor->getSystemWindow() == reinterpret_cast<void*>(nativeWindow()))
        editor->close();
    NSView::dealloc();
}
