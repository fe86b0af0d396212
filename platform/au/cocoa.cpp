#include "platform/au/cocoa.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

namespace {

std::atomic<long> liveObjects{0};
thread_local std::vector<NSObject*> autoreleased;

std::mutex providerMutex;
NSView::WindowProvider windowProvider{nullptr, nullptr, nullptr};

std::mutex classesMutex;
std::map<std::string, NSClassFactory, std::less<>>& classes() {
    static std::map<std::string, NSClassFactory, std::less<>> registry;
    return registry;
}

} // namespace

NSObject::NSObject() {
    liveObjects.fetch_add(1, std::memory_order_relaxed);
}
NSObject::~NSObject() {
    liveObjects.fetch_sub(1, std::memory_order_relaxed);
}

NSObject* NSObject::retain() {
    references.fetch_add(1, std::memory_order_relaxed);
    return this;
}

void NSObject::release() {
    if (references.fetch_sub(1, std::memory_order_acq_rel) == 1) dealloc();
}

NSObject* NSObject::autorelease() {
    autoreleased.push_back(this);
    return this;
}

long NSObject::liveCount() {
    return liveObjects.load(std::memory_order_relaxed);
}

void NSObject::dealloc() {
    delete this;
}

NSAutoreleasePool::NSAutoreleasePool() : mark(autoreleased.size()) {}

NSAutoreleasePool::~NSAutoreleasePool() {
    // Releasing may autorelease more; those belong to this pool too.
    while (autoreleased.size() > mark) {
        NSObject* object = autoreleased.back();
        autoreleased.pop_back();
        object->release();
    }
}

NSNumber* NSNumber::numberWithUnsignedLongLong(unsigned long long value) {
    return static_cast<NSNumber*>((new NSNumber(value))->autorelease());
}

NSDictionary* NSDictionary::dictionaryWithObject(NSObject* object, const char* key) {
    auto* dictionary = new NSDictionary();
    if (object != nullptr && key != nullptr)
        dictionary->entries.emplace_back(key, object->retain());
    return static_cast<NSDictionary*>(dictionary->autorelease());
}

NSObject* NSDictionary::objectForKey(const char* key) const {
    if (key == nullptr) return nullptr;
    for (const auto& [name, object] : entries)
        if (name == key) return object;
    return nullptr;
}

NSDictionary::~NSDictionary() {
    for (auto& entry : entries)
        entry.second->release();
}

NSTimer::NSTimer(double seconds, NSTimerAction a, NSDictionary* userInfo, bool repeating)
    : interval(seconds > 0.0 ? seconds : 0.0001), action(a), info(userInfo), repeats(repeating) {
    if (info != nullptr) info->retain();
}

NSTimer::~NSTimer() {
    if (info != nullptr) info->release();
}

NSTimer* NSTimer::scheduledTimerWithTimeInterval(double seconds, NSTimerAction action,
                                                 NSDictionary* userInfo, bool repeats) {
    auto* timer = new NSTimer(seconds, action, userInfo, repeats);
    NSRunLoop::currentRunLoop().add(timer);
    return static_cast<NSTimer*>(timer->autorelease());
}

void NSTimer::invalidate() {
    if (!valid) return;
    valid = false;
    NSRunLoop::currentRunLoop().remove(this);
}

NSRunLoop& NSRunLoop::currentRunLoop() {
    thread_local NSRunLoop loop;
    return loop;
}

void NSRunLoop::add(NSTimer* timer) {
    timer->retain();
    timer->nextFire = time + timer->interval;
    timers.push_back(timer);
}

void NSRunLoop::remove(NSTimer* timer) {
    auto found = std::find(timers.begin(), timers.end(), timer);
    if (found == timers.end()) return;
    timers.erase(found);
    timer->release();
}

void NSRunLoop::runForSeconds(double seconds) {
    const double end = time + std::max(seconds, 0.0);
    // A small tolerance so that n intervals of 1/n s fire n times.
    const double tolerance = 1e-9;
    for (;;) {
        NSTimer* due = nullptr;
        for (NSTimer* timer : timers)
            if (timer->nextFire <= end + tolerance &&
                (due == nullptr || timer->nextFire < due->nextFire))
                due = timer;
        if (due == nullptr) break;
        time = std::max(time, due->nextFire);
        due->retain(); // the action may invalidate the timer
        if (due->repeats)
            due->nextFire += due->interval;
        else
            due->invalidate();
        if (due->action != nullptr) due->action(due);
        due->release();
    }
    time = end;
}

NSView* NSView::initWithFrame(NSRect frame) {
    viewFrame = frame;
    const std::lock_guard lock(providerMutex);
    if (windowProvider.create != nullptr) window = windowProvider.create(windowProvider.refCon);
    return this;
}

void NSView::setWindowProvider(const WindowProvider* provider) {
    const std::lock_guard lock(providerMutex);
    windowProvider = provider != nullptr ? *provider : WindowProvider{nullptr, nullptr, nullptr};
}

void NSView::dealloc() {
    if (window != 0) {
        const std::lock_guard lock(providerMutex);
        if (windowProvider.destroy != nullptr)
            windowProvider.destroy(windowProvider.refCon, window);
        window = 0;
    }
    NSObject::dealloc();
}

AUCocoaUIBase::~AUCocoaUIBase() = default;

void NSRegisterClass(const char* name, NSClassFactory factory) {
    if (name == nullptr || factory == nullptr) return;
    const std::lock_guard lock(classesMutex);
    classes()[name] = factory;
}

NSObject* NSCreateInstanceOfClass(const char* name) {
    if (name == nullptr) return nullptr;
    NSClassFactory factory = nullptr;
    {
        const std::lock_guard lock(classesMutex);
        auto found = classes().find(std::string_view(name));
        if (found != classes().end()) factory = found->second;
    }
    return factory != nullptr ? factory() : nullptr;
}
