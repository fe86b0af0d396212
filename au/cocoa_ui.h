// QVL_Tarvex_AUCocoaUI: the unit's Cocoa view factory and, at once, the view
// in which the effect's own editor opens. The host finds the class by the
// name that the unit's Cocoa view property gives, asks a factory instance for
// a view, and releases the view when it is done. A timer on the run loop
// idles the editor 60 times a second; it targets the class, not the view, so
// it never keeps a view alive, and each tick looks the effect up afresh.
#pragma once

#include "platform/au/cocoa.h"

inline constexpr char kCocoaViewClassName[] = "QVL_Tarvex_AUCocoaUI";

class QVL_Tarvex_AUCocoaUI : public NSView, public AUCocoaUIBase {
public:
    QVL_Tarvex_AUCocoaUI() = default;

    const char* description() const { return "Quorvalinde Cocoa UI"; }
    NSView* uiViewForAudioUnit(AudioUnit unit, NSSize preferredSize) override;
    unsigned interfaceVersion() override { return 0; }
    // Sizes the view to the editor, opens the editor in it and starts the
    // idle timer; null when the view cannot be made.
    QVL_Tarvex_AUCocoaUI* initWithAudioUnit(AudioUnit unit);
    static void onIdleTimer(NSTimer* timer);

    static constexpr double kIdleInterval = 1.0 / 60.0;

protected:
    // Stops the timer and closes the editor before the view goes.
    void dealloc() override;

private:
    AudioUnit _audioUnit = nullptr;
    NSTimer* _idleTimer = nullptr;
};
