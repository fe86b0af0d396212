// Cocoa stand-in as C++ classes: reference-counted objects with an
// autorelease pool, numbers and dictionaries for a timer's user information,
// repeating timers on a run loop that the host drives, views that carry a
// native window, the Audio Unit view-factory protocol, and the class registry
// in which a host finds a view class by name.
//
// Objects start with one reference; release of the last calls dealloc, whose
// base version frees the object. A subclass's dealloc does its own clean-up
// and ends with its superclass's dealloc, as on the real platform.
#pragma once

#include "platform/au/audio_unit_types.h"
#include "platform/au/services_api.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class TARVEX_AU_SERVICES_API NSObject {
public:
    NSObject();
    NSObject(const NSObject&) = delete;
    NSObject& operator=(const NSObject&) = delete;

    NSObject* retain();
    void release();
    // Released when the innermost autorelease pool of this thread ends.
    NSObject* autorelease();
    long retainCount() const { return references.load(std::memory_order_relaxed); }

    // Objects alive in this process.
    static long liveCount();

protected:
    virtual ~NSObject();
    virtual void dealloc();

private:
    std::atomic<long> references{1};
};

// Releases what was autoreleased on this thread while it existed.
class TARVEX_AU_SERVICES_API NSAutoreleasePool {
public:
    NSAutoreleasePool();
    ~NSAutoreleasePool();
    NSAutoreleasePool(const NSAutoreleasePool&) = delete;
    NSAutoreleasePool& operator=(const NSAutoreleasePool&) = delete;

private:
    std::size_t mark;
};

class TARVEX_AU_SERVICES_API NSNumber : public NSObject {
public:
    // Autoreleased.
    static NSNumber* numberWithUnsignedLongLong(unsigned long long value);
    unsigned long long unsignedLongLongValue() const { return value; }

private:
    explicit NSNumber(unsigned long long v) : value(v) {}
    const unsigned long long value;
};

class TARVEX_AU_SERVICES_API NSDictionary : public NSObject {
public:
    // Autoreleased; retains the object.
    static NSDictionary* dictionaryWithObject(NSObject* object, const char* key);
    // The object under the key, or null.
    NSObject* objectForKey(const char* key) const;

protected:
    ~NSDictionary() override;

private:
    NSDictionary() = default;
    std::vector<std::pair<std::string, NSObject*>> entries;
};

class NSTimer;
// A timer's action: a class method taking the timer (the class object as
// target with its selector).
using NSTimerAction = void (*)(NSTimer* timer);

class TARVEX_AU_SERVICES_API NSTimer : public NSObject {
public:
    // Scheduled on this thread's run loop, which retains it until it is
    // invalidated (or, not repeating, has fired). Autoreleased; retains the
    // user information.
    static NSTimer* scheduledTimerWithTimeInterval(double seconds, NSTimerAction action,
                                                   NSDictionary* userInfo, bool repeats);
    void invalidate();
    bool isValid() const { return valid; }
    double timeInterval() const { return interval; }
    NSDictionary* userInfo() const { return info; }

protected:
    ~NSTimer() override;

private:
    friend class NSRunLoop;
    NSTimer(double seconds, NSTimerAction a, NSDictionary* userInfo, bool repeating);
    double interval;
    NSTimerAction action;
    NSDictionary* info;
    bool repeats;
    bool valid = true;
    double nextFire = 0.0;
};

// The run loop of one thread. Time is the host's: it advances only when the
// host runs the loop, and every timer due meanwhile fires in time order.
class TARVEX_AU_SERVICES_API NSRunLoop {
public:
    static NSRunLoop& currentRunLoop();
    void runForSeconds(double seconds);
    double now() const { return time; }
    std::size_t scheduledTimerCount() const { return timers.size(); }

private:
    friend class NSTimer;
    void add(NSTimer* timer);
    void remove(NSTimer* timer);
    double time = 0.0;
    std::vector<NSTimer*> timers;
};

struct NSPoint {
    double x, y;
};
struct NSSize {
    double width, height;
};
struct NSRect {
    NSPoint origin;
    NSSize size;
};
inline constexpr NSRect NSZeroRect{{0.0, 0.0}, {0.0, 0.0}};

class TARVEX_AU_SERVICES_API NSView : public NSObject {
public:
    NSView() = default;
    // Sets the frame and asks the host's window provider for the view's
    // native window; returns this view, or null when it cannot be made.
    virtual NSView* initWithFrame(NSRect frame);
    void setFrame(NSRect frame) { viewFrame = frame; }
    NSRect frame() const { return viewFrame; }
    // The X11 window that carries the view's content (0 without one).
    std::uintptr_t nativeWindow() const { return window; }

    // The host decides where views live: on a display it makes an X11 window
    // for each, otherwise views have none.
    struct WindowProvider {
        std::uintptr_t (*create)(void* refCon);
        void (*destroy)(void* refCon, std::uintptr_t window);
        void* refCon;
    };
    static void setWindowProvider(const WindowProvider* provider);

protected:
    void dealloc() override;

private:
    NSRect viewFrame = NSZeroRect;
    std::uintptr_t window = 0;
};

// The protocol of an Audio Unit's Cocoa view factory.
class TARVEX_AU_SERVICES_API AUCocoaUIBase {
public:
    virtual ~AUCocoaUIBase();
    virtual unsigned interfaceVersion() = 0;
    // A new autoreleased view for the unit.
    virtual NSView* uiViewForAudioUnit(AudioUnit unit, NSSize preferredSize) = 0;
};

// The class runtime: classes register by name when their module loads.
using NSClassFactory = NSObject* (*)();
TARVEX_AU_SERVICES_API void NSRegisterClass(const char* name, NSClassFactory factory);
// A new instance (one reference, the caller's) of the named class, or null.
TARVEX_AU_SERVICES_API NSObject* NSCreateInstanceOfClass(const char* name);
