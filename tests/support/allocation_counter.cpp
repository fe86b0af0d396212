#include "support/allocation_counter.h"

#include <cstdlib>
#include <new>

// The sanitizers intercept malloc themselves; there the C allocation
// functions are counted through the sanitizer's hooks instead of being
// replaced. Elsewhere they are replaced, so that calls inside C libraries
// (FFTW, for one) and loaded modules are counted as well.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TARVEX_COUNT_MALLOC 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TARVEX_COUNT_MALLOC 0
#endif
#endif
#ifndef TARVEX_COUNT_MALLOC
#define TARVEX_COUNT_MALLOC 1
#endif

namespace {
// Initial-exec: reading the counters must never allocate, not even for TLS.
__attribute__((tls_model("initial-exec"))) thread_local std::size_t allocations = 0;
__attribute__((tls_model("initial-exec"))) thread_local std::size_t releases = 0;
} // namespace

#if TARVEX_COUNT_MALLOC
// Default visibility: the replacements must be exported to interpose on the
// shared libraries' calls.
#define EXPORTED __attribute__((visibility("default")))
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* __libc_memalign(std::size_t, std::size_t);
void __libc_free(void*);

EXPORTED void* malloc(std::size_t size) {
    ++allocations;
    return __libc_malloc(size);
}
EXPORTED void* calloc(std::size_t count, std::size_t size) {
    ++allocations;
    return __libc_calloc(count, size);
}
EXPORTED void* realloc(void* p, std::size_t size) {
    ++allocations;
    return __libc_realloc(p, size);
}
EXPORTED void* memalign(std::size_t alignment, std::size_t size) {
    ++allocations;
    return __libc_memalign(alignment, size);
}
EXPORTED void* aligned_alloc(std::size_t alignment, std::size_t size) {
    ++allocations;
    return __libc_memalign(alignment, size);
}
EXPORTED int posix_memalign(void** p, std::size_t alignment, std::size_t size) {
    ++allocations;
    *p = __libc_memalign(alignment, size);
    return *p != nullptr ? 0 : 12; // ENOMEM
}
EXPORTED void free(void* p) {
    if (p != nullptr) ++releases;
    __libc_free(p);
}
}
#else
// The sanitizer runtime calls these for every allocation and release it
// serves, whoever asked (operator new included).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*,
                                                                  std::size_t),
                                                         void (*)(const volatile void*));
namespace {
void countAllocation(const volatile void*, std::size_t) {
    ++allocations;
}
void countRelease(const volatile void* p) {
    if (p != nullptr) ++releases;
}
const int hooksInstalled = __sanitizer_install_malloc_and_free_hooks(countAllocation, countRelease);
} // namespace
#endif

namespace {
void* allocate(std::size_t size) {
    if (size == 0) size = 1;
#if TARVEX_COUNT_MALLOC
    if (void* p = __libc_malloc(size)) {
        ++allocations;
        return p;
    }
#else
    if (void* p = std::malloc(size)) return p; // counted by the hook
#endif
    throw std::bad_alloc();
}
} // namespace

namespace testing_support {
std::size_t allocationCount() {
    return allocations;
}
std::size_t releaseCount() {
    return releases;
}
} // namespace testing_support

void* operator new(std::size_t size) {
    return allocate(size);
}
void* operator new[](std::size_t size) {
    return allocate(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
// The non-throwing forms too, so that every form of new pairs with the delete
// above (a module's new (std::nothrow) is released by this operator delete).
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
