// The mouse word handed to the views' mouse handlers: the pressed buttons and
// held modifier keys as bits, and the handlers' answers.
#pragma once

#ifdef TARVEX_RTAS
// The older generation of the toolkit (the RTAS plug-in's) packs the word
// more tightly: left button 1, then the modifier keys from 8 up.
enum : long {
    kLButton = 1,
    kShift = 8,
    kControl = 16,
    kAlt = 32,
    kApple = 64, // the Super key
};
#else
enum : long {
    kLButton = 2,
    kShift = 16,
    kControl = 32,
    kAlt = 64,
    kApple = 128, // the Super key
};
#endif

// Every modifier bit at once.
inline constexpr long kModifierMask = kShift | kControl | kAlt | kApple;

enum CMouseEventResult {
    kMouseEventHandled = 1,    // the view takes the press and wants move and release events
    kMouseEventNotHandled = 2, // the press goes on to the view beneath
    kMouseDownEventHandledButDontNeedMovedOrUpEvents = 3,
};
