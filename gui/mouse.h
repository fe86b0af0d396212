// The mouse word handed to the views' mouse handlers: the pressed buttons and
// held modifier keys as bits, and the handlers' answers.
#pragma once

enum : long {
    kLButton = 2,
    kShift = 16,
    kControl = 32,
    kAlt = 64,
    kApple = 128, // the Super key
};

// Every modifier bit at once.
inline constexpr long kModifierMask = kShift | kControl | kAlt | kApple;

enum CMouseEventResult {
    kMouseEventHandled = 1,    // the view takes the press and wants move and release events
    kMouseEventNotHandled = 2, // the press goes on to the view beneath
    kMouseDownEventHandledButDontNeedMovedOrUpEvents = 3,
};
