#include "platform/au/core_foundation.h"

#include <dlfcn.h>

#include <atomic>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace {

enum TypeID : CFTypeID { stringType = 7, arrayType, numberType, dataType, dictionaryType, urlType };

std::atomic<CFIndex> liveObjects{0};

} // namespace

// Common header of every object. Constants (count 0) are never freed.
struct CFObjectBase {
    explicit CFObjectBase(CFTypeID id, bool constant = false)
        : type(id), references(constant ? 0 : 1) {
        if (!constant) liveObjects.fetch_add(1, std::memory_order_relaxed);
    }
    virtual ~CFObjectBase() { liveObjects.fetch_sub(1, std::memory_order_relaxed); }
    CFObjectBase(const CFObjectBase&) = delete;
    CFObjectBase& operator=(const CFObjectBase&) = delete;

    const CFTypeID type;
    std::atomic<CFIndex> references;
};

struct CFStringObject : CFObjectBase {
    CFStringObject(std::string bytes, CFStringEncoding enc, bool constant = false)
        : CFObjectBase(stringType, constant), text(std::move(bytes)), encoding(enc) {}
    const std::string text;
    const CFStringEncoding encoding;
};

struct CFArrayObject : CFObjectBase {
    CFArrayObject(std::vector<const void*> items, bool retains)
        : CFObjectBase(arrayType), values(std::move(items)), owning(retains) {
        if (owning)
            for (const void* value : values)
                CFRetain(value);
    }
    ~CFArrayObject() override {
        if (owning)
            for (const void* value : values)
                CFRelease(value);
    }
    const std::vector<const void*> values;
    const bool owning;
};

struct CFNumberObject : CFObjectBase {
    explicit CFNumberObject(std::int64_t v) : CFObjectBase(numberType), value(v) {}
    const std::int64_t value;
};

struct CFDataObject : CFObjectBase {
    explicit CFDataObject(std::vector<std::uint8_t> b)
        : CFObjectBase(dataType), bytes(std::move(b)) {}
    const std::vector<std::uint8_t> bytes;
};

struct CFDictionaryObject : CFObjectBase {
    CFDictionaryObject() : CFObjectBase(dictionaryType) {}
    ~CFDictionaryObject() override {
        for (auto& [key, value] : entries) {
            CFRelease(key);
            CFRelease(value);
        }
    }
    std::vector<std::pair<const void*, const void*>> entries;
};

struct CFURLObject : CFObjectBase {
    explicit CFURLObject(std::string p) : CFObjectBase(urlType), path(std::move(p)) {}
    const std::string path;
};

// Bundles live as long as the process, like the modules they describe.
struct CFBundleObject {
    std::string path;
};

namespace {

const CFObjectBase* object(CFTypeRef ref) {
    return static_cast<const CFObjectBase*>(ref);
}

template <class T> const T* as(CFTypeRef ref, CFTypeID id) {
    return ref != nullptr && object(ref)->type == id ? static_cast<const T*>(object(ref)) : nullptr;
}

std::mutex constantsMutex;

} // namespace

extern "C" {

const CFArrayCallBacks kCFTypeArrayCallBacks = {0};

CFTypeRef CFRetain(CFTypeRef ref) {
    if (ref != nullptr && object(ref)->references.load(std::memory_order_relaxed) != 0)
        const_cast<CFObjectBase*>(object(ref))->references.fetch_add(1, std::memory_order_relaxed);
    return ref;
}

void CFRelease(CFTypeRef ref) {
    if (ref == nullptr) return;
    auto* base = const_cast<CFObjectBase*>(object(ref));
    if (base->references.load(std::memory_order_relaxed) == 0) return; // a constant
    if (base->references.fetch_sub(1, std::memory_order_acq_rel) == 1) delete base;
}

CFIndex CFGetRetainCount(CFTypeRef ref) {
    return ref == nullptr ? 0 : object(ref)->references.load(std::memory_order_relaxed);
}

CFTypeID CFGetTypeID(CFTypeRef ref) {
    return ref == nullptr ? 0 : object(ref)->type;
}

Boolean CFEqual(CFTypeRef a, CFTypeRef b) {
    if (a == b) return true;
    if (a == nullptr || b == nullptr || object(a)->type != object(b)->type) return false;
    if (auto* s = as<CFStringObject>(a, stringType))
        return s->text == static_cast<const CFStringObject*>(b)->text;
    if (auto* n = as<CFNumberObject>(a, numberType))
        return n->value == static_cast<const CFNumberObject*>(b)->value;
    if (auto* d = as<CFDataObject>(a, dataType))
        return d->bytes == static_cast<const CFDataObject*>(b)->bytes;
    return false;
}

CFIndex CFLiveObjectCount() {
    return liveObjects.load(std::memory_order_relaxed);
}

CFTypeID CFStringGetTypeID() {
    return stringType;
}
CFTypeID CFArrayGetTypeID() {
    return arrayType;
}
CFTypeID CFNumberGetTypeID() {
    return numberType;
}
CFTypeID CFDataGetTypeID() {
    return dataType;
}
CFTypeID CFDictionaryGetTypeID() {
    return dictionaryType;
}
CFTypeID CFURLGetTypeID() {
    return urlType;
}

CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char* text, CFStringEncoding encoding) {
    if (text == nullptr) return nullptr;
    return new CFStringObject(text, encoding);
}

Boolean CFStringGetCString(CFStringRef string, char* buffer, CFIndex bufferSize,
                           CFStringEncoding encoding) {
    auto* s = as<CFStringObject>(string, stringType);
    if (s == nullptr || buffer == nullptr || bufferSize <= 0) return false;
    bool ascii = true;
    for (unsigned char c : s->text)
        ascii = ascii && c < 0x80;
    if (!ascii && encoding != s->encoding) return false;
    if (static_cast<CFIndex>(s->text.size()) >= bufferSize) return false;
    std::memcpy(buffer, s->text.c_str(), s->text.size() + 1);
    return true;
}

CFStringRef CFSTR(const char* text) {
    static std::map<std::string, std::unique_ptr<CFStringObject>, std::less<>> constants;
    if (text == nullptr) return nullptr;
    const std::lock_guard lock(constantsMutex);
    auto found = constants.find(std::string_view(text));
    if (found == constants.end())
        found =
            constants
                .emplace(text, std::make_unique<CFStringObject>(text, kCFStringEncodingUTF8, true))
                .first;
    return found->second.get();
}

CFArrayRef CFArrayCreate(CFAllocatorRef, const void** values, CFIndex count,
                         const CFArrayCallBacks* callBacks) {
    if (count < 0 || (count > 0 && values == nullptr)) return nullptr;
    return new CFArrayObject(std::vector<const void*>(values, values + count),
                             callBacks != nullptr);
}

CFIndex CFArrayGetCount(CFArrayRef array) {
    auto* a = as<CFArrayObject>(array, arrayType);
    return a == nullptr ? 0 : static_cast<CFIndex>(a->values.size());
}

const void* CFArrayGetValueAtIndex(CFArrayRef array, CFIndex index) {
    auto* a = as<CFArrayObject>(array, arrayType);
    if (a == nullptr || index < 0 || index >= static_cast<CFIndex>(a->values.size()))
        return nullptr;
    return a->values[static_cast<size_t>(index)];
}

CFNumberRef CFNumberCreate(CFAllocatorRef, CFNumberType type, const void* value) {
    if (value == nullptr) return nullptr;
    if (type == kCFNumberSInt32Type) {
        std::int32_t v;
        std::memcpy(&v, value, sizeof v);
        return new CFNumberObject(v);
    }
    if (type == kCFNumberSInt64Type) {
        std::int64_t v;
        std::memcpy(&v, value, sizeof v);
        return new CFNumberObject(v);
    }
    return nullptr;
}

Boolean CFNumberGetValue(CFNumberRef number, CFNumberType type, void* value) {
    auto* n = as<CFNumberObject>(number, numberType);
    if (n == nullptr || value == nullptr) return false;
    if (type == kCFNumberSInt32Type) {
        const auto v = static_cast<std::int32_t>(n->value);
        std::memcpy(value, &v, sizeof v);
        return v == n->value;
    }
    if (type == kCFNumberSInt64Type) {
        std::memcpy(value, &n->value, sizeof n->value);
        return true;
    }
    return false;
}

CFDataRef CFDataCreate(CFAllocatorRef, const std::uint8_t* bytes, CFIndex length) {
    if (length < 0 || (length > 0 && bytes == nullptr)) return nullptr;
    return new CFDataObject(std::vector<std::uint8_t>(bytes, bytes + length));
}

CFIndex CFDataGetLength(CFDataRef data) {
    auto* d = as<CFDataObject>(data, dataType);
    return d == nullptr ? 0 : static_cast<CFIndex>(d->bytes.size());
}

const std::uint8_t* CFDataGetBytePtr(CFDataRef data) {
    auto* d = as<CFDataObject>(data, dataType);
    return d == nullptr ? nullptr : d->bytes.data();
}

CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef, CFIndex, const void*,
                                                 const void*) {
    return new CFDictionaryObject();
}

void CFDictionarySetValue(CFMutableDictionaryRef dictionary, const void* key, const void* value) {
    if (dictionary == nullptr || dictionary->type != dictionaryType || key == nullptr ||
        value == nullptr)
        return;
    CFRetain(value);
    for (auto& entry : dictionary->entries) {
        if (CFEqual(entry.first, key)) {
            CFRelease(entry.second);
            entry.second = value;
            return;
        }
    }
    dictionary->entries.emplace_back(CFRetain(key), value);
}

const void* CFDictionaryGetValue(CFDictionaryRef dictionary, const void* key) {
    auto* d = as<CFDictionaryObject>(dictionary, dictionaryType);
    if (d == nullptr) return nullptr;
    for (const auto& entry : d->entries)
        if (CFEqual(entry.first, key)) return entry.second;
    return nullptr;
}

CFIndex CFDictionaryGetCount(CFDictionaryRef dictionary) {
    auto* d = as<CFDictionaryObject>(dictionary, dictionaryType);
    return d == nullptr ? 0 : static_cast<CFIndex>(d->entries.size());
}

CFBundleRef CFBundleGetBundleContainingAddress(const void* address) {
    static std::map<std::string, std::unique_ptr<CFBundleObject>, std::less<>> bundles;
    Dl_info info{};
    if (address == nullptr || dladdr(address, &info) == 0 || info.dli_fname == nullptr)
        return nullptr;
    const std::lock_guard lock(constantsMutex);
    auto& bundle = bundles[info.dli_fname];
    if (!bundle) bundle = std::make_unique<CFBundleObject>(CFBundleObject{info.dli_fname});
    return bundle.get();
}

CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle) {
    return bundle == nullptr ? nullptr : new CFURLObject(bundle->path);
}

Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean, std::uint8_t* buffer,
                                         CFIndex maxLength) {
    auto* u = as<CFURLObject>(url, urlType);
    if (u == nullptr || buffer == nullptr || static_cast<CFIndex>(u->path.size()) >= maxLength)
        return false;
    std::memcpy(buffer, u->path.c_str(), u->path.size() + 1);
    return true;
}

} // extern "C"
